#include "serialization/scramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "test_support.h"

namespace demo {
namespace {

using test_util::reference_keystream;

std::vector<uint8_t> keystream(size_t length) {
    std::vector<uint8_t> bytes(length, 0);
    scramble(bytes.data(), bytes.size());
    return bytes;
}

// Number of steps the walk from the seed takes to reach 1 (the keystream's period).
size_t steps_to_one() {
    int64_t state = 70937;
    size_t steps = 0;
    while (state != 1) {
        state = (state % 2 != 0) ? 3 * state + 1 : state / 2;
        ++steps;
    }
    return steps;
}

TEST(Scramble, FirstKeyBytes) {
    // 70937 is odd: 212812; then even: 106406, 53203; odd again: 159610.
    const std::vector<uint8_t> keys = keystream(4);
    EXPECT_EQ(keys[0], (3 * 70937 + 1) & 0xFF);
    EXPECT_EQ(keys[1], (212812 / 2) & 0xFF);
    EXPECT_EQ(keys[2], (106406 / 2) & 0xFF);
    EXPECT_EQ(keys[3], (3 * 53203 + 1) & 0xFF);
    EXPECT_EQ(keys[0], 0x4C);
}

TEST(Scramble, KeystreamFollowsTheWalkAcrossSeveralPeriods) {
    const size_t period = steps_to_one();
    EXPECT_EQ(keystream(3 * period + 17), reference_keystream(3 * period + 17));
}

TEST(Scramble, EveryLengthAndAlignmentFollowsTheWalk) {
    // Lengths across whole words, chunks and period ends, starting at every offset in a word;
    // nothing before or after the range may change.
    constexpr size_t kMax = 600;
    const std::vector<uint8_t> keys = reference_keystream(kMax);
    for (size_t align = 0; align < 8; ++align) {
        for (size_t length = 0; length <= kMax; ++length) {
            std::vector<uint8_t> bytes(kMax + 16, 0);
            scramble(bytes.data() + align, length);
            std::vector<uint8_t> expected(kMax + 16, 0);
            std::copy(keys.begin(), keys.begin() + length, expected.begin() + align);
            ASSERT_EQ(bytes, expected) << "length " << length << " at offset " << align;
        }
    }
}

TEST(Scramble, WalkRestartsAtOne) {
    const size_t period = steps_to_one();
    const std::vector<uint8_t> keys = keystream(2 * period + 5);
    // The step that reaches 1 uses 0xB5 (not 0x01); the walk then starts over from the seed.
    EXPECT_EQ(keys[period - 1], 0xB5);
    EXPECT_EQ(keys[2 * period - 1], 0xB5);
    for (size_t k = 0; k < period + 5; ++k)
        ASSERT_EQ(keys[period + k], keys[k]) << k;
}

TEST(Scramble, WalkStaysWithinThirtyTwoBits) {
    // The state is a signed 32-bit integer; the walk from the seed must never overflow it.
    int64_t state = 70937;
    int64_t peak = state;
    while (state != 1) {
        state = (state % 2 != 0) ? 3 * state + 1 : state / 2;
        peak = std::max(peak, state);
    }
    EXPECT_LT(peak, INT32_MAX);
}

TEST(Scramble, IsXorAndItsOwnInverse) {
    const std::vector<uint8_t> original =
        test_util::sample_data(test_util::Shape::Mixture, 5000, 3);
    std::vector<uint8_t> bytes = original;
    scramble(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, test_util::xor_with_keystream(original));
    EXPECT_NE(bytes, original);
    scramble(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, original);
}

TEST(Scramble, EveryCallStartsAtTheSeed) {
    std::vector<uint8_t> a(300, 0x11);
    std::vector<uint8_t> b(300, 0x11);
    scramble(a.data(), 100);
    scramble(a.data() + 100, 200);
    scramble(b.data(), 100);
    scramble(b.data() + 100, 100);
    scramble(b.data() + 200, 100);
    // Each call's first bytes use the first keys, whatever came before.
    EXPECT_EQ(a[0], a[100]);
    EXPECT_EQ(b[100], b[200]);
    EXPECT_EQ(std::vector<uint8_t>(a.begin(), a.begin() + 200),
              std::vector<uint8_t>(b.begin() + 100, b.begin() + 300));
}

TEST(Scramble, EmptyIsANoOp) {
    scramble(nullptr, 0);
    uint8_t byte = 0x42;
    scramble(&byte, 0);
    EXPECT_EQ(byte, 0x42);
}

}  // namespace
}  // namespace demo
