// libFuzzer entry point for the package reader: any byte string must end in a demo or in a
// PackageError, never in a crash, a hang or an out-of-bounds read.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "demo/demo.h"
#include "serialization/input_stream.h"

// A small fixed allowance keeps each run quick: a string that could legally unpack to a
// gigabyte teaches the fuzzer nothing the per-byte budget does not.
constexpr uint64_t kFuzzAllowance = uint64_t{1} << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    demo::InputStream in(data, size, kFuzzAllowance);
    demo::Demo loaded;
    try {
        loaded.read_binary(in);
    } catch (const std::exception&) {
        // Rejected cleanly.
    }
    return 0;
}
