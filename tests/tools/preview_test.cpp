// demotool play, driven in-process: a shader coloured by the beat and an included file's
// constant, a silent WAV as the music (120 bpm: two beats a second), a 1 s sample at beat 4.
#include "preview/preview.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>

#include "audio/sample_playback.h"
#include "preview/file_watcher.h"
#include "test_support/demotool_run.h"

namespace demo::tool {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 54;
constexpr uint32_t kStart = 1000;  // SDL ticks of the first frame

// Red is the beat's eighth, green the library's constant, blue how far across the pixel is.
constexpr const char* kColourShader =
    "#version 150\n#define INCLUDED\n#include \"shaders/lib.glsl\"\nout vec4 c;\n"
    "uniform float beat;\nuniform vec2 resolution;\n"
    "void main() { c = vec4(fract(beat / 8.0), green(), gl_FragCoord.x / resolution.x, 1.0); }\n";

std::string library(const std::string& green_body) {
    return "float green() { " + green_body +
           " }\n#ifndef INCLUDED\n"
           "void main() { gl_FragColor = vec4(green()); }\n#endif\n";
}

// A file saved the way editors save: a new file renamed into place.
void save(const fs::path& path, const std::string& text) {
    write_text(path.string() + ".saving", text);
    fs::rename(path.string() + ".saving", path);
}

int byte_of(double v) {
    return static_cast<int>(std::lround(v * 255.0));
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        save(dir_ / "shaders/quad.vert",
             "#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n");
        save(dir_ / "shaders/colour.frag", kColourShader);
        save(dir_ / "shaders/lib.glsl", library("return 0.25;"));
        const std::string command =
            "cd " + dir_.path.string() +
            " && mkdir resources sounds && sox -q -n -r 44100 -c 1 -b 16 "
            "-t wav resources/music.mp3 trim 0 40 && sox -q -n -r 8000 -c 1 "
            "-b 8 sounds/blip.wav trim 0 1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        save(dir_ / "project.json", project(64.0));
    }
    void TearDown() override { preview_.reset(); }

    static std::string project(double end_beat, double beat_offset = 0.0) {
        const std::string shader = R"({"vertex_shader_filename": "shaders/quad.vert",
                                       "fragment_shader_filename": "shaders/)";
        return R"({"shaders": [)" + shader + R"(lib.glsl"}, )" + shader + R"(colour.frag"}],
          "effects": [{"name": "colour", "program": "shaders/colour.frag"}],
          "audio_samples": [{"name": "sounds/blip.wav"}],
          "events": [{"type": 1, "name": "colour", "effect": "colour", "start_beat": 0.0,
                      "end_beat": 64.0, "visible": "true"},
                     {"type": 2, "name": "blip", "audio_sample": "sounds/blip.wav",
                      "beat": 4.0, "visible": "true"}],
          "end_beat": )" +
               std::to_string(end_beat) + R"(, "bpm": 120.0, "beat_offset": )" +
               std::to_string(beat_offset) + "}";
    }

    Preview& open(std::optional<float> from = {},
                  std::optional<std::pair<float, float>> loop = {}) {
        const PreviewOptions options{(dir_ / "project.json").string(), from, loop, kWidth, kHeight};
        preview_ = std::make_unique<Preview>(options, kStart);
        return *preview_;
    }

    // The pixel at column x of the middle row after a frame at `now`.
    SDL_Color pixel(uint32_t now, int x = kWidth / 2) {
        preview_->frame(now);
        const std::vector<uint8_t> rgba = preview_->read_pixels();
        const uint8_t* p = &rgba[(static_cast<size_t>(kHeight / 2) * kWidth + x) * 4];
        return SDL_Color{p[0], p[1], p[2], p[3]};
    }

    TempDir dir_;
    std::unique_ptr<Preview> preview_;
};

TEST_F(PreviewTest, SavedShadersRebuildLiveAndABrokenOneKeepsTheLastGoodBuild) {
    Preview& preview = open(2.0f);
    preview.playback().toggle_pause(kStart);
    EXPECT_NEAR(pixel(kStart).r, byte_of(0.25), 1);  // beat 2
    EXPECT_NEAR(pixel(kStart).g, byte_of(0.25), 1);

    // The included file changes: its includer is rebuilt, nothing restarts.
    save(dir_ / "shaders/lib.glsl", library("return 0.75;"));
    EXPECT_NEAR(pixel(kStart + 300).g, byte_of(0.75), 1);
    EXPECT_EQ(preview.playback().beat(kStart + 300), 2.0f);

    // A typo on the library's first line: both programs keep their builds; the line is named.
    testing::internal::CaptureStderr();
    save(dir_ / "shaders/lib.glsl", library("return oops;"));
    EXPECT_NEAR(pixel(kStart + 600).g, byte_of(0.75), 1);
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("shaders/colour.frag: does not compile; the last good build stays in use"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("shaders/lib.glsl:1:"), std::string::npos) << out;
    preview.frame(kStart + 900);
    EXPECT_NE(preview.title().find("ERROR shaders/lib.glsl:1:"), std::string::npos)
        << preview.title();

    save(dir_ / "shaders/lib.glsl", library("return 0.5;"));
    EXPECT_NEAR(pixel(kStart + 1200).g, byte_of(0.5), 1);
    EXPECT_EQ(preview.title().find("ERROR"), std::string::npos) << preview.title();
}

TEST_F(PreviewTest, SavedDocumentReloadsAtTheSameBeatAndABadOneKeepsTheDemo) {
    Preview& preview = open();
    preview.playback().seek(kStart, 6.0f);
    preview.playback().toggle_pause(kStart);
    const struct {
        std::string document;
        bool loads;
    } saves[] = {
        {project(32.0), true},
        {"{\"shaders\": [", false},
        {R"({"textures": [{"name": "images/missing.png"}]})", false},
        {project(48.0), true},
    };
    for (const auto& s : saves) {
        SCOPED_TRACE(s.document);
        save(dir_ / "project.json", s.document);
        testing::internal::CaptureStderr();
        preview.frame(kStart + 300);
        const std::string out = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out.find("reload failed") == std::string::npos, s.loads) << out;
        EXPECT_EQ(preview.playback().beat(kStart + 300), 6.0f);
        EXPECT_TRUE(preview.playback().paused());
        EXPECT_NEAR(pixel(kStart + 300).r, byte_of(0.75), 1);
    }
    EXPECT_EQ(preview.demo().end_beat, 48.0f);
}

// After a seek the preview draws what render draws at that beat, and fires a sample right on
// the jump's target but not one whose beat lies behind it. Check finds no compile problem (the
// library is only compiled as included).
TEST_F(PreviewTest, SeekingDrawsWhatRenderDrawsAndFiresOnlySamplesFromTheTarget) {
    Preview& preview = open();
    for (const auto& [beat, fires] : {std::pair{4.5f, false}, {4.0f, true}}) {
        preview.playback().seek(kStart, beat);
        preview.frame(kStart);
        EXPECT_EQ(samples_playing() > 0, fires) << beat;
        preview.playback().seek(kStart, 0.0f);
        Mix_HaltChannel(-1);
        SDL_Delay(1100);  // the sample's restore timer
    }
    preview.playback().toggle_pause(kStart);
    preview.playback().seek(kStart, 40.125f);
    const RunResult r =
        run({"render", "project.json", "--beat", "40.125", "--size", "96x54", "-o", "render.png"},
            dir_.path);
    ASSERT_TRUE(r.ok()) << r;
    SDL_Surface* image = IMG_Load((dir_ / "render.png").c_str());
    ASSERT_NE(image, nullptr);
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ABGR8888, 0);
    const auto* row = static_cast<const uint8_t*>(rgba->pixels) + kHeight / 2 * rgba->pitch;
    for (int x : {0, kWidth / 2, kWidth - 1}) {
        const SDL_Color shown = pixel(kStart, x);
        EXPECT_NEAR(shown.r, byte_of(40.125 / 8.0 - 5.0), 1) << x;
        EXPECT_EQ(shown.r, row[x * 4]) << x;
        EXPECT_EQ(shown.b, row[x * 4 + 2]) << x;
    }
    SDL_FreeSurface(rgba);
    SDL_FreeSurface(image);
    const RunResult check = run({"check", "project.json"}, dir_.path);
    EXPECT_TRUE(check.ok()) << check;
    EXPECT_EQ(check.out.find("ERROR"), std::string::npos) << check;
    EXPECT_NE(check.out.find("no problems found"), std::string::npos) << check;
}

// Read through a pipe, as an editor or `| tee` reads it, a broken save is reported while the
// preview runs, not when it ends: the problem (standard error) and the progress line (standard
// output) alike.
TEST_F(PreviewTest, APipedPreviewReportsABrokenSaveAtOnce) {
    const std::string command =
        std::string("'") + DEMOTOOL_PATH + "' play project.json --size 96x54 2>&1 | cat >piped.txt";
    const pid_t preview = start_in(dir_.path, {"sh", "-c", command});
    SDL_Delay(3000);  // loaded long since; if not, the broken file is reported at its load
    save(dir_ / "shaders/lib.glsl", library("return oops;"));
    const auto saved = std::chrono::steady_clock::now();
    double seconds = -1.0;
    while (seconds < 0.0 && std::chrono::steady_clock::now() - saved < std::chrono::seconds(20)) {
        SDL_Delay(10);
        const std::string piped = read_text(dir_ / "piped.txt");
        if (piped.find("does not compile") != std::string::npos &&
            piped.find("Rebuilt shaders/") != std::string::npos) {
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - saved).count();
        }
    }
    const RunResult run = finish(preview, std::chrono::seconds(0));
    EXPECT_GE(seconds, 0.0) << "not all arrived while the preview ran:\n"
                            << read_text(dir_ / "piped.txt") << run;
    std::printf("the compile error arrived %.3f s after the save\n", seconds);
}

TEST_F(PreviewTest, ALoopReturnsToItsStartAfterItsEndMusicIncluded) {
    Preview& preview = open(3.5f, {{2.0f, 4.0f}});
    EXPECT_NEAR(pixel(kStart).r, byte_of(3.5 / 8.0), 1);
    const auto jump = std::chrono::steady_clock::now();
    EXPECT_NEAR(pixel(kStart + 600).r, byte_of(2.0 / 8.0), 1);  // beat 4.7 is past the end
    EXPECT_EQ(preview.playback().beat(kStart + 600), 2.0f);
    // Beat 2 is one second in; since the jump the music has gone on in real time, for as long
    // as the frame took to draw and read back (long on a slow or busy machine). The position
    // SDL_mixer gives is where its WAV reader has read to, a whole chunk ahead once the mixer
    // has run: 93 ms for this 44.1 kHz music (it was 512 ms at 8 kHz, beyond the allowance).
    const double since =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - jump).count();
    EXPECT_NEAR(Mix_GetMusicPosition(nullptr), 1.0 + since / 2, 0.3 + since / 2);
    EXPECT_FLOAT_EQ(preview.playback().beat(kStart + 1100), 3.0f);
    // Without --from, a loop starts at its own start.
    preview_.reset();
    EXPECT_EQ(open({}, {{2.0f, 4.0f}}).playback().beat(kStart), 2.0f);
}

// Without its music file a project plays on the clock alone, says so, and takes the music up
// as soon as the file is there.
TEST_F(PreviewTest, WithoutItsMusicFileTheDemoPlaysOnTheClockUntilItIsThere) {
    fs::rename(dir_ / "resources/music.mp3", dir_ / "music.wav");
    testing::internal::CaptureStderr();
    Preview& preview = open(2.0f);
    preview.frame(kStart);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no music: "), std::string::npos);
    EXPECT_NE(preview.title().find("no music"), std::string::npos) << preview.title();
    EXPECT_TRUE(preview.demo().music->data.empty());
    EXPECT_FLOAT_EQ(preview.playback().beat(kStart + 1000), 4.0f);
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    fs::rename(dir_ / "music.wav", dir_ / "resources/music.mp3");
    preview.frame(kStart + 1300);
    EXPECT_FALSE(preview.demo().music->data.empty());
    EXPECT_EQ(preview.title().find("no music"), std::string::npos) << preview.title();
    EXPECT_EQ(Mix_PlayingMusic(), 1);
}

// A resized window is drawn at its new size, one side changed or both: blue is x / width.
TEST_F(PreviewTest, AResizedWindowIsDrawnAtItsNewSize) {
    Preview& preview = open();
    uint32_t now = kStart;
    for (const auto& [width, height] : {std::pair{kWidth, 30}, {40, 30}}) {
        SDL_SetWindowSize(SDL_GL_GetCurrentWindow(), width, height);
        std::vector<uint8_t> rgba;
        for (int tries = 0; tries < 100 && rgba.size() != size_t(width) * height * 4; ++tries) {
            SDL_Delay(10);
            preview.frame(now += 10);
            rgba = preview.read_pixels();
        }
        ASSERT_EQ(rgba.size(), size_t(width) * height * 4) << width << " x " << height;
        EXPECT_NEAR(rgba[(size_t(height) / 2 * width + width - 1) * 4 + 2],
                    byte_of((width - 0.5) / width), 1);
    }
}

// One save is one change: later looks, woken by inotify or by the clock, report nothing more.
TEST(FileWatcher, ReportsASaveOnce) {
    TempDir dir;
    const std::string path = (dir / "a.glsl").string();
    save(path, "one");
    FileWatcher watcher;
    watcher.watch({path});
    save(path, "two, longer");
    EXPECT_EQ(watcher.changes(1000), std::vector<std::string>{path});
    for (uint32_t now : {1001u, 1300u, 1600u})
        EXPECT_TRUE(watcher.changes(now).empty()) << now;
}

// Keys pushed as SDL events while paused; the beat stands still between them. The music
// starts at beat -0.5, where Home goes without --from; L loops the four bars from the bar's start.
TEST_F(PreviewTest, PauseFreezesTheBeatAndKeysMoveIt) {
    save(dir_ / "project.json", project(64.0, 0.5));
    Preview& preview = open();
    preview.playback().seek(kStart, 8.0f);
    const struct {
        SDL_Keycode key;
        uint16_t mod;
        float beat;
    } presses[] = {
        {SDLK_SPACE, 0, 9.0f}, {SDLK_RIGHT, 0, 13.0f},         {SDLK_RIGHT, KMOD_LSHIFT, 29.0f},
        {SDLK_LEFT, 0, 25.0f}, {SDLK_LEFT, KMOD_RSHIFT, 9.0f}, {SDLK_l, 0, 9.0f},
        {SDLK_HOME, 0, -0.5f}, {SDLK_LEFT, KMOD_SHIFT, -0.5f}};
    uint32_t now = kStart + 500;
    for (const auto& press : presses) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = press.key;
        event.key.keysym.mod = press.mod;
        SDL_PushEvent(&event);
        const SDL_Color shown = pixel(now);
        for (uint32_t later : {now + 700, now + 2500}) {
            EXPECT_EQ(preview.playback().beat(later), press.beat) << press.key;
            EXPECT_EQ(pixel(later).r, shown.r);
        }
        now += 3000;
    }
    EXPECT_TRUE(preview.playback().paused());
    EXPECT_EQ(Mix_PausedMusic(), 1);
    EXPECT_TRUE(preview.playback().looping());
    EXPECT_EQ(preview.playback().loop_start(), 8.0f);
    EXPECT_EQ(preview.playback().loop_end(), 24.0f);
    preview.playback().toggle_pause(now);
    EXPECT_EQ(preview.playback().beat(now + 500), 0.5f);
}

}  // namespace
}  // namespace demo::tool
