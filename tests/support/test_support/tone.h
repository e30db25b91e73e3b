// Following one pure tone through a mix: every sound has a frequency of its own.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace demo::tone {

// The left channel of interleaved 16-bit little-endian stereo from byte `from` on, as -1..1.
inline std::vector<float> left_channel(const std::vector<uint8_t>& bytes, size_t from = 0) {
    std::vector<float> left(bytes.size() > from ? (bytes.size() - from) / 4 : 0);
    for (size_t i = 0; i < left.size(); ++i) {
        const uint8_t* value = &bytes[from + 4 * i];
        left[i] = static_cast<float>(static_cast<int16_t>(value[0] | value[1] << 8) / 32768.0);
    }
    return left;
}

// Amplitude (of full scale) of `hz` in `seconds` of `sound` from `at` seconds on, by the
// Goertzel recurrence; time past the end counts as silence.
inline double amplitude(const std::vector<float>& sound, int rate, double at, double seconds,
                        double hz) {
    const double c = 2.0 * std::cos(2.0 * M_PI * hz / rate);
    const int64_t first = static_cast<int64_t>(at * rate);
    const int64_t count = static_cast<int64_t>(seconds * rate);
    double s1 = 0.0;
    double s2 = 0.0;
    for (int64_t i = first; i < first + count; ++i) {
        const bool inside = i >= 0 && i < static_cast<int64_t>(sound.size());
        const double s = (inside ? sound[static_cast<size_t>(i)] : 0.0) + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return 2.0 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) /
           static_cast<double>(count);
}

}  // namespace demo::tone
