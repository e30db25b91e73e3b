#include "serialization/scramble.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;

// The walk from 70937 reaches 1 after 218 steps (key 0xB5, not 0x01) and starts over. The model
// the other tests lay records out with meets the library at every length, past three restarts.
TEST(Scramble, EveryLengthFollowsTheWalk) {
    // 70937 is odd: 212812 (0x4C); then even: 106406, 53203; odd again: 159610.
    const Bytes keys = keystream(700);
    EXPECT_EQ(Bytes(keys.begin(), keys.begin() + 4),
              (Bytes{0x4C, 106406 & 0xFF, 53203 & 0xFF, 159610 & 0xFF}));
    EXPECT_EQ(keys[217], 0xB5);
    EXPECT_EQ(keys[218], 0x4C);
    const Bytes data = test_util::sample_data(test_util::Shape::Noise, keys.size() + 1, 3);
    for (size_t length = 0; length <= keys.size(); ++length) {
        Bytes bytes = data;
        scramble(bytes.data(), length);
        ASSERT_EQ(bytes, concat({scrambled(Bytes(data.begin(), data.begin() + length)),
                                 Bytes(data.begin() + length, data.end())}))
            << "length " << length;
    }
}

}  // namespace
}  // namespace demo
