// What the runs of the self-contained players share: packing for a target, what a command
// prints, and the check that a run's disk audio holds the short example's music.
#pragma once

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "test_support/demotool_run.h"
#include "test_support/tone.h"

namespace demo::portable {

using namespace e2e;

// The example with an early end beat (8 at 120 bpm: four seconds of its opening chords).
inline const fs::path kShortProject = SHORT_EXAMPLE_PROJECT;

// Packs `project` for `target` as `file` (demotool adds .exe for Windows); returns what it wrote.
inline fs::path pack_for(const char* target, const fs::path& project, const fs::path& file) {
    const RunResult r = tool::run(
        {"pack", project.string(), "-o", file.string(), "--target", target}, file.parent_path());
    EXPECT_TRUE(r.ok()) << r;
    return file.string() + (std::string(target) == "windows" ? ".exe" : "");
}

// The first group of `pattern` at each of its matches in what `command` prints.
inline std::set<std::string> matches(const std::vector<std::string>& command,
                                     const std::string& pattern) {
    const std::string out = finish(start_in(fs::temp_directory_path(), command)).out;
    std::set<std::string> found;
    const std::regex re(pattern);
    for (std::sregex_iterator m(out.begin(), out.end(), re), end; m != end; ++m)
        found.insert((*m)[1]);
    return found;
}

// Seconds into `sound` where it first reaches 2 % of full scale: where the music starts.
inline double onset(const std::vector<float>& sound) {
    const auto loud =
        std::find_if(sound.begin(), sound.end(), [](float v) { return std::fabs(v) > 0.02f; });
    return static_cast<double>(loud - sound.begin()) / 44100.0;
}

// The disk audio `written` by a player of the short example holds its music: from the music's
// start on, the notes of its first chords (A minor for two seconds, then F major) sound as
// loud as in demotool's offline mix of the same beats, chord by chord.
inline void expect_holds_music(const fs::path& written, const fs::path& folder) {
    const RunResult r =
        tool::run({"render", kShortProject.string(), "-o", "frames", "--from", "0", "--to", "8",
                   "--fps", "1", "--size", "64x36", "--wav", "mix.wav"},
                  folder);
    ASSERT_TRUE(r.ok()) << r;
    const std::vector<float> mix = tone::left_channel(read_bytes(folder / "mix.wav"), 44);
    const std::vector<float> live = tone::left_channel(read_bytes(written));
    const double mix_start = onset(mix);
    const double live_start = onset(live);
    const double music = static_cast<double>(live.size()) / 44100.0 - live_start;
    ASSERT_GE(music, 1.25) << "less than 1.25 s of music, if any";
    // A quarter of a second inside each chord, clear of their fades, in as much as was written:
    // the disk driver falls behind the clock on a busy machine.
    for (const double at : {0.5, 1.0, 2.5, 3.0}) {
        for (const double hz : {174.61, 220.0, 261.63, 329.63}) {
            if (at + 0.25 > music)
                return;
            const double want = tone::amplitude(mix, 44100, mix_start + at, 0.25, hz);
            const double got = tone::amplitude(live, 44100, live_start + at, 0.25, hz);
            EXPECT_NEAR(got, want, 0.2 * want + 0.002) << hz << " Hz, " << at << " s in";
        }
    }
}

// A run of the short example in `folder` ended well: status 0, no failure file, and its disk
// audio holds the music.
inline void expect_played_short_example(const RunResult& run, const fs::path& folder) {
    ASSERT_EQ(run.exit_code, 0) << run;
    EXPECT_FALSE(fs::exists(folder / "error.log"));
    EXPECT_FALSE(fs::exists(folder / "crash.txt"));
    expect_holds_music(folder / "audio.raw", folder);
}

}  // namespace demo::portable
