// libFuzzer target: the whole-block decoder must give the same answer as the incremental one
// fed the same bytes as one piece: the same output and bytes left over, or the same error.
// The first byte picks the size limit, 64 bytes to 16 KiB; without one a block a few bytes long
// can rightly ask either decoder for gigabytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "test_support/decode_outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint64_t limit = (uint64_t{data[0]} + 1) * 64;
    if (!(demo::test_util::whole_outcome(data + 1, size - 1, limit) ==
          demo::test_util::incremental_outcome(data + 1, size - 1, limit))) {
        std::abort();
    }
    return 0;
}
