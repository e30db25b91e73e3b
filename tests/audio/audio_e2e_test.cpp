// The disk-audio run: the player plays pure tones (music 220 Hz, sample A 1000 Hz for 1.0 s,
// B 3000 Hz for 0.6 s, C 2000 Hz for 0.15 s) and the written mix is measured.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <thread>

#include "test_support/demotool_run.h"
#include "test_support/tone.h"

namespace demo::e2e {
namespace {

constexpr int kRate = 44100;
constexpr double kMusicAmplitude = 0.3;

// The driver's output read through a pipe with arrival times: on a busy machine the driver's
// plain delays fall behind the clock the player fires samples by; arrivals share that clock.
class PipedMix {
public:
    explicit PipedMix(const fs::path& fifo) : fifo_(fifo) {
        mkfifo(fifo.c_str(), 0600);
        thread_ = std::thread([this] { read_all(); });
    }

    // Waits for the writer to finish (or, if none ever came, ends the wait).
    void finish() {
        const int unblock = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
        if (unblock >= 0)
            close(unblock);
        thread_.join();
        left_ = tone::left_channel(bytes_);
    }

    // When the piece holding `at` seconds of the file was mixed, on the test's clock.
    double mixed_at(double at) const {
        for (const auto& [seconds, end] : arrivals_) {
            if (end > static_cast<int64_t>(at * kRate) * 4)
                return seconds;
        }
        return arrivals_.empty() ? 0.0 : arrivals_.back().first;
    }

    // Where in the file (seconds) the sound mixed `later` seconds after `at` in the file lies.
    double file_time_after(double at, double later) const {
        int64_t start = 0;
        for (const auto& [seconds, end] : arrivals_) {
            if (seconds >= mixed_at(at) + later)
                break;
            start = end;
        }
        return static_cast<double>(start / 4) / kRate;
    }

    double amplitude(double at, double hz, double seconds = 0.05) const {
        return tone::amplitude(left_, kRate, at, seconds, hz);
    }

    // First time (seconds into the file, 10 ms steps) from `from` on where `hz` passes `threshold`.
    std::optional<double> onset(double hz, double threshold, double from = 0.0) const {
        for (double t = from; t + 0.02 < left_.size() / double(kRate); t += 0.01) {
            if (amplitude(t, hz, 0.02) > threshold)
                return t;
        }
        return std::nullopt;
    }

    // Seconds in [from, to) during which `hz` is above `threshold`, in 5 ms steps.
    double sounding(double hz, double threshold, double from, double to) const {
        int steps = 0;
        for (double t = from; t < to; t += 0.005)
            steps += amplitude(t, hz, 0.01) > threshold;
        return steps * 0.005;
    }

private:
    void read_all() {
        const int fd = open(fifo_.c_str(), O_RDONLY);
        const auto start = std::chrono::steady_clock::now();
        uint8_t buffer[1 << 16];
        for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;) {
            bytes_.insert(bytes_.end(), buffer, buffer + n);
            arrivals_.emplace_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                static_cast<int64_t>(bytes_.size()));
        }
        close(fd);
    }

    fs::path fifo_;
    std::thread thread_;
    std::vector<uint8_t> bytes_;
    std::vector<std::pair<double, int64_t>> arrivals_;  // seconds, bytes up to the piece's end
    std::vector<float> left_;
};

// One playback at 120 bpm (a beat is 0.5 s): A and B together on beats 4 and 12, a hidden A on
// beat 8, C (shorter than its event) alone on beat 16.
TEST(AudioPlayback, SamplesPlayOnTheirBeatsWithTheMusicDucked) {
    TempDir dir;
    for (const std::string synth :
         {"mkdir resources sounds",
          "sox -q -n -r 44100 -c 2 -b 16 -t wav resources/music.mp3 synth 14 sine 220 vol 0.3",
          "sox -q -n -r 44100 -c 2 -b 16 sounds/a.wav synth 1.0 sine 1000 vol 0.4",
          "sox -q -n -r 44100 -c 2 -b 16 sounds/b.wav synth 0.6 sine 3000 vol 0.4",
          "sox -q -n -r 44100 -c 2 -b 16 sounds/c.wav synth 0.15 sine 2000 vol 0.4"}) {
        const std::string command = "cd " + dir.path.string() + " && " + synth;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    write_text(dir / "project.json", R"({"bpm": 120.0, "beat_offset": 0.0, "end_beat": 20.0,
  "audio_samples": [{"name": "sounds/a.wav"}, {"name": "sounds/b.wav"}, {"name": "sounds/c.wav"}],
  "events": [
    {"type": 2, "name": "a4", "audio_sample": "sounds/a.wav", "beat": 4.0, "visible": "true"},
    {"type": 2, "name": "b4", "audio_sample": "sounds/b.wav", "beat": 4.0, "visible": "true"},
    {"type": 2, "name": "a8", "audio_sample": "sounds/a.wav", "beat": 8.0, "visible": "false"},
    {"type": 2, "name": "a12", "audio_sample": "sounds/a.wav", "beat": 12.0, "visible": "true"},
    {"type": 2, "name": "b12", "audio_sample": "sounds/b.wav", "beat": 12.0, "visible": "true"},
    {"type": 2, "name": "c16", "audio_sample": "sounds/c.wav", "beat": 16.0, "visible": "true"}]})");
    const RunResult pack =
        tool::run({"pack", "project.json", "-o", "demo", "--player", DEMOPLAYER_PATH}, dir.path);
    ASSERT_TRUE(pack.ok()) << pack;
    PipedMix mix(dir / "audio.raw");
    const RunResult run = run_under_xvfb(dir.path, 640, 360, {"./demo"});
    EXPECT_EQ(run.exit_code, 0) << run;
    keep_if_failed(dir.path, run);
    mix.finish();

    const std::optional<double> start = mix.onset(220.0, kMusicAmplitude * 0.5);
    ASSERT_TRUE(start) << "the music never starts";
    const double t0 = *start;  // the clock's beat 0
    const double full = kMusicAmplitude;
    const double ducked = kMusicAmplitude * 100.0 / 128.0;

    // The music alone, at full volume, before the first sample.
    EXPECT_NEAR(mix.amplitude(t0 + 1.0, 220, 0.2), full, 0.02);

    // Both samples fired in one frame play, each for its own length.
    for (double beat : {4.0, 12.0}) {
        SCOPED_TRACE(beat);
        const double at = mix.file_time_after(t0, beat * 0.5);
        const std::optional<double> a = mix.onset(1000, 0.2, at - 0.3);
        const std::optional<double> b = mix.onset(3000, 0.2, at - 0.3);
        ASSERT_TRUE(a && b);
        EXPECT_NEAR(mix.mixed_at(*a) - mix.mixed_at(t0), beat * 0.5, 0.12) << "A";
        EXPECT_NEAR(mix.mixed_at(*b) - mix.mixed_at(t0), beat * 0.5, 0.12) << "B";
        EXPECT_GT(mix.amplitude(*a + 0.8, 1000), 0.3) << "A still sounds 0.8 s in";
        EXPECT_LT(mix.amplitude(*a + 1.1, 1000), 0.05) << "A has ended after 1 s";
        EXPECT_LT(mix.amplitude(*b + 0.7, 3000), 0.05) << "B has ended after 0.6 s";
        // Once per event: the event's one-beat window does not restart the 1 s sample.
        EXPECT_NEAR(mix.sounding(1000, 0.2, at - 0.2, at + 1.5), 1.0, 0.1);
        // Ducked while a sample plays (until A's 1 s has passed), full again afterwards.
        EXPECT_NEAR(mix.amplitude(*a + 0.3, 220, 0.2), ducked, 0.02) << "ducked";
        EXPECT_NEAR(mix.amplitude(*a + 1.3, 220, 0.2), full, 0.02) << "restored";
    }

    // The invisible event at beat 8 never plays.
    const double beat8 = mix.file_time_after(t0, 4.0);
    EXPECT_LT(mix.amplitude(beat8, 1000, 0.6), 0.02);
    EXPECT_NEAR(mix.amplitude(beat8 + 0.2, 220, 0.2), full, 0.02);

    // C lasts 0.15 s: its one-beat event starts it once, not again when it has ended.
    const double beat16 = mix.file_time_after(t0, 8.0);
    EXPECT_NEAR(mix.sounding(2000, 0.2, beat16 - 0.2, beat16 + 0.5), 0.15, 0.04);
    EXPECT_LT(mix.amplitude(beat16 + 0.75, 2000, 0.2), 0.02);
}

}  // namespace
}  // namespace demo::e2e
