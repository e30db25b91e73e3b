// Effects as a shader sees them: built-in uniforms as colours, texture units one per column.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/sound_analysis.h"
#include "test_support/gl_fixture.h"

namespace demo::gl_test {
namespace {

using BuiltinUniforms = GlTest;

TEST_F(BuiltinUniforms, BeatITime2AndResolution) {
    // iTime2: x = 0.5 + beat / 8, y = 0.5 + fraction / 2 in green; beat / 8 in blue.
    const std::string time =
        fragment_shader("uniform vec2 iTime2;\nuniform float beat;",
                        "c = vec4(0.5 + iTime2.x / 8.0, 0.5 + iTime2.y / 2.0, beat / 8.0, 1.0);");
    add_event(demo, kEffectEvent, -10.0f, 10.0f, add_effect(demo, time));
    // At -1.25 the fraction is -0.25 (a floor would give +0.75, green 223).
    EXPECT_TRUE(rgb_near(frame(demo, -1.25f), Rgba{88, 96, 0}));
    EXPECT_TRUE(rgb_near(frame(demo, 2.75f), Rgba{215, 223, 88}));
    EXPECT_TRUE(rgb_near(frame(demo, 6.0f), Rgba{255, 128, 191}));

    const std::string size =
        fragment_shader("uniform vec2 resolution;", "c = vec4(resolution / 255.0, 0.0, 1.0);");
    add_event(demo, kEffectEvent, 10.0f, 11.0f, add_effect(demo, size));
    EXPECT_TRUE(rgb_near(frame(demo, 10.0f), Rgba{kWidth, kHeight, 0}));
    resolution[2] = 32;  // a render size smaller than the window
    resolution[3] = 16;
    frame(demo, 10.0f);
    EXPECT_TRUE(rgb_near(read_pixel(4, 4), Rgba{32, 16, 0}));
}

// Feeds one mixer chunk of 1024 stereo frames of constant samples.
void feed_chunk(int16_t left, int16_t right) {
    std::vector<int16_t> chunk(2 * kFftSize, left);
    for (int k = 1; k < 2 * kFftSize; k += 2)
        chunk[k] = right;
    analyse_output(0, chunk.data(), static_cast<int>(chunk.size() * sizeof(int16_t)), nullptr);
}

TEST_F(BuiltinUniforms, SoundTextureOnUnitSixteenAndSoundLevelFollowTheLatestChunk) {
    // Green: the waveform (row 1); blue: the level less 1900.
    const std::string shader =
        fragment_shader("uniform sampler2D sound_texture;\nuniform int sound;",
                        "c = vec4(0.0, texture(sound_texture, vec2(0.5, 0.75)).r,\n"
                        "         float(sound - 1900) / 255.0, 1.0);");
    add_event(demo, kEffectEvent, 0.0f, 100.0f, add_effect(demo, shader));
    // Left 2560, right -1440: waveform 2560 / 256 + 128 = 138; level 2000, the mean magnitude.
    feed_chunk(2560, -1440);
    EXPECT_TRUE(rgb_near(frame(demo, 1.0f), Rgba{0, 138, 100}));
    // The next frame uploads the next chunk: silence (waveform 128, level 0).
    feed_chunk(0, 0);
    EXPECT_TRUE(rgb_near(frame(demo, 2.0f), Rgba{0, 128, 0}));
}

// The colours the columns show, in unit order.
void expect_columns(const std::vector<Rgba>& expected, int column) {
    for (int u = 0; u < static_cast<int>(expected.size()); ++u)
        EXPECT_TRUE(rgb_near(read_pixel(u * column + column / 2), expected[u])) << "column " << u;
}

using EffectInputs = GlTest;

// Feedback is unit 0 (the capture, in place), then images, then inputs, not drawn in the window.
TEST_F(EffectInputs, FeedbackIsUnitZeroThenImagesThenInputEffects) {
    Effect* input = add_effect(demo, constant_shader(0, 0, 1));
    Effect* effect = add_effect(demo, units_shader(3, 8));
    effect->feedback = true;
    auto red = solid_image(kRed);
    effect->textures = {ref(red.get())};
    effect->effects = {ref(input)};
    // The screen when captured: bottom half green, top half black.
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kWidth, kHeight / 2);
    clear_window(0.0f, 1.0f, 0.0f);
    glDisable(GL_SCISSOR_TEST);
    capture_screen(*effect);
    clear_window(0.5f, 0.5f, 0.5f);
    draw(*effect, nullptr, true);
    EXPECT_TRUE(rgb_near(read_pixel(4, 4), kGreen));
    expect_columns({kBlack, kRed, kBlue, {128, 128, 128}}, 8);
}

// Samplers tex to tex15 read units 0 to 15: 13 images (the first missing), a missing font
// texture, an input without program, the screen copy; those naming nothing get texture 0.
TEST_F(EffectInputs, ReferencesThatNameNothingKeepTheirUnitsWithTextureZero) {
    Effect no_program;  // never prepared
    Effect* effect = add_effect(demo, units_shader(16, 3));
    std::vector<Rgba> expected = {kBlack};
    effect->textures = {ref(static_cast<Texture*>(nullptr))};
    for (int n = 1; n < 13; ++n) {
        expected.push_back(Rgba{n * 16 + 5, 250 - n * 15, (n * 37) % 256});
        demo.textures.push_back(solid_image(expected.back()));
        effect->textures.push_back(ref(demo.textures.back().get()));
    }
    effect->font_textures = {ObjectRef<FontTexture>{}};
    effect->effects = {ref(&no_program)};
    effect->screen_texture = true;
    // Units 0, 13 and 14 hold a red texture beforehand; the draw must replace it with 0.
    auto red = solid_image(kRed);
    for (int unit : {0, 13, 14})
        bind_texture_unit(unit, red->texture_id);
    glActiveTexture(GL_TEXTURE0);
    clear_window(0.0f, 1.0f, 0.0f);        // the screen copy is taken just before the draw
    glClearColor(1.0f, 1.0f, 0.0f, 1.0f);  // a stray clear of the window would show yellow
    draw(*effect, nullptr, true);
    expected.insert(expected.end(), {kBlack, kBlack, kGreen, kGreen});  // then the window, kept
    expect_columns(expected, 3);
}

// Inside a render target the screen copy reads that target (cleared dark green), not the red
// window; the input sets blue, so its picture is seen to be drawn.
TEST_F(EffectInputs, ScreenCopyInsideARenderTargetReadsThatTarget) {
    const std::string copy_and_blue =
        fragment_shader("uniform sampler2D tex;\nuniform vec2 resolution;",
                        "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rg, 0.5, 1.0);");
    Effect* input = add_effect(demo, copy_and_blue);
    input->screen_texture = true;
    Effect* effect = add_effect(demo, units_shader(1, kWidth));
    effect->effects = {ref(input)};
    clear_window(1.0f, 0.0f, 0.0f);
    glClearColor(0.0f, 0.5f, 0.0f, 1.0f);  // used when the target is cleared
    draw(*effect, nullptr, true);
    EXPECT_TRUE(rgb_near(read_pixel(), Rgba{0, 128, 128}));
}

// The copy stays on the GPU: the texture holds the screen and the CPU buffer keeps its zeros.
TEST_F(EffectInputs, CaptureStaysOnTheGpu) {
    Effect effect;
    clear_window(1.0f, 0.0f, 0.0f);
    capture_screen(effect);
    EXPECT_TRUE(
        rgb_near(texel(read_texture(effect.capture_texture, kWidth, kHeight), kWidth, 9, 9), kRed));
    ASSERT_NE(effect.capture_buffer, nullptr);
    const std::vector<uint8_t>& cpu = effect.capture_buffer->pixels;
    EXPECT_EQ(std::count(cpu.begin(), cpu.end(), 0), static_cast<ptrdiff_t>(cpu.size()));
    EXPECT_EQ(texture_size(effect.capture_texture), std::make_pair(kWidth, kHeight));
}

// Priming draws an input as the show's update pass will, so its screen copy exists before the
// show, and then empties it again: a frame sees no trace of the priming.
TEST_F(EffectInputs, PrimingMakesEveryScreenCopyAndLeavesItEmpty) {
    Effect* input = add_effect(demo, constant_shader(0, 0, 1));
    add_effect(demo, units_shader(1, kWidth))->effects = {ref(input)};
    demo.prime_effects();
    ASSERT_NE(input->capture_texture, 0u);
    const std::vector<uint8_t> copy = read_texture(input->capture_texture, kWidth, kHeight);
    EXPECT_EQ(std::count(copy.begin(), copy.end(), 0), static_cast<ptrdiff_t>(copy.size()));
}

}  // namespace
}  // namespace demo::gl_test
