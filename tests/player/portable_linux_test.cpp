// The self-contained Linux player: it needs nothing of the system but glibc, and plays in a
// sandbox whose library folder holds only glibc, Mesa's GL and the X11 client libraries.
#include <stb_image.h>

#include "test_support/portable_support.h"

namespace demo::portable {
namespace {

// Its NEEDED entries are glibc's, its newest glibc symbol is from 2.34 at most, and it is
// small enough to hand out, alone and carrying the example.
TEST(PortableLinux, NeedsOnlyGlibcTwoThirtyFour) {
    const std::set<std::string> glibc = {"libc.so.6",       "libm.so.6",  "libdl.so.2",
                                         "libpthread.so.0", "librt.so.1", "ld-linux-x86-64.so.2"};
    const std::set<std::string> needed =
        matches({"readelf", "-d", PORTABLE_LINUX_PATH}, R"(\(NEEDED\).*\[(.*)\])");
    EXPECT_FALSE(needed.empty());
    for (const std::string& library : needed)
        EXPECT_EQ(glibc.count(library), 1u) << library;
    for (const std::string& minor :
         matches({"objdump", "-T", PORTABLE_LINUX_PATH}, R"(GLIBC_2\.(\d+))"))
        EXPECT_LE(std::stoi(minor), 34) << "GLIBC_2." << minor;
    EXPECT_LT(fs::file_size(PORTABLE_LINUX_PATH), 4u << 20);
    TempDir dir;
    EXPECT_LT(fs::file_size(pack_for("linux", EXAMPLE_DIR "/project.json", dir / "demo")),
              6u << 20);
}

// `command` run in a sandbox that holds `folder` (read and written, the working directory),
// the X server's socket, Mesa's GL and the X11 client libraries SDL opens, each with what the
// dynamic linker resolves for it (glibc, and libstdc++ for Mesa's renderer), and nothing else.
std::vector<std::string> sandboxed(const fs::path& folder, const std::string& command) {
    const std::string lib = "/usr/lib/x86_64-linux-gnu/";
    std::vector<std::string> args = {"bwrap", "--die-with-parent", "--proc", "/proc"};
    args.insert(args.end(), {"--dev", "/dev", "--symlink", "usr/lib", "/lib"});
    args.insert(args.end(), {"--symlink", "usr/lib64", "/lib64", "--chdir", folder});
    args.insert(args.end(), {"--ro-bind", "/tmp/.X11-unix", "/tmp/.X11-unix"});
    args.insert(args.end(), {"--bind", folder, folder});
    for (const char* name :
         {"libGL.so.1", "libGLX_mesa.so.0", "dri/swrast_dri.so", "libX11.so.6", "libXext.so.6",
          "libXcursor.so.1", "libXi.so.6", "libXfixes.so.3", "libXrandr.so.2", "libXss.so.1"}) {
        std::set<std::string> files = matches({"ldd", lib + name}, R"((/\S+) \(0x)");
        files.insert(lib + name);
        for (const std::string& file : files) {
            EXPECT_FALSE(
                std::regex_search(file, std::regex("SDL|GLEW|tinygltf|stb|kissfft|freetype")))
                << file;
            const std::string inside = std::regex_replace(file, std::regex("^/lib"), "/usr/lib");
            args.insert(args.end(), {"--ro-bind", fs::canonical(file), inside});
        }
    }
    args.push_back(command);
    return args;
}

// Packed onto the portable player, the short example plays to its end in the sandbox with
// status 0, and the disk audio holds its music. The disk driver waits 5 ms after each chunk
// instead of the chunk's 23 ms, so that it writes the music faster than it plays and a busy
// machine cannot make it write less than the test measures.
TEST(PortableLinux, PlaysTheShortExampleInABareSandbox) {
    TempDir dir;
    pack_for("linux", kShortProject, dir / "demo");
    std::vector<std::string> command = sandboxed(dir.path, "./demo");
    command.insert(command.begin(), {"env", "SDL_DISKAUDIODELAY=5"});
    expect_played_short_example(
        run_under_xvfb(dir.path, 640, 360, command, std::chrono::seconds(240)), dir.path);
}

// A cut package is refused by an exception, which the unwinder linked into the player must
// carry to its handler: "error.log" names the damage and the status is 1, not an abort.
TEST(PortableLinux, RefusesACutPackageThroughItsErrorLog) {
    TempDir dir;
    Bytes package = package_bytes::package_of_datas(0, 0, {}, {}, 4.0f, 120.0f, 0.0f);
    package.resize(8 + 5 * 8 + 3);  // into the sixth of its eleven counts
    package_bytes::write_file_bytes(
        dir / "demo", package_bytes::concat({read_bytes(PORTABLE_LINUX_PATH), package,
                                             trailer(static_cast<uint32_t>(package.size()))}));
    fs::permissions(dir / "demo", fs::perms::owner_all);
    const RunResult run = run_under_xvfb(dir.path, 640, 360, sandboxed(dir.path, "./demo"));
    EXPECT_EQ(run.exit_code, 1) << run;
    EXPECT_NE(read_text(dir / "error.log").find("truncated"), std::string::npos) << run;
}

// A demo whose frames change with the whole beat only: the example's image, a text texture
// counting the beats, and in the bottom left corner the beat itself as red (beat + 1) * 16.
constexpr const char* kStepFragment = R"(#version 150
out vec4 frag_color;
uniform vec2 resolution;
uniform float beat;
uniform sampler2D tex;
uniform sampler2D tex1;
void main() {
    vec2 uv = gl_FragCoord.xy / resolution;
    vec2 flipped = vec2(uv.x, 1.0 - uv.y);
    vec3 inputs = texture(tex, flipped).rgb + texture(tex1, flipped).rgb;
    frag_color = vec4(mix(vec3(uv, fract(floor(beat) * 0.37)), inputs, 0.5), 1.0);
    if (uv.x < 0.05 && uv.y < 0.05) frag_color = vec4((floor(beat) + 1.0) * 16.0 / 255.0, 0, 0, 1);
}
)";

constexpr const char* kStepProject = R"({
  "shaders": [{"vertex_shader_filename": "default.vert", "fragment_shader_filename": "step.frag"}],
  "textures": [{"name": "spectrum.png"}],
  "fonts": [{"name": "dejavu", "filename": "DejaVuSans-Bold.ttf", "ptsize": 40}],
  "font_textures": [{"name": "count", "width": 512, "height": 96, "font": "dejavu"}],
  "effects": [{"name": "step", "program": "step.frag", "textures": ["spectrum.png"],
               "font_textures": ["count"]}],
  "events": [{"type": 1, "name": "step", "effect": "step", "start_beat": 0.0, "end_beat": 16.0,
              "control_points": {"count": {"mode": 0, "control_points": [
                  {"beat": 0.0, "text": "beat <IBEAT>"}]}}}],
  "end_beat": 12.0, "bpm": 120.0, "beat_offset": 0.0
})";

// Dumps the screen (xwd) every half second while the player runs.
constexpr const char* kScreenshotScript = R"(#!/bin/sh
"$@" >player.log 2>&1 &
n=0
while kill -0 $! 2>/dev/null; do n=$((n + 1)); xwd -root -silent >shot$n.xwd; sleep 0.5; done
wait $!
echo $? >player.status
)";

// The RGB bytes of a screen dump of depth 24: a header of big-endian 32-bit fields (its size,
// then at 4 and 5 the width and height, at 7 the pixels' byte order, at 12 the row length, at
// 19 the colour count), the colour map, then the rows of 32-bit pixels.
Bytes xwd_rgb(const fs::path& path) {
    const Bytes b = read_bytes(path);
    auto field = [&](size_t i) {
        return uint32_t(b[4 * i]) << 24 | b[4 * i + 1] << 16 | b[4 * i + 2] << 8 | b[4 * i + 3];
    };
    Bytes rgb;
    const bool low_first = field(7) == 0;
    for (size_t y = 0; y < field(5); ++y) {
        for (size_t x = 0; x < field(4); ++x) {
            const uint8_t* p = &b.at(field(0) + field(19) * 12 + y * field(12) + x * 4);
            rgb.insert(rgb.end(),
                       {p[low_first ? 2 : 1], p[low_first ? 1 : 2], p[low_first ? 0 : 3]});
        }
    }
    return rgb;
}

// A picture of the playing demo, taken outside the sandbox, is demotool render's picture of the
// beat it shows (read from its corner), within a few levels.
TEST(PortableLinux, AScreenshotMatchesTheRenderOfItsBeat) {
    TempDir dir;
    for (const char* file :
         {"shaders/default.vert", "images/spectrum.png", "resources/DejaVuSans-Bold.ttf"})
        fs::copy_file(fs::path(EXAMPLE_DIR) / file, dir / fs::path(file).filename());
    fs::create_directories(dir / "resources");
    fs::copy_file(EXAMPLE_DIR "/resources/music.mp3", dir / "resources/music.mp3");
    write_text(dir / "step.frag", kStepFragment);
    write_text(dir / "project.json", kStepProject);
    write_text(dir / "shots.sh", kScreenshotScript);
    pack_for("linux", dir / "project.json", dir / "demo");
    std::vector<std::string> command = sandboxed(dir.path, "./demo");
    command.insert(command.begin(), {"sh", "./shots.sh"});
    ASSERT_EQ(run_under_xvfb(dir.path, 640, 360, command, std::chrono::seconds(240)).exit_code, 0);
    ASSERT_EQ(read_text(dir / "player.status"), "0\n") << read_text(dir / "player.log");

    // The first dump that shows a beat of the demo: before it, the window is black.
    int beat = -1;
    Bytes shot;
    for (int n = 1; beat < 1 && fs::exists(dir / ("shot" + std::to_string(n) + ".xwd")); ++n) {
        shot = xwd_rgb(dir / ("shot" + std::to_string(n) + ".xwd"));
        const uint8_t* corner = &shot.at(3 * (640 * 356 + 4));
        beat = corner[0] >= 24 && corner[1] < 8 ? (corner[0] + 8) / 16 - 1 : -1;
    }
    ASSERT_GE(beat, 1) << "no picture showed a beat of the demo";
    const RunResult render = tool::run({"render", "project.json", "-o", "frame.png", "--beat",
                                        std::to_string(beat) + ".5", "--size", "640x360"},
                                       dir.path);
    ASSERT_TRUE(render.ok()) << render;
    int width = 0, height = 0, channels = 0;
    uint8_t* want = stbi_load((dir / "frame.png").c_str(), &width, &height, &channels, 3);
    ASSERT_EQ(size_t(width) * height * 3, shot.size());
    int worst = 0;
    for (size_t i = 0; i < shot.size(); ++i)
        worst = std::max(worst, std::abs(int(want[i]) - int(shot[i])));
    stbi_image_free(want);
    EXPECT_LE(worst, 3) << "beat " << beat;
}

}  // namespace
}  // namespace demo::portable
