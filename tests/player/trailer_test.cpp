#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "player/package_trailer.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;

// The trailer of a file whose package is `size` bytes: the size as a little-endian u32, then
// `magic`.
Bytes trailer(uint32_t size, const char* magic = "DEMO") {
    return {static_cast<uint8_t>(size),       static_cast<uint8_t>(size >> 8),
            static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24),
            static_cast<uint8_t>(magic[0]),   static_cast<uint8_t>(magic[1]),
            static_cast<uint8_t>(magic[2]),   static_cast<uint8_t>(magic[3])};
}

TrailerStatus parse(const Bytes& bytes, uint64_t file_size, PackageLocation& location) {
    return parse_trailer(bytes.data(), bytes.size(), file_size, location);
}

TEST(Trailer, FindsThePackageBeforeTheTrailer) {
    // A 1000-byte file: 700 bytes of player, a 292-byte package, the 8-byte trailer.
    PackageLocation location;
    ASSERT_EQ(parse(trailer(292), 1000, location), TrailerStatus::Found);
    EXPECT_EQ(location.size, 292u);
    EXPECT_EQ(location.offset, 700u);
}

TEST(Trailer, SizeIsLittleEndian) {
    PackageLocation location;
    ASSERT_EQ(parse(trailer(0x12345678), 0x20000000, location), TrailerStatus::Found);
    EXPECT_EQ(location.size, 0x12345678u);
    EXPECT_EQ(location.offset, 0x20000000u - 8 - 0x12345678u);
    // The largest size a trailer can hold, in a file just big enough for it.
    const uint64_t big = uint64_t{UINT32_MAX} + 8;
    ASSERT_EQ(parse(trailer(UINT32_MAX), big, location), TrailerStatus::Found);
    EXPECT_EQ(location.size, UINT32_MAX);
    EXPECT_EQ(location.offset, 0u);
}

TEST(Trailer, PackageMayFillTheWholeFileOrBeEmpty) {
    PackageLocation location;
    ASSERT_EQ(parse(trailer(92), 100, location), TrailerStatus::Found);
    EXPECT_EQ(location.offset, 0u);
    ASSERT_EQ(parse(trailer(0), 100, location), TrailerStatus::Found);
    EXPECT_EQ(location.size, 0u);
    EXPECT_EQ(location.offset, 92u);
    // A file that is nothing but a trailer for an empty package.
    ASSERT_EQ(parse(trailer(0), 8, location), TrailerStatus::Found);
    EXPECT_EQ(location.offset, 0u);
}

TEST(Trailer, MagicMustMatchExactly) {
    PackageLocation location;
    for (const char* magic : {"DEMo", "demo", "DEM0", "XEMO", "DXMO", "DEXO", "OMED"}) {
        EXPECT_EQ(parse(trailer(10, magic), 1000, location), TrailerStatus::NoTrailer) << magic;
    }
    const Bytes zeros(8, 0);
    EXPECT_EQ(parse(zeros, 1000, location), TrailerStatus::NoTrailer);
}

TEST(Trailer, ShortFilesHaveNoTrailer) {
    // The last bytes of a file shorter than a trailer, even when they spell the magic.
    const Bytes full = trailer(0);
    for (size_t n = 0; n < 8; ++n) {
        const Bytes tail(full.end() - static_cast<long>(n), full.end());
        PackageLocation location;
        EXPECT_EQ(parse(tail, n, location), TrailerStatus::NoTrailer) << n << " bytes";
    }
    PackageLocation location;
    EXPECT_EQ(parse_trailer(nullptr, 0, 0, location), TrailerStatus::NoTrailer);
}

TEST(Trailer, SizePointingBeforeTheFileStart) {
    PackageLocation location;
    EXPECT_EQ(parse(trailer(93), 100, location), TrailerStatus::SizeBeforeStart);
    EXPECT_EQ(location.size, 93u);
    EXPECT_EQ(parse(trailer(1), 8, location), TrailerStatus::SizeBeforeStart);
    EXPECT_EQ(parse(trailer(UINT32_MAX), 1000, location), TrailerStatus::SizeBeforeStart);
    EXPECT_EQ(location.size, UINT32_MAX);
}

}  // namespace
}  // namespace demo
