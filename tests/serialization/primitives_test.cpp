#include "serialization/primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;

void write_all(OutputStream& o) {
    write_bool(o, true);
    write_bool(o, false);
    write_i32(o, -2);
    write_i32(o, 0x12345678);
    write_u32(o, 0xDEADBEEF);
    write_f32(o, -2.5f);
    write_u64(o, 0x0102030405060708ull);
    write_f32(o, -0.0f);
    write_f32(o, std::numeric_limits<float>::quiet_NaN());
}

// Little-endian, one field after the other without padding; memory and file streams alike.
TEST(Primitives, WrittenBytesAndReadBack) {
    const Bytes expected = {1,    0,    0xFE, 0xFF, 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE,
                            0xAD, 0xDE, 0,    0,    0x20, 0xC0, 8,    7,    6,    5,    4,    3,
                            2,    1,    0,    0,    0,    0x80, 0,    0,    0xC0, 0x7F};
    Bytes bytes;
    OutputStream memory(bytes);
    write_all(memory);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(memory.written(), expected.size());

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    OutputStream out(file);
    write_all(out);
    EXPECT_TRUE(out.ok());
    EXPECT_EQ(out.written(), expected.size());
    std::rewind(file);
    Bytes actual(expected.size() + 1);
    actual.resize(std::fread(actual.data(), 1, actual.size(), file));
    EXPECT_EQ(actual, expected);

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
        EXPECT_EQ(in.offset(), expected.size());
        // The stream stops at its limit, not at the file's end: the trailer follows the package.
        EXPECT_THROW(read_bool(in), PackageError);
    }
    std::fclose(file);
    const Bytes flags = {2, 0xFF};  // any non-zero byte is true
    InputStream in(flags.data(), flags.size());
    EXPECT_TRUE(read_bool(in));
    EXPECT_TRUE(read_bool(in));
}

// Expects `read` on a stream over `bytes` to throw a PackageError at `offset` naming `what`,
// leaving the stream at `stops_at`.
template <typename Read>
void expect_refused(const Bytes& bytes, Read read, uint64_t offset, const std::string& what,
                    uint64_t stops_at) {
    InputStream in(bytes.data(), bytes.size());
    try {
        read(in);
        ADD_FAILURE() << "expected a PackageError naming " << what;
    } catch (const PackageError& e) {
        EXPECT_EQ(e.offset(), offset);
        EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
    }
    EXPECT_EQ(in.offset(), stops_at);
}

TEST(Primitives, ValuesAndCountsThatDoNotFitAreRefused) {
    const Bytes seven = {1, 2, 3, 4, 5, 6, 7};
    expect_refused(
        seven, [](InputStream& in) { read_u64(in, "the end beat"); }, 0, "end beat", 0);
    expect_refused(
        seven,
        [](InputStream& in) {
            EXPECT_EQ(read_u32(in), 0x04030201u);
            read_f32(in);
        },
        4, "float", 4);  // a failed read consumes nothing
    // A count of n elements of at least 4 bytes needs 4n of the 12 bytes that follow it; an
    // element size of 0 is taken as 1.
    for (uint64_t count : {uint64_t{4}, uint64_t{13}, uint64_t{1} << 40, UINT64_MAX}) {
        Bytes bytes(20, 0);
        for (int k = 0; k < 8; ++k)
            bytes[k] = static_cast<uint8_t>(count >> (8 * k));
        expect_refused(
            bytes, [](InputStream& in) { read_count(in, 4, "effects"); }, 0, "effects", 8);
        if (count == 13) {
            expect_refused(
                bytes, [](InputStream& in) { read_count(in, 0, "bytes"); }, 0, "bytes", 8);
            bytes.push_back(0);
            InputStream in(bytes.data(), bytes.size());
            EXPECT_EQ(read_count(in, 0, "bytes"), 13u);
        }
    }
    Bytes three(20, 0);
    three[0] = 3;
    InputStream in(three.data(), three.size());
    EXPECT_EQ(read_count(in, 4, "effects"), 3u);
    EXPECT_EQ(in.offset(), 8u);
    std::FILE* file = std::tmpfile();  // a file shorter than the stream's limit
    std::fwrite(seven.data(), 1, 3, file);
    std::rewind(file);
    InputStream short_file(file, 100);
    EXPECT_THROW(read_u64(short_file), PackageError);
    std::fclose(file);
}

}  // namespace
}  // namespace demo
