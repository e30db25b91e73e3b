#include "audio/audio_sample.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace demo {
namespace {

TEST(SampleDuration, MillisecondsOfSixteenBitAudioTruncated) {
    struct Case {
        uint64_t bytes;
        int32_t channels, frequency;
        uint32_t ms;
    };
    const Case cases[] = {
        {88200, 2, 44100, 500},  // 22050 frames of 4 bytes
        {88200, 1, 44100, 1000},
        {88199, 2, 44100, 499},  // one byte short of 500 ms
        {0, 2, 44100, 0},
        {5292000, 2, 44100, 30000},     // 30 s: the product with 500 needs 32 unsigned bits
        {105840000, 2, 44100, 600000},  // 10 min: and more than 32
    };
    for (const Case& c : cases)
        EXPECT_EQ(sample_duration_ms(c.bytes, c.channels, c.frequency), c.ms) << c.bytes;
}

}  // namespace
}  // namespace demo
