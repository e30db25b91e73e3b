#include "serialization/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support/serialization_support.h"

namespace demo {
namespace {

using namespace package_bytes;

// The stored form is fixed by demotool's pack tests. Reading replaces what the buffer held, and
// a size larger than what is left is refused at the bytes it promises.
TEST(ByteBuffer, ReadsReplaceTheContentsOrAreRefused) {
    const Bytes riff = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    const Bytes bytes = stored_buffer(riff);
    ByteBuffer back(reinterpret_cast<const uint8_t*>("old contents"), 12);
    InputStream in(bytes.data(), bytes.size());
    back.read_binary(in);
    EXPECT_EQ(back.data, riff);
    for (uint64_t size : {uint64_t{5}, uint64_t{1} << 40, UINT64_MAX}) {
        const Bytes promised = concat({u64(size), {1, 2, 3, 4}});
        InputStream short_in(promised.data(), promised.size());
        EXPECT_EQ(test_util::thrown<PackageError>([&short_in] { ByteBuffer{short_in}; }),
                  "package is truncated or corrupt: a byte buffer needs " + std::to_string(size) +
                      " bytes but only 4 remain (at package offset 8)");
    }
}

}  // namespace
}  // namespace demo
