// Decoding and firing audio samples, with the music ducked while any of them plays.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_sample.h"

namespace demo {

// Music volume while at least one sample plays, and at rest.
inline constexpr int kDuckedMusicVolume = 100;
inline constexpr int kFullMusicVolume = 128;

// Decodes the sample's bytes with the mixer and sets `duration_ms`; undecodable bytes leave
// no chunk and a length of 0. Needs the audio device open.
void decode_audio_sample(AudioSample& sample);

// Starts the sample on a free channel unless it is held, ducks the music and arms a restore
// timer for the sample's length. A sample started again while it sounds plays twice, as two
// activations of its event ask.
void play_sample(AudioSample& sample);

// Restore timer callback (SDL's timer thread): one play of the sample is over, and the music
// returns to full volume once no sample plays. Returns 0 so the timer does not repeat.
uint32_t on_sample_finished(uint32_t interval, void* sample);

// Number of plays between their start and their restore timer.
int32_t samples_playing();

// Takes samples out of use: silences every channel and frees their decoded sounds. Each
// sample is kept until its restore timer, which holds a pointer to it, has run.
void retire_samples(std::vector<std::unique_ptr<AudioSample>> samples);

}  // namespace demo
