// CPU time of one frame walk (render_frame) on the rendering thread, for the example demo and
// for a synthetic demo of 1,000 effect events of which 100 are active, beside an empty demo's
// frame (the sound texture upload alone) as the baseline. Runs under a GL context (xvfb-run
// here); the render size is kept small so that the software rasteriser's work stays out of it.
//
// Usage: render_frame_bench [EXAMPLE_DEMO [WIDTHxHEIGHT [FRAMES]]]
//   (defaults: example_demo beside the executable, 320x180, 600 frames; a full-HD size shows
//   what the per-frame screen copies cost)
#include <GL/glew.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/package_file.h"
#include "offscreen/offscreen_player.h"
#include "timeline/render_frame.h"

namespace {

using demo::Demo;

int render_width = 320;
int render_height = 180;

double thread_cpu_us() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// Median CPU time of `frames` frame walks at beats spread over [from, to).
double median_frame_us(demo::OffscreenPlayer& player, float from, float to, int frames) {
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const float beat = from + (to - from) * static_cast<float>(i) / static_cast<float>(frames);
        const double start = thread_cpu_us();
        player.render(beat);
        times.push_back(thread_cpu_us() - start);
        player.swap();
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// 1,000 effect events over 100 beats of one trivial program; each lasts 10 beats, so 100
// are active at any beat past 10.
demo::PackageBytes synthetic_package() {
    Demo synthetic;
    auto program = std::make_unique<demo::ShaderProgram>();
    program->vertex_shader_filename = "bench.vert";
    program->fragment_shader_filename = "bench.frag";
    program->fragment_shader_source =
        "#version 150\nout vec4 c;\nuniform float level;\nvoid main() { c = vec4(level); }\n";
    auto def = std::make_unique<demo::UniformDef>();
    def->name = "level";
    program->uniform_defs.push_back(std::move(def));
    auto effect = std::make_unique<demo::Effect>();
    effect->name = "flat";
    effect->program.object = program.get();
    for (int i = 0; i < 1000; ++i) {
        auto event = std::make_unique<demo::Event>();
        event->type = demo::kEffectEvent;
        event->name = "e" + std::to_string(i);
        event->effect.object = effect.get();
        event->start_beat = static_cast<float>(i) * 0.1f;
        event->end_beat = event->start_beat + 10.0f;
        demo::ControlTrack track;
        track.points = {{0.0f, 0.0f, ""}, {10.0f, 0.01f, ""}};
        event->control_points["level"] = track;
        synthetic.events.push_back(std::move(event));
    }
    synthetic.shaders.push_back(std::move(program));
    synthetic.effects.push_back(std::move(effect));
    synthetic.music = std::make_unique<demo::ByteBuffer>();
    synthetic.end_beat = 200.0f;
    synthetic.bpm = 120.0f;
    synthetic.beat_offset = 0.0f;
    demo::PackageBytes package;
    package.file = demo::write_package(synthetic);
    package.size = package.file.size();
    return package;
}

demo::PackageBytes empty_package() {
    Demo empty;
    empty.music = std::make_unique<demo::ByteBuffer>();
    demo::PackageBytes package;
    package.file = demo::write_package(empty);
    package.size = package.file.size();
    return package;
}

std::string beside_executable(const char* name) {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0)
        return name;
    return (std::filesystem::path(std::string(path, length)).parent_path() / name).string();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string example = argc > 1 ? argv[1] : beside_executable("example_demo");
    if (argc > 2 && std::sscanf(argv[2], "%dx%d", &render_width, &render_height) != 2) {
        std::fprintf(stderr, "size must be WIDTHxHEIGHT, not %s\n", argv[2]);
        return 1;
    }
    const int kFrames = argc > 3 ? std::max(1, std::atoi(argv[3])) : 600;
    std::printf("render_frame CPU time per frame (median of %d frames, %dx%d)\n\n", kFrames,
                render_width, render_height);
    std::printf("%-44s %10s %8s\n", "demo", "median us", "ratio");

    double baseline = 0.0;
    {
        demo::OffscreenPlayer player(render_width, render_height);
        player.load(empty_package());
        baseline = median_frame_us(player, 0.0f, 100.0f, kFrames);
        std::printf("%-44s %10.1f %8.2f\n", "empty demo (baseline)", baseline, 1.0);
    }
    {
        demo::OffscreenPlayer player(render_width, render_height);
        player.load(synthetic_package());
        const double us = median_frame_us(player, 20.0f, 90.0f, kFrames);
        std::printf("%-44s %10.1f %8.2f\n", "synthetic: 1,000 events, 100 active", us,
                    us / baseline);
    }
    {
        demo::OffscreenPlayer player(render_width, render_height);
        player.load(demo::load_package_file(example));
        const double us = median_frame_us(player, 0.0f, 120.0f, kFrames);
        std::printf("%-44s %10.1f %8.2f\n", "example demo, beats 0 to 120", us, us / baseline);
    }
    return 0;
}
