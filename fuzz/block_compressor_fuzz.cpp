// libFuzzer target: the fast compressor must give the bytes of the plain one, both for the
// strings' table shape through one compressor kept from input to input (as write_string keeps
// it) and for a small table shape taken from the input's first two bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "serialization/block_compressor.h"
#include "test_support/reference_compressor.h"

namespace {

void expect_same(std::span<const uint8_t> fast, const std::vector<uint8_t>& plain) {
    if (!std::equal(fast.begin(), fast.end(), plain.begin(), plain.end()))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static demo::BlockCompressor strings;
    expect_same(strings.compress(data, size),
                demo::test_util::reference_compress(data, size, demo::kStringChainDepth,
                                                    demo::kStringBucketCount));
    if (size >= 2) {
        // Few rows and short chains: rows fill and wrap, and most candidates collide.
        const size_t depth = 1 + data[0] % 16;
        const size_t buckets = 1 + data[1] % 64;
        demo::BlockCompressor other(depth, buckets);
        expect_same(other.compress(data + 2, size - 2),
                    demo::test_util::reference_compress(data + 2, size - 2, depth, buckets));
    }
    return 0;
}
