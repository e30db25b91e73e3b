#include "timeline/beat_timing.h"

#include <cstddef>

namespace demo {

float beats_in_ms(float elapsed_ms, float bpm) {
    return elapsed_ms * bpm / 60000.0f;
}

double music_seconds_at(float beat, float bpm, float beat_offset) {
    return (static_cast<double>(beat) + beat_offset) * 60.0 / bpm;
}

float beat_at_seconds(double seconds, float bpm, float beat_offset) {
    return static_cast<float>(seconds * bpm / 60.0 - beat_offset);
}

std::vector<float> frame_beats(float first_beat, int64_t count, int fps, float bpm,
                               float beat_offset) {
    const double start = music_seconds_at(first_beat, bpm, beat_offset);
    std::vector<float> beats;
    beats.reserve(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; ++i)
        beats.push_back(beat_at_seconds(start + static_cast<double>(i) / fps, bpm, beat_offset));
    return beats;
}

}  // namespace demo
