// The camera's stored form, which camera a scene draws with, and its matrices' formulas.
#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

#include "scene/scene.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "test_support/package_bytes.h"
#include "test_support/scene_assets.h"

namespace demo::scene_test {
namespace {

using namespace package_bytes;

// Thirteen floats in field order, then the direction mode; the light camera's fields are not
// stored.
TEST(CameraRecord, IsFiftyThreeBytesInFieldOrder) {
    Bytes expected;
    for (int i = 1; i <= 13; ++i)
        append(expected, f32(static_cast<float>(i)));
    append(expected, u64(1, 1));
    InputStream in(expected.data(), expected.size());
    Camera camera(in);
    EXPECT_EQ(camera.up, glm::vec3(7, 8, 9));
    camera.orthographic = true;
    camera.ortho_size = 5;
    Bytes bytes;
    OutputStream out(bytes);
    camera.write_binary(out);
    EXPECT_EQ(bytes, expected);
}

TEST(ActiveCamera, FollowsTheSceneRules) {
    Scene other;
    other.camera = std::make_unique<Camera>();
    other.camera->position = {0, 0, 10};
    Scene scene;
    scene.camera = std::make_unique<Camera>();
    scene.camera->position = {1, 2, 3};
    scene.camera_scene.object = &other;

    scene.camera_scene_only_direction = true;
    EXPECT_EQ(active_camera(scene), scene.camera.get());
    EXPECT_EQ(scene.camera->direction, glm::vec3(0, 0, -10));  // target minus eye
    EXPECT_EQ(scene.camera->position, glm::vec3(1, 2, 3));
    other.camera->direction_mode = true;
    other.camera->direction = {1, 0, 0};
    active_camera(scene);
    EXPECT_EQ(scene.camera->direction, glm::vec3(1, 0, 0));

    scene.camera_scene_only_direction = false;
    EXPECT_EQ(active_camera(scene), other.camera.get());
    scene.shadow_pass = true;
    EXPECT_EQ(active_camera(scene), scene.light_camera.get());
    scene.shadow_pass = false;

    Scene lone;  // no camera and none borrowed: nothing to draw with
    EXPECT_EQ(active_camera(lone), nullptr);
    lone.camera_scene.object = &other;
    lone.camera_scene_only_direction = true;  // nothing to carry the direction: the other whole
    EXPECT_EQ(active_camera(lone), other.camera.get());
}

// Degenerate directions still give a finite view: along -z, or with another up when parallel.
TEST(CameraMatrices, ViewsMatchLookAtAndNeverTurnNaN) {
    const glm::vec3 eye(1, 2, 3);
    const glm::mat4 along = glm::lookAt(eye, glm::vec3(1, 2, 2), glm::vec3(0, 1, 0));
    const struct {
        const char* what;
        bool direction_mode;
        glm::vec3 direction;
        glm::mat4 view;
    } cases[] = {
        {"direction", true, {0, 0, -5}, along},
        {"zero direction", true, {0, 0, 0}, along},
        {"parallel up", false, {1, -5, 3}, glm::lookAt(eye, {1, -5, 3}, glm::vec3(0, 0, -1))},
    };
    for (const auto& c : cases) {
        Camera camera;
        camera.position = eye;
        camera.direction_mode = c.direction_mode;
        camera.direction = c.direction;
        expect_matrix_near(view_matrix(camera), c.view, c.what);
    }
}

TEST(CameraMatrices, ProjectionsHaveTheirFormulaEntries) {
    Camera camera;
    camera.fov = 90.0f;
    camera.aspect = 2.0f;
    camera.znear = 1.0f;
    camera.zfar = 3.0f;
    glm::mat4 want(0.0f);
    want[0][0] = 0.5f;
    want[1][1] = 1.0f;
    want[2][2] = -2.0f;
    want[2][3] = -1.0f;
    want[3][2] = -3.0f;
    expect_matrix_near(projection_matrix(camera), want, "perspective");
    camera.orthographic = true;
    camera.ortho_size = 4.0f;
    want = glm::mat4(0.0f);
    want[0][0] = want[1][1] = 0.25f;
    want[2][2] = -1.0f;
    want[3][2] = -2.0f;
    want[3][3] = 1.0f;
    expect_matrix_near(projection_matrix(camera), want, "orthographic");
}

}  // namespace
}  // namespace demo::scene_test
