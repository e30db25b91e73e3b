// libFuzzer entry point for the trailer and the package locator: the input is a whole packed
// file. A trailer that is found must place the package inside the file, before the trailer,
// and the package found there must read to a demo or to a PackageError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "demo/demo.h"
#include "player/package_trailer.h"
#include "serialization/input_stream.h"

constexpr uint64_t kFuzzAllowance = uint64_t{1} << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint64_t tail = size < demo::kTrailerSize ? size : demo::kTrailerSize;
    demo::PackageLocation location;
    const demo::TrailerStatus status =
        demo::parse_trailer(data + size - tail, tail, size, location);
    if (status != demo::TrailerStatus::Found)
        return 0;
    if (location.offset > size - demo::kTrailerSize ||
        location.size != size - demo::kTrailerSize - location.offset)
        std::abort();
    demo::InputStream in(data + location.offset, location.size, kFuzzAllowance);
    demo::Demo loaded;
    try {
        loaded.read_binary(in);
    } catch (const std::exception&) {
        // Rejected cleanly.
    }
    return 0;
}
