// Effects: the texture-unit layout of their inputs, input effects rendered into their targets,
// screen copies and feedback. Shaders show one unit per column of 8 pixels.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "render/gl_fixture.h"

namespace demo::gl_test {
namespace {

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

}  // namespace
}  // namespace demo::gl_test
