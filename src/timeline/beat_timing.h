// Beat timing: where the musical position meets the clock. The player's beat is the time since
// the music started times the tempo, less the beat offset; every tool that places a beat in
// time (the offline mix, info, render, the video export, the preview) goes through here so
// that the picture and the sound stay in sync.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

// Beats `elapsed_ms` milliseconds cover at `bpm`, in the player's float arithmetic.
float beats_in_ms(float elapsed_ms, float bpm);

// Seconds after the music's start at which the clock reaches `beat`.
double music_seconds_at(float beat, float bpm, float beat_offset);

// The beat the clock shows `seconds` after the music's start.
float beat_at_seconds(double seconds, float bpm, float beat_offset);

// The beats of `count` frames at `fps` frames a second from `first_beat` on, each at an exact
// time so that a long sequence does not drift.
std::vector<float> frame_beats(float first_beat, int64_t count, int fps, float bpm,
                               float beat_offset);

}  // namespace demo
