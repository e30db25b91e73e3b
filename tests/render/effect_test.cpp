// Effects as a shader sees them: the built-in uniforms, each written as a colour by a fixed
// formula, and the texture-unit layout of images, input effects, screen copies and feedback,
// one unit per column of the window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_analysis.h"
#include "render/gl_fixture.h"

namespace demo::gl_test {
namespace {

using BuiltinUniforms = GlTest;

// Draws one effect with `program` into the cleared window at `beat`; returns the centre pixel.
Rgba draw_at(ShaderProgram& program, float beat) {
    current_beat = beat;
    auto effect = make_effect(&program);
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*effect, nullptr, false);
    return read_pixel();
}

TEST_F(BuiltinUniforms, BeatITime2AndResolution) {
    // iTime2: x = 0.5 + beat / 8, y = 0.5 + fraction / 2 in green; beat / 8 in blue.
    auto time = make_program(
        fragment_shader("uniform vec2 iTime2;\nuniform float beat;",
                        "c = vec4(0.5 + iTime2.x / 8.0, 0.5 + iTime2.y / 2.0, beat / 8.0, 1.0);"));
    // At -1.25 the fraction is -0.25 (a floor would give +0.75, green 223).
    EXPECT_TRUE(rgb_near(draw_at(*time, -1.25f), Rgba{88, 96, 0}));
    EXPECT_TRUE(rgb_near(draw_at(*time, 2.75f), Rgba{215, 223, 88}));
    EXPECT_TRUE(rgb_near(draw_at(*time, 6.0f), Rgba{255, 128, 191}));

    auto size = make_program(
        fragment_shader("uniform vec2 resolution;", "c = vec4(resolution / 255.0, 0.0, 1.0);"));
    EXPECT_TRUE(rgb_near(draw_at(*size, 0.0f), Rgba{kWidth, kHeight, 0}));
    // A render size smaller than the window: the uniform follows the render size.
    resolution[2] = 32;
    resolution[3] = 16;
    glViewport(0, 0, 32, 16);
    draw_at(*size, 0.0f);
    EXPECT_TRUE(rgb_near(read_pixel(4, 4), Rgba{32, 16, 0}));
}

TEST_F(BuiltinUniforms, SamplersTexToTex15ReadUnitsZeroToFifteen) {
    auto program = make_program(units_shader(16, 4));
    auto effect = make_effect(program.get());
    auto colour = [](int n) { return Rgba{n * 16 + 5, 250 - n * 15, (n * 37) % 256, 255}; };
    std::vector<std::unique_ptr<Texture>> images;
    for (int n = 0; n < 16; ++n) {
        images.push_back(solid_image(colour(n)));
        effect->textures.push_back(ref(images.back().get()));
    }
    draw(*effect, nullptr, false);
    for (int n = 0; n < 16; ++n)
        EXPECT_TRUE(rgb_near(read_pixel(n * 4 + 2), colour(n))) << "sampler " << n;
}

// Feeds one mixer chunk of 1024 stereo frames of constant `left` and `right` samples.
void feed_chunk(int16_t left, int16_t right) {
    std::vector<int16_t> chunk(2 * kFftSize);
    for (int k = 0; k < kFftSize; ++k) {
        chunk[2 * k] = left;
        chunk[2 * k + 1] = right;
    }
    analyse_output(0, chunk.data(), static_cast<int>(chunk.size() * sizeof(int16_t)), nullptr);
}

TEST_F(BuiltinUniforms, SoundTextureOnUnitSixteenAndSoundLevelFollowTheLatestChunk) {
    // Red: spectrum (row 0) at texel 2, which reads FFT bin 0; green: waveform (row 1);
    // blue: the level less 1900.
    add_event(demo, kEffectEvent, 0.0f, 100.0f,
              add_effect(demo, fragment_shader(
                                   "uniform sampler2D sound_texture;\nuniform int sound;",
                                   "c = vec4(texture(sound_texture, vec2(2.5 / 1024.0, 0.25)).r,\n"
                                   "         texture(sound_texture, vec2(0.5, 0.75)).r,\n"
                                   "         float(sound - 1900) / 255.0, 1.0);")));
    // Constant left 2560 and right -1440: waveform 2560 / 256 + 128 = 138; level = mean of
    // 50 x 2560 and 50 x 1440 = 2000; the whole signal sits in bin 0 at 2 x 2560 / 32768 of
    // full scale.
    feed_chunk(2560, -1440);
    const double db = 20.0 * std::log10(2.0 * 2560.0 / 32768.0);
    const int spectrum = static_cast<int>((db + 90.0) * 255.0 / 90.0);
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{spectrum, 138, 100}));
    // The sound texture is unbound from unit 16 after the draw.
    GLint bound = -1;
    glActiveTexture(GL_TEXTURE16);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(bound, 0);
    // The next frame uploads the next chunk: silence reads 0 in the spectrum, 128 in the
    // waveform, and a level of 0 (blue clamps to 0).
    feed_chunk(0, 0);
    EXPECT_TRUE(rgb_near(frame(demo, 2.0f), Rgba{0, 128, 0}));
}

constexpr int kColumn = 8;

Rgba column(int unit, int y = kHeight / 2) {
    return read_pixel(unit * kColumn + kColumn / 2, y);
}

// The colours the columns show, in unit order.
void expect_columns(const std::vector<Rgba>& expected) {
    for (size_t u = 0; u < expected.size(); ++u)
        EXPECT_TRUE(rgb_near(column(static_cast<int>(u)), expected[u])) << "column " << u;
}

using EffectInputs = GlTest;

TEST_F(EffectInputs, FeedbackIsUnitZeroAndImagesFollowOnOneAndTwo) {
    auto program = make_program(units_shader(3, kColumn));
    auto effect = make_effect(program.get());
    effect->feedback = true;
    auto red = solid_image(kRed);
    auto blue = solid_image(kBlue);
    effect->textures = {ref(red.get()), ref(blue.get())};
    // The screen when captured: bottom half green, top half black.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kWidth, kHeight / 2);
    clear_window(0.0f, 1.0f, 0.0f);
    glDisable(GL_SCISSOR_TEST);
    capture_screen(*effect);
    // Drawn over another picture, unit 0 still shows the capture, in place.
    clear_window(0.5f, 0.5f, 0.5f);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(column(0, 4), kGreen));
    expect_columns({kBlack, kRed, kBlue});
}

TEST_F(EffectInputs, ImageInputEffectAndScreenCopyUseUnitsZeroOneAndTwo) {
    auto program = make_program(units_shader(3, kColumn));
    auto input_program = make_program(constant_shader(0, 0, 1));
    auto input = make_effect(input_program.get());
    auto effect = make_effect(program.get());
    auto red = solid_image(kRed);
    effect->textures = {ref(red.get())};
    effect->effects = {ref(input.get())};
    effect->screen_texture = true;
    clear_window(0.0f, 1.0f, 0.0f);  // the screen copy is taken just before the draw
    draw(*effect, nullptr, true);
    // Image, the input's target, the screen; the input was not drawn into the window.
    expect_columns({kRed, kBlue, kGreen, kGreen, kGreen});
}

TEST_F(EffectInputs, ReferencesThatNameNothingKeepTheirUnitsWithTextureZero) {
    auto program = make_program(units_shader(4, kColumn));
    auto no_program = std::make_unique<Effect>();  // an input without program: never prepared
    auto effect = make_effect(program.get());
    auto blue = solid_image(kBlue);
    effect->textures = {ref(static_cast<Texture*>(nullptr)), ref(blue.get())};
    effect->font_textures = {ObjectRef<FontTexture>{}};
    effect->effects = {ref(no_program.get())};
    // Units 0, 2 and 3 hold a red texture beforehand; the draw must replace it with 0.
    auto red = solid_image(kRed);
    for (int unit : {0, 2, 3})
        bind_texture_unit(unit, red->texture_id);
    glActiveTexture(GL_TEXTURE0);
    clear_window(0.0f, 1.0f, 0.0f);
    glClearColor(1.0f, 1.0f, 0.0f, 1.0f);  // a stray clear of the window would show yellow
    draw(*effect, nullptr, true);
    // Missing image, image, missing font texture, input without program; skipping that input
    // left the window alone.
    expect_columns({kBlack, kBlue, kBlack, kBlack, kGreen, kGreen});
}

// Inside a render target the screen copy reads that target (cleared dark green), not the red
// window; the input adds blue, so its picture is seen to be drawn.
TEST_F(EffectInputs, ScreenCopyInsideARenderTargetReadsThatTarget) {
    auto copy_program = make_program(fragment_shader(
        "uniform sampler2D tex;\nuniform vec2 resolution;",
        "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rgb + vec3(0.0, 0.0, 0.5), 1.0);"));
    auto pass_program = make_program(pass_shader());
    auto input = make_effect(copy_program.get());
    input->screen_texture = true;
    auto effect = make_effect(pass_program.get());
    effect->effects = {ref(input.get())};
    clear_window(1.0f, 0.0f, 0.0f);
    glClearColor(0.0f, 0.5f, 0.0f, 1.0f);  // used when the target is cleared
    draw(*effect, nullptr, true);
    EXPECT_TRUE(rgb_near(read_pixel(), Rgba{0, 128, 128}));
}

// The copy stays on the GPU: the texture holds the screen and the CPU buffer keeps its zeros.
TEST_F(EffectInputs, CaptureStaysOnTheGpu) {
    auto program = make_program(constant_shader(1, 1, 1));
    auto effect = make_effect(program.get());
    clear_window(1.0f, 0.0f, 0.0f);
    capture_screen(*effect);
    const std::vector<uint8_t> copy = read_texture(effect->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(texel(copy, kWidth, kWidth / 2, kHeight / 2), kRed));
    ASSERT_NE(effect->capture_buffer, nullptr);
    const std::vector<uint8_t>& cpu = effect->capture_buffer->pixels;
    EXPECT_EQ(std::count(cpu.begin(), cpu.end(), 0), static_cast<ptrdiff_t>(cpu.size()));
    EXPECT_EQ(texture_size(effect->capture_texture), std::make_pair(kWidth, kHeight));
}

}  // namespace
}  // namespace demo::gl_test
