// The trailer that marks a packed player: the package size and "DEMO" in the last 8 bytes.
#pragma once

#include <cstdint>

namespace demo {

// The last eight bytes of a packed player: package size (u32, little-endian) and "DEMO".
inline constexpr char kTrailerMagic[4] = {'D', 'E', 'M', 'O'};
inline constexpr uint64_t kTrailerSize = 8;

// Exact "error.log" text when the executable carries no package.
inline constexpr const char* kMissingPackageText =
    "Cannot find DEMO in executable. Please follow the instructions in Quenvale.\n";

// Where a package sits inside a file with a trailer.
struct PackageLocation {
    uint64_t offset = 0;
    uint64_t size = 0;
};

// Outcome of looking for the trailer of a file of `file_size` bytes whose last eight bytes
// are `trailer` (fewer when the file is shorter).
enum class TrailerStatus { Found, NoTrailer, SizeBeforeStart };

// Checks the trailer; fills `location.size` whenever the magic matches and the offset too
// when the package fits inside the file.
TrailerStatus parse_trailer(const uint8_t* trailer, uint64_t trailer_length, uint64_t file_size,
                            PackageLocation& location);

}  // namespace demo
