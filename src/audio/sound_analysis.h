// Analysis of the mixed output for the shaders: a dB spectrum and the waveform of the left
// channel (the sound texture) and a short-term level (the "sound" uniform).
#pragma once

#include <cstdint>

#include "audio/analysis_exchange.h"

namespace demo {

// Points of the FFT and frames of one mixer chunk.
inline constexpr int kFftSize = 1024;

// Creates the 1024-point forward real FFT the analysis uses. Call once before the analysis
// is registered; safe to call again.
void create_fft_configuration();

// Analyses `frames` interleaved stereo frames of signed 16-bit samples into `out`. Needs at
// least 2 frames; fewer leave `out` silent.
void analyse_chunk(const int16_t* samples, int frames, AnalysisSnapshot& out);

// Mixer post-mix callback: analyses the chunk and publishes it; leaves the stream unchanged.
void analyse_output(int channel, void* stream, int length, void* user_data);

// Rendering thread: the newest published analysis (zeros before the music starts).
const AnalysisSnapshot& acquire_analysis();

// The "sound" level: the mean of the 100 kept values of the newest analysis the rendering
// thread acquired, truncated toward zero.
int32_t level_average();

}  // namespace demo
