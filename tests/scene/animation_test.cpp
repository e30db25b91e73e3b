// Animation sampling, skeletons, masks and scene tracks against formulas and hand-built matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "render/effect.h"
#include "scene/scene.h"
#include "test_support/scene_assets.h"
#include "timeline/event.h"
#include "timeline/scene_driver.h"
#include "timeline/track_evaluation.h"

namespace demo::scene_test {
namespace {

using namespace Animation;

constexpr float kSin45 = 0.70710678f;
const float kSin22 = std::sin(0.3926991f);  // half of 45 degrees, in radians
const float kCos22 = std::cos(0.3926991f);

struct SampleCase {
    const char* what;
    int32_t interpolation;
    int32_t path;
    std::vector<float> times;
    std::vector<glm::vec4> values;
    float time;
    glm::vec4 expected;  // translation (x, y, z) or quaternion (x, y, z, w)
};

const glm::vec4 kUnchanged(9, 9, 9, 9);  // the value the target held before

class Sampling : public ::testing::TestWithParam<SampleCase> {};

TEST_P(Sampling, GivesTheFormulasValue) {
    const SampleCase& c = GetParam();
    ModelAnimation animation;
    animation.samplers.push_back({c.times, c.values, c.interpolation, true});
    AnimChannel channel;
    channel.path = c.path;
    glm::vec3 translation(9.0f);
    glm::quat rotation(9.0f, 9.0f, 9.0f, 9.0f);
    glm::vec3 scale(9.0f);
    apply_channel(animation, channel, c.time, translation, rotation, scale);
    const glm::vec4 got = c.path == kRotation
                              ? glm::vec4(rotation.x, rotation.y, rotation.z, rotation.w)
                              : glm::vec4(translation, c.expected.w);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], c.expected[i], 1e-5f) << c.what << " component " << i;
}

const std::vector<glm::vec4> kLine = {{0, 0, 0, 0}, {2, 4, 6, 0}, {4, 0, 0, 0}};
// Keys at 0 and 2 s, each as in-tangent, value, out-tangent: from (0, 1, 0) leaving with slope
// (1, 0, 2) to (4, 1, 0) arriving with slope (-1, 0, 2). Between them glTF's Hermite spline
// with the tangents times the 2 s interval gives the values of the three rows below.
const std::vector<glm::vec4> kSpline = {{9, 9, 9, 0},  {0, 1, 0, 0}, {1, 0, 2, 0},
                                        {-1, 0, 2, 0}, {4, 1, 0, 0}, {9, 9, 9, 0}};
const std::vector<glm::vec4> kQuarterTurn = {{}, {0, 0, 0, 1}, {}, {}, {0, 0, kSin45, kSin45}, {}};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Keys, Sampling, ::testing::Values(
    SampleCase{"linear a quarter in", kLinear, kTranslation, {0, 1, 2}, kLine, 0.25f, {0.5f, 1, 1.5f, 0}},
    SampleCase{"linear on key 1 takes [1, 2]", kLinear, kTranslation, {0, 1, 2}, kLine, 1.0f, {2, 4, 6, 0}},
    SampleCase{"step between keys holds key 0", kStep, kTranslation, {0, 1, 2}, kLine, 0.9f, {0, 0, 0, 0}},
    SampleCase{"step on key 1 applies key 1", kStep, kTranslation, {0, 1, 2}, kLine, 1.0f, {2, 4, 6, 0}},
    SampleCase{"before the keys: unchanged", kLinear, kTranslation, {0, 1, 2}, kLine, -0.5f, kUnchanged},
    SampleCase{"after the keys: unchanged", kLinear, kTranslation, {0, 1, 2}, kLine, 2.5f, kUnchanged},
    SampleCase{"equal key times give the later key", kLinear, kTranslation, {0, 1, 1}, kLine, 1.0f, {4, 0, 0, 0}},
    SampleCase{"one key holds for all time", kLinear, kTranslation, {3}, {{2, 4, 6, 0}}, 100.0f, {2, 4, 6, 0}},
    SampleCase{"cubic spline a quarter in", kCubicSpline, kTranslation, {0, 2}, kSpline, 0.5f, {1, 1, 0.375f, 0}},
    SampleCase{"cubic spline halfway", kCubicSpline, kTranslation, {0, 2}, kSpline, 1.0f, {2.5f, 1, 0, 0}},
    SampleCase{"cubic spline three quarters in", kCubicSpline, kTranslation, {0, 2}, kSpline, 1.5f, {3.75f, 1, -0.375f, 0}},
    SampleCase{"cubic spline rotation is normalised", kCubicSpline, kRotation, {0, 1}, kQuarterTurn,
               0.5f, {0, 0, kSin22, kCos22}},
    SampleCase{"slerp halfway to 90 degrees about z", kLinear, kRotation, {0, 1},
               {{0, 0, 0, 1}, {0, 0, kSin45, kSin45}}, 0.5f, {0, 0, kSin22, kCos22}},
    SampleCase{"slerp a quarter of the way to 90 degrees", kLinear, kRotation, {0, 1},
               {{0, 0, 0, 1}, {0, 0, kSin45, kSin45}}, 0.25f, {0, 0, std::sin(0.19634954f), std::cos(0.19634954f)}},
    SampleCase{"slerp takes the shorter arc", kLinear, kRotation, {0, 1},
               {{0, 0, 0, 1}, {0, 0, -kSin45, -kSin45}}, 0.5f, {0, 0, kSin22, kCos22}}));
// clang-format on

TEST(LocalTime, OnlyTheFractionOfTCounts) {
    ModelAnimation animation;
    animation.start_time = 1.0f;  // keys from 1 s to 3 s: the fraction runs from the first key
    animation.end_time = 3.0f;
    for (const auto& [t, expected] : {std::pair{0.25f, 1.5f}, {1.25f, 1.5f}, {-0.75f, 1.5f}})
        EXPECT_FLOAT_EQ(local_time(animation, t), expected) << "t " << t;
}

TEST(Skeleton, JointMatricesAreHandMultipliedProducts) {
    Skeleton skeleton;
    skeleton.joints.resize(3);
    skeleton.joints[0].translation = {1, 0, 0};
    skeleton.joints[0].children = {1};
    skeleton.joints[1].parent = 0;
    skeleton.joints[1].rotation = glm::angleAxis(glm::radians(90.0f), glm::vec3(0, 0, 1));
    skeleton.joints[1].scale = {2, 2, 2};
    skeleton.joints[1].local_matrix = glm::translate(glm::mat4(1), glm::vec3(0, 3, 0));
    skeleton.joints[1].local_is_identity = false;
    skeleton.joints[1].inverse_bind_matrix = glm::translate(glm::mat4(1), glm::vec3(0, -1, 0));
    skeleton.joints[2].translation = {5, 5, 5};  // outside joint 0's tree: keeps its own
    skeleton.walk_order = {0, 1};
    update_skeleton(skeleton);

    const glm::mat4 m0 = glm::translate(glm::mat4(1), glm::vec3(1, 0, 0));
    glm::mat4 m1 = glm::rotate(glm::mat4(1), glm::radians(90.0f), glm::vec3(0, 0, 1));
    m1 = glm::scale(m1, glm::vec3(2)) * glm::translate(glm::mat4(1), glm::vec3(0, 3, 0));
    expect_matrix_near(skeleton.joint_matrices[0], m0, "joint 0");
    expect_matrix_near(skeleton.joint_matrices[1],
                       m0 * m1 * glm::translate(glm::mat4(1), glm::vec3(0, -1, 0)), "joint 1");
    expect_matrix_near(skeleton.joint_matrices[2], glm::translate(glm::mat4(1), glm::vec3(5, 5, 5)),
                       "joint 2");
}

// A skinless model of `count` nodes, animation i moving node i to x = i + 1.
std::unique_ptr<Model> one_animation_per_node(int count) {
    tinygltf::Model asset;
    std::vector<int> roots;
    for (int i = 0; i < count; ++i) {
        roots.push_back(gb::add_node(asset, "n" + std::to_string(i)));
        const float x = static_cast<float>(i + 1);
        gb::add_channel(asset, -1, "a" + std::to_string(i), roots.back(), "translation", {0, 1},
                        {x, 0, 0, x, 0, 0});
    }
    gb::set_scene(asset, roots);
    return load_glb(asset);
}

// Bit i of the mask selects animation i; none for a mask below 1 or beyond the model's.
TEST(NodeAnimation, TheMaskSelectsAnimationsByBit) {
    auto model = one_animation_per_node(3);
    const std::pair<int64_t, std::vector<bool>> cases[] = {{5, {true, false, true}},
                                                           {0, {false, false, false}},
                                                           {-1, {false, false, false}},
                                                           {8, {false, false, false}}};
    for (const auto& [mask, animated] : cases) {
        animate_nodes(*model, mask, 0.5f);
        EXPECT_EQ(model->animated_nodes, animated) << "mask " << mask;
    }
    animate_nodes(*model, 4, 0.5f);
    EXPECT_FLOAT_EQ(model->node_anim_matrices[2][3][0], 3.0f);
}

// The light sits ldD along the (ldX, ldY, ldZ) tracks from the camera and looks at it; without
// an ldD track the distance is 50, with an ldD track without points (NaN below) 0.
TEST(DriveScene, LightFollowsTheCameraAlongTheLdTracksAndCameraTracksSetTheirComponents) {
    const std::pair<std::map<std::string, float>, float> cases[] = {
        {{{"ldD", 20.0f}, {"ldY", 1.0f}, {"camera_position_x", 3.0f}, {"camera_up_x", 1.0f}}, 20},
        {{}, 50.0f},
        {{{"ldD", NAN}}, 0.0f}};
    for (const auto& [tracks, distance] : cases) {
        Scene scene;
        scene.camera = std::make_unique<Camera>();
        scene.camera->position = {7, 2, 10};
        Effect effect;
        effect.scene.object = &scene;
        Event event;
        event.effect.object = &effect;
        event.type = kEffectEvent;
        event.end_beat = 8.0f;
        for (const auto& [name, value] : tracks) {
            ControlTrack& track = event.control_points[name];
            if (!std::isnan(value))
                track.points.push_back(ControlPoint{0.0f, value, ""});
        }
        drive_scene(event, 1.0f);
        EXPECT_FLOAT_EQ(scene.light_camera->ortho_size, distance);
        if (distance != 20.0f)
            continue;
        EXPECT_EQ(scene.camera->position, glm::vec3(3, 2, 10));
        EXPECT_EQ(scene.camera->up, glm::vec3(1, 1, 0));  // off the diagonal: not transposed
        const Camera& light = *scene.light_camera;
        EXPECT_EQ(light.position, glm::vec3(300, 22, 0));
        EXPECT_EQ(light.direction, glm::vec3(0, 2, 0));
        EXPECT_FLOAT_EQ(light.znear, 0.01f);
    }
}

// Track values become animation indices truncated toward zero, saturated, NaN as 0.
TEST(DriveScene, AnimationIndexIsTheValueTruncated) {
    const std::pair<float, int32_t> indices[] = {{1.9f, 1},           {NAN, 0},
                                                 {-2.7f, -2},         {1e10f, INT32_MAX},
                                                 {-1e10f, INT32_MIN}, {INFINITY, INT32_MAX}};
    for (const auto& [value, index] : indices)
        EXPECT_EQ(truncate_to_int(value), index) << value;
}

}  // namespace
}  // namespace demo::scene_test
