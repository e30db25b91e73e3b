#include "serialization/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_bytes.h"
#include "serialization/package_error.h"

namespace demo {
namespace {

using package_bytes::Bytes;

// Little-endian, one field after the other without padding; read from memory and from a file.
TEST(Primitives, WrittenBytesAndReadBack) {
    const Bytes expected = {1,    0,    0xFE, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE,
                            0xAD, 0xDE, 0,    0,    0x20, 0xC0, 8,    7,    6,    5,    4,    3,
                            2,    1,    0,    0,    0,    0x80, 0,    0,    0xC0, 0x7F, 2};
    Bytes bytes;
    OutputStream out(bytes);
    write_bool(out, true);
    write_bool(out, false);
    write_i32(out, -2);
    write_i32(out, 0x12345678);
    write_u32(out, 0xDEADBEEF);
    write_f32(out, -2.5f);
    write_u64(out, 0x0102030405060708ull);
    write_f32(out, -0.0f);
    write_f32(out, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(out.written(), expected.size() - 1);
    bytes.push_back(2);  // any non-zero byte is true
    EXPECT_EQ(bytes, expected);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(expected.data(), 1, expected.size(), file);
    std::fputs("TRAILER", file);
    for (bool from_file : {false, true}) {
        std::rewind(file);
        InputStream in = from_file ? InputStream(file, expected.size())
                                   : InputStream(expected.data(), expected.size());
        EXPECT_TRUE(read_bool(in));
        EXPECT_FALSE(read_bool(in));
        EXPECT_EQ(read_i32(in), -2);
        EXPECT_EQ(read_i32(in), 0x12345678);
        EXPECT_EQ(read_u32(in), 0xDEADBEEFu);
        EXPECT_EQ(read_f32(in), -2.5f);
        EXPECT_EQ(read_u64(in), 0x0102030405060708ull);
        EXPECT_TRUE(std::signbit(read_f32(in)));
        EXPECT_TRUE(std::isnan(read_f32(in)));
        EXPECT_TRUE(read_bool(in));
        // The stream stops at its limit, not at the file's end: the trailer follows the package.
        EXPECT_THROW(read_bool(in), PackageError);
    }
    std::fclose(file);
}

// Refusals name the field and its offset, and a failed read consumes nothing.
TEST(Primitives, ValuesAndCountsThatDoNotFitAreRefused) {
    // A count of n elements of at least k bytes needs n * k of the bytes after it; an element
    // size of 0 is taken as 1. The first row is a u64 cut short.
    struct Case {
        uint64_t count, element_size, available;
        bool fits;
    };
    for (const Case& c :
         {Case{0x0706050403020100, 4, 0, false}, Case{3, 4, 12, true}, Case{4, 4, 12, false},
          Case{uint64_t{1} << 40, 4, 12, false}, Case{UINT64_MAX, 4, 12, false},
          Case{13, 0, 12, false}, Case{13, 0, 13, true}}) {
        Bytes bytes = package_bytes::u64(c.count);
        bytes.resize(c.available == 0 ? 7 : 8 + c.available);
        InputStream in(bytes.data(), bytes.size());
        try {
            EXPECT_EQ(read_count(in, c.element_size, "effects"), c.count);
            EXPECT_TRUE(c.fits);
        } catch (const PackageError& e) {
            EXPECT_FALSE(c.fits) << c.count;
            EXPECT_EQ(e.offset(), 0u);
            EXPECT_NE(std::string(e.what()).find("effects"), std::string::npos) << e.what();
        }
        EXPECT_EQ(in.offset(), c.available == 0 ? 0u : 8u);
    }
    std::FILE* file = std::tmpfile();  // a file shorter than the stream's limit
    std::fwrite("abc", 1, 3, file);
    std::rewind(file);
    InputStream short_file(file, 100);
    EXPECT_THROW(read_u64(short_file), PackageError);
    std::fclose(file);
}

}  // namespace
}  // namespace demo
