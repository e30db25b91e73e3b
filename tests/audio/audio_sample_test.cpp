#include "audio/audio_sample.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/scramble.h"
#include "serialization/stored_string.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;

// -------------------------------------------------------------------------------------------
// Duration of a decoded sample
// -------------------------------------------------------------------------------------------

TEST(SampleDuration, MillisecondsOfSixteenBitAudio) {
    // Half a second of 44.1 kHz stereo: 22050 frames of 4 bytes.
    EXPECT_EQ(sample_duration_ms(88200, 2, 44100), 500u);
    EXPECT_EQ(sample_duration_ms(88200, 1, 44100), 1000u);
    EXPECT_EQ(sample_duration_ms(96000, 2, 48000), 500u);
    // Truncating: one byte short of 500 ms.
    EXPECT_EQ(sample_duration_ms(88199, 2, 44100), 499u);
    EXPECT_EQ(sample_duration_ms(0, 2, 44100), 0u);
}

TEST(SampleDuration, LongSamplesKeepTheirLength) {
    // 30 s of stereo: 5,292,000 bytes, whose product with 500 does not fit in 32 bits.
    EXPECT_EQ(sample_duration_ms(5292000, 2, 44100), 30000u);
    // Ten minutes.
    EXPECT_EQ(sample_duration_ms(105840000, 2, 44100), 600000u);
}

// -------------------------------------------------------------------------------------------
// Stored forms
// -------------------------------------------------------------------------------------------

Bytes write(const AudioSample& sample) {
    Bytes bytes;
    OutputStream out(bytes);
    sample.write_binary(out);
    return bytes;
}

// Name as a stored string, then the sound file's bytes as a 64-bit size and scrambled bytes.
Bytes layout(const std::string& name, Bytes data) {
    Bytes bytes;
    OutputStream out(bytes);
    write_string(name, out);
    for (int k = 0; k < 8; ++k)
        bytes.push_back(static_cast<uint8_t>(data.size() >> (8 * k)));
    scramble(data.data(), data.size());
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
}

std::unique_ptr<AudioSample> with_bytes(const std::string& name, const Bytes& data) {
    auto sample = std::make_unique<AudioSample>();
    sample->name = name;
    sample->audio_buffer = std::make_unique<ByteBuffer>(data.data(), data.size());
    return sample;
}

TEST(AudioSampleBinary, NameThenSoundFileBytes) {
    const Bytes data = {'R', 'I', 'F', 'F', 0x00, 0xFF, 0x10, 0x80};
    const Bytes expected = layout("sounds/kick.wav", data);
    EXPECT_EQ(write(*with_bytes("sounds/kick.wav", data)), expected);

    InputStream in(expected.data(), expected.size());
    const AudioSample back(in);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(back.name, "sounds/kick.wav");
    ASSERT_NE(back.audio_buffer, nullptr);
    EXPECT_EQ(back.audio_buffer->data, data);
}

TEST(AudioSampleBinary, SampleWithoutBytesLeavesTheNextObjectReadable) {
    AudioSample empty;
    empty.name = "none";
    Bytes bytes = write(empty);
    const Bytes next = write(*with_bytes("snare", {1, 2, 3}));
    bytes.insert(bytes.end(), next.begin(), next.end());

    InputStream in(bytes.data(), bytes.size());
    const AudioSample first(in);
    const AudioSample second(in);
    EXPECT_EQ(in.remaining(), 0u);
    EXPECT_EQ(first.name, "none");
    EXPECT_EQ(first.encoded_size(), 0u);
    EXPECT_EQ(second.name, "snare");
    ASSERT_NE(second.audio_buffer, nullptr);
    EXPECT_EQ(second.audio_buffer->data, (Bytes{1, 2, 3}));
}

TEST(AudioSampleJson, EmbeddedBytesAreBase64) {
    const auto sample = with_bytes("kick.wav", {'M', 'a', 'n'});
    EXPECT_EQ(sample->to_json(false),
              Json::parse(R"({"name": "kick.wav", "audio_buffer": "TWFu"})"));

    // The embedded bytes win over a side file, which need not exist.
    const AudioSample back(Json::parse(R"({"name": "no/such/file.wav", "audio_buffer": "TWFu"})"));
    EXPECT_EQ(back.name, "no/such/file.wav");
    ASSERT_NE(back.audio_buffer, nullptr);
    EXPECT_EQ(back.audio_buffer->data, (Bytes{'M', 'a', 'n'}));
}

TEST(AudioSampleJson, ExportedBytesGoToTheFileNamedByTheSample) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("audio_sample_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "hit.ogg").string();
    const Bytes data = {'O', 'g', 'g', 'S', 0, 1, 2, 255};

    const Json json = with_bytes(path, data)->to_json(true);
    EXPECT_EQ(json, Json({{"name", path}}));
    std::ifstream file(path, std::ios::binary);
    const Bytes written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, data);

    const AudioSample back(json);
    EXPECT_EQ(back.name, path);
    ASSERT_NE(back.audio_buffer, nullptr);
    EXPECT_EQ(back.audio_buffer->data, data);

    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace demo
