// End-to-end runs of the player executable, each in a scratch folder that is its working
// directory (so "error.log" lands there) and under its own virtual X server.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "test_support/player_e2e_support.h"

namespace demo::e2e {
namespace {

using namespace package_bytes;

constexpr size_t kCountsOffset = 8;  // the eleven u64 counts of a package follow its header

// A package without objects or music that ends at `end_beat` at 120 bpm.
Bytes empty_package(float end_beat = 4.0f) {
    return package_of_datas(0, 0, {}, {}, end_beat, 120.0f, 0.0f);
}

// `package` cut to `keep` bytes and closed by its trailer.
Bytes closed(Bytes package, size_t keep = SIZE_MAX) {
    package.resize(std::min(keep, package.size()));
    append(package, trailer(static_cast<uint32_t>(package.size())));
    return package;
}

// Runs the packed player of every case folder in turn under one X server, noting its exit status.
constexpr const char* kEachCaseScript = R"(#!/bin/sh
for folder in case*; do
    (cd $folder; ./player >player.log 2>&1; echo $? >status)
done
)";

// Each start the player refuses writes one line to "error.log" and exits with status 1 (a
// crash would show as 128 + signal).
TEST(BadStart, WritesOneLineToErrorLogAndExitsWithStatusOne) {
    const struct {
        const char* name;
        Bytes appended;       // after the plain player
        const char* message;  // the whole of "error.log", or a part that names the problem
    } cases[] = {
        // The player as built: its last bytes are whatever the linker put there.
        {"plain player",
         {},
         "Cannot find DEMO in executable. Please follow the instructions in Quenvale.\n"},
        {"size before the start", trailer(0xFFFFFFF0u), "before the start"},
        {"cut in the counts", closed(empty_package(), kCountsOffset + 5 * 8 + 3), "truncated"},
        {"a model nested too deep to parse",
         closed(package_of_datas(1, 1,
                                 concat({u64(1), stored_string("deep.glb"),
                                         stored_buffer(deeply_nested_gltf(20000, true))}),
                                 {}, 4.0f, 120.0f, 0.0f, 9)),
         "model 'deep.glb': its glTF nests 20003 levels deep"},
    };
    TempDir dir;
    for (size_t i = 0; i < std::size(cases); ++i) {
        fs::create_directories(dir / ("case" + std::to_string(i)));
        pack_player(dir / ("case" + std::to_string(i)), cases[i].appended);
    }
    write_text(dir / "each_case.sh", kEachCaseScript);
    const RunResult run = run_under_xvfb(dir.path, 640, 360, {"sh", "./each_case.sh"});
    ASSERT_EQ(run.exit_code, 0) << run;

    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const fs::path folder = dir / ("case" + std::to_string(i));
        EXPECT_EQ(read_text(folder / "status"), "1\n") << read_text(folder / "player.log");
        const std::string log = read_text(folder / "error.log");
        EXPECT_EQ(log.find('\n'), log.size() - 1) << log;  // one line
        EXPECT_NE(log.find(cases[i].message), std::string::npos) << log;
        EXPECT_FALSE(fs::exists(folder / "crash.txt"));
    }
}

// Runs the player, waits for its window, lists the window tree, then sends the player the
// signal named by $1 (SIGTERM is a quit event).
constexpr const char* kWindowProbeScript = R"(#!/bin/sh
./player >player.log 2>&1 &
for i in $(seq 600); do xwininfo -root -tree | grep -qF '"Quenvale :: 0.11"' && break; sleep 0.1; done
sleep 1.5
xwininfo -root -tree >windows.txt 2>&1
kill -$1 $!
wait $!
echo $? >player.status
)";

struct WindowCase {
    int width;
    int height;
    const char* demo;    // packed player to copy, or empty for a package without objects
    const char* signal;  // sent once the window shows: TERM quits, SEGV stands for a crash
};

class WindowTest : public testing::TestWithParam<WindowCase> {};

// The window is the desktop width at 16:9; the player exits with status 0 when stopped (its end
// beat ends the full playback below), and a crash leaves its report.
TEST_P(WindowTest, IsTheDesktopWidthAtSixteenByNineAndTheEndIsReported) {
    const WindowCase& c = GetParam();
    TempDir dir;
    if (*c.demo == '\0')
        pack_player(dir.path, closed(empty_package(240.0f)));  // stopped long before
    else
        fs::copy_file(c.demo, dir / "player");
    fs::permissions(dir / "player", fs::perms::owner_all);
    write_text(dir / "probe.sh", kWindowProbeScript);
    const RunResult run =
        run_under_xvfb(dir.path, c.width, c.height, {"sh", "./probe.sh", c.signal});

    ASSERT_EQ(run.exit_code, 0) << run;
    const std::string tree = read_text(dir / "windows.txt");
    // A line like:   0x200002 "Quenvale :: 0.11": ("player" "player")  1366x768+0+0  +0+0
    static const std::regex geometry(R"("Quenvale :: 0\.11":[^\n]*\s(\d+)x(\d+)[+-]\d+[+-]\d+)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(tree, match, geometry)) << tree << "\nplayer output:\n"
                                                          << read_text(dir / "player.log");
    EXPECT_EQ(std::stoi(match[1]), c.width);
    EXPECT_EQ(std::stoi(match[2]), c.height);
    EXPECT_FALSE(fs::exists(dir / "error.log"));
    if (std::string(c.signal) == "TERM") {
        EXPECT_EQ(read_text(dir / "player.status"), "0\n") << read_text(dir / "player.log");
        EXPECT_FALSE(fs::exists(dir / "crash.txt"));
        return;
    }
    // A crash ends the process as the signal would, and says where it struck: the signal, the
    // stack (addresses in the player), "Exiting.", in crash.txt and on standard error.
    EXPECT_EQ(read_text(dir / "player.status"), "139\n");
    const std::string crash = read_text(dir / "crash.txt");
    EXPECT_EQ(crash.rfind("Fatal error: signal 11 (SIGSEGV)\n./player(", 0), 0u) << crash;
    EXPECT_TRUE(crash.ends_with("\nExiting.")) << crash;
    EXPECT_NE(read_text(dir / "player.log").find(crash), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowTest,
                         testing::Values(WindowCase{1366, 768, "", "TERM"},
                                         WindowCase{1920, 1080, SHORT_EXAMPLE_DEMO_PATH, "SEGV"}),
                         [](const testing::TestParamInfo<WindowCase>& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

// The bundled example as the README's play command runs it: to its end beat (168 at 120 bpm,
// 84 s after two seconds of settling), then a normal exit. It is packed as demo makers hand
// theirs out, onto the player without debug information, and stays small.
TEST(ExampleDemo, PlaysToItsEndBeatAndExitsWithStatusZero) {
#ifndef DEMO_INSTRUMENTED_BUILD
    EXPECT_LT(fs::file_size(EXAMPLE_DEMO_PATH), 3u * 1024 * 1024);
#endif
    TempDir dir;
    fs::copy_file(EXAMPLE_DEMO_PATH, dir / "example_demo");
    fs::permissions(dir / "example_demo", fs::perms::owner_all);
    const RunResult run =
        run_under_xvfb(dir.path, 640, 360, {"./example_demo"}, std::chrono::seconds(240));
    EXPECT_EQ(run.exit_code, 0) << run;
    EXPECT_GE(run.seconds, 86.0) << run;
    EXPECT_FALSE(fs::exists(dir / "error.log"));
    EXPECT_FALSE(fs::exists(dir / "crash.txt"));
    keep_if_failed(dir.path, run);
}

}  // namespace
}  // namespace demo::e2e
