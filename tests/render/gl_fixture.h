// The GL tests' harness: a hidden window with a context set up as the player sets up its own
// (alpha blending on, render size = window size), builders for programs, effects, textures and
// demos, and pixel read-back.
#pragma once

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "audio/analysis_exchange.h"
#include "player/gl_attributes.h"
#include "player/player_state.h"
#include "render/effect.h"
#include "render/effect_renderer.h"
#include "render/font.h"
#include "render/shader_compiler.h"
#include "render/shader_program.h"
#include "render/text_rendering.h"
#include "render/texture.h"
#include "render/texture_upload.h"
#include "serialization/demo.h"
#include "timeline/render_frame.h"

namespace demo::gl_test {

// Window and render size. Width and height differ so that swapped axes show.
inline constexpr int kWidth = 64;
inline constexpr int kHeight = 48;

// One try at a hidden window with a current context and GLEW's entry points: "" or what failed.
inline std::string try_gl_context(SDL_Window*& window, SDL_GLContext& context) {
    window = SDL_CreateWindow("gl_tests", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kWidth,
                              kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr || SDL_GL_MakeCurrent(window, context) != 0)
        return std::string("window or context: ") + SDL_GetError();
    glewExperimental = GL_TRUE;
    const GLenum status = glewInit();
    // GLEW loads the GL entry points before it asks GLX for the current display, which a loaded
    // server now and then does not name; the tests use no GLX extension.
    if (status == GLEW_OK ||
        (status == GLEW_ERROR_NO_GLX_DISPLAY && glGetString(GL_VERSION) != nullptr))
        return "";
    return std::string("glewInit: ") + reinterpret_cast<const char*>(glewGetErrorString(status));
}

// The one window and context of the test process, made on first use: "" or what failed.
inline const std::string& gl_context_error() {
    static const std::string error = [] {
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return std::string("SDL_Init: ") + SDL_GetError();
        TTF_Init();
        set_gl_attributes();
        SDL_Window* window = nullptr;
        SDL_GLContext context = nullptr;
        // A virtual X server under heavy load now and then hands out a context that cannot be
        // made current; try again with a new window, waiting longer each time.
        std::string failed = try_gl_context(window, context);
        for (int attempt = 1; attempt < 10 && !failed.empty(); ++attempt) {
            SDL_GL_DeleteContext(context);
            SDL_DestroyWindow(window);
            SDL_Delay(200 * attempt);
            failed = try_gl_context(window, context);
        }
        if (failed.empty()) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            SDL_GL_SetSwapInterval(0);
        }
        return failed;
    }();
    return error;
}

struct Rgba {
    int r = 0;
    int g = 0;
    int b = 0;
    int a = 255;
};

inline constexpr Rgba kRed{255, 0, 0};
inline constexpr Rgba kGreen{0, 255, 0};
inline constexpr Rgba kBlue{0, 0, 255};
inline constexpr Rgba kBlack{0, 0, 0};
inline constexpr Rgba kWhite{255, 255, 255};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// Colour channels within `tolerance` of the expected ones; alpha only when `alpha` is set (the
// window may have no alpha channel).
inline ::testing::AssertionResult rgb_near(const Rgba& actual, const Rgba& expected,
                                           int tolerance = 1, bool alpha = false) {
    if (std::abs(actual.r - expected.r) <= tolerance &&
        std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance &&
        (!alpha || std::abs(actual.a - expected.a) <= tolerance)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "pixel " << actual << ", expected " << expected << " within " << tolerance;
}

// Clears the window's back buffer to one colour.
inline void clear_window(float r, float g, float b) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

// One pixel of the window's back buffer; y counts from the bottom row as in GL.
inline Rgba read_pixel(int x = kWidth / 2, int y = kHeight / 2) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    uint8_t p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return Rgba{p[0], p[1], p[2], p[3]};
}

// Level 0 of a 2D texture as RGBA bytes, first uploaded row first.
inline std::vector<uint8_t> read_texture(uint32_t texture, int width, int height) {
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 4);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return bytes;
}

inline Rgba texel(const std::vector<uint8_t>& bytes, int width, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * width + x) * 4;
    return Rgba{bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
}

// Size of level 0 of a 2D texture.
inline std::pair<int, int> texture_size(uint32_t texture) {
    GLint w = 0;
    GLint h = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    return {w, h};
}

// A `Texture` around a 1 x 1 texture of one colour, made the way every RGBA texture of the
// player is made.
inline std::unique_ptr<Texture> solid_image(const Rgba& c) {
    const uint8_t p[4] = {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g),
                          static_cast<uint8_t>(c.b), static_cast<uint8_t>(c.a)};
    auto texture = std::make_unique<Texture>();
    glActiveTexture(GL_TEXTURE0);
    texture->texture_id = create_rgba_texture(1, 1, p, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    texture->width = texture->height = 1;
    return texture;
}

// A linked program with the default vertex shader, `fragment` and uniform definitions of the
// given names and defaults.
inline std::unique_ptr<ShaderProgram> make_program(
    const std::string& fragment, const std::vector<std::pair<std::string, float>>& defs = {}) {
    auto program = std::make_unique<ShaderProgram>();
    program->fragment_shader_source = fragment;
    for (const auto& [name, value] : defs) {
        program->uniform_defs.push_back(std::make_unique<UniformDef>());
        program->uniform_defs.back()->name = name;
        program->uniform_defs.back()->default_val = value;
    }
    build_program(*program);
    return program;
}

// Fragment shader around `body`, which writes `c`; `declarations` go before main.
inline std::string fragment_shader(const std::string& declarations, const std::string& body) {
    return "#version 150\n" + declarations + "\nout vec4 c;\nvoid main() {\n" + body + "\n}\n";
}

// A fragment shader that writes one constant colour.
inline std::string constant_shader(float r, float g, float b, float a = 1.0f) {
    return fragment_shader("", "c = vec4(" + std::to_string(r) + ", " + std::to_string(g) + ", " +
                                   std::to_string(b) + ", " + std::to_string(a) + ");");
}

// A fragment shader that shows what its first sampler reads at the same place on the screen.
inline std::string pass_shader() {
    return fragment_shader("uniform sampler2D tex;\nuniform vec2 resolution;",
                           "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rgb, 1.0);");
}

// Column u (`column` pixels wide) shows, opaque, what sampler u of `units` ("tex", "tex1", ...)
// reads at the same place on the screen; columns past the last unit are transparent.
inline std::string units_shader(int units, int column) {
    std::string declarations = "uniform sampler2D tex;\nuniform vec2 resolution;\n";
    std::string body = "vec2 uv = gl_FragCoord.xy / resolution;\nint u = int(gl_FragCoord.x) / " +
                       std::to_string(column) + ";\nc = vec4(0.0);\n";
    for (int n = 0; n < units; ++n) {
        const std::string name = n == 0 ? "tex" : "tex" + std::to_string(n);
        if (n > 0)
            declarations += "uniform sampler2D " + name + ";\n";
        body +=
            "if (u == " + std::to_string(n) + ") c = vec4(texture(" + name + ", uv).rgb, 1.0);\n";
    }
    return fragment_shader(declarations, body);
}

// A prepared effect drawing with `program`.
inline std::unique_ptr<Effect> make_effect(ShaderProgram* program) {
    auto effect = std::make_unique<Effect>();
    effect->program.object = program;
    prepare(*effect);
    return effect;
}

template <typename T>
ObjectRef<T> ref(T* object) {
    return ObjectRef<T>{0, "", object};
}

// DejaVu Sans (fonts-dejavu-core) opened from its bytes at `ptsize`.
inline constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

inline std::unique_ptr<Font> dejavu_font(int ptsize) {
    auto font = std::make_unique<Font>();
    font->name = "DejaVu Sans";
    font->filename = kFontPath;
    font->ptsize = ptsize;
    font->font_buffer = std::make_unique<ByteBuffer>(std::string(kFontPath));
    open_font(*font);
    return font;
}

// An effect of the demo drawing `fragment` with the uniform definitions.
inline Effect* add_effect(Demo& demo, const std::string& fragment,
                          const std::vector<std::pair<std::string, float>>& defs = {}) {
    demo.shaders.push_back(make_program(fragment, defs));
    demo.effects.push_back(make_effect(demo.shaders.back().get()));
    return demo.effects.back().get();
}

// An event of the demo; `object` is its effect or group by its type.
inline Event* add_event(Demo& demo, uint32_t type, float start, float end, void* object = nullptr,
                        const std::string& name = "") {
    demo.events.push_back(std::make_unique<Event>());
    Event& event = *demo.events.back();
    event.type = type;
    event.name = name;
    event.start_beat = start;
    event.end_beat = end;
    if (type == kEffectEvent)
        event.effect.object = static_cast<Effect*>(object);
    if (type == kGroupEvent)
        event.group.object = static_cast<EventGroup*>(object);
    return &event;
}

// A linear track through the (beat, value) points.
inline ControlTrack linear(const std::vector<std::pair<float, float>>& points) {
    ControlTrack track;
    for (const auto& [beat, value] : points)
        track.points.push_back(ControlPoint{beat, value, ""});
    return track;
}

// One frame as the main loop runs it: cleared window, render-size viewport, `render_frame`;
// returns the centre pixel.
inline Rgba frame(Demo& demo, float beat) {
    current_beat = beat;
    clear_window(0.0f, 0.0f, 0.0f);
    glViewport(0, 0, resolution[2], resolution[3]);
    render_frame(demo, beat);
    return read_pixel();
}

// Base of every GL test: the context is current, the player's state is reset to the test's
// window, and no GL error may be left when the test ends. `demo` has its sound texture.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gl_context_error(), "");
        resolution[0] = resolution[2] = kWidth;
        resolution[1] = resolution[3] = kHeight;
        current_beat = 0.0f;
        current_demo = nullptr;
        glViewport(0, 0, kWidth, kHeight);
        glActiveTexture(GL_TEXTURE0);
        clear_window(0.0f, 0.0f, 0.0f);
        while (glGetError() != GL_NO_ERROR) {
        }
        demo.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
    }

    void TearDown() override {
        if (!gl_context_error().empty())
            return;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "GL error left by the test";
        current_demo = nullptr;
        glUseProgram(0);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    }

    Demo demo;
};

}  // namespace demo::gl_test
