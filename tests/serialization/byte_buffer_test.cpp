#include "serialization/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"
#include "test_support.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;
using test_util::concat;
using test_util::u64_bytes;
using test_util::xor_with_keystream;

Bytes stored(const ByteBuffer& buffer) {
    Bytes bytes;
    OutputStream out(bytes);
    buffer.write_binary(out);
    return bytes;
}

TEST(ByteBufferBinary, EmptyBufferIsEightZeroBytes) {
    EXPECT_EQ(stored(ByteBuffer()), Bytes(8, 0));
}

TEST(ByteBufferBinary, SizeThenScrambledBytesUncompressed) {
    const Bytes data = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'I', 'F', 'F', 0, 0, 0, 0};
    const Bytes expected = concat(u64_bytes(16), xor_with_keystream(data));
    EXPECT_EQ(stored(ByteBuffer(data.data(), data.size())), expected);
    EXPECT_EQ(expected[8], 'R' ^ ((3 * 70937 + 1) & 0xFF));

    // A long run stays as long as it is: buffers are not compressed.
    const Bytes zeros(10000, 0);
    EXPECT_EQ(stored(ByteBuffer(zeros.data(), zeros.size())),
              concat(u64_bytes(10000), xor_with_keystream(zeros)));
}

TEST(ByteBufferBinary, WritingLeavesTheBufferUnchanged) {
    const Bytes data = test_util::sample_data(test_util::Shape::Mixture, 4000, 9);
    ByteBuffer buffer(data.data(), data.size());
    const Bytes first = stored(buffer);
    EXPECT_EQ(buffer.data, data);
    // And so a second write gives the same bytes.
    EXPECT_EQ(stored(buffer), first);
}

TEST(ByteBufferBinary, RoundTripsShapesAndSizes) {
    uint32_t seed = 700;
    for (test_util::Shape shape :
         {test_util::Shape::Runs, test_util::Shape::Noise, test_util::Shape::Mixture}) {
        for (size_t size : test_util::sample_sizes()) {
            const Bytes data = test_util::sample_data(shape, size, ++seed);
            SCOPED_TRACE(std::string(test_util::shape_name(shape)) + " " + std::to_string(size));
            const Bytes bytes = stored(ByteBuffer(data.data(), data.size()));
            ASSERT_EQ(bytes.size(), 8 + size);
            InputStream in(bytes.data(), bytes.size());
            const ByteBuffer back(in);
            EXPECT_EQ(back.data, data);
            EXPECT_EQ(back.size(), size);
            EXPECT_EQ(in.remaining(), 0u);
        }
    }
}

TEST(ByteBufferBinary, ReadReplacesPreviousContents) {
    const Bytes bytes = stored(ByteBuffer(reinterpret_cast<const uint8_t*>("xy"), 2));
    ByteBuffer buffer(reinterpret_cast<const uint8_t*>("a longer buffer"), 15);
    InputStream in(bytes.data(), bytes.size());
    buffer.read_binary(in);
    EXPECT_EQ(buffer.data, (Bytes{'x', 'y'}));
}

TEST(ByteBufferBinary, SizeLargerThanWhatIsLeftIsAPackageError) {
    for (uint64_t size : {uint64_t{5}, uint64_t{1} << 40, UINT64_MAX}) {
        const Bytes bytes = concat(u64_bytes(size), {1, 2, 3, 4});
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

TEST(ByteBufferJson, IsBase64Text) {
    const ByteBuffer buffer(reinterpret_cast<const uint8_t*>("foobar"), 6);
    const Json json = buffer.to_json(false);
    ASSERT_TRUE(json.is_string());
    EXPECT_EQ(json.get<std::string>(), "Zm9vYmFy");
    // A bare buffer embeds its bytes either way.
    EXPECT_EQ(buffer.to_json(true), json);
    EXPECT_EQ(ByteBuffer().to_json(false), Json(""));
}

TEST(ByteBufferJson, ReadsBase64Text) {
    EXPECT_EQ(ByteBuffer(Json("Zm9vYg==")).data, (Bytes{'f', 'o', 'o', 'b'}));
    EXPECT_EQ(ByteBuffer(Json("-_-_")).data, (Bytes{0xFB, 0xFF, 0xBF}));
    EXPECT_THROW(ByteBuffer(Json("Zm9v\nYmFy")), std::runtime_error);
}

TEST(ByteBufferJson, NonStringValueGivesAnEmptyBuffer) {
    for (const Json& value : {Json(nullptr), Json(42), Json::array({1, 2}), Json::object()}) {
        ByteBuffer buffer(reinterpret_cast<const uint8_t*>("old"), 3);
        buffer.from_json(value);
        EXPECT_TRUE(buffer.data.empty()) << value.dump();
    }
}

TEST(ByteBufferJson, RoundTripsShapesAndSizes) {
    uint32_t seed = 900;
    for (test_util::Shape shape : {test_util::Shape::Noise, test_util::Shape::Mixture}) {
        for (size_t size : test_util::sample_sizes()) {
            const Bytes data = test_util::sample_data(shape, size, ++seed);
            SCOPED_TRACE(std::string(test_util::shape_name(shape)) + " " + std::to_string(size));
            const Json json = ByteBuffer(data.data(), data.size()).to_json(false);
            // Through the document's text form as well.
            EXPECT_EQ(ByteBuffer(Json::parse(json.dump())).data, data);
        }
    }
}

TEST(ByteBufferFile, ReadsAWholeFile) {
    const Bytes data = test_util::sample_data(test_util::Shape::Noise, 70000, 13);
    char path[] = "/tmp/byte_buffer_testXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::FILE* file = fdopen(fd, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(data.data(), 1, data.size(), file);
    std::fclose(file);
    EXPECT_EQ(ByteBuffer(std::string(path)).data, data);
    std::remove(path);
}

}  // namespace
}  // namespace demo
