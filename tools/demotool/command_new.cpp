// demotool new: a small starter project that checks clean and plays, for a demo maker's first
// minutes: one shader using the beat and the sound level, one effect, one event, a caption in a
// font from the system, and a generated beat as the music.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "demo/demo.h"
#include "serialization/file_io.h"
#include "timeline/beat_timing.h"
#include "wav_file.h"

namespace demo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kNewHelp =
    "usage: demotool new DIR\n"
    "\n"
    "Writes a starter project into DIR, which must be empty or not exist yet:\n"
    "  project.json         one effect drawn by one event from beat 0 to 16, with a caption\n"
    "  shaders/quad.vert    the full-screen quad\n"
    "  shaders/main.frag    colour bands that move with \"beat\" and brighten with \"sound\"\n"
    "  fonts/               a copy of a TrueType font found on this system\n"
    "  resources/music.mp3  eight seconds of generated beat at 120 bpm (a WAV: the music\n"
    "                       keeps this name whatever its format)\n"
    "It checks clean and plays: demotool play DIR/project.json\n";

constexpr float kBpm = 120.0f;
constexpr float kBeats = 16.0f;

constexpr const char* kVertexShader = R"(#version 150
// The quad every effect draws: its corners pass through unchanged.
in vec3 vp;

void main() {
    gl_Position = vec4(vp, 1.0);
}
)";

constexpr const char* kFragmentShader = R"(#version 150
// Colour bands that move with the beat, flash on each beat and brighten with the music, under
// the caption. See docs/reference.md for every uniform the player sets.
uniform float beat;        // the current beat
uniform int sound;         // the music's level, 0 to 32767 (an int, not a float)
uniform vec2 resolution;   // the render size in pixels
uniform float hue;         // a tunable uniform: the event's "hue" track drives it
uniform sampler2D tex;     // unit 0: the effect's first input, here the caption
out vec4 colour;

void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    float level = float(sound) / 32767.0;
    float flash = 1.0 - fract(beat);
    float bands = 0.5 + 0.5 * sin(uv.x * 10.0 + beat * 1.5 + 2.0 * sin(uv.y * 5.0 + beat * 0.5));
    vec3 base = 0.5 + 0.5 * cos(6.2832 * (hue + vec3(0.0, 0.33, 0.67)));
    vec3 c = base * bands * (0.3 + 0.7 * flash) * (0.6 + 2.0 * level);

    // The caption's 1024 x 128 texture across the middle, at 80 % of the width; its top row
    // is at t = 0.
    float width = 0.8 * resolution.x;
    vec2 st = vec2((gl_FragCoord.x - 0.1 * resolution.x) / width,
                   0.5 - (gl_FragCoord.y - 0.5 * resolution.y) / (width / 8.0));
    if (all(greaterThanEqual(st, vec2(0.0))) && all(lessThanEqual(st, vec2(1.0))))
        c = mix(c, vec3(1.0), texture(tex, st).a);
    colour = vec4(c, 1.0);
}
)";

// The project document; FONT is the font file's name in fonts/.
constexpr const char* kProject = R"({
  "shaders": [
    {"vertex_shader_filename": "shaders/quad.vert", "fragment_shader_filename": "shaders/main.frag",
     "uniform_defs": [{"name": "hue", "min_val": 0.0, "max_val": 1.0, "default_val": 0.6}]}
  ],
  "fonts": [{"name": "sans", "filename": "fonts/FONT", "ptsize": 72}],
  "font_textures": [
    {"name": "caption", "font": "sans", "width": 1024, "height": 128, "center": true,
     "chars_per_beat": 2}
  ],
  "effects": [
    {"name": "bands", "program": "shaders/main.frag", "font_textures": ["caption"]}
  ],
  "events": [
    {"type": 1, "name": "intro", "effect": "bands", "start_beat": 0.0, "end_beat": 16.0,
     "visible": "true",
     "control_points": {
       "hue": {"mode": 2, "repeat": false, "control_points": [
         {"beat": 0.0, "value": 0.6}, {"beat": 8.0, "value": 0.9}, {"beat": 16.0, "value": 0.6}]},
       "caption": {"mode": 0, "repeat": false, "control_points": [
         {"beat": 0.0, "text": "hello, demo"}, {"beat": 8.0, "text": "beat <IBEAT> of 16"}]}
     }}
  ],
  "end_beat": 16.0,
  "bpm": 120.0,
  "beat_offset": 0.0
}
)";

// A TrueType font of this system: DejaVu Sans Bold where Debian's fonts-dejavu-core put it,
// otherwise the first .ttf under the usual font folders, by name.
fs::path system_font() {
    for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}) {
        if (fs::is_regular_file(path))
            return path;
    }
    std::vector<fs::path> found;
    for (const char* folder : {"/usr/share/fonts", "/usr/local/share/fonts"}) {
        std::error_code error;
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            if (it->path().extension() == ".ttf" && it->is_regular_file(error))
                found.push_back(it->path());
        }
    }
    if (found.empty()) {
        throw std::runtime_error(
            "no TrueType font found under /usr/share/fonts for the caption (on Debian: "
            "apt-get install fonts-dejavu-core)");
    }
    return *std::min_element(found.begin(), found.end());
}

// Sixteen beats at 120 bpm and a half-second tail: a falling kick on every beat, a hat on
// every off-beat and a bass line of one note a bar.
std::vector<int16_t> starter_music() {
    constexpr double kRate = 44100.0;
    constexpr double kPi = 3.14159265358979;
    const double beat_seconds = music_seconds_at(1.0f, kBpm, 0.0f);
    const size_t frames = static_cast<size_t>((kBeats * beat_seconds + 0.5) * kRate);
    const double bass[] = {110.0, 87.31, 130.81, 98.0};
    std::vector<int16_t> samples(frames * 2);
    uint32_t noise = 1;
    double kick_phase = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double in_beat = std::fmod(t, beat_seconds);
        const int beat = static_cast<int>(t / beat_seconds);
        kick_phase += 2.0 * kPi * (45.0 + 110.0 * std::exp(-in_beat * 30.0)) / kRate;
        double v = std::sin(kick_phase) * std::exp(-in_beat * 9.0) * 0.8;
        noise = noise * 1664525u + 1013904223u;
        const double off_beat = in_beat - beat_seconds / 2.0;
        if (off_beat >= 0.0)
            v += (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * std::exp(-off_beat * 60.0) *
                 0.15;
        if (beat < kBeats)
            v += std::sin(2.0 * kPi * bass[(beat / 4) % 4] * t) * 0.25 *
                 std::min(1.0, in_beat * 50.0) * std::exp(-in_beat * 2.0);
        const auto value = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 30000.0));
        samples[2 * i] = samples[2 * i + 1] = value;
    }
    return samples;
}

void write_text(const fs::path& path, const std::string& text) {
    write_file(path.string(), reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace

int run_new(const Arguments& args) {
    const ParsedArguments parsed = parse_command(args, kNewHelp, "DIR", {}, {});
    if (parsed.help)
        return 0;
    const fs::path dir = parsed.positional[0];
    std::error_code error;
    if (fs::exists(dir, error) && !(fs::is_directory(dir, error) && fs::is_empty(dir, error))) {
        throw std::runtime_error(dir.string() +
                                 " is not an empty folder; new writes only into an empty or a "
                                 "new one, so that nothing of yours is overwritten");
    }
    const fs::path font = system_font();
    std::string project = kProject;
    project.replace(project.find("FONT"), 4, font.filename().string());

    fs::create_directories(dir / "fonts");
    fs::copy_file(font, dir / "fonts" / font.filename());
    write_text(dir / "shaders/quad.vert", kVertexShader);
    write_text(dir / "shaders/main.frag", kFragmentShader);
    write_wav((dir / kMusicSideFile).string(), starter_music());
    write_text(dir / "project.json", project);

    const std::string doc = (dir / "project.json").string();
    std::printf(
        "Wrote a starter project in %s: 8 seconds at 120 bpm, one effect, one event, a "
        "caption.\nNext:\n"
        "  demotool play %s      # watch it; saving a file shows the change at once\n"
        "  demotool check %s     # every problem, in one run\n"
        "  demotool pack %s -o demo\n"
        "  demotool render %s -o demo.mp4 --from 0 --to 16\n",
        dir.string().c_str(), doc.c_str(), doc.c_str(), doc.c_str(), doc.c_str());
    return 0;
}

}  // namespace demo
