// Built-in uniforms and tunable uniforms as a shader sees them: each shader writes a colour
// whose value follows from the uniform by a fixed formula, and the pixel is read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/sound_analysis.h"
#include "render/gl_fixture.h"
#include "serialization/demo.h"
#include "timeline/render_frame.h"

namespace demo {
namespace {

using gl_test::clear_window;
using gl_test::fragment_shader;
using gl_test::GlTest;
using gl_test::kHeight;
using gl_test::kWidth;
using gl_test::make_effect;
using gl_test::make_program;
using gl_test::read_pixel;
using gl_test::rgb_near;
using gl_test::Rgba;
using gl_test::uniform_def;

class BuiltinUniforms : public GlTest {};

// Draws one effect with `program` into the cleared window at `beat`; returns the centre pixel.
Rgba draw_at(ShaderProgram& program, float beat) {
    current_beat = beat;
    auto effect = make_effect(&program);
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    return read_pixel(kWidth / 2, kHeight / 2);
}

TEST_F(BuiltinUniforms, BeatIsTheCurrentBeatOfEveryDraw) {
    auto program = make_program(
        fragment_shader("uniform float beat;", "c = vec4(beat / 8.0, 0.0, 0.0, 1.0);"));
    EXPECT_TRUE(rgb_near(draw_at(*program, 2.0f), Rgba{64, 0, 0}));
    EXPECT_TRUE(rgb_near(draw_at(*program, 6.0f), Rgba{191, 0, 0}));
}

TEST_F(BuiltinUniforms, ITime2IsBeatAndItsPartAfterTruncationTowardZero) {
    // x = 0.5 + beat / 8, y = 0.5 + fraction / 2.
    auto program = make_program(fragment_shader(
        "uniform vec2 iTime2;", "c = vec4(0.5 + iTime2.x / 8.0, 0.5 + iTime2.y / 2.0, 0.0, 1.0);"));
    // At -1.25 the fraction is -0.25 (a floor would give +0.75, green 223).
    EXPECT_TRUE(rgb_near(draw_at(*program, -1.25f), Rgba{88, 96, 0}));
    EXPECT_TRUE(rgb_near(draw_at(*program, 2.75f), Rgba{215, 223, 0}));
}

TEST_F(BuiltinUniforms, ResolutionIsTheRenderSize) {
    auto program = make_program(
        fragment_shader("uniform vec2 resolution;", "c = vec4(resolution / 255.0, 0.0, 1.0);"));
    EXPECT_TRUE(rgb_near(draw_at(*program, 0.0f), Rgba{kWidth, kHeight, 0}));

    // A render size smaller than the window: the uniform follows the render size.
    resolution[2] = 32;
    resolution[3] = 16;
    glViewport(0, 0, 32, 16);
    auto effect = make_effect(program.get());
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(read_pixel(4, 4), Rgba{32, 16, 0}));
}

TEST_F(BuiltinUniforms, SamplersTexToTex15ReadUnitsZeroToFifteen) {
    // Column i (4 pixels wide) shows what sampler i reads; texture n has a colour of its own.
    std::string declarations = "uniform sampler2D tex;\n";
    for (int n = 1; n < 16; ++n)
        declarations += "uniform sampler2D tex" + std::to_string(n) + ";\n";
    std::string body =
        "int i = int(gl_FragCoord.x) / 4;\nif (i == 0) c = texture(tex, vec2(0.5));\n";
    for (int n = 1; n < 16; ++n) {
        body += "else if (i == " + std::to_string(n) + ") c = texture(tex" + std::to_string(n) +
                ", vec2(0.5));\n";
    }
    auto program = make_program(fragment_shader(declarations, body));
    ASSERT_TRUE(shader_diagnostics(*program).empty());

    auto colour = [](int n) { return Rgba{n * 16 + 5, 250 - n * 15, (n * 37) % 256, 255}; };
    std::vector<std::unique_ptr<Texture>> images;
    auto effect = make_effect(program.get());
    for (int n = 0; n < 16; ++n) {
        images.push_back(gl_test::solid_image(colour(n)));
        effect->textures.push_back(ObjectRef<Texture>{0, "", images.back().get()});
    }
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    for (int n = 0; n < 16; ++n) {
        EXPECT_TRUE(rgb_near(read_pixel(n * 4 + 2, kHeight / 2), colour(n))) << "sampler " << n;
    }
}

// Feeds one mixer chunk of 1024 stereo frames whose left samples are all `left` and right
// samples all `right`.
void feed_chunk(int16_t left, int16_t right) {
    std::vector<int16_t> chunk(2 * kFftSize);
    for (int k = 0; k < kFftSize; ++k) {
        chunk[2 * k] = left;
        chunk[2 * k + 1] = right;
    }
    analyse_output(0, chunk.data(), static_cast<int>(chunk.size() * sizeof(int16_t)), nullptr);
}

TEST_F(BuiltinUniforms, SoundTextureOnUnitSixteenAndSoundLevelFollowTheLatestChunk) {
    Demo demo;
    demo.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
    // Red: spectrum (row 0) at texel 2, which reads FFT bin 0; green: waveform (row 1);
    // blue: the level less 1900.
    demo.shaders.push_back(make_program(
        fragment_shader("uniform sampler2D sound_texture;\nuniform int sound;",
                        "c = vec4(texture(sound_texture, vec2(2.5 / 1024.0, 0.25)).r,\n"
                        "         texture(sound_texture, vec2(0.5, 0.75)).r,\n"
                        "         float(sound - 1900) / 255.0, 1.0);")));
    demo.effects.push_back(make_effect(demo.shaders.back().get()));
    auto event = std::make_unique<Event>();
    event->type = kEffectEvent;
    event->end_beat = 100.0f;
    event->effect.object = demo.effects.back().get();
    demo.events.push_back(std::move(event));

    // Constant left 2560 and right -1440: waveform 2560 / 256 + 128 = 138; level = mean of
    // 50 x 2560 and 50 x 1440 = 2000; the whole signal sits in bin 0 at 2 x 2560 / 32768 of
    // full scale.
    feed_chunk(2560, -1440);
    const double db = 20.0 * std::log10(2.0 * 2560.0 / 32768.0);
    const int spectrum = static_cast<int>((db + 90.0) * 255.0 / 90.0);
    current_beat = 1.0f;
    clear_window(0.0f, 0.0f, 0.0f);
    render_frame(demo, 1.0f);
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{spectrum, 138, 100}));

    // The sound texture is unbound from unit 16 after the draw.
    GLint bound = -1;
    glActiveTexture(GL_TEXTURE16);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(bound, 0);

    // The next frame uploads the next chunk: silence reads 0 in the spectrum, 128 in the
    // waveform, and a level of 0 (blue clamps to 0).
    feed_chunk(0, 0);
    clear_window(0.0f, 0.0f, 0.0f);
    render_frame(demo, 2.0f);
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{0, 128, 0}));
}

class TunableUniforms : public GlTest {};

TEST_F(TunableUniforms, DefaultsAreSetOnTheProgramAndPersistUntilSetAgain) {
    std::vector<std::unique_ptr<UniformDef>> defs;
    defs.push_back(uniform_def("level", 0.5f));
    defs.push_back(uniform_def("unused", 0.75f));  // not in the shader: location -1
    auto program =
        make_program(fragment_shader("uniform float level;", "c = vec4(level, 0.0, 0.0, 1.0);"),
                     std::move(defs));
    EXPECT_NE(program->uniform_defs[0]->location, -1);
    EXPECT_EQ(program->uniform_defs[1]->location, -1);
    auto effect = make_effect(program.get());

    glUseProgram(program->program_id);
    glUniform1f(program->uniform_defs[0]->location, 1.0f);
    glUseProgram(0);  // the defaults make the program current themselves
    apply_uniform_defaults(*program);
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{128, 0, 0}));

    // A draw without a hook leaves the value where it was.
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{128, 0, 0}));
}

TEST_F(TunableUniforms, EventTracksDriveUniformsAndOthersGetTheirDefaults) {
    Demo demo;
    demo.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
    std::vector<std::unique_ptr<UniformDef>> defs;
    defs.push_back(uniform_def("level", 0.1f));  // Linear track 0 -> 1 over beats 0 .. 4
    defs.push_back(uniform_def("green", 0.5f));  // no track
    defs.push_back(uniform_def("blue", 0.25f));  // a track without points
    demo.shaders.push_back(make_program(
        fragment_shader("uniform float level;\nuniform float green;\nuniform float blue;",
                        "c = vec4(level, green, blue, 1.0);"),
        std::move(defs)));
    demo.effects.push_back(make_effect(demo.shaders.back().get()));
    auto event = std::make_unique<Event>();
    event->type = kEffectEvent;
    event->name = "fade";
    event->start_beat = 10.0f;
    event->end_beat = 20.0f;
    event->effect.object = demo.effects.back().get();
    ControlTrack level;
    level.mode = kModeLinear;
    level.points = {ControlPoint{0.0f, 0.0f, ""}, ControlPoint{4.0f, 1.0f, ""}};
    event->control_points["level"] = level;
    event->control_points["blue"] = ControlTrack{};
    demo.events.push_back(std::move(event));

    const struct {
        float beat;
        Rgba expected;
    } cases[] = {
        {11.0f, Rgba{64, 128, 64}},   // a quarter of the way
        {13.0f, Rgba{191, 128, 64}},  // three quarters
        {16.0f, Rgba{255, 128, 64}},  // after the last point the value holds
    };
    for (const auto& c : cases) {
        current_beat = c.beat;
        clear_window(0.0f, 0.0f, 0.0f);
        render_frame(demo, c.beat);
        EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), c.expected)) << "beat " << c.beat;
    }
}

}  // namespace
}  // namespace demo
