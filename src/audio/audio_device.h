// The audio output every part of the system mixes into.
#pragma once

namespace demo {

// Opens the mixer at 44,100 Hz, signed 16-bit little-endian, stereo, 1024-frame chunks, and
// records the format it got in `audio_frequency` and `audio_channels`. False when the device
// cannot be opened.
bool open_audio_device();

}  // namespace demo
