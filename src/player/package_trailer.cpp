#include "player/package_trailer.h"

#include <cstring>

namespace demo {

TrailerStatus parse_trailer(const uint8_t* trailer, uint64_t trailer_length, uint64_t file_size,
                            PackageLocation& location) {
    if (trailer_length < kTrailerSize || std::memcmp(trailer + 4, kTrailerMagic, 4) != 0) {
        return TrailerStatus::NoTrailer;
    }
    const uint64_t size = uint64_t{trailer[0]} | (uint64_t{trailer[1]} << 8) |
                          (uint64_t{trailer[2]} << 16) | (uint64_t{trailer[3]} << 24);
    location.size = size;
    if (size > file_size - kTrailerSize)
        return TrailerStatus::SizeBeforeStart;
    location.offset = file_size - kTrailerSize - size;
    return TrailerStatus::Found;
}

}  // namespace demo
