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

template <typename Write>
Bytes written(Write&& write) {
    Bytes bytes;
    OutputStream out(bytes);
    write(out);
    EXPECT_EQ(out.written(), bytes.size());
    return bytes;
}

TEST(PrimitivesWrite, FixedWidthLittleEndian) {
    EXPECT_EQ(written([](OutputStream& o) { write_bool(o, true); }), (Bytes{1}));
    EXPECT_EQ(written([](OutputStream& o) { write_bool(o, false); }), (Bytes{0}));
    EXPECT_EQ(written([](OutputStream& o) { write_i32(o, -2); }), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(written([](OutputStream& o) { write_i32(o, 0x12345678); }),
              (Bytes{0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(written([](OutputStream& o) { write_u32(o, 0xDEADBEEF); }),
              (Bytes{0xEF, 0xBE, 0xAD, 0xDE}));
    EXPECT_EQ(written([](OutputStream& o) { write_f32(o, 1.0f); }), (Bytes{0, 0, 0x80, 0x3F}));
    EXPECT_EQ(written([](OutputStream& o) { write_f32(o, -2.5f); }), (Bytes{0, 0, 0x20, 0xC0}));
    EXPECT_EQ(written([](OutputStream& o) { write_u64(o, 0x0102030405060708ull); }),
              (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST(PrimitivesWrite, FieldsFollowOneAnotherWithoutPadding) {
    const Bytes bytes = written([](OutputStream& o) {
        write_bool(o, true);
        write_u64(o, 3);
        write_i32(o, -1);
        write_bool(o, false);
    });
    EXPECT_EQ(bytes, (Bytes{1, 3, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0}));
}

TEST(PrimitivesRead, ReadsWhatWasWritten) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes bytes = written([&](OutputStream& o) {
        write_bool(o, true);
        write_i32(o, INT32_MIN);
        write_u32(o, UINT32_MAX);
        write_f32(o, -0.0f);
        write_f32(o, nan);
        write_f32(o, 3.25e-7f);
        write_u64(o, UINT64_MAX - 5);
    });
    InputStream in(bytes.data(), bytes.size());
    EXPECT_TRUE(read_bool(in));
    EXPECT_EQ(read_i32(in), INT32_MIN);
    EXPECT_EQ(read_u32(in), UINT32_MAX);
    const float negative_zero = read_f32(in);
    EXPECT_EQ(negative_zero, 0.0f);
    EXPECT_TRUE(std::signbit(negative_zero));
    EXPECT_TRUE(std::isnan(read_f32(in)));
    EXPECT_EQ(read_f32(in), 3.25e-7f);
    EXPECT_EQ(read_u64(in), UINT64_MAX - 5);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(in.offset(), bytes.size());
}

TEST(PrimitivesRead, AnyNonZeroByteIsTrue) {
    const Bytes bytes = {0, 1, 2, 0xFF};
    InputStream in(bytes.data(), bytes.size());
    EXPECT_FALSE(read_bool(in));
    EXPECT_TRUE(read_bool(in));
    EXPECT_TRUE(read_bool(in));
    EXPECT_TRUE(read_bool(in));
}

TEST(PrimitivesRead, ValueCutByTheEndIsAPackageError) {
    const Bytes bytes = {1, 2, 3, 4, 5, 6, 7};
    {
        InputStream in(bytes.data(), bytes.size());
        try {
            read_u64(in, "the end beat");
            FAIL() << "expected a PackageError";
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 0u);
            EXPECT_NE(std::string(e.what()).find("the end beat"), std::string::npos);
        }
    }
    {
        InputStream in(bytes.data(), bytes.size());
        EXPECT_EQ(read_u32(in), 0x04030201u);
        try {
            read_f32(in);
            FAIL() << "expected a PackageError";
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 4u);
        }
        // A failed read consumes nothing.
        EXPECT_EQ(in.offset(), 4u);
        EXPECT_EQ(in.remaining(), 3u);
    }
    InputStream empty(static_cast<const uint8_t*>(nullptr), 0);
    EXPECT_THROW(read_bool(empty), PackageError);
}

TEST(PrimitivesReadCount, AcceptsCountsThatFit) {
    // A count of 3 elements of at least 4 bytes needs 12 of the 12 bytes that follow it.
    Bytes bytes = written([](OutputStream& o) { write_u64(o, 3); });
    bytes.resize(bytes.size() + 12, 0);
    InputStream in(bytes.data(), bytes.size());
    EXPECT_EQ(read_count(in, 4, "effects"), 3u);
    EXPECT_EQ(in.offset(), 8u);

    const Bytes zero = written([](OutputStream& o) { write_u64(o, 0); });
    InputStream zero_in(zero.data(), zero.size());
    EXPECT_EQ(read_count(zero_in, 8, "events"), 0u);
}

TEST(PrimitivesReadCount, RejectsCountsLargerThanWhatIsLeft) {
    for (uint64_t count : {uint64_t{4}, uint64_t{1} << 40, UINT64_MAX}) {
        Bytes bytes = written([&](OutputStream& o) { write_u64(o, count); });
        bytes.resize(bytes.size() + 12, 0);
        InputStream in(bytes.data(), bytes.size());
        try {
            read_count(in, 4, "effects");
            FAIL() << "expected a PackageError for " << count;
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 0u);
            EXPECT_NE(std::string(e.what()).find("effects"), std::string::npos);
        }
    }
    // An element size of 0 is taken as 1: 13 elements cannot fit in 12 bytes.
    Bytes bytes = written([](OutputStream& o) { write_u64(o, 13); });
    bytes.resize(bytes.size() + 12, 0);
    InputStream in(bytes.data(), bytes.size());
    EXPECT_THROW(read_count(in, 0, "bytes"), PackageError);
    bytes.push_back(0);
    InputStream again(bytes.data(), bytes.size());
    EXPECT_EQ(read_count(again, 0, "bytes"), 13u);
}

// A temporary file holding `bytes`, positioned at its start.
std::FILE* temp_file_with(const Bytes& bytes) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

TEST(FileStreams, WriteTheSameBytesAsMemoryStreams) {
    auto write_all = [](OutputStream& o) {
        write_u32(o, 0xCAFEF00D);
        write_f32(o, 130.0f);
        write_bool(o, true);
    };
    const Bytes expected = written(write_all);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    OutputStream out(file);
    write_all(out);
    EXPECT_TRUE(out.ok());
    EXPECT_EQ(out.written(), expected.size());
    std::rewind(file);
    Bytes actual(expected.size() + 1);
    actual.resize(std::fread(actual.data(), 1, actual.size(), file));
    std::fclose(file);
    EXPECT_EQ(actual, expected);
}

TEST(FileStreams, ReadStopsAtTheLimitNotAtTheFileEnd) {
    // The package is followed by the trailer in the same file; reads must not run into it.
    std::FILE* file = temp_file_with({1, 0, 0, 0, 'D', 'E', 'M', 'O'});
    InputStream in(file, 4);
    EXPECT_EQ(read_u32(in), 1u);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_THROW(read_bool(in), PackageError);
    std::fclose(file);
}

TEST(FileStreams, FileShorterThanTheLimitIsAPackageError) {
    std::FILE* file = temp_file_with({1, 2, 3});
    InputStream in(file, 100);
    EXPECT_THROW(read_u64(in), PackageError);
    std::fclose(file);
}

}  // namespace
}  // namespace demo
