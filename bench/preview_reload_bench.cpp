// How long demotool play takes to show a saved edit of the example: one shader file rebuilt
// (target under 100 ms) and the whole project reloaded (target under 300 ms), each against a
// plain frame of the same preview as the baseline, and the first load for scale. Wall time of
// the frame that notices the save, which is what the demo maker waits for. Runs under a GL
// context (xvfb-run here) on a copy of the example, so the original stays untouched.
//
// Usage: preview_reload_bench [EXAMPLE_DIR] [ROUNDS] [WxH]
//        (defaults: the example's folder, 15, 1280x720)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "preview/preview.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Saved the way editors save: a new file renamed into place.
void save(const fs::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".saving";
    std::ofstream(temporary, std::ios::binary) << text;
    fs::rename(temporary, path);
}

// The text of the plasma shader each round changes.
constexpr const char* kEdited = "0.35 + level";

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall milliseconds of one preview frame at `now`.
double frame_ms(demo::Preview& preview, uint32_t now) {
    const Clock::time_point start = Clock::now();
    preview.frame(now);
    preview.present();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path example = argc > 1 ? fs::path(argv[1]) : fs::path(EXAMPLE_DIR);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    const fs::path copy = fs::temp_directory_path() / ("preview_bench_" + std::to_string(getpid()));
    fs::copy(example, copy, fs::copy_options::recursive);

    demo::PreviewOptions options;
    options.input = (copy / "project.json").string();
    if (argc > 3)
        std::sscanf(argv[3], "%dx%d", &options.width, &options.height);
    options.from = 40.0f;  // rings, lens, trails and the caption's end are all on screen
    uint32_t now = 1000;
    const Clock::time_point start = Clock::now();
    {
        demo::Preview preview(options, now);
        const double first_load =
            std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        preview.playback().toggle_pause(now);

        const fs::path shader = copy / "shaders/plasma.frag";
        const std::string shader_text = read_text(shader);
        const std::string document = read_text(copy / "project.json");
        std::vector<double> plain, rebuild, reload;
        for (int i = 0; i < rounds; ++i) {
            now += demo::FileWatcher::kPollMs;
            plain.push_back(frame_ms(preview, now));
            // A new constant each time, so that no compiler cache knows the program.
            std::string edited = shader_text;
            edited.replace(edited.find(kEdited), std::string(kEdited).size(),
                           "0.35 + 0.001 * " + std::to_string(i) + ".0 + level");
            save(shader, edited);
            now += demo::FileWatcher::kPollMs;
            rebuild.push_back(frame_ms(preview, now));
            save(copy / "project.json", document + std::string(i % 2 + 1, '\n'));
            now += demo::FileWatcher::kPollMs;
            reload.push_back(frame_ms(preview, now));
        }
        const double base = median(plain);
        const double slowest_reload = *std::max_element(reload.begin(), reload.end());
        const std::string heading = "median of " + std::to_string(rounds) + " saves";
        std::printf("\n%-36s %9s %9s %9s\n", heading.c_str(), "ms", "- frame", "of target");
        std::printf("%-36s %9.1f\n", "plain frame (baseline)", base);
        std::printf("%-36s %9.1f %9.1f %8.0f%%\n", "shaders/plasma.frag saved", median(rebuild),
                    median(rebuild) - base, 100.0 * (median(rebuild) - base) / 100.0);
        std::printf("%-36s %9.1f %9.1f %8.0f%%\n", "project.json saved", median(reload),
                    median(reload) - base, 100.0 * (median(reload) - base) / 300.0);
        std::printf("%-36s %9.1f %9.1f %8.0f%%\n", "project.json saved, slowest", slowest_reload,
                    slowest_reload - base, 100.0 * (slowest_reload - base) / 300.0);
        std::printf("%-36s %9.1f\n", "first load (window, sound, demo)", first_load);
    }
    fs::remove_all(copy);
    return 0;
}
