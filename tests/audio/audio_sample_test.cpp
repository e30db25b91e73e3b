#include "audio/audio_sample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_bytes.h"

namespace demo {
namespace {

using namespace package_bytes;

TEST(SampleDuration, MillisecondsOfSixteenBitAudioTruncated) {
    struct Case {
        uint64_t bytes;
        int32_t channels, frequency;
        uint32_t ms;
    };
    const Case cases[] = {
        {88200, 2, 44100, 500},  // 22050 frames of 4 bytes
        {88200, 1, 44100, 1000},
        {96000, 2, 48000, 500},
        {88199, 2, 44100, 499},  // one byte short of 500 ms
        {0, 2, 44100, 0},
        {5292000, 2, 44100, 30000},  // 30 s: the product with 500 does not fit in 32 bits
        {105840000, 2, 44100, 600000},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sample_duration_ms(c.bytes, c.channels, c.frequency), c.ms) << c.bytes;
}

// The name as a stored string, then the sound file's bytes as a stored buffer; a sample
// without bytes writes an empty buffer so the next object stays readable.
TEST(AudioSampleBinary, NameThenSoundFileBytes) {
    const Bytes data = {'R', 'I', 'F', 'F', 0x00, 0xFF, 0x10, 0x80};
    AudioSample kick;
    kick.name = "sounds/kick.wav";
    kick.audio_buffer = std::make_unique<ByteBuffer>(data.data(), data.size());
    AudioSample empty;
    empty.name = "none";
    Bytes bytes;
    OutputStream out(bytes);
    kick.write_binary(out);
    empty.write_binary(out);
    Bytes expected = stored_string("sounds/kick.wav");
    append(expected, stored_buffer(data));
    append(expected, stored_string("none"));
    append(expected, stored_buffer({}));
    EXPECT_EQ(bytes, expected);

    InputStream in(bytes.data(), bytes.size());
    const AudioSample first(in);
    const AudioSample second(in);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(first.name, "sounds/kick.wav");
    ASSERT_NE(first.audio_buffer, nullptr);
    EXPECT_EQ(first.audio_buffer->data, data);
    EXPECT_EQ(second.name, "none");
    EXPECT_EQ(second.encoded_size(), 0u);
}

}  // namespace
}  // namespace demo
