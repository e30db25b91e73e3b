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

// The size, then the bytes scrambled but never compressed (a long run stays as long as it is);
// reading replaces what the buffer held.
TEST(ByteBufferBinary, SizeThenScrambledBytesAndBack) {
    const Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'R', 'I', 'F', 'F', 0, 0, 0, 0};
    for (const Bytes& data : {Bytes{}, riff, Bytes(10000, 0)}) {
        const Bytes bytes = test_util::binary_form(ByteBuffer(data.data(), data.size()));
        EXPECT_EQ(bytes, stored_buffer(data));
        ByteBuffer back(reinterpret_cast<const uint8_t*>("old contents"), 12);
        InputStream in(bytes.data(), bytes.size());
        back.read_binary(in);
        EXPECT_EQ(back.data, data);
    }
    // A size larger than what is left is refused at the bytes it promises.
    for (uint64_t size : {uint64_t{5}, uint64_t{1} << 40, UINT64_MAX}) {
        Bytes bytes = u64(size);
        append(bytes, {1, 2, 3, 4});
        InputStream in(bytes.data(), bytes.size());
        try {
            ByteBuffer buffer(in);
            ADD_FAILURE() << "expected a PackageError for size " << size;
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 8u);
        }
    }
}

TEST(ByteBufferJson, IsBase64TextAndNothingElse) {
    const ByteBuffer buffer(reinterpret_cast<const uint8_t*>("foobar"), 6);
    EXPECT_EQ(buffer.to_json(false), Json("Zm9vYmFy"));
    EXPECT_EQ(buffer.to_json(true), Json("Zm9vYmFy"));  // a bare buffer embeds either way
    EXPECT_EQ(ByteBuffer(Json("Zm9vYg==")).data, bytes_of("foob"));
    for (const Json& value : {Json(nullptr), Json(42), Json::array({1, 2}), Json::object()}) {
        ByteBuffer old(reinterpret_cast<const uint8_t*>("old"), 3);
        old.from_json(value);
        EXPECT_TRUE(old.data.empty()) << value.dump();
    }
}

}  // namespace
}  // namespace demo
