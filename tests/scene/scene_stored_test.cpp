// The camera's stored form, which camera a scene draws with, and the view and projection
// matrices against their formulas.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <glm/gtc/matrix_transform.hpp>

#include "scene/scene.h"
#include "scene_assets.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace demo::scene_test {
namespace {

float f32_at(const std::vector<uint8_t>& bytes, size_t offset) {
    float value;
    std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

TEST(CameraRecord, IsFiftyThreeBytesInFieldOrder) {
    Camera camera;
    camera.position = {1, 2, 3};
    camera.direction = {4, 5, 6};
    camera.up = {7, 8, 9};
    camera.aspect = 10;
    camera.fov = 11;
    camera.znear = 12;
    camera.zfar = 13;
    camera.direction_mode = true;
    camera.orthographic = true;
    camera.ortho_size = 5;
    std::vector<uint8_t> bytes;
    OutputStream out(bytes);
    camera.write_binary(out);
    ASSERT_EQ(bytes.size(), 53u);
    for (size_t i = 0; i < 13; ++i)
        EXPECT_EQ(f32_at(bytes, 4 * i), static_cast<float>(i + 1)) << "float " << i;
    EXPECT_EQ(bytes[52], 1);
    InputStream in(bytes.data(), bytes.size());
    const Camera back(in);
    EXPECT_FALSE(back.orthographic);
    EXPECT_EQ(back.ortho_size, 100.0f);
    EXPECT_EQ(back.zfar, 13.0f);
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

void expect_matrix_near(const glm::mat4& got, const glm::mat4& want, const char* what) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            ASSERT_TRUE(std::isfinite(got[c][r])) << what;
            EXPECT_NEAR(got[c][r], want[c][r], 1e-5f) << what << " [" << c << "][" << r << "]";
        }
    }
}

TEST(CameraMatrices, ViewsMatchLookAtAndNeverTurnNaN) {
    Camera camera;
    camera.position = {1, 2, 3};
    camera.direction = {0, 0, -5};
    camera.direction_mode = true;
    const glm::mat4 along = glm::lookAt(glm::vec3(1, 2, 3), glm::vec3(1, 2, 2), glm::vec3(0, 1, 0));
    expect_matrix_near(view_matrix(camera), along, "direction mode");
    camera.direction = {0, 0, -0.01f};
    expect_matrix_near(view_matrix(camera), along, "direction length does not count");
    camera.direction = {0, 0, 0};
    expect_matrix_near(view_matrix(camera), along, "zero direction looks along -z");
    camera.direction_mode = false;
    camera.direction = {1, 2, 3};
    expect_matrix_near(view_matrix(camera), along, "target equal to the eye");
    camera.direction = {1, -5, 3};  // straight down, up (0, 1, 0)
    expect_matrix_near(view_matrix(camera),
                       glm::lookAt(glm::vec3(1, 2, 3), glm::vec3(1, -5, 3), glm::vec3(0, 0, -1)),
                       "parallel up");
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
