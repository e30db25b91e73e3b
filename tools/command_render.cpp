// demotool render: what the player would show, offscreen and deterministic, for video capture
// and for tests. Each frame runs at exactly its beat; the sound texture and the "sound" level
// come from analysing the offline mix of the 1024 frames that end at the frame's time.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "audio/offline_mix.h"
#include "audio/sound_analysis.h"
#include "command_line.h"
#include "commands.h"
#include "offscreen_player.h"
#include "package_file.h"
#include "progress_bar.h"
#include "serialization/file_io.h"

namespace demo {

namespace {

constexpr const char* kRenderHelp =
    "usage: demotool render INPUT -o OUT (--beat B | --from B0 --to B1 --fps N)\n"
    "                       [--size WxH] [--wav FILE]\n"
    "\n"
    "Renders the demo of a project document, a packed player or a bare package offscreen\n"
    "(needs an OpenGL context, e.g. under xvfb-run; no window is shown).\n"
    "\n"
    "  --beat B           write one PNG, OUT, at beat B\n"
    "  --from B0 --to B1  write frames from beat B0 up to B1 into the folder OUT\n"
    "  --fps N            frames per second of the sequence (default 60)\n"
    "  --size WxH         render size (default 1920x1080)\n"
    "  --wav FILE         also write the demo's mixed sound for the rendered span\n";

// Seconds since the music started at which the clock reaches `beat`.
double seconds_at(const Demo& demo, float beat) {
    return (static_cast<double>(beat) + demo.beat_offset) * 60.0 / demo.bpm;
}

// Writes interleaved 16-bit stereo at 44.1 kHz as a WAV file.
void write_wav(const std::string& path, const std::vector<int16_t>& samples) {
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
    tag("RIFF");
    put32(36 + data_bytes);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(OfflineMix::kFrequency);
    put32(OfflineMix::kFrequency * 4);
    put16(4);
    put16(16);
    tag("data");
    put32(data_bytes);
    const auto* bytes = reinterpret_cast<const uint8_t*>(samples.data());
    out.insert(out.end(), bytes, bytes + data_bytes);
    write_file(path, out.data(), out.size());
}

}  // namespace

int run_render(const Arguments& args) {
    const ParsedArguments parsed = parse_arguments(
        args, {"--output", "--beat", "--from", "--to", "--fps", "--size", "--wav"}, {});
    if (parsed.help) {
        std::fputs(kRenderHelp, stdout);
        return 0;
    }
    if (parsed.positional.size() != 1)
        throw UsageError{"expects one INPUT"};
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

    std::vector<float> beats;
    float first_beat = 0.0f;
    float last_beat = 0.0f;
    if (single) {
        last_beat = parse_float(parsed.value("--beat"), "--beat");
        beats.push_back(last_beat);
    }

    const PackageBytes package = load_package_file(parsed.positional[0]);
    OffscreenPlayer player(width, height);
    Demo& demo = player.load(package);
    if (!(demo.bpm > 0.0f))
        throw std::runtime_error("the demo's tempo is not positive");

    int fps = 60;
    if (sequence) {
        first_beat = parse_float(parsed.value("--from"), "--from");
        last_beat = parse_float(parsed.value("--to"), "--to");
        fps = static_cast<int>(parse_float(parsed.value("--fps", "60"), "--fps"));
        if (fps <= 0 || fps > 1000)
            throw UsageError{"--fps needs a number from 1 to 1000"};
        if (last_beat < first_beat)
            throw UsageError{"--to must not be before --from"};
        // Frames at exact times, so the beats of a sequence do not drift.
        const double start = seconds_at(demo, first_beat);
        const double end = seconds_at(demo, last_beat);
        const int64_t count = static_cast<int64_t>(std::floor((end - start) * fps + 1e-9)) + 1;
        if (count > 1000000)
            throw UsageError{"the sequence would be over a million frames"};
        for (int64_t i = 0; i < count; ++i) {
            const double t = start + static_cast<double>(i) / fps;
            beats.push_back(static_cast<float>(t * demo.bpm / 60.0 - demo.beat_offset));
        }
        std::filesystem::create_directories(output);
    } else {
        first_beat = -demo.beat_offset;
    }

    const double end_seconds = std::max(0.0, seconds_at(demo, last_beat));
    const OfflineMix mix(demo, end_seconds + 0.1, fps);
    ProgressBar bar("Rendering");
    for (size_t i = 0; i < beats.size(); ++i) {
        const int64_t end_frame =
            static_cast<int64_t>(std::llround(seconds_at(demo, beats[i]) * OfflineMix::kFrequency));
        if (mix.has_music() && end_frame > 0) {
            std::vector<int16_t> chunk = mix.frames(end_frame - kFftSize, kFftSize);
            analyse_output(0, chunk.data(), static_cast<int>(chunk.size() * 2), nullptr);
        }
        player.render(beats[i]);
        const std::vector<uint8_t> pixels = player.read_pixels();
        player.swap();
        if (single) {
            write_png(output, pixels, width, height);
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "frame%06zu.png", i);
            write_png((std::filesystem::path(output) / name).string(), pixels, width, height);
        }
        bar.update(i + 1, beats.size());
    }
    bar.finish();

    const std::string wav = parsed.value("--wav");
    if (!wav.empty()) {
        const int64_t first =
            std::max<int64_t>(0, static_cast<int64_t>(std::llround(seconds_at(demo, first_beat) *
                                                                   OfflineMix::kFrequency)));
        const int64_t last =
            static_cast<int64_t>(std::llround(end_seconds * OfflineMix::kFrequency));
        write_wav(wav, mix.frames(first, std::max<int64_t>(0, last - first)));
    }
    return 0;
}

}  // namespace demo
