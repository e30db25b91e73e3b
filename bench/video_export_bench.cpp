// Throughput of render's video export on the example demo at 1280x720 and 30 fps: frames per
// second and the share of wall-clock time in rendering, readback, colour conversion and
// encoding, beside writing the same frames as PNG files (what render did before) as the
// baseline, with the CPU time per frame of all threads. Runs under a GL context (xvfb-run).
//
// Usage: video_export_bench [EXAMPLE_DEMO] [FRAMES]   (default: example_demo beside the
// executable, 240 frames = 8 s from beat 16)
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/package_file.h"
#include "demo/offline_mix.h"
#include "offscreen/offscreen_player.h"
#include "timeline/beat_timing.h"
#include "video/video_export.h"
#include "video/video_format.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFps = 30;
constexpr double kFirstBeat = 16.0;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds of every thread of the process (the rasteriser's and the encoders' included),
// which a busy machine changes far less than the wall-clock figures.
double process_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

std::string beside_executable(const char* name) {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0)
        return name;
    return (fs::path(std::string(path, length)).parent_path() / name).string();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string example = argc > 1 ? argv[1] : beside_executable("example_demo");
    const int frames = argc > 2 ? std::stoi(argv[2]) : 240;
    const fs::path scratch =
        fs::temp_directory_path() / ("video_export_bench_" + std::to_string(getpid()));
    fs::create_directories(scratch);

    demo::OffscreenPlayer player(kWidth, kHeight);
    demo::Demo& demo = player.load(demo::load_package_file(example));
    const double start = demo::music_seconds_at(kFirstBeat, demo.bpm, demo.beat_offset);
    const std::vector<float> beats =
        demo::frame_beats(kFirstBeat, frames, kFps, demo.bpm, demo.beat_offset);
    const demo::OfflineMix mix(demo, start + static_cast<double>(frames) / kFps + 0.1, kFps);
    const int64_t first_mix_frame = std::llround(start * demo::OfflineMix::kFrequency);

    std::printf("video export of %d frames of the example, %dx%d at %d fps\n\n", frames, kWidth,
                kHeight, kFps);
    std::printf("%-30s %8s %6s %8s %8s %8s %8s %8s\n", "output", "frames/s", "ratio", "CPU ms/f",
                "render", "readback", "convert", "encode");

    // Baseline: the same frames as numbered PNG files.
    const auto png_start = std::chrono::steady_clock::now();
    const double png_cpu = process_cpu_seconds();
    for (int i = 0; i < frames; ++i) {
        player.render(beats[i], mix);
        const std::vector<uint8_t> pixels = player.read_pixels();
        player.swap();
        demo::write_png((scratch / ("frame" + std::to_string(i) + ".png")).string(), pixels, kWidth,
                        kHeight);
    }
    const double png_fps = frames / seconds_since(png_start);
    std::printf("%-30s %8.1f %6.2f %8.0f\n", "PNG frames (baseline)", png_fps, 1.0,
                1000 * (process_cpu_seconds() - png_cpu) / frames);

    for (const char* name : {"bench.mp4", "bench.webm"}) {
        const demo::VideoFormat* format = demo::find_video_format(name);
        demo::ExportTimes times;
        const auto video_start = std::chrono::steady_clock::now();
        const double video_cpu = process_cpu_seconds();
        demo::export_video(player, mix, beats, first_mix_frame, (scratch / name).string(),
                           {format, kWidth, kHeight, kFps, format->default_crf}, &times);
        const double total = seconds_since(video_start);
        const double cpu = process_cpu_seconds() - video_cpu;
        const std::string label = std::string(format->video_encoder) + " + " +
                                  format->audio_encoder + " (" + format->extension + ")";
        std::printf("%-30s %8.1f %6.2f %8.0f %7.0f%% %7.0f%% %7.0f%% %7.0f%%\n", label.c_str(),
                    frames / total, frames / total / png_fps, 1000 * cpu / frames,
                    100 * times.rendering / total, 100 * times.readback / total,
                    100 * times.conversion / total, 100 * times.encoding / total);
    }
    fs::remove_all(scratch);
    return 0;
}
