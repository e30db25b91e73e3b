// Effects: the texture-unit layout of their inputs, input effects rendered into their targets,
// screen copies and feedback. Shaders show one unit per column of 8 pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/gl_fixture.h"

namespace demo::gl_test {
namespace {

constexpr int kColumn = 8;

// Column u (8 pixels wide) shows, opaque, what sampler u reads at the same place on the
// screen; columns past the last unit are transparent and show the window as it was.
std::string units_shader(int units) {
    std::string declarations = "uniform sampler2D tex;\nuniform vec2 resolution;\n";
    std::string body = "vec2 uv = gl_FragCoord.xy / resolution;\nint u = int(gl_FragCoord.x) / " +
                       std::to_string(kColumn) +
                       ";\nc = vec4(0.0);\nif (u == 0) c = vec4(texture(tex, uv).rgb, 1.0);\n";
    for (int n = 1; n < units; ++n) {
        const std::string name = "tex" + std::to_string(n);
        declarations += "uniform sampler2D " + name + ";\n";
        body += "else if (u == " + std::to_string(n) + ") c = vec4(texture(" + name +
                ", uv).rgb, 1.0);\n";
    }
    return fragment_shader(declarations, body);
}

Rgba column(int unit, int y = kHeight / 2) {
    return read_pixel(unit * kColumn + kColumn / 2, y);
}

// The colours the columns show, in unit order.
void expect_columns(const std::vector<Rgba>& expected) {
    for (size_t u = 0; u < expected.size(); ++u)
        EXPECT_TRUE(rgb_near(column(static_cast<int>(u)), expected[u])) << "column " << u;
}

const Rgba kRed{255, 0, 0};
const Rgba kGreen{0, 255, 0};
const Rgba kBlue{0, 0, 255};
const Rgba kBlack{0, 0, 0};

using EffectInputs = GlTest;

TEST_F(EffectInputs, FeedbackIsUnitZeroAndImagesFollowOnOneAndTwo) {
    auto program = make_program(units_shader(3));
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
    auto program = make_program(units_shader(3));
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

TEST_F(EffectInputs, FeedbackAndScreenCopyBothShowTheCopyTakenJustBeforeTheDraw) {
    auto program = make_program(units_shader(2));
    auto effect = make_effect(program.get());
    effect->feedback = true;
    effect->screen_texture = true;
    clear_window(1.0f, 0.0f, 0.0f);
    capture_screen(*effect);
    clear_window(0.0f, 1.0f, 0.0f);
    draw(*effect, nullptr, false);
    expect_columns({kGreen, kGreen});
}

TEST_F(EffectInputs, InputsOfAnInputAreRenderedOnlyWhenThatInputIsDrawnDirectly) {
    // outer <- middle <- inner; inner shows its "level" uniform in red, middle and outer pass
    // on what they sample.
    auto inner_program =
        make_program(fragment_shader("uniform float level;", "c = vec4(level, 0.0, 0.0, 1.0);"),
                     {{"level", 0.25f}});
    auto pass_program = make_program(pass_shader());
    auto inner = make_effect(inner_program.get());
    auto middle = make_effect(pass_program.get());
    auto outer = make_effect(pass_program.get());
    middle->effects = {ref(inner.get())};
    outer->effects = {ref(middle.get())};
    const struct {
        float level;
        Effect* drawn;
        Rgba expected;
    } draws[] = {
        {0.25f, middle.get(), {64, 0, 0}},  // renders inner into its target first
        {0.75f, outer.get(), {64, 0, 0}},   // middle is rendered, inner sampled as it was left
        {0.75f, middle.get(), {191, 0, 0}},
    };
    for (const auto& d : draws) {
        inner_program->uniform_defs[0]->default_val = d.level;
        apply_uniform_defaults(*inner_program);
        clear_window(0.0f, 0.0f, 0.0f);
        draw(*d.drawn, nullptr, true);
        EXPECT_TRUE(rgb_near(read_pixel(), d.expected)) << "level " << d.level;
    }
}

TEST_F(EffectInputs, ReferencesThatNameNothingKeepTheirUnitsWithTextureZero) {
    auto program = make_program(units_shader(4));
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

TEST_F(EffectInputs, ScreenCopyInsideARenderTargetReadsThatTarget) {
    // The input copies "the screen" while it is drawn into its own target, which was just
    // cleared to the clear colour (dark green); the window itself is red.
    auto copy_program = make_program(pass_shader(" + vec3(0.0, 0.0, 0.5)"));
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

TEST_F(EffectInputs, CaptureStaysOnTheGpuAndFollowsTheRenderSize) {
    auto program = make_program(constant_shader(1, 1, 1));
    auto effect = make_effect(program.get());
    clear_window(1.0f, 0.0f, 0.0f);
    capture_screen(*effect);
    // The texture holds the screen, the CPU buffer keeps its zeros.
    const std::vector<uint8_t> copy = read_texture(effect->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(texel(copy, kWidth, kWidth / 2, kHeight / 2), kRed));
    ASSERT_NE(effect->capture_buffer, nullptr);
    const std::vector<uint8_t>& cpu = effect->capture_buffer->pixels;
    EXPECT_EQ(std::count(cpu.begin(), cpu.end(), 0), static_cast<ptrdiff_t>(cpu.size()));
    EXPECT_EQ(texture_size(effect->capture_texture), std::make_pair(kWidth, kHeight));

    resolution[2] = 32;
    resolution[3] = 16;
    capture_screen(*effect);
    EXPECT_EQ(effect->capture_buffer->width, 32);
    EXPECT_EQ(effect->capture_buffer->height, 16);
    EXPECT_EQ(effect->capture_buffer->pixels.size(), 32u * 16u * 4u);
    EXPECT_EQ(texture_size(effect->capture_texture), std::make_pair(32, 16));
    // The render target keeps the size it was prepared at.
    EXPECT_EQ(texture_size(effect->target_texture), std::make_pair(kWidth, kHeight));
}

}  // namespace
}  // namespace demo::gl_test
