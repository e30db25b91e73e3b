// Scenes drawn through an effect event, with pixels where the formulas of each stage put them.
#include <glm/gtc/matrix_transform.hpp>
#include <tuple>

#include "scene/model_upload.h"
#include "scene/scene_renderer.h"
#include "test_support/gl_fixture.h"
#include "test_support/scene_assets.h"
#include "timeline/render_frame.h"

namespace demo::scene_test {
namespace {

using namespace gl_test;

// After a "#version 330 core" line and, for skins, "#define SKINNED".
constexpr const char* kVertexShader = R"(
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in uvec4 joints;
layout(location = 4) in vec4 weights;
uniform mat4 uModelViewProjMatrix, uLightMVPMatrix;
#ifdef SKINNED
layout(std140) uniform MatricesBlock { mat4 joint_matrix[100]; };
#endif
out vec2 uv;
out vec4 light_position;
void main() {
    vec4 p = vec4(position, 1.0);
#ifdef SKINNED
    p = (weights.x * joint_matrix[joints.x] + weights.y * joint_matrix[joints.y] +
         weights.z * joint_matrix[joints.z] + weights.w * joint_matrix[joints.w]) * p;
#endif
    uv = texcoord;
    light_position = uLightMVPMatrix * p;
    gl_Position = uModelViewProjMatrix * p;
}
)";

// Base colour times texture; tag 2 only in the shadow map; unlit texels darkened to a quarter.
constexpr const char* kFragmentShader = R"(#version 330 core
in vec2 uv;
in vec4 light_position;
uniform vec4 uBaseColorFactor;
uniform sampler2D uBaseColorTexture, uShadowMapTexture;
uniform int uIsShadowRenderPass, uTag;
out vec4 c;
void main() {
    if (uIsShadowRenderPass == 1) { c = vec4(1.0); return; }
    if (uTag == 2) discard;
    vec3 l = light_position.xyz / light_position.w * 0.5 + 0.5;
    float lit = texture(uShadowMapTexture, l.xy).r < l.z - 0.0002 ? 0.25 : 1.0;
    c = uBaseColorFactor * texture(uBaseColorTexture, uv) * vec4(vec3(lit), 1.0);
}
)";

class SceneRender : public GlTest {
protected:
    // `asset` as the scene's model, seen from `eye` towards `target`, in a cleared window.
    void make_scene(const tinygltf::Model& asset, glm::vec3 eye, glm::vec3 target,
                    bool skinned = false) {
        static const uint32_t white = solid_image(kWhite)->texture_id;
        white_texture = white;
        model_ = load_glb(asset);
        upload_to_gpu(*model_);
        scene_ = std::make_unique<Scene>();
        scene_->root_node = std::make_unique<Node>();
        scene_->root_node->model.object = model_.get();
        Camera& camera = *(scene_->camera = std::make_unique<Camera>());
        camera.position = eye_ = eye;
        camera.direction = target_ = target;
        camera.aspect = static_cast<float>(kWidth) / kHeight;  // the rest as `at` has them
        scene_->shadow_width = scene_->shadow_height = 256;
        create_shadow_resources(*scene_);
        program_ = std::make_unique<ShaderProgram>();
        program_->vertex_shader_source =
            std::string("#version 330 core\n") + (skinned ? "#define SKINNED" : "") + kVertexShader;
        program_->fragment_shader_source = kFragmentShader;
        build_program(*program_);
        ASSERT_TRUE(shader_diagnostics(*program_).empty()) << program_->compile_log;
        effect_ = make_effect(program_.get());
        effect_->scene.object = scene_.get();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Draws the scene's effect event at beat 1 with one constant value per track.
    void draw_with_tracks(const std::map<std::string, float>& tracks) {
        Event event;
        event.type = kEffectEvent;
        event.effect.object = effect_.get();
        event.end_beat = 4.0f;
        for (const auto& [name, value] : tracks)
            event.control_points[name].points = {ControlPoint{0.0f, value, ""}};
        draw_event(event, 0, 1.0f, nullptr);
    }

    // The window pixel at a world point, placed by the look-at and perspective formulas.
    Rgba at(glm::vec3 world, glm::vec3 up = {0, 1, 0}) const {
        const glm::vec4 clip =
            glm::perspective(glm::radians(90.0f), float(kWidth) / kHeight, 0.1f, 100.0f) *
            glm::lookAt(eye_, target_, up) * glm::vec4(world, 1.0f);
        return read_pixel(static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * kWidth),
                          static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * kHeight));
    }

    std::unique_ptr<Model> model_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<ShaderProgram> program_;
    std::unique_ptr<Effect> effect_;
    glm::vec3 eye_{0.0f};
    glm::vec3 target_{0.0f};
};

// When animated, the square moves 2 along x over keys 0..1; animation 2 is a mask without it.
TEST_F(SceneRender, SquareCoversThePixelsTheCameraAndAnimationPredict) {
    // Animated or not, the event's tracks, where the camera and the square's centre end up.
    const std::tuple<bool, std::map<std::string, float>, glm::vec3, glm::vec3> cases[] = {
        {false, {{"camera_position_x", 1.0f}}, {1, 0, 3}, {0, 0, 0}},
        {true, {{"animation_position", 0.25f}, {"animation_index", 1}}, {0, 0, 3}, {0.5f, 0, 0}},
        {true, {{"animation_position", 0.25f}, {"animation_index", 2}}, {0, 0, 3}, {0, 0, 0}},
    };
    for (const auto& [animated, tracks, eye, centre] : cases) {
        SCOPED_TRACE(testing::Message() << "eye x " << eye.x << ", centre x " << centre.x);
        tinygltf::Model asset = square_asset({1, 0, 0, 1});
        if (animated)
            gb::add_channel(asset, -1, "slide", 0, "translation", {0, 1}, {0, 0, 0, 2, 0, 0});
        make_scene(asset, {0, 0, 3}, {0, 0, 0});
        draw_with_tracks(tracks);
        eye_ = eye;
        for (const glm::vec3 corner : {glm::vec3(-0.8f, -0.8f, 0), glm::vec3(0.8f, 0.8f, 0)})
            EXPECT_TRUE(rgb_near(at(centre + corner), kRed, 2)) << "inside";
        for (const glm::vec3 beyond : {glm::vec3(-1.3f, 0, 0), glm::vec3(1.3f, 0, 0),
                                       glm::vec3(0, 1.3f, 0), glm::vec3(0, -1.3f, 0)})
            EXPECT_TRUE(rgb_near(at(centre + beyond), kBlack, 2)) << "outside";
    }
}

TEST_F(SceneRender, SkinBendsAsItsJointMatricesPredict) {
    const float s = 0.70710678f;  // joint 1 turns 90 degrees about z around (0, 1, 0)
    make_scene(bending_strip({0, 0, s, s}), {0, 1, 4}, {0, 1, 0}, true);
    draw_with_tracks({{"animation_position", 0.5f}});
    EXPECT_TRUE(rgb_near(at({0, 0.5f, 0}), kWhite, 2)) << "lower half stays";
    EXPECT_TRUE(rgb_near(at({-0.8f, 1.0f, 0}), kWhite, 2)) << "upper half turned left";
    EXPECT_TRUE(rgb_near(at({0, 1.8f, 0}), kBlack, 2)) << "nothing left upright";
}

// Pass 1 (half-alpha red), then pass 2 (half-alpha blue, in front): red under blue over black. A
// front-first order would leave the red behind the blue's depth; pass 0 (green) is never drawn.
TEST_F(SceneRender, RenderPassesDrawInAscendingOrderAndPassZeroNever) {
    tinygltf::Model asset;
    const std::tuple<int, std::vector<double>, float> nodes[] = {
        {2, {0, 0, 1, 0.5}, 0.2f}, {1, {1, 0, 0, 0.5}, 0.0f}, {0, {0, 1, 0, 1}, 0.4f}};
    for (const auto& [pass, colour, z] : nodes) {
        gb::add_node(asset, "node", add_square(asset, gb::add_material(asset, colour), z));
        gb::set_extras(asset.nodes.back(), pass, 0, false);
    }
    gb::set_scene(asset, {0, 1, 2});
    make_scene(asset, {0, 0, 3}, {0, 0, 0});
    draw_with_tracks({});
    EXPECT_TRUE(rgb_near(at({0, 0, 0}), {64, 0, 128}, 3));
    EXPECT_EQ(model_->pass_count, 2);
}

// A flat board 1 above a ground 4 times larger, drawn into the shadow map only (tag 2) unless
// it ignores shadows; camera and light look straight down. An input effect drawing another
// scene, even one with nothing to draw, leaves the shadow as it was.
TEST_F(SceneRender, ABoardCastsItsShadowStraightDownUnlessItIgnoresShadows) {
    for (const auto& [ignore, nested] : {std::pair{false, false}, {true, false}, {false, true}}) {
        tinygltf::Model asset;
        const double r = -0.70710678;  // a turn of -90 degrees about x lays a square flat
        for (const int n : {0, 1}) {
            gb::add_node(asset, "square", add_square(asset, gb::add_material(asset, {1, 1, 1, 1})));
            asset.nodes[n].rotation = {r, 0, 0, -r};
        }
        asset.nodes[0].scale = {4, 4, 4};
        asset.nodes[1].translation = {0, 1, 0};
        gb::set_extras(asset.nodes[1], 1, 2, ignore);
        gb::set_scene(asset, {0, 1});
        make_scene(asset, {0, 5, 0}, {0, 0, 0});
        Scene inner;  // of the outer scene's size, so it shares its depth target
        inner.shadow_width = inner.shadow_height = 256;
        create_shadow_resources(inner);
        const auto input = make_effect(program_.get());
        input->scene.object = &inner;
        if (nested)
            effect_->effects.push_back(ref(input.get()));
        draw_with_tracks({{"ldD", 10.0f}, {"ldX", 0.0f}, {"ldY", 1.0f}, {"ldZ", 0.0f}});
        SCOPED_TRACE(testing::Message() << "ignore " << ignore << ", nested " << nested);
        const glm::vec3 up(0, 0, -1);
        const Rgba under = ignore ? kWhite : Rgba{64, 64, 64};
        EXPECT_TRUE(rgb_near(at({0, 0, 0}, up), under, 3)) << "under the board";
        EXPECT_TRUE(rgb_near(at({0.5f, 0, 0.5f}, up), under, 3)) << "under the board";
        EXPECT_TRUE(rgb_near(at({2.5f, 0, 0}, up), kWhite, 3)) << "in the light";
        EXPECT_TRUE(rgb_near(at({0, 0, -2.5f}, up), kWhite, 3)) << "in the light";
    }
}

TEST_F(SceneRender, BaseColourTextureIsReadThroughTexcoordZero) {
    for (const bool shorts : {false, true}) {
        tinygltf::Model asset;
        const int material =
            gb::add_material(asset, {1, 1, 1, 1}, {255, 0, 0, 255, 0, 255, 0, 255}, 2, 1);
        const int mesh = add_square(asset, material);
        if (shorts) {  // the same coordinates as normalised unsigned shorts
            const int uv = gb::add_shorts(asset, {0, 0, 65535, 0, 65535, 65535, 0, 65535}, 2);
            asset.accessors[static_cast<size_t>(uv)].normalized = true;
            asset.meshes[0].primitives[0].attributes["TEXCOORD_0"] = uv;
        }
        gb::add_sampler(asset, 0, TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE, -1, -1);
        gb::set_scene(asset, {gb::add_node(asset, "square", mesh)});
        make_scene(asset, {0, 0, 3}, {0, 0, 0});
        draw_with_tracks({});
        EXPECT_TRUE(rgb_near(at({-0.6f, 0, 0}), kRed, 2)) << "shorts " << shorts;
        EXPECT_TRUE(rgb_near(at({0.6f, 0, 0}), kGreen, 2)) << "shorts " << shorts;
        // Pixel 32 of the 16 the square spans (24 to 40) reads u = 0.53125: magnified linearly,
        // 43.75 % of the red texel and 56.25 % of the green.
        EXPECT_TRUE(rgb_near(at({0, 0, 0}), {112, 143, 0}, 3)) << "shorts " << shorts;
    }
}

// Coordinates running to 6 across the square repeat its red-green texture six times; the
// sampler's mipmapped minification filter needs mipmaps, without which nothing would show.
TEST_F(SceneRender, TheTexturesSamplerRepeatsItWithMipmaps) {
    tinygltf::Model asset;
    const int material =
        gb::add_material(asset, {1, 1, 1, 1}, {255, 0, 0, 255, 0, 255, 0, 255}, 2, 1);
    gb::add_sampler(asset, 0, TINYGLTF_TEXTURE_WRAP_REPEAT, TINYGLTF_TEXTURE_FILTER_NEAREST,
                    TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_NEAREST);
    const int mesh = add_square(asset, material);
    asset.meshes[0].primitives[0].attributes["TEXCOORD_0"] =
        gb::add_floats(asset, {0, 0, 6, 0, 6, 1, 0, 1}, 2);
    gb::set_scene(asset, {gb::add_node(asset, "square", mesh)});
    make_scene(asset, {0, 0, 1.2f}, {0, 0, 0});
    draw_with_tracks({});
    std::string runs;  // the colours met along the middle row, each run once
    for (int x = 0; x < kWidth; ++x) {
        const Rgba p = read_pixel(x, kHeight / 2);
        const char c = rgb_near(p, kRed, 2) ? 'r' : rgb_near(p, kGreen, 2) ? 'g' : '.';
        if (c != '.' && (runs.empty() || runs.back() != c))
            runs += c;
    }
    EXPECT_EQ(runs, "rgrgrgrgrgrg");
}

// Vertices 1 and 2 of the square (its right edge) are moved by sparse values from x = 1 to 2.
TEST_F(SceneRender, SparseVerticesLandWhereTheirValuesPutThem) {
    tinygltf::Model asset = square_asset({1, 0, 0, 1});
    gb::make_sparse(asset, asset.meshes[0].primitives[0].attributes["POSITION"], {1, 2},
                    {2, -1, 0, 2, 1, 0});
    make_scene(asset, {0, 0, 3}, {0, 0, 0});
    draw_with_tracks({});
    EXPECT_TRUE(rgb_near(at({1.7f, 0, 0}), kRed, 2));
    EXPECT_TRUE(rgb_near(at({2.3f, 0, 0}), kBlack, 2));
}

}  // namespace
}  // namespace demo::scene_test
