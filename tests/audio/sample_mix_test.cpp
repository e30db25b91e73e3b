// Samples against the music, in the live mixer and in the offline mix, with the mixer open on
// SDL's dummy driver; and the sound texture the player makes for the shaders.
#include <SDL_mixer.h>

#include "audio/audio_device.h"
#include "audio/sample_playback.h"
#include "demo/offline_mix.h"
#include "player/player_media.h"
#include "test_support/gl_fixture.h"
#include "test_support/package_bytes.h"

namespace demo {
namespace {

class SampleMix : public gl_test::GlTest {
protected:
    static void SetUpTestSuite() {
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_TIMER), 0) << SDL_GetError();
        ASSERT_TRUE(open_audio_device()) << Mix_GetError();
    }
};

// A WAV file of 16-bit stereo at 44.1 kHz whose every value is `level`.
std::unique_ptr<ByteBuffer> constant_wav(double seconds, int16_t level) {
    using namespace package_bytes;
    const auto size = static_cast<uint32_t>(seconds * 44100) * 4;
    Bytes wav = concat({bytes_of("RIFF"), u64(36 + size, 4), bytes_of("WAVEfmt "), u64(16, 4),
                        u64(1, 2), u64(2, 2), u64(44100, 4), u64(176400, 4), u64(4, 2), u64(16, 2),
                        bytes_of("data"), u64(size, 4)});
    for (uint32_t i = 0; i < size / 2; ++i)
        append(wav, u64(static_cast<uint16_t>(level), 2));
    return std::make_unique<ByteBuffer>(wav.data(), wav.size());
}

TEST_F(SampleMix, TheSoundTextureHasTheSpectrumAndTheWaveformRows) {
    PlayerMedia(false).demo_loaded(demo);
    EXPECT_EQ(gl_test::texture_size(demo.sound_texture->texture_id), std::pair(1024, 2));
}

// The music is ducked from a sample's start until its last play has ended; each start plays.
TEST_F(SampleMix, TheMusicIsDuckedUntilTheLastPlayEnds) {
    static AudioSample sample;  // the restore timers hold it until they have run
    sample.duration_ms = 300;
    play_sample(sample);
    play_sample(sample);
    EXPECT_EQ(samples_playing(), 2);
    EXPECT_EQ(Mix_VolumeMusic(-1), kDuckedMusicVolume);
    for (int waited = 0; samples_playing() > 0 && waited < 10000; waited += 10)
        SDL_Delay(10);
    EXPECT_EQ(samples_playing(), 0);
    EXPECT_EQ(sample.playing.load(), 0);
    EXPECT_EQ(Mix_VolumeMusic(-1), kFullMusicVolume);
}

// At 120 bpm and a beat offset of 0.5, beat 1 is 0.75 s into the music: frame 33075. Music of
// constant level 12800 is ducked to 12800 * 100 / 128 = 10000 for the silent sample's 250 ms,
// once: its event lasts a beat (0.5 s), and the sample does not start again when it ends. A loud
// sample at beat 2 (frame 55125) saturates the sum, 10000 + 30000, at 32767.
TEST_F(SampleMix, TheOfflineMixDucksTheMusicFromTheSamplesBeatForItsLength) {
    demo.bpm = 120.0f;
    demo.beat_offset = 0.5f;
    demo.music = constant_wav(1.5, 12800);
    demo.audio_samples.push_back(std::make_unique<AudioSample>());
    demo.audio_samples[0]->audio_buffer = constant_wav(0.25, 0);
    demo.audio_samples[0]->duration_ms = 250;
    demo.audio_samples.push_back(std::make_unique<AudioSample>());
    demo.audio_samples[1]->audio_buffer = constant_wav(0.1, 30000);
    demo.audio_samples[1]->duration_ms = 100;
    for (int i = 0; i < 2; ++i) {
        Event* event = gl_test::add_event(demo, kAudioSampleEvent, 1.0f + i, 2.0f + i);
        event->audio_sample.object = demo.audio_samples[i].get();
    }
    const OfflineMix mix(demo, 1.5);
    for (const auto& [frame, level] : {std::pair{11025, 12800},
                                       {33074, 12800},
                                       {33075, 10000},
                                       {44099, 10000},
                                       {44100, 12800},
                                       {55124, 12800},
                                       {55125, 32767}})
        EXPECT_EQ(mix.frames(frame, 1), std::vector<int16_t>(2, static_cast<int16_t>(level)))
            << frame;
}

}  // namespace
}  // namespace demo
