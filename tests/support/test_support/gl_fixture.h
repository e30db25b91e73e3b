// The GL tests' harness: a hidden window set up as the player's, builders and pixel read-back.
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
#include <vector>

#include "audio/analysis_exchange.h"
#include "base/player_state.h"
#include "demo/demo.h"
#include "player/gl_attributes.h"
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "render/text_rendering.h"
#include "render/texture_upload.h"
#include "timeline/render_frame.h"

namespace demo::gl_test {

// Window and render size. Width and height differ so that swapped axes show.
inline constexpr int kWidth = 64;
inline constexpr int kHeight = 48;

// The test process's one window and current context, made on first use: "" or what failed.
inline const std::string& gl_context_error() {
    static const std::string error = [] {
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return std::string("SDL_Init: ") + SDL_GetError();
        TTF_Init();
        set_gl_attributes();
        // A loaded virtual X server now and then hands out a context that cannot be made current,
        // or names no current GLX display once GLEW has loaded the entry points (the tests use no
        // GLX extension): try again with a new window, waiting longer each time.
        std::string failed;
        for (int attempt = 0; attempt < 10; ++attempt) {
            SDL_Delay(200 * attempt);
            SDL_Window* window =
                SDL_CreateWindow("gl_tests", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                 kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
            SDL_GLContext context = window != nullptr ? SDL_GL_CreateContext(window) : nullptr;
            failed = std::string("window or context: ") + SDL_GetError();
            if (context != nullptr && SDL_GL_MakeCurrent(window, context) == 0) {
                glewExperimental = GL_TRUE;
                const GLenum status = glewInit();
                if (status == GLEW_OK ||
                    (status == GLEW_ERROR_NO_GLX_DISPLAY && glGetString(GL_VERSION) != nullptr)) {
                    glEnable(GL_BLEND);
                    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                    SDL_GL_SetSwapInterval(0);
                    return std::string();
                }
                failed = std::string("glewInit: ") +
                         reinterpret_cast<const char*>(glewGetErrorString(status));
            }
            SDL_GL_DeleteContext(context);
            SDL_DestroyWindow(window);
        }
        return failed;
    }();
    return error;
}

struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
};

inline constexpr Rgba kRed{255, 0, 0};
inline constexpr Rgba kGreen{0, 255, 0};
inline constexpr Rgba kBlue{0, 0, 255};
inline constexpr Rgba kBlack{0, 0, 0};
inline constexpr Rgba kWhite{255, 255, 255};

inline std::ostream& operator<<(std::ostream& out, const Rgba& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ", " << c.a << ")";
}

// Colours within `tolerance`; alpha only when `alpha` is set (the window may have none).
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
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    return {w, h};
}

// A `Texture` around a 1 x 1 texture of one colour, made as the player makes RGBA textures.
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

// Fragment shader around `body`, which writes `c`; `declarations` go before main.
inline std::string fragment_shader(const std::string& declarations, const std::string& body) {
    return "#version 150\n" + declarations + "\nout vec4 c;\nvoid main() {\n" + body + "\n}\n";
}

// A fragment shader that writes one constant colour.
inline std::string constant_shader(float r, float g, float b, float a = 1.0f) {
    return fragment_shader("", "c = vec4(" + std::to_string(r) + ", " + std::to_string(g) + ", " +
                                   std::to_string(b) + ", " + std::to_string(a) + ");");
}

// Column u shows what sampler u ("tex", "tex1", ...) reads there; past the last, transparent.
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

// A font texture of the demo in DejaVu Sans (fonts-dejavu-core) at `ptsize`, surface made.
inline FontTexture* add_font_texture(Demo& demo, int ptsize, int width, int height, bool center) {
    demo.fonts.push_back(std::make_unique<Font>());
    Font& font = *demo.fonts.back();
    font.filename = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    font.ptsize = ptsize;
    font.font_buffer = std::make_unique<ByteBuffer>(font.filename);
    open_font(font);
    demo.font_textures.push_back(std::make_unique<FontTexture>());
    FontTexture& texture = *demo.font_textures.back();
    texture.name = "caption";
    texture.width = width;
    texture.height = height;
    texture.font.object = &font;
    texture.center = center;
    create_surface(texture);
    return &texture;
}

// An effect of the demo drawing `fragment` with uniform definitions (name, default).
inline Effect* add_effect(Demo& demo, const std::string& fragment,
                          const std::vector<std::pair<std::string, float>>& defs = {}) {
    demo.shaders.push_back(std::make_unique<ShaderProgram>());
    ShaderProgram& program = *demo.shaders.back();
    program.fragment_shader_source = fragment;
    for (const auto& [name, value] : defs) {
        program.uniform_defs.push_back(std::make_unique<UniformDef>());
        program.uniform_defs.back()->name = name;
        program.uniform_defs.back()->default_val = value;
    }
    build_program(program);
    demo.effects.push_back(make_effect(&program));
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

// One frame as the main loop runs it (cleared window, render-size viewport); the centre pixel.
inline Rgba frame(Demo& demo, float beat) {
    current_beat = beat;
    clear_window(0.0f, 0.0f, 0.0f);
    glViewport(0, 0, resolution[2], resolution[3]);
    render_frame(demo, beat);
    return read_pixel();
}

// Base of every GL test: player state reset to the window; no GL error may be left at the end.
class GlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(gl_context_error(), "");
        resolution[0] = resolution[2] = kWidth;
        resolution[1] = resolution[3] = kHeight;
        current_beat = 0.0f;
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
    }

    Demo demo;
};

}  // namespace demo::gl_test
