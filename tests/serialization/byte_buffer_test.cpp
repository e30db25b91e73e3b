#include "serialization/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;

// The size, then the bytes scrambled but never compressed: a long run stays as long as it is.
TEST(ByteBufferBinary, SizeThenScrambledBytesAndBack) {
    const Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'I', 'F', 'F', 0, 0, 0, 0};
    for (const Bytes& data : {Bytes{}, riff, Bytes(10000, 0)})
        EXPECT_EQ(binary_form(ByteBuffer(data.data(), data.size())), stored_buffer(data));
    uint32_t seed = 700;
    for (test_util::Shape shape : {test_util::Shape::Runs, test_util::Shape::Mixture}) {
        for (size_t size : test_util::sample_sizes()) {
            const Bytes data = test_util::sample_data(shape, size, ++seed);
            SCOPED_TRACE(std::to_string(size));
            const ByteBuffer buffer(data.data(), data.size());
            const Bytes bytes = binary_form(buffer);
            ASSERT_EQ(bytes.size(), 8 + size);
            // Writing leaves the buffer as it was, so a second write gives the same bytes.
            EXPECT_EQ(buffer.data, data);
            EXPECT_EQ(binary_form(buffer), bytes);
            // Reading replaces what the buffer held.
            ByteBuffer back(reinterpret_cast<const uint8_t*>("old contents"), 12);
            InputStream in(bytes.data(), bytes.size());
            back.read_binary(in);
            EXPECT_EQ(back.data, data);
            EXPECT_EQ(in.remaining(), 0u);
        }
    }
}

TEST(ByteBufferBinary, SizeLargerThanWhatIsLeftIsAPackageError) {
    for (uint64_t size : {uint64_t{5}, uint64_t{1} << 40, UINT64_MAX}) {
        Bytes bytes = u64(size);
        append(bytes, {1, 2, 3, 4});
        InputStream in(bytes.data(), bytes.size());
        try {
            ByteBuffer buffer(in);
            FAIL() << "expected a PackageError for size " << size;
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 8u);
        }
    }
    const Bytes cut = {3, 0, 0, 0};
    InputStream in(cut.data(), cut.size());
    EXPECT_THROW(ByteBuffer{in}, PackageError);
}

TEST(ByteBufferJson, IsBase64TextAndNothingElse) {
    const ByteBuffer buffer(reinterpret_cast<const uint8_t*>("foobar"), 6);
    EXPECT_EQ(buffer.to_json(false), Json("Zm9vYmFy"));
    EXPECT_EQ(buffer.to_json(true), Json("Zm9vYmFy"));  // a bare buffer embeds either way
    EXPECT_EQ(ByteBuffer().to_json(false), Json(""));
    EXPECT_EQ(ByteBuffer(Json("Zm9vYg==")).data, bytes_of("foob"));
    EXPECT_EQ(ByteBuffer(Json("-_-_")).data, (Bytes{0xFB, 0xFF, 0xBF}));
    EXPECT_THROW(ByteBuffer(Json("Zm9v\nYmFy")), std::runtime_error);
    for (const Json& value : {Json(nullptr), Json(42), Json::array({1, 2}), Json::object()}) {
        ByteBuffer old(reinterpret_cast<const uint8_t*>("old"), 3);
        old.from_json(value);
        EXPECT_TRUE(old.data.empty()) << value.dump();
    }
}

TEST(ByteBufferFile, ReadsAWholeFile) {
    ScopedWorkDir dir;
    const Bytes data = test_util::sample_data(test_util::Shape::Noise, 70000, 13);
    write_file_bytes("noise.bin", data);
    EXPECT_EQ(ByteBuffer(std::string("noise.bin")).data, data);
}

}  // namespace
}  // namespace demo
