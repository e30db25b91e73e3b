// Start-up of the self-contained Linux player against the native one, side by side under one
// virtual X server: the example, packed onto each with an end beat behind its start, so that a
// run ends right after its first frame; each run's wall time is from its start to that end.
// The runs alternate, so that both see the same machine; the medians, the fastest runs and
// their ratios follow, also without the two seconds every start waits before the music (the
// goal is a ratio within 10 %).
//
//   build/startup_bench [RUNS]       (RUNS per player, default 15; it starts its own X server)
#include <algorithm>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>

#include "test_support/demotool_run.h"
#include "test_support/player_e2e_support.h"

namespace {

using namespace demo::e2e;

constexpr const char* kRunsScript = R"sh(#!/bin/sh
for i in $(seq "$1"); do
    for player in native linux; do
        start=$(date +%s%N)
        ./$player >/dev/null 2>&1 || echo "$player failed" >&2
        echo "$player $(( $(date +%s%N) - start ))" >>times.txt
    done
done
)sh";

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    TempDir dir;
    // The example's document, ending before its first frame is drawn (which check calls a
    // problem, so it is packed with --force), beside links to its side files: nothing is
    // written into the example's own folder.
    const fs::path project = dir / "example" / "project.json";
    fs::create_directories(project.parent_path());
    for (const char* folder : {"shaders", "resources", "sounds", "images", "models"})
        fs::create_directory_symlink(fs::path(EXAMPLE_DIR) / folder, project.parent_path() / folder);
    write_text(project,
               std::regex_replace(read_text(fs::path(EXAMPLE_DIR) / "project.json"),
                                  std::regex(R"("end_beat": [0-9.]+)"), R"("end_beat": -100.0)"));
    for (const char* target : {"native", "linux"}) {
        const RunResult r = demo::tool::run(
            {"pack", project.string(), "-o", (dir / target).string(), "--target", target,
             "--force"},
            dir.path);
        if (!r.ok()) {
            std::fprintf(stderr, "packing for %s failed:\n%s", target, r.err.c_str());
            return 1;
        }
    }
    write_text(dir / "runs.sh", kRunsScript);
    const RunResult run =
        run_under_xvfb(dir.path, 1280, 720, {"sh", "./runs.sh", std::to_string(runs)},
                       std::chrono::seconds(60 * runs));
    if (!run.ok() || !run.err.empty()) {
        std::fprintf(stderr, "the runs failed:\n%s", run.err.c_str());
        return 1;
    }
    std::map<std::string, std::vector<double>> seconds;
    std::istringstream times(read_text(dir / "times.txt"));
    std::string player;
    double nanoseconds = 0.0;
    while (times >> player >> nanoseconds)
        seconds[player].push_back(nanoseconds / 1e9);
    // The median, and the fastest run: the one the rest of the machine disturbed least.
    struct Summary {
        double median, fastest;
    };
    auto summary = [&](const char* player_name) {
        const std::vector<double>& t = seconds[player_name];
        return Summary{median(t), *std::min_element(t.begin(), t.end())};
    };
    const Summary native = summary("native");
    const Summary portable = summary("linux");
    constexpr double kSettle = 2.0;  // the wait before the music, the same for both
    std::printf("start to first frame, %d runs each (1280x720, software GL):\n", runs);
    std::printf("  native player    median %6.3f s, fastest %6.3f s\n", native.median,
                native.fastest);
    std::printf("  portable player  median %6.3f s, fastest %6.3f s\n", portable.median,
                portable.fastest);
    std::printf("  portable / native: median %.3f, fastest %.3f\n", portable.median / native.median,
                portable.fastest / native.fastest);
    std::printf("  without the 2 s wait: median %.3f, fastest %.3f\n",
                (portable.median - kSettle) / (native.median - kSettle),
                (portable.fastest - kSettle) / (native.fastest - kSettle));
    return 0;
}
