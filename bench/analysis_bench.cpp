// Cost of analysing one mixer chunk (1024 stereo frames: waveform, windowed 1024-point FFT,
// dB spectrum, level) on music-like audio. The analysis runs on the audio thread once per
// chunk, so its time is set against the 23.2 ms a chunk lasts at 44.1 kHz: after the table a
// summary line gives the median time per chunk and its share of the chunk's duration.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <ostream>
#include <vector>

#include "audio/analysis_exchange.h"
#include "audio/sound_analysis.h"

namespace {

constexpr int kFrames = 1024;
constexpr double kSampleRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

int16_t to_sample(double v) {
    return static_cast<int16_t>(std::clamp(std::lround(v * 32767.0), -32768l, 32767l));
}

// A bar of a small mix: a bass with overtones, a three-note chord, a decaying hi-hat of
// noise and a kick thump, slightly different on the two channels.
std::vector<int16_t> music_like_chunk() {
    std::vector<int16_t> samples(kFrames * 2);
    uint32_t seed = 0x2545F491u;
    const double chord[] = {261.63, 329.63, 392.0};
    for (int k = 0; k < kFrames; ++k) {
        const double t = k / kSampleRate;
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
        double bass = 0.0;
        for (int h = 1; h <= 6; ++h)
            bass += std::sin(2 * kPi * 55.0 * h * t) / h;
        double pad = 0.0;
        for (double f : chord)
            pad += std::sin(2 * kPi * f * t) + 0.3 * std::sin(4 * kPi * f * t);
        const double hat = noise * std::exp(-t * 200.0);
        const double kick =
            std::sin(2 * kPi * (60.0 + 80.0 * std::exp(-t * 40.0)) * t) * std::exp(-t * 25.0);
        const double mix = 0.18 * bass + 0.07 * pad + 0.25 * hat + 0.35 * kick;
        samples[2 * k] = to_sample(mix);
        samples[2 * k + 1] = to_sample(0.9 * mix + 0.03 * std::sin(2 * kPi * 880.0 * t));
    }
    return samples;
}

void BM_AnalyseChunk(benchmark::State& state) {
    const std::vector<int16_t> samples = music_like_chunk();
    auto snapshot = std::make_unique<demo::AnalysisSnapshot>();
    demo::create_fft_configuration();
    for (auto _ : state) {
        demo::analyse_chunk(samples.data(), kFrames, *snapshot);
        benchmark::DoNotOptimize(snapshot->sound_bytes.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AnalyseChunk)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The console table, then the median per chunk beside the chunk's duration.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                // Adjusted times are in the benchmark's unit, microseconds.
                cpu_us_ = run.GetAdjustedCPUTime();
                real_us_ = run.GetAdjustedRealTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (cpu_us_ <= 0.0)
            return;
        const double chunk_us = kFrames / kSampleRate * 1e6;
        char line[200];
        std::snprintf(line, sizeof line,
                      "\nmedian per chunk: %.1f us CPU (%.1f us wall) against %.1f ms of audio: "
                      "%.3f%% of the chunk (1/%.0f)\n",
                      cpu_us_, real_us_, chunk_us / 1000.0, 100.0 * cpu_us_ / chunk_us,
                      chunk_us / cpu_us_);
        GetOutputStream() << line;
        GetOutputStream().flush();
    }

private:
    double cpu_us_ = 0.0;
    double real_us_ = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Colours only on a terminal, so that redirected output stays plain text.
    SummaryReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                   : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
