// Effects: the texture-unit layout of their inputs, input effects rendered into their targets,
// screen copies and feedback. Shaders show one unit per column of 8 pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/gl_fixture.h"

namespace demo {
namespace {

using gl_test::clear_window;
using gl_test::constant_shader;
using gl_test::fragment_shader;
using gl_test::GlTest;
using gl_test::kHeight;
using gl_test::kWidth;
using gl_test::make_effect;
using gl_test::make_program;
using gl_test::read_pixel;
using gl_test::rgb_near;
using gl_test::Rgba;
using gl_test::solid_image;
using gl_test::uniform_def;

constexpr int kColumn = 8;

// Column u (8 pixels wide) shows, opaque, what sampler u reads at the same place on the
// screen; columns past the last unit are transparent and show the window as it was.
std::string units_shader(int units) {
    std::string declarations = "uniform sampler2D tex;\nuniform vec2 resolution;\n";
    for (int n = 1; n < units; ++n)
        declarations += "uniform sampler2D tex" + std::to_string(n) + ";\n";
    std::string body =
        "vec2 uv = gl_FragCoord.xy / resolution;\n"
        "int u = int(gl_FragCoord.x) / " +
        std::to_string(kColumn) +
        ";\n"
        "c = vec4(0.0);\n"
        "if (u == 0) c = vec4(texture(tex, uv).rgb, 1.0);\n";
    for (int n = 1; n < units; ++n) {
        body += "else if (u == " + std::to_string(n) + ") c = vec4(texture(tex" +
                std::to_string(n) + ", uv).rgb, 1.0);\n";
    }
    return fragment_shader(declarations, body);
}

Rgba column(int unit, int y = kHeight / 2) {
    return read_pixel(unit * kColumn + kColumn / 2, y);
}

ObjectRef<Texture> ref(Texture* texture) {
    return ObjectRef<Texture>{0, "", texture};
}
ObjectRef<Effect> ref(Effect* effect) {
    return ObjectRef<Effect>{0, "", effect};
}

class EffectInputs : public GlTest {};

TEST_F(EffectInputs, FeedbackIsUnitZeroAndImagesFollowOnOneAndTwo) {
    auto program = make_program(units_shader(3));
    auto effect = make_effect(program.get());
    effect->feedback = true;
    auto red = solid_image(Rgba{255, 0, 0});
    auto blue = solid_image(Rgba{0, 0, 255});
    effect->textures = {ref(red.get()), ref(blue.get())};

    // The screen when captured: bottom half green, top half black.
    clear_window(0.0f, 0.0f, 0.0f);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, kWidth, kHeight / 2);
    clear_window(0.0f, 1.0f, 0.0f);
    glDisable(GL_SCISSOR_TEST);
    capture_screen(*effect);

    // Drawn over another picture, unit 0 still shows the capture, in place.
    clear_window(0.5f, 0.5f, 0.5f);
    draw(*effect, nullptr, false);
    EXPECT_TRUE(rgb_near(column(0, 4), Rgba{0, 255, 0}));
    EXPECT_TRUE(rgb_near(column(0, kHeight - 4), Rgba{0, 0, 0}));
    EXPECT_TRUE(rgb_near(column(1), Rgba{255, 0, 0}));
    EXPECT_TRUE(rgb_near(column(2), Rgba{0, 0, 255}));
}

TEST_F(EffectInputs, ImageInputEffectAndScreenCopyUseUnitsZeroOneAndTwo) {
    auto program = make_program(units_shader(3));
    auto input_program = make_program(constant_shader(0.0f, 0.0f, 1.0f));
    auto input = make_effect(input_program.get());
    auto effect = make_effect(program.get());
    auto red = solid_image(Rgba{255, 0, 0});
    effect->textures = {ref(red.get())};
    effect->effects = {ref(input.get())};
    effect->screen_texture = true;

    clear_window(0.0f, 1.0f, 0.0f);  // the screen copy is taken just before the draw
    draw(*effect, nullptr, true);
    EXPECT_TRUE(rgb_near(column(0), Rgba{255, 0, 0}));  // the image is still bound on unit 0
    EXPECT_TRUE(rgb_near(column(1), Rgba{0, 0, 255}));  // the input's target
    EXPECT_TRUE(rgb_near(column(2), Rgba{0, 255, 0}));  // the screen
    // The input was drawn into its target, not into the window.
    EXPECT_TRUE(rgb_near(column(4), Rgba{0, 255, 0}));
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
    EXPECT_TRUE(rgb_near(column(0), Rgba{0, 255, 0}));
    EXPECT_TRUE(rgb_near(column(1), Rgba{0, 255, 0}));
}

TEST_F(EffectInputs, InputsOfAnInputAreRenderedOnlyWhenThatInputIsDrawnDirectly) {
    // outer <- middle <- inner; inner shows its "level" uniform in red, middle and outer pass
    // on what they sample.
    std::vector<std::unique_ptr<UniformDef>> defs;
    defs.push_back(uniform_def("level", 0.25f));
    auto inner_program =
        make_program(fragment_shader("uniform float level;", "c = vec4(level, 0.0, 0.0, 1.0);"),
                     std::move(defs));
    auto pass_program = make_program(
        fragment_shader("uniform sampler2D tex;\nuniform vec2 resolution;",
                        "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rgb, 1.0);"));
    auto inner = make_effect(inner_program.get());
    auto middle = make_effect(pass_program.get());
    auto outer = make_effect(pass_program.get());
    middle->effects = {ref(inner.get())};
    outer->effects = {ref(middle.get())};

    apply_uniform_defaults(*inner_program);
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*middle, nullptr, true);  // renders inner into its target first
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{64, 0, 0}));

    inner_program->uniform_defs[0]->default_val = 0.75f;
    apply_uniform_defaults(*inner_program);
    clear_window(0.0f, 0.0f, 0.0f);
    draw(*outer, nullptr, true);  // middle is rendered, inner is sampled as it was left
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{64, 0, 0}));

    clear_window(0.0f, 0.0f, 0.0f);
    draw(*middle, nullptr, true);
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{191, 0, 0}));
}

TEST_F(EffectInputs, ReferencesThatNameNothingKeepTheirUnitsWithTextureZero) {
    auto program = make_program(units_shader(4));
    auto no_program = std::make_unique<Effect>();  // an input without program: never prepared
    auto effect = make_effect(program.get());
    auto blue = solid_image(Rgba{0, 0, 255});
    effect->textures = {ref(static_cast<Texture*>(nullptr)), ref(blue.get())};
    effect->font_textures = {ObjectRef<FontTexture>{}};
    effect->effects = {ref(no_program.get())};

    // Units 0, 2 and 3 hold a red texture beforehand; the draw must replace it with 0.
    auto red = solid_image(Rgba{255, 0, 0});
    for (int unit : {0, 2, 3})
        bind_texture_unit(unit, red->texture_id);
    glActiveTexture(GL_TEXTURE0);

    clear_window(0.0f, 1.0f, 0.0f);
    glClearColor(1.0f, 1.0f, 0.0f, 1.0f);  // a stray clear of the window would show yellow
    draw(*effect, nullptr, true);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_TRUE(rgb_near(column(0), Rgba{0, 0, 0}));  // missing image
    EXPECT_TRUE(rgb_near(column(1), Rgba{0, 0, 255}));
    EXPECT_TRUE(rgb_near(column(2), Rgba{0, 0, 0}));  // missing font texture
    EXPECT_TRUE(rgb_near(column(3), Rgba{0, 0, 0}));  // input effect without program
    // Skipping that input left the window alone.
    EXPECT_TRUE(rgb_near(column(5), Rgba{0, 255, 0}));
}

TEST_F(EffectInputs, ScreenCopyInsideARenderTargetReadsThatTarget) {
    // The input copies "the screen" while it is drawn into its own target, which was just
    // cleared to the clear colour (dark green); the window itself is red.
    auto copy_program = make_program(fragment_shader(
        "uniform sampler2D tex;\nuniform vec2 resolution;",
        "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rgb + vec3(0.0, 0.0, 0.5), 1.0);"));
    auto pass_program = make_program(
        fragment_shader("uniform sampler2D tex;\nuniform vec2 resolution;",
                        "c = vec4(texture(tex, gl_FragCoord.xy / resolution).rgb, 1.0);"));
    auto input = make_effect(copy_program.get());
    input->screen_texture = true;
    auto effect = make_effect(pass_program.get());
    effect->effects = {ref(input.get())};

    clear_window(1.0f, 0.0f, 0.0f);
    glClearColor(0.0f, 0.5f, 0.0f, 1.0f);  // used when the target is cleared
    draw(*effect, nullptr, true);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(rgb_near(read_pixel(kWidth / 2, kHeight / 2), Rgba{0, 128, 128}));
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

TEST_F(EffectInputs, ScreenCopyLeavesTheCpuBufferAlone) {
    // The copy stays on the GPU: the texture holds the screen, the CPU buffer keeps its zeros.
    auto program = make_program(constant_shader(1.0f, 1.0f, 1.0f));
    auto effect = make_effect(program.get());
    clear_window(1.0f, 0.0f, 0.0f);
    capture_screen(*effect);
    const std::vector<uint8_t> copy =
        gl_test::read_texture(effect->capture_texture, kWidth, kHeight);
    EXPECT_TRUE(rgb_near(gl_test::texel(copy, kWidth, kWidth / 2, kHeight / 2), Rgba{255, 0, 0}));
    const std::vector<uint8_t>& cpu = effect->capture_buffer->pixels;
    EXPECT_EQ(std::count(cpu.begin(), cpu.end(), 0), static_cast<ptrdiff_t>(cpu.size()));
}

TEST_F(EffectInputs, CaptureFollowsTheRenderSize) {
    auto program = make_program(constant_shader(1.0f, 1.0f, 1.0f));
    auto effect = make_effect(program.get());
    capture_screen(*effect);
    ASSERT_NE(effect->capture_buffer, nullptr);
    EXPECT_EQ(gl_test::texture_size(effect->capture_texture), std::make_pair(kWidth, kHeight));

    resolution[2] = 32;
    resolution[3] = 16;
    capture_screen(*effect);
    EXPECT_EQ(effect->capture_buffer->width, 32);
    EXPECT_EQ(effect->capture_buffer->height, 16);
    EXPECT_EQ(effect->capture_buffer->pixels.size(), 32u * 16u * 4u);
    EXPECT_EQ(gl_test::texture_size(effect->capture_texture), std::make_pair(32, 16));
    // The render target keeps the size it was prepared at.
    EXPECT_EQ(gl_test::texture_size(effect->target_texture), std::make_pair(kWidth, kHeight));
}

}  // namespace
}  // namespace demo
