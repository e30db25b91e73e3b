// End-to-end tests of the player executable. Every test packs its own demo onto a copy of the
// player in a scratch folder and runs it there, under its own virtual X server, with audio
// going to a file. "error.log" lands in that folder, since it is the working directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "player_e2e_support.h"

namespace demo::e2e {
namespace {

constexpr const char* kMissingPackageText =
    "Cannot find DEMO in executable. Please follow the instructions in Quenvale.\n";
constexpr const char* kWindowTitle = "Quenvale :: 0.11";

// A failed start-up never reaches the two-second settling wait, so even a slow machine ends
// it well inside this bound.
constexpr double kQuickExitSeconds = 20.0;

RunResult run_packed_player(const TempDir& dir, int width = 1366, int height = 768) {
    return run_under_xvfb(dir.path(), width, height, {"./player"});
}

// ---------------------------------------------------------------------------------------------
// Executables without a package
// ---------------------------------------------------------------------------------------------

struct MissingPackageCase {
    const char* name;
    std::vector<uint8_t> appended;  // bytes added after the plain player
};

class MissingPackage : public testing::TestWithParam<MissingPackageCase> {};

TEST_P(MissingPackage, WritesErrorLogAndExitsWithStatusOne) {
    TempDir dir;
    pack_player(dir.path(), GetParam().appended);

    const RunResult run = run_packed_player(dir);

    EXPECT_EQ(run.exit_code, 1) << run.describe();
    ASSERT_TRUE(fs::exists(dir / "error.log")) << run.describe();
    EXPECT_EQ(read_text(dir / "error.log"), kMissingPackageText);
    EXPECT_FALSE(fs::exists(dir / "crash.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Trailers, MissingPackage,
    testing::Values(
        // The player exactly as built: its last bytes are whatever the linker put there.
        MissingPackageCase{"PlainPlayer", {}},
        // A valid package whose magic differs from "DEMO" in the case of one letter.
        MissingPackageCase{"WrongCaseMagic",
                           concat(EmptyPackage{}.bytes(), trailer(kEmptyPackageSize, "DEMo"))}),
    [](const testing::TestParamInfo<MissingPackageCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Packages that cannot be read
// ---------------------------------------------------------------------------------------------

struct BadPackageCase {
    const char* name;
    std::vector<uint8_t> appended;
    const char* expected_word;  // the error line must name the problem with this word
};

std::vector<uint8_t> truncated_package(size_t kept_bytes) {
    std::vector<uint8_t> package = EmptyPackage{}.bytes();
    package.resize(kept_bytes);
    return concat(package, trailer(static_cast<uint32_t>(kept_bytes)));
}

std::vector<uint8_t> with_trailer(const EmptyPackage& package) {
    const std::vector<uint8_t> bytes = package.bytes();
    return concat(bytes, trailer(static_cast<uint32_t>(bytes.size())));
}

EmptyPackage with_count(size_t collection, uint64_t count) {
    EmptyPackage package;
    package.counts[collection] = count;
    return package;
}

EmptyPackage with_music_size(uint64_t size) {
    EmptyPackage package;
    package.music_size = size;
    return package;
}

class BadPackage : public testing::TestWithParam<BadPackageCase> {};

TEST_P(BadPackage, WritesOneLineToErrorLogAndExitsWithStatusOne) {
    TempDir dir;
    pack_player(dir.path(), GetParam().appended);

    const RunResult run = run_packed_player(dir);

    // 1 is the player's own exit; a crash would show as 128 + signal number.
    EXPECT_EQ(run.exit_code, 1) << run.describe();
    EXPECT_LT(run.seconds, kQuickExitSeconds) << run.describe();
    ASSERT_TRUE(fs::exists(dir / "error.log")) << run.describe();
    const std::string log = read_text(dir / "error.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    EXPECT_TRUE(log.ends_with('\n')) << log;
    EXPECT_NE(log, kMissingPackageText);
    EXPECT_NE(log.find(GetParam().expected_word), std::string::npos)
        << "expected \"" << GetParam().expected_word << "\" in: " << log;
    EXPECT_FALSE(fs::exists(dir / "crash.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Packages, BadPackage,
    testing::Values(
        // The size would put the package far before the first byte of the file.
        BadPackageCase{"SizeBeforeStartOfFile", trailer(0xFFFFFFF0u), "before the start"},
        // Cut three bytes into the count of the sixth collection.
        BadPackageCase{"TruncatedInCounts", truncated_package(kFirstCountOffset + 5 * 8 + 3),
                       "truncated"},
        // Cut in the middle of the tempo.
        BadPackageCase{"TruncatedInFloats", truncated_package(kFloatsOffset + 6), "truncated"},
        // Far more effects than the bytes left could hold.
        BadPackageCase{"HugeCount", with_trailer(with_count(1, uint64_t{1} << 40)), "corrupt"},
        // A music size no allocation could serve, with no music bytes behind it.
        BadPackageCase{"HugeMusicSize", with_trailer(with_music_size(uint64_t{1} << 62)),
                       "corrupt"}),
    [](const testing::TestParamInfo<BadPackageCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Playing an empty demo
// ---------------------------------------------------------------------------------------------

// End beat 4 at 120 bpm from beat 0 is two seconds of clock, after two seconds of settling.
TEST(EmptyDemo, PlaysToItsEndBeatAndExitsWithStatusZero) {
    TempDir dir;
    EmptyPackage package;
    package.end_beat = 4.0f;
    package.bpm = 120.0f;
    package.beat_offset = 0.0f;
    pack_player(dir.path(), with_trailer(package));

    const RunResult run = run_packed_player(dir);

    EXPECT_EQ(run.exit_code, 0) << run.describe();
    EXPECT_GE(run.seconds, 3.5) << run.describe();
    EXPECT_LE(run.seconds, 30.0) << run.describe();
    EXPECT_FALSE(fs::exists(dir / "error.log"));
    EXPECT_FALSE(fs::exists(dir / "crash.txt"));
}

// ---------------------------------------------------------------------------------------------
// Window size
// ---------------------------------------------------------------------------------------------

// Started by xvfb-run: runs the player in the background, waits for its window, lets it
// settle, lists the window tree and stops the player again (SIGTERM arrives as a quit event).
constexpr const char* kWindowProbeScript = R"(#!/bin/sh
./player >player.log 2>&1 &
player=$!
i=0
while [ $i -lt 600 ]; do
    if xwininfo -root -tree 2>/dev/null | grep -qF '"Quenvale :: 0.11"'; then
        break
    fi
    sleep 0.1
    i=$((i + 1))
done
sleep 1.5
xwininfo -root -tree >windows.txt 2>&1
kill $player
wait $player
echo $? >player.status
)";

struct Size {
    int width = 0;
    int height = 0;
};

// Finds the window with the player's title in `xwininfo -root -tree` output, whose lines look
// like:   0x200002 "Quenvale :: 0.11": ("player" "player")  1366x768+0+0  +0+0
bool find_window_size(const std::string& tree, Size& size) {
    const std::string title = std::string("\"") + kWindowTitle + "\":";
    const size_t at = tree.find(title);
    if (at == std::string::npos) {
        return false;
    }
    const size_t line_end = tree.find('\n', at);
    const std::string rest = tree.substr(at + title.size(), line_end - at - title.size());
    std::smatch match;
    static const std::regex geometry(R"(\s(\d+)x(\d+)[+-]\d+[+-]\d+)");
    if (!std::regex_search(rest, match, geometry)) {
        return false;
    }
    size.width = std::stoi(match[1]);
    size.height = std::stoi(match[2]);
    return true;
}

class WindowSize : public testing::TestWithParam<Size> {};

TEST_P(WindowSize, IsTheDesktopWidthAtSixteenByNine) {
    const Size screen = GetParam();
    TempDir dir;
    EmptyPackage package;
    package.end_beat = 240.0f;  // two minutes: the probe stops it long before
    pack_player(dir.path(), with_trailer(package));
    write_text(dir / "probe.sh", kWindowProbeScript);

    const RunResult run =
        run_under_xvfb(dir.path(), screen.width, screen.height, {"sh", "./probe.sh"});

    ASSERT_EQ(run.exit_code, 0) << run.describe();
    const std::string tree = read_text(dir / "windows.txt");
    Size window;
    ASSERT_TRUE(find_window_size(tree, window))
        << "no window titled \"" << kWindowTitle << "\" in:\n"
        << tree << "\nplayer output:\n"
        << read_text(dir / "player.log");
    EXPECT_EQ(window.width, screen.width);
    EXPECT_EQ(window.height, screen.height);
    // Asked to stop, the player shuts down normally.
    EXPECT_EQ(read_text(dir / "player.status"), "0\n") << read_text(dir / "player.log");
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowSize, testing::Values(Size{1366, 768}, Size{1920, 1080}),
                         [](const testing::TestParamInfo<Size>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

// The bundled example, as the README's play command runs it: to its end beat (120 at 120 bpm,
// one minute after two seconds of settling), then a normal exit. It is packed as demo makers
// hand theirs out, onto the player without debug information, and stays small.
TEST(ExampleDemo, PlaysToItsEndBeatAndExitsWithStatusZero) {
    EXPECT_LT(fs::file_size(EXAMPLE_DEMO_PATH), 3u * 1024 * 1024);
    TempDir dir;
    const fs::path demo = dir / "example_demo";
    fs::copy_file(EXAMPLE_DEMO_PATH, demo);
    fs::permissions(demo, fs::perms::owner_all);
    const RunResult run =
        run_under_xvfb(dir.path(), 640, 360, {"./example_demo"}, std::chrono::seconds(240));
    EXPECT_EQ(run.exit_code, 0) << run.describe();
    EXPECT_GE(run.seconds, 60.0) << run.describe();
    EXPECT_FALSE(fs::exists(dir / "error.log"));
    EXPECT_FALSE(fs::exists(dir / "crash.txt"));
}

}  // namespace
}  // namespace demo::e2e
