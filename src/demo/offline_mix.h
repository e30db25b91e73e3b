// The demo's sound mixed offline, as the player would mix it: the music from its start, each
// sample from the frame that fires it, the music ducked while any sample plays.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace demo {

class AudioSample;
class Demo;

// Most frames a mix may span either side of the music's start: 2^30, about 6.8 hours, which
// also keeps a WAV of the span within its 32-bit size field.
inline constexpr int64_t kMaxMixFrames = int64_t{1} << 30;

// `frames` (already rounded as the caller needs) as an integer frame position; throws
// std::range_error naming `what` when it is not finite or lies beyond kMaxMixFrames, where
// a conversion to an integer would be undefined or the mix unbounded.
int64_t checked_frame(double frames, const char* what);

class OfflineMix {
public:
    static constexpr int kFrequency = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kMaxFramesPerSecond = 1000;

    // Decodes the music (needs the mixer open, any driver) and simulates the frame walk at
    // `frames_per_second` up to `seconds` to find when every sample starts. Throws
    // std::range_error for a span beyond kMaxMixFrames or a rate outside 1 to 1000.
    OfflineMix(Demo& demo, double seconds, int frames_per_second = 60);

    // Interleaved stereo frames [first, first + count); frames before the music starts or
    // after the mix ends are silent.
    std::vector<int16_t> frames(int64_t first, int64_t count) const;

    // The same frames written into `out`, which holds count × kChannels values; for callers
    // that take the mix piece by piece into one buffer.
    void frames_into(int64_t first, int64_t count, int16_t* out) const;

    bool has_music() const { return has_music_; }
    int64_t length() const { return length_; }

private:
    struct Voice {
        const std::vector<int16_t>* pcm;
        int64_t start;
    };

    int64_t length_ = 0;
    bool has_music_ = false;
    std::vector<int16_t> music_;
    std::map<const AudioSample*, std::vector<int16_t>> sample_pcm_;
    std::vector<Voice> voices_;
    std::vector<std::pair<int64_t, int64_t>> ducked_;  // [start, end) frames
};

}  // namespace demo
