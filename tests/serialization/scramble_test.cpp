#include "serialization/scramble.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;

// The walk from 70937 reaches 1 after 218 steps, so these lengths cross several restarts.
TEST(Scramble, EveryLengthAndAlignmentFollowsTheWalk) {
    // 70937 is odd: 212812 (0x4C); then even: 106406, 53203; odd again: 159610.
    const Bytes keys = keystream(700);
    EXPECT_EQ(Bytes(keys.begin(), keys.begin() + 4),
              (Bytes{0x4C, 106406 & 0xFF, 53203 & 0xFF, 159610 & 0xFF}));
    // The step that reaches 1 uses 0xB5 (not 0x01); the walk then starts over from the seed.
    EXPECT_EQ(keys[217], 0xB5);
    EXPECT_EQ(keys[218], 0x4C);
    // Whole words, chunks and period ends, at every offset in a word: each byte is xored with
    // its key, nothing around the range changes, and every call starts at the seed.
    const Bytes data = test_util::sample_data(test_util::Shape::Noise, keys.size() + 16, 3);
    for (size_t align = 0; align < 8; ++align) {
        for (size_t length = 0; length <= keys.size(); ++length) {
            Bytes bytes = data;
            scramble(bytes.data() + align, length);
            Bytes expected = data;
            for (size_t i = 0; i < length; ++i)
                expected[align + i] ^= keys[i];
            ASSERT_EQ(bytes, expected) << "length " << length << " at offset " << align;
        }
    }
    scramble(nullptr, 0);
}

}  // namespace
}  // namespace demo
