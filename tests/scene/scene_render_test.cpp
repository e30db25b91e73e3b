// Scenes drawn through an effect event, with pixels where the camera, the animation, the
// skin, the render passes, the shadow and the material formulas put them.
#include <glm/gtc/matrix_transform.hpp>

#include "render/gl_fixture.h"
#include "scene/model_upload.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"
#include "scene_assets.h"
#include "timeline/event.h"
#include "timeline/render_frame.h"

namespace demo::scene_test {
namespace {

using namespace gl_test;

constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 texcoord;
layout(location = 3) in uvec4 joints;
layout(location = 4) in vec4 weights;
uniform mat4 uModelViewProjMatrix;
uniform mat4 uLightMVPMatrix;
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

// Base colour times texture; tag 2 is drawn into the shadow map only; texels the light does
// not reach are darkened to a quarter.
constexpr const char* kFragmentShader = R"(#version 330 core
in vec2 uv;
in vec4 light_position;
uniform vec4 uBaseColorFactor;
uniform sampler2D uBaseColorTexture;
uniform sampler2D uShadowMapTexture;
uniform int uIsShadowRenderPass;
uniform int uTag;
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
    void SetUp() override {
        GlTest::SetUp();
        static const uint32_t white = solid_image(kWhite)->texture_id;
        white_texture = white;
        glClear(GL_DEPTH_BUFFER_BIT);
    }

    // Loads and uploads `asset` as the scene's model, seen from `eye` towards `target`.
    void make_scene(const tinygltf::Model& asset, glm::vec3 eye, glm::vec3 target,
                    bool skinned = false) {
        testing::internal::CaptureStdout();
        model_ = load_glb(asset);
        upload_to_gpu(*model_);
        testing::internal::GetCapturedStdout();
        scene_ = std::make_unique<Scene>();
        scene_->root_node = std::make_unique<Node>();
        scene_->root_node->model.object = model_.get();
        scene_->camera = std::make_unique<Camera>();
        Camera& camera = *scene_->camera;
        camera.position = eye_ = eye;
        camera.direction = target_ = target;
        camera.fov = 90.0f;
        camera.aspect = static_cast<float>(kWidth) / kHeight;
        camera.znear = 0.1f;
        camera.zfar = 100.0f;
        scene_->shadow_width = scene_->shadow_height = 256;
        create_shadow_resources(*scene_);
        program_ = std::make_unique<ShaderProgram>();
        const std::string vertex = kVertexShader;
        program_->vertex_shader_source =
            skinned ? vertex.substr(0, 18) + "#define SKINNED\n" + vertex.substr(18) : vertex;
        program_->fragment_shader_source = kFragmentShader;
        build_program(*program_);
        ASSERT_TRUE(shader_diagnostics(*program_).empty()) << program_->compile_log;
        effect_ = make_effect(program_.get());
        effect_->scene.object = scene_.get();
    }

    // Draws the scene's effect event at beat 1 with one constant value per track.
    void draw_with_tracks(const std::map<std::string, float>& tracks) {
        event_.control_points.clear();
        event_.type = kEffectEvent;
        event_.effect.object = effect_.get();
        event_.end_beat = 4.0f;
        for (const auto& [name, value] : tracks)
            event_.control_points[name].points = {ControlPoint{0.0f, value, ""}};
        draw_event(event_, 0, 1.0f, nullptr);
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
    Event event_;
    glm::vec3 eye_{0.0f};
    glm::vec3 target_{0.0f};
};

TEST_F(SceneRender, SquareCoversThePixelsTheCameraAndAnimationPredict) {
    const struct {
        const char* what;
        bool animated;                        // the square moves 2 along x over keys 0..1
        std::map<std::string, float> tracks;  // of the effect event
        glm::vec3 eye;                        // where the camera ends up
        glm::vec3 centre;                     // where the square's centre ends up
    } cases[] = {
        {"still camera", false, {}, {0, 0, 3}, {0, 0, 0}},
        {"camera tracks", false, {{"camera_position_x", 1.0f}}, {1, 0, 3}, {0, 0, 0}},
        {"node animation",
         true,
         {{"animation_position", 0.25f}, {"animation_index", 1.0f}},
         {0, 0, 3},
         {0.5f, 0, 0}},
        {"mask without the animation",
         true,
         {{"animation_position", 0.25f}, {"animation_index", 2.0f}},
         {0, 0, 3},
         {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tinygltf::Model asset = square_asset({1, 0, 0, 1});
        if (c.animated)
            gb::add_channel(asset, -1, "slide", 0, "translation", {0, 1}, {0, 0, 0, 2, 0, 0});
        make_scene(asset, {0, 0, 3}, {0, 0, 0});
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_with_tracks(c.tracks);
        eye_ = c.eye;
        for (const glm::vec3 corner : {glm::vec3(-0.8f, -0.8f, 0), glm::vec3(0.8f, 0.8f, 0)})
            EXPECT_TRUE(rgb_near(at(c.centre + corner), kRed, 2)) << "inside";
        for (const glm::vec3 beyond : {glm::vec3(-1.3f, 0, 0), glm::vec3(1.3f, 0, 0),
                                       glm::vec3(0, 1.3f, 0), glm::vec3(0, -1.3f, 0)})
            EXPECT_TRUE(rgb_near(at(c.centre + beyond), kBlack, 2)) << "outside";
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

TEST_F(SceneRender, RenderPassesDrawInAscendingOrderAndPassZeroNever) {
    tinygltf::Model asset;
    const int front = gb::add_node(
        asset, "pass 2", add_square(asset, gb::add_material(asset, {0, 0, 1, 0.5}), 0.2f));
    const int back = gb::add_node(asset, "pass 1",
                                  add_square(asset, gb::add_material(asset, {1, 0, 0, 0.5}), 0.0f));
    const int never = gb::add_node(asset, "pass 0",
                                   add_square(asset, gb::add_material(asset, {0, 1, 0, 1}), 0.4f));
    gb::set_extras(asset.nodes[static_cast<size_t>(front)], 2, 0, false);
    gb::set_extras(asset.nodes[static_cast<size_t>(never)], 0, 0, false);
    gb::set_scene(asset, {front, back, never});
    make_scene(asset, {0, 0, 3}, {0, 0, 0});
    draw_with_tracks({});
    // Red at half alpha over black, then blue at half alpha over that; a front-first order
    // would leave the red behind the blue's depth.
    EXPECT_TRUE(rgb_near(at({0, 0, 0}), {64, 0, 128}, 3));
    EXPECT_EQ(model_->pass_count, 2);
}

// The depth the light camera stored at the middle of the shadow map.
float shadow_depth_at_centre(const Scene& scene) {
    std::vector<float> depth(static_cast<size_t>(scene.shadow_width) * scene.shadow_height);
    glBindTexture(GL_TEXTURE_2D, scene.shadow_depth_texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return depth[depth.size() / 2 + static_cast<size_t>(scene.shadow_width) / 2];
}

TEST_F(SceneRender, IgnoreShadowKeepsACasterOutOfTheShadowMapOnly) {
    for (const bool ignore : {false, true}) {
        tinygltf::Model asset = square_asset({1, 0, 0, 1});
        gb::set_extras(asset.nodes[0], 1, 0, ignore);
        make_scene(asset, {0, 0, 3}, {0, 0, 0});
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw_with_tracks({{"ldD", 5.0f}, {"ldX", 0.0f}, {"ldY", 0.0f}, {"ldZ", 1.0f}});
        EXPECT_EQ(shadow_depth_at_centre(*scene_) < 1.0f, !ignore) << "ignore " << ignore;
        EXPECT_TRUE(rgb_near(at({0, 0, 0}), kRed, 2)) << "ignore " << ignore;
    }
}

TEST_F(SceneRender, ABoardCastsItsShadowStraightDown) {
    tinygltf::Model asset;
    const int ground =
        gb::add_node(asset, "ground", add_square(asset, gb::add_material(asset, {1, 1, 1, 1})));
    const int board =
        gb::add_node(asset, "board", add_square(asset, gb::add_material(asset, {1, 1, 1, 1})));
    // Both squares lie flat (a turn of -90 degrees about x); the ground is 4 times larger.
    const double r = -0.70710678;
    asset.nodes[static_cast<size_t>(ground)].rotation = {r, 0, 0, -r};
    asset.nodes[static_cast<size_t>(ground)].scale = {4, 4, 4};
    asset.nodes[static_cast<size_t>(board)].rotation = {r, 0, 0, -r};
    asset.nodes[static_cast<size_t>(board)].translation = {0, 1, 0};
    gb::set_extras(asset.nodes[static_cast<size_t>(board)], 1, 2, false);
    gb::set_scene(asset, {ground, board});
    // Camera and light look straight down their up vectors.
    make_scene(asset, {0, 5, 0}, {0, 0, 0});
    draw_with_tracks({{"ldD", 10.0f}, {"ldX", 0.0f}, {"ldY", 1.0f}, {"ldZ", 0.0f}});
    const glm::vec3 up(0, 0, -1);
    EXPECT_TRUE(rgb_near(at({0, 0, 0}, up), {64, 64, 64}, 3)) << "under the board";
    EXPECT_TRUE(rgb_near(at({0.5f, 0, 0.5f}, up), {64, 64, 64}, 3)) << "under the board";
    EXPECT_TRUE(rgb_near(at({2.5f, 0, 0}, up), kWhite, 3)) << "in the light";
    EXPECT_TRUE(rgb_near(at({0, 0, -2.5f}, up), kWhite, 3)) << "in the light";
}

TEST_F(SceneRender, BaseColourTextureIsReadThroughTexcoordZero) {
    for (const bool bytes : {false, true}) {
        tinygltf::Model asset;
        const int material =
            gb::add_material(asset, {1, 1, 1, 1}, {255, 0, 0, 255, 0, 255, 0, 255}, 2, 1);
        const int mesh = add_square(asset, material);
        if (bytes) {  // the same coordinates as normalised unsigned bytes
            const uint8_t uv[8] = {0, 0, 255, 0, 255, 255, 0, 255};
            tinygltf::Accessor accessor;
            accessor.bufferView = gb::add_view(asset, uv, sizeof uv);
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
            accessor.normalized = true;
            accessor.count = 4;
            accessor.type = TINYGLTF_TYPE_VEC2;
            asset.accessors.push_back(accessor);
            asset.meshes[0].primitives[0].attributes["TEXCOORD_0"] =
                static_cast<int>(asset.accessors.size()) - 1;
        }
        gb::set_scene(asset, {gb::add_node(asset, "square", mesh)});
        make_scene(asset, {0, 0, 3}, {0, 0, 0});
        draw_with_tracks({});
        EXPECT_TRUE(rgb_near(at({-0.6f, 0, 0}), kRed, 2)) << "bytes " << bytes;
        EXPECT_TRUE(rgb_near(at({0.6f, 0, 0}), kGreen, 2)) << "bytes " << bytes;
        // Pixel 32 of the 16 the square spans (24 to 40) reads u = 0.53125: magnified linearly,
        // 43.75 % of the red texel and 56.25 % of the green.
        EXPECT_TRUE(rgb_near(at({0, 0, 0}), {112, 143, 0}, 3)) << "bytes " << bytes;
    }
}

}  // namespace
}  // namespace demo::scene_test
