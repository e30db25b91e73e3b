// demotool render: what the player would show, offscreen and deterministic, for video capture
// and for tests. Each frame runs at exactly its beat; the sound texture and the "sound" level
// come from analysing the offline mix of the 1024 frames that end at the frame's time.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "command_line.h"
#include "commands.h"
#include "common/package_file.h"
#include "common/progress_bar.h"
#include "demo/offline_mix.h"
#include "offscreen/offscreen_player.h"
#include "render/shader_compiler.h"
#include "timeline/beat_timing.h"
#include "video/video_export.h"
#include "video/video_format.h"
#include "wav_file.h"

namespace demo {

namespace {

constexpr const char* kRenderHelp =
    "usage: demotool render INPUT -o OUT (--beat B | --from B0 --to B1 --fps N)\n"
    "                       [--size WxH] [--crf Q] [--wav FILE] [--force]\n"
    "\n"
    "Renders the demo of a project document, a packed player or a bare package offscreen\n"
    "(needs an OpenGL context, e.g. under xvfb-run; no window is shown).\n"
    "\n"
    "  --beat B           write one PNG, OUT, at beat B\n"
    "  --from B0 --to B1  write frames from beat B0 up to B1 into the folder OUT, or, when OUT\n"
    "                     ends in .mp4, .mkv or .webm, encode them with the demo's sound into\n"
    "                     that video (H.264 and AAC; WebM: VP9 and Opus)\n"
    "  --fps N            frames per second of the sequence (default 60)\n"
    "  --size WxH         render size (default 1920x1080; even sides for a video)\n"
    "  --crf Q            video quality, lower is better (default 18 for H.264, 31 for VP9)\n"
    "  --wav FILE         also write the demo's mixed sound for the rendered span\n"
    "  --force            render even when a shader program does not build\n"
    "\n"
    "A program that does not compile or link stops render before anything is written, with\n"
    "its messages (file:line:col), unless --force. Beats past the demo's end beat, where the\n"
    "player stops, are rendered with a warning.\n";

// The video format OUT asks for, or null for a folder of PNG frames (OUT has no extension).
// Everything an encoder would refuse is refused here, before any work starts.
const VideoFormat* video_format_for(const std::string& output, int32_t width, int32_t height) {
    const VideoFormat* format = find_video_format(output);
    if (format == nullptr) {
        const std::string extension = std::filesystem::path(output).extension().string();
        if (!extension.empty()) {
            throw UsageError{"unknown extension '" + extension + "' in '" + output +
                             "': render writes videos ending in " + video_extensions() +
                             ", or PNG frames into a folder without an extension"};
        }
        return nullptr;
    }
    if (width % 2 != 0 || height % 2 != 0) {
        throw UsageError{
            "a video needs an even width and height (its colour is stored for "
            "2x2 pixel blocks), not " +
            std::to_string(width) + "x" + std::to_string(height)};
    }
    return format;
}

// --crf for `format`: its default when absent, otherwise a whole number in its range.
int parse_crf(const std::string& text, const VideoFormat* format) {
    if (format == nullptr) {
        if (!text.empty())
            throw UsageError{"--crf applies to a video output only"};
        return 0;
    }
    if (text.empty())
        return format->default_crf;
    int crf = -1;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%d%c", &crf, &extra) != 1 || crf < 0 || crf > format->max_crf) {
        throw UsageError{"--crf needs a whole number from 0 to " + std::to_string(format->max_crf) +
                         ", not '" + text + "'"};
    }
    return crf;
}

// Seconds since the music started at which the clock reaches `beat`.
double seconds_at(const Demo& demo, float beat) {
    return music_seconds_at(beat, demo.bpm, demo.beat_offset);
}

// The mix frame the clock reaches at `beat`, rounded; refused when out of any mix's range.
int64_t frame_at(const Demo& demo, float beat, const char* what) {
    return checked_frame(std::round(seconds_at(demo, beat) * OfflineMix::kFrequency), what);
}

// Draws every beat and writes it as a PNG: OUT itself for a single frame, numbered frames in
// the folder OUT otherwise.
void write_images(OffscreenPlayer& player, const OfflineMix& mix, const std::vector<float>& beats,
                  const std::string& output, bool single, int32_t width, int32_t height) {
    ProgressBar bar("Rendering", "frames");
    for (size_t i = 0; i < beats.size(); ++i) {
        player.render(beats[i], mix);
        const std::vector<uint8_t> pixels = player.read_pixels();
        player.swap();
        std::string path = output;
        if (!single) {
            char name[32];
            std::snprintf(name, sizeof name, "frame%06zu.png", i);
            path = (std::filesystem::path(output) / name).string();
        }
        write_png(path, pixels, width, height);
        bar.update(i + 1, beats.size());
    }
    bar.finish();
}

// Says every program that does not build, with file and line, and stops there unless `force`:
// a frame drawn without it is not what the demo maker meant to see.
void refuse_broken_programs(const Demo& demo, bool force) {
    size_t broken = 0;
    for (const auto& program : demo.shaders) {
        const std::vector<std::string> lines = build_messages(*program);
        broken += lines.empty() ? 0 : 1;
        for (const std::string& line : lines)
            std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (broken != 0 && !force) {
        throw std::runtime_error(std::to_string(broken) + " program" + (broken == 1 ? "" : "s") +
                                 " do" + (broken == 1 ? "es" : "") +
                                 " not build, so nothing is rendered (--force renders anyway)");
    }
}

}  // namespace

int run_render(const Arguments& args) {
    const ParsedArguments parsed = parse_command(
        args, kRenderHelp, "INPUT",
        {"--output", "--beat", "--from", "--to", "--fps", "--size", "--crf", "--wav"}, {"--force"});
    if (parsed.help)
        return 0;
    const std::string output = parsed.value("--output");
    if (output.empty())
        throw UsageError{"needs -o OUT"};
    const bool single = !parsed.value("--beat").empty();
    const bool sequence = !parsed.value("--from").empty() || !parsed.value("--to").empty();
    if (single == sequence)
        throw UsageError{"needs either --beat B or --from B0 --to B1"};
    int32_t width = 1920;
    int32_t height = 1080;
    if (!parsed.value("--size").empty())
        parse_size(parsed.value("--size"), width, height);
    if (single && find_video_format(output) != nullptr)
        throw UsageError{"--beat writes one PNG; a video needs --from B0 --to B1"};
    const VideoFormat* video = sequence ? video_format_for(output, width, height) : nullptr;
    const int crf = parse_crf(parsed.value("--crf"), video);

    std::vector<float> beats;
    float first_beat = 0.0f;
    float last_beat = 0.0f;
    if (single) {
        last_beat = parse_float(parsed.value("--beat"), "--beat");
        beats.push_back(last_beat);
    }

    const PackageBytes package = load_package_file(parsed.positional[0]);
    OffscreenPlayer player(width, height);
    set_compile_messages_printed(false);  // said below with file and line
    Demo& demo = player.load(package);
    set_compile_messages_printed(true);
    refuse_broken_programs(demo, parsed.flag("--force"));
    if (!(demo.bpm > 0.0f) || !std::isfinite(demo.bpm))
        throw std::runtime_error("the demo's tempo is not a positive number");
    if (!std::isfinite(demo.beat_offset))
        throw std::runtime_error("the demo's beat offset is not a number");

    int fps = 60;
    if (sequence) {
        first_beat = parse_float(parsed.value("--from"), "--from");
        last_beat = parse_float(parsed.value("--to"), "--to");
        // Checked as a float first: converting 1e10 to an int is undefined.
        const float rate = parse_float(parsed.value("--fps", "60"), "--fps");
        if (!(rate >= 1.0f && rate <= OfflineMix::kMaxFramesPerSecond))
            throw std::range_error("--fps needs a number from 1 to 1000");
        fps = static_cast<int>(rate);
        if (last_beat < first_beat)
            throw UsageError{"--to must not be before --from"};
        // Frames at exact times, so the beats of a sequence do not drift.
        const double start = seconds_at(demo, first_beat);
        const double end = seconds_at(demo, last_beat);
        // A folder holds both ends; a video's frames each last 1/fps and together span the
        // range. Counted in doubles first: a huge range must not overflow the integer.
        const double span = (end - start) * fps;
        const double frames =
            video != nullptr ? std::max(1.0, std::round(span)) : std::floor(span + 1e-9) + 1;
        if (!(frames <= 1000000))
            throw UsageError{"the sequence would be over a million frames"};
        beats =
            frame_beats(first_beat, static_cast<int64_t>(frames), fps, demo.bpm, demo.beat_offset);
        if (video == nullptr)
            std::filesystem::create_directories(output);
    } else {
        first_beat = -demo.beat_offset;
    }

    if (last_beat > demo.end_beat) {
        std::fprintf(stderr,
                     "demotool render: warning: %s %g is past the end beat %g, where the player "
                     "stops; what is rendered there is never seen\n",
                     single ? "--beat" : "--to", last_beat, demo.end_beat);
    }
    const double end_seconds = std::max(0.0, seconds_at(demo, last_beat));
    // The mix reaches past the end of the last frame, which a video may place after B1.
    const double last_frame_end = seconds_at(demo, beats.back()) + 1.0 / fps;
    const OfflineMix mix(demo, std::max(end_seconds, last_frame_end) + 0.1, fps);
    if (video != nullptr) {
        // The sound starts with the first frame, silent where that is before the music.
        const int64_t first_mix_frame = frame_at(demo, first_beat, "the first frame");
        export_video(player, mix, beats, first_mix_frame, output, {video, width, height, fps, crf});
    } else {
        write_images(player, mix, beats, output, single, width, height);
    }

    const std::string wav = parsed.value("--wav");
    if (!wav.empty()) {
        const int64_t first = std::max<int64_t>(0, frame_at(demo, first_beat, "the first frame"));
        const int64_t last =
            checked_frame(std::round(end_seconds * OfflineMix::kFrequency), "the last frame");
        write_wav(wav, mix.frames(first, std::max<int64_t>(0, last - first)));
    }
    return 0;
}

}  // namespace demo
