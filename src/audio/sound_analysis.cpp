#include "audio/sound_analysis.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace demo {

namespace {

kiss_fftr_cfg fft_configuration = nullptr;
AnalysisExchange exchange;

// The FFT's buffers belong to the one thread that analyses; they live here so the callback
// allocates nothing.
kiss_fft_scalar fft_input[kFftSize];
kiss_fft_cpx fft_output[kFftSize / 2 + 1];

void fill_texel(uint8_t* row, int x, uint8_t value) {
    std::memset(row + x * 4, value, 4);
}

}  // namespace

void create_fft_configuration() {
    if (fft_configuration == nullptr)
        fft_configuration = kiss_fftr_alloc(kFftSize, 0, nullptr, nullptr);
}

void analyse_chunk(const int16_t* samples, int frames, AnalysisSnapshot& out) {
    uint8_t* spectrum_row = out.sound_bytes.data();
    uint8_t* wave_row = out.sound_bytes.data() + kSoundTextureWidth * 4;
    if (frames < 2) {
        out.sound_bytes.fill(0);
        out.levels.fill(0);
        return;
    }
    create_fft_configuration();

    // Waveform and Hamming-windowed FFT input, one texel column per frame.
    std::fill(std::begin(fft_input), std::end(fft_input), 0.0f);
    float window_sum = 0.0f;
    for (int k = 0; k < frames; ++k) {
        const int x = static_cast<int>(static_cast<int64_t>(k) * 1023 / (frames - 1));
        const int16_t left = samples[2 * k];
        fill_texel(wave_row, x, static_cast<uint8_t>(left / 256 + 128));
        const float c = static_cast<float>(std::cos(k * 6.283185307179586 / 1023.0));
        const float w = 0.54f - 0.46f * c;
        window_sum += w;
        fft_input[x] = static_cast<float>(left) * 3.0517578125e-05f * w;
    }
    kiss_fftr(fft_configuration, fft_input, fft_output);

    // dB spectrum from -90 (byte 0) to 0 dB (byte 255); louder bins are held at 255 rather
    // than wrapping round to a quiet value.
    const float norm = 0.5f * window_sum;
    for (uint32_t x = 0; x < kSoundTextureWidth; ++x) {
        const uint32_t j = x * 20000u / 88200u;
        const float re = fft_output[j].r;
        const float im = fft_output[j].i;
        const float m = std::sqrt(re * re + im * im);
        double d = 20.0 * std::log10(static_cast<double>(m / norm));
        if (!(d >= -90.0))
            d = -90.0;  // silence gives log10(0) = -inf
        const int32_t v = static_cast<int32_t>(std::min((d + 90.0) * 255.0 / 90.0, 255.0));
        fill_texel(spectrum_row, static_cast<int>(x), static_cast<uint8_t>(v));
    }

    // Level: absolute values of the first 100 sample values (50 frames, both channels),
    // saturated so that -32768 counts as loud, not as negative.
    const int values = std::min(kLevelCount, frames * 2);
    for (int i = 0; i < kLevelCount; ++i) {
        const int32_t s = i < values ? samples[i] : 0;
        out.levels[i] = static_cast<int16_t>(std::min<int32_t>(std::abs(s), 32767));
    }
}

void analyse_output(int /*channel*/, void* stream, int length, void* /*user_data*/) {
    const int frames = length / 4;
    analyse_chunk(static_cast<const int16_t*>(stream), frames, exchange.write_slot());
    exchange.publish();
}

const AnalysisSnapshot& acquire_analysis() {
    return exchange.acquire();
}

int32_t level_average() {
    int32_t sum = 0;
    for (int16_t level : exchange.current().levels)
        sum += level;
    return sum / kLevelCount;
}

}  // namespace demo
