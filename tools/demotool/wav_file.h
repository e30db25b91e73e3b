// WAV files of the sound demotool writes: the rendered mix and the starter project's music.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// Writes interleaved 16-bit stereo at 44.1 kHz as a WAV file. Throws std::runtime_error when
// it cannot be written.
void write_wav(const std::string& path, const std::vector<int16_t>& samples);

}  // namespace demo
