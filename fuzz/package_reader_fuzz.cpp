// libFuzzer entry point for the package reader: any byte string must end in a demo or in a
// PackageError, never in a crash, a hang or an out-of-bounds read.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "serialization/demo.h"
#include "serialization/input_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    demo::InputStream in(data, size);
    demo::Demo loaded;
    try {
        loaded.read_binary(in);
    } catch (const std::exception&) {
        // Rejected cleanly.
    }
    return 0;
}
