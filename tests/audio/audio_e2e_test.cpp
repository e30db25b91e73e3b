// End-to-end runs of the real player with SDL's disk audio driver: the written output is
// analysed for the music, each sample from its beat, the ducking of the music while samples
// play and its return to full volume.
//
// Every sound is a pure tone of its own frequency, so each one can be followed in the mix:
// music 220 Hz, sample A 1000 Hz (1.0 s), sample B 3000 Hz (0.6 s), sample C 2000 Hz (0.15 s).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "player/player_e2e_support.h"

namespace demo::e2e {
namespace {

constexpr int kRate = 44100;
constexpr double kMusicAmplitude = 0.3;

// Amplitude (0..1 of full scale) of frequency `hz` in `count` left-channel frames from `first`,
// by the Goertzel recurrence.
double tone_amplitude(const std::vector<int16_t>& stereo, int64_t first, int64_t count, double hz) {
    const double w = 2.0 * M_PI * hz / kRate;
    const double coefficient = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (int64_t i = 0; i < count; ++i) {
        const size_t index = static_cast<size_t>(first + i) * 2;
        const double x = index < stereo.size() ? stereo[index] / 32768.0 : 0.0;
        const double s = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
}

// When each piece of the mix left the disk driver: seconds on the test's clock, and the bytes
// written up to the end of that piece.
using Arrivals = std::vector<std::pair<double, int64_t>>;

// Reads the driver's output through a pipe, noting when each piece arrives. The driver paces
// itself with plain delays, so on a busy machine its file falls behind the clock the player
// fires samples by; arrival times put both on the same clock.
class PipeReader {
public:
    explicit PipeReader(const fs::path& fifo) : fifo_(fifo) {
        mkfifo(fifo.c_str(), 0600);
        thread_ = std::thread([this] { read_all(); });
    }
    // Waits for the writer to finish (or, if none ever came, ends the wait).
    std::pair<std::vector<int16_t>, Arrivals> finish() {
        const int unblock = open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
        if (unblock >= 0)
            close(unblock);
        thread_.join();
        std::vector<int16_t> samples(bytes_.size() / 2);
        std::memcpy(samples.data(), bytes_.data(), samples.size() * 2);
        return {std::move(samples), std::move(arrivals_)};
    }

private:
    void read_all() {
        const int fd = open(fifo_.c_str(), O_RDONLY);
        if (fd < 0)
            return;
        const auto start = std::chrono::steady_clock::now();
        uint8_t buffer[1 << 16];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
            bytes_.insert(bytes_.end(), buffer, buffer + n);
            arrivals_.emplace_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                static_cast<int64_t>(bytes_.size()));
        }
        close(fd);
    }

    fs::path fifo_;
    std::vector<uint8_t> bytes_;
    Arrivals arrivals_;
    std::thread thread_;
};

// The written mix and what the test knows of it.
class Mix {
public:
    Mix(std::vector<int16_t> stereo, Arrivals arrivals)
        : stereo_(std::move(stereo)), arrivals_(std::move(arrivals)) {}

    int64_t frames() const { return static_cast<int64_t>(stereo_.size() / 2); }

    // When the piece holding `at` seconds of the file was mixed, on the test's clock.
    double mixed_at(double at) const {
        const int64_t byte = static_cast<int64_t>(at * kRate) * 4;
        for (const auto& [seconds, end] : arrivals_) {
            if (end > byte)
                return seconds;
        }
        return arrivals_.empty() ? 0.0 : arrivals_.back().first;
    }

    // Where in the file (seconds) the sound mixed `later` seconds after `at` in the file lies.
    double file_time_after(double at, double later) const {
        const double wanted = mixed_at(at) + later;
        int64_t start = 0;
        for (const auto& [seconds, end] : arrivals_) {
            if (seconds >= wanted)
                break;
            start = end;
        }
        return static_cast<double>(start / 4) / kRate;
    }

    // Amplitude of `hz` in a window of `seconds` starting at `at` seconds into the file.
    double amplitude(double at, double hz, double seconds = 0.05) const {
        return tone_amplitude(stereo_, static_cast<int64_t>(at * kRate),
                              static_cast<int64_t>(seconds * kRate), hz);
    }

    // First time (seconds into the file, 10 ms resolution) from `from` on where `hz` rises
    // above `threshold`.
    std::optional<double> onset(double hz, double threshold, double from = 0.0) const {
        for (double t = from; t + 0.02 < frames() / double(kRate); t += 0.01) {
            if (amplitude(t, hz, 0.02) > threshold)
                return t;
        }
        return std::nullopt;
    }

    // Number of separate stretches in [from, to) where `hz` is above `threshold`.
    int stretches(double hz, double threshold, double from, double to) const {
        int count = 0;
        bool on = false;
        for (double t = from; t < to; t += 0.005) {
            const bool now = amplitude(t, hz, 0.01) > threshold;
            if (now && !on)
                ++count;
            on = now;
        }
        return count;
    }

private:
    std::vector<int16_t> stereo_;
    Arrivals arrivals_;
};

fs::path demotool_binary() {
    return DEMOTOOL_PATH;
}

void sox(const std::string& arguments) {
    const std::string command = "sox -q " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// Sample events on beats; `visible` false for events that must never play.
std::string sample_event(const std::string& name, const std::string& sample, double beat,
                         bool visible = true) {
    return R"({"type":2,"name":")" + name + R"(","audio_sample":")" + sample + R"(","beat":)" +
           std::to_string(beat) + R"(,"visible":")" + (visible ? "true" : "false") + R"("})";
}

// Packs a demo at 120 bpm (one beat = 0.5 s) whose music is a 220 Hz tone, plays it to its end
// with the disk driver, and returns the written mix.
Mix play(const TempDir& dir, const std::vector<std::string>& events, double end_beat) {
    fs::create_directories(dir / "resources");
    fs::create_directories(dir / "sounds");
    const std::string s = " -r 44100 -c 2 -b 16 ";
    sox("-n" + s + "-t wav " + (dir / "resources/music.mp3").string() + " synth 14 sine 220 vol " +
        std::to_string(kMusicAmplitude));
    sox("-n" + s + (dir / "sounds/a.wav").string() + " synth 1.0 sine 1000 vol 0.4");
    sox("-n" + s + (dir / "sounds/b.wav").string() + " synth 0.6 sine 3000 vol 0.4");
    sox("-n" + s + (dir / "sounds/c.wav").string() + " synth 0.15 sine 2000 vol 0.4");
    std::string list;
    for (const std::string& event : events)
        list += (list.empty() ? "" : ",") + event;
    write_text(dir / "project.json",
               R"({"audio_samples":[{"name":"sounds/a.wav"},{"name":"sounds/b.wav"},)"
               R"({"name":"sounds/c.wav"}],"events":[)" +
                   list + R"(],"end_beat":)" + std::to_string(end_beat) +
                   R"(,"bpm":120.0,"beat_offset":0.0})");
    const std::string pack = demotool_binary().string() + " pack " +
                             (dir / "project.json").string() + " -o " + (dir / "demo").string() +
                             " --player " + player_binary().string() + " > " +
                             (dir / "pack.log").string() + " 2>&1";
    EXPECT_EQ(std::system(pack.c_str()), 0) << read_text(dir / "pack.log");
    PipeReader reader(dir / "audio.raw");
    const RunResult run = run_under_xvfb(dir.path(), 640, 360, {"./demo"});
    EXPECT_EQ(run.exit_code, 0) << run.describe();
    auto [samples, arrivals] = reader.finish();
    return Mix(std::move(samples), std::move(arrivals));
}

// Where the music starts in the file: the clock's beat 0.
double music_start(const Mix& mix) {
    const std::optional<double> start = mix.onset(220.0, kMusicAmplitude * 0.5);
    if (!start)
        ADD_FAILURE() << "the music never starts";
    return start.value_or(0.0);
}

TEST(AudioPlayback, SamplesPlayOnTheirBeatsWithTheMusicDucked) {
    TempDir dir;
    const Mix mix =
        play(dir,
             {sample_event("a1", "sounds/a.wav", 4), sample_event("b1", "sounds/b.wav", 4),
              sample_event("hidden", "sounds/a.wav", 8, false),
              sample_event("a2", "sounds/a.wav", 12), sample_event("b2", "sounds/b.wav", 12)},
             16);
    const double t0 = music_start(mix);
    const double full = kMusicAmplitude;
    const double ducked = kMusicAmplitude * 100.0 / 128.0;

    // The music alone, at full volume, before the first sample.
    EXPECT_NEAR(mix.amplitude(t0 + 1.0, 220, 0.2), full, 0.02);

    // Beat 4 is 2 s in: both samples fired in that frame play, each for its own length.
    for (double beat : {4.0, 12.0}) {
        const double at = mix.file_time_after(t0, beat * 0.5);
        const std::optional<double> a = mix.onset(1000, 0.2, at - 0.3);
        const std::optional<double> b = mix.onset(3000, 0.2, at - 0.3);
        ASSERT_TRUE(a && b) << "beat " << beat;
        EXPECT_NEAR(mix.mixed_at(*a) - mix.mixed_at(t0), beat * 0.5, 0.12) << "A at " << beat;
        EXPECT_NEAR(mix.mixed_at(*b) - mix.mixed_at(t0), beat * 0.5, 0.12) << "B at " << beat;
        EXPECT_GT(mix.amplitude(*a + 0.8, 1000), 0.3) << "A still sounds 0.8 s in";
        EXPECT_LT(mix.amplitude(*a + 1.1, 1000), 0.05) << "A has ended after 1 s";
        EXPECT_LT(mix.amplitude(*b + 0.7, 3000), 0.05) << "B has ended after 0.6 s";
        // Once per event: the event's one-beat window does not restart the 1 s sample.
        EXPECT_EQ(mix.stretches(1000, 0.2, at - 0.2, at + 1.5), 1);

        // Ducked while a sample plays (until A's 1 s has passed), full again afterwards.
        EXPECT_NEAR(mix.amplitude(*a + 0.3, 220, 0.2), ducked, 0.02) << "ducked at beat " << beat;
        EXPECT_NEAR(mix.amplitude(*a + 1.3, 220, 0.2), full, 0.02) << "restored at beat " << beat;
    }

    // The invisible event at beat 8 never plays.
    const double beat8 = mix.file_time_after(t0, 4.0);
    EXPECT_LT(mix.amplitude(beat8, 1000, 0.6), 0.02);
    EXPECT_NEAR(mix.amplitude(beat8 + 0.2, 220, 0.2), full, 0.02);
}

TEST(AudioPlayback, ASampleShorterThanABeatStartsAgainWithinItsEvent) {
    TempDir dir;
    const Mix mix = play(dir, {sample_event("c", "sounds/c.wav", 4)}, 8);
    const double t0 = music_start(mix);
    const double at = mix.file_time_after(t0, 2.0);
    // 0.15 s of sound, then again as soon as its restore timer let it go, while the one-beat
    // (0.5 s) event lasts: at least twice, never after the event.
    EXPECT_GE(mix.stretches(2000, 0.2, at - 0.2, at + 0.5), 2);
    EXPECT_LT(mix.amplitude(at + 0.75, 2000, 0.2), 0.02);
}

}  // namespace
}  // namespace demo::e2e
