#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "player/package_trailer.h"
#include "test_support/package_bytes.h"

namespace demo {
namespace {

using package_bytes::Bytes;

// A trailer: the package's size as a little-endian u32, then `magic`.
Bytes trailer(uint32_t size, const std::string& magic = "DEMO") {
    return package_bytes::concat({package_bytes::u64(size, 4), package_bytes::bytes_of(magic)});
}

TEST(Trailer, LocatesThePackageOrSaysWhyNot) {
    using enum TrailerStatus;
    struct Case {
        Bytes tail;
        uint64_t file_size;
        TrailerStatus status;
        uint64_t size, offset;  // checked when found; size also when it points before the start
    };
    std::vector<Case> cases = {
        // 700 bytes of player, a 292-byte package, the 8-byte trailer.
        {trailer(292), 1000, Found, 292, 700},
        {trailer(0x12345678), 0x20000000, Found, 0x12345678, 0x20000000 - 8 - 0x12345678},
        {trailer(UINT32_MAX), uint64_t{UINT32_MAX} + 8, Found, UINT32_MAX, 0},
        {trailer(92), 100, Found, 92, 0},  // the package fills the file
        {trailer(0), 100, Found, 0, 92},   // an empty package
        {trailer(0), 8, Found, 0, 0},      // nothing but a trailer
        {trailer(93), 100, SizeBeforeStart, 93, 0},
        {trailer(1), 8, SizeBeforeStart, 1, 0},
        {trailer(UINT32_MAX), 1000, SizeBeforeStart, UINT32_MAX, 0},
        {Bytes(8, 0), 1000, NoTrailer, 0, 0},
    };
    for (const char* magic : {"DEMo", "demo", "DEM0", "XEMO", "DXMO", "DEXO", "OMED"})
        cases.push_back({trailer(10, magic), 1000, NoTrailer, 0, 0});
    // The last bytes of a file shorter than a trailer, even when they spell the magic.
    const Bytes full = trailer(0);
    for (size_t n = 0; n < 8; ++n)
        cases.push_back({Bytes(full.end() - n, full.end()), n, NoTrailer, 0, 0});
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.tail) + " in " + std::to_string(c.file_size));
        PackageLocation location;
        ASSERT_EQ(parse_trailer(c.tail.data(), c.tail.size(), c.file_size, location), c.status);
        if (c.status != NoTrailer) {
            EXPECT_EQ(location.size, c.size);
        }
        if (c.status == Found) {
            EXPECT_EQ(location.offset, c.offset);
        }
    }
    PackageLocation location;
    EXPECT_EQ(parse_trailer(nullptr, 0, 0, location), NoTrailer);
}

}  // namespace
}  // namespace demo
