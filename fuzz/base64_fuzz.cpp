// libFuzzer entry point for base64: any text decodes or fails with the one message; what
// decodes re-encodes to text that decodes to the same bytes; any bytes round-trip exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "serialization/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const std::vector<uint8_t> bytes = demo::base64_decode(text);
        const std::string encoded = demo::base64_encode(bytes.data(), bytes.size());
        if (demo::base64_decode(encoded) != bytes)
            std::abort();
    } catch (const std::runtime_error& e) {
        if (std::string(e.what()) != "Input is not valid base64-encoded data.")
            std::abort();
    }
    const std::string encoded = demo::base64_encode(data, size);
    if (encoded.size() != (size + 2) / 3 * 4 ||
        demo::base64_decode(encoded) != std::vector<uint8_t>(data, data + size))
        std::abort();
    return 0;
}
