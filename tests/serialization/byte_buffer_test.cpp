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

// The stored form (size, then the bytes scrambled, never compressed) is fixed by demotool's
// pack tests; here reading replaces what the buffer held, and a size larger than what is left
// is refused at the bytes it promises.
TEST(ByteBufferBinary, ReadReplacesTheContentsOrIsRefused) {
    const Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    const Bytes bytes = stored_buffer(riff);
    ByteBuffer back(reinterpret_cast<const uint8_t*>("old contents"), 12);
    InputStream in(bytes.data(), bytes.size());
    back.read_binary(in);
    EXPECT_EQ(back.data, riff);
    for (uint64_t size : {uint64_t{5}, uint64_t{1} << 40, UINT64_MAX}) {
        Bytes promised = u64(size);
        append(promised, {1, 2, 3, 4});
        InputStream short_in(promised.data(), promised.size());
        try {
            ByteBuffer buffer(short_in);
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
