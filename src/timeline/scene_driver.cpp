#include "timeline/scene_driver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "render/effect.h"
#include "scene/model.h"
#include "scene/scene.h"
#include "timeline/event.h"
#include "timeline/track_evaluation.h"

namespace demo {

namespace {

// Camera tracks in component order: position x, y, z, direction x, y, z, up x, y, z.
constexpr std::array<const char*, 9> kCameraTracks = {
    "camera_position_x",  "camera_position_y",  "camera_position_z",
    "camera_direction_x", "camera_direction_y", "camera_direction_z",
    "camera_up_x",        "camera_up_y",        "camera_up_z"};

constexpr std::array<const char*, 3> kLightTracks = {"ldX", "ldY", "ldZ"};
constexpr const char* kLightDistanceTrack = "ldD";

// Animation tracks: the clip index, the position within the clip, the divider of its times,
// and its start and end.
constexpr std::array<const char*, 5> kAnimationTracks = {"animation_index", "animation_position",
                                                         "animation_divider", "animation_start",
                                                         "animation_end"};

// The value of the named track when the event has it; `fallback` otherwise.
float track_or(const Event& event, const char* name, float beat, float fallback) {
    const ControlTrack* track = event.find_track(name);
    return track == nullptr ? fallback : event.evaluate_value(track, beat);
}

void drive_camera(const Event& event, float beat, Camera& camera) {
    glm::vec3* vectors[3] = {&camera.position, &camera.direction, &camera.up};
    for (size_t i = 0; i < kCameraTracks.size(); ++i) {
        if (const ControlTrack* track = event.find_track(kCameraTracks[i]))
            (*vectors[i / 3])[static_cast<int>(i % 3)] = event.evaluate_value(track, beat);
    }
}

// The light sits at the camera plus D times the "ld" direction and looks at the camera; D is
// also the half extent of its box.
void drive_light(const Event& event, float beat, const glm::vec3& eye, Camera& light) {
    const float distance = track_or(event, kLightDistanceTrack, beat, 50.0f);
    light.ortho_size = distance;
    light.znear = 0.01f;
    for (size_t a = 0; a < kLightTracks.size(); ++a) {
        if (const ControlTrack* track = event.find_track(kLightTracks[a])) {
            const int axis = static_cast<int>(a);
            light.position[axis] = event.evaluate_value(track, beat) * distance + eye[axis];
            light.direction[axis] = eye[axis];
        }
    }
}

void drive_animation(const Event& event, float beat, Model& model) {
    const auto track = [&](size_t i, float fallback) {
        return track_or(event, kAnimationTracks[i], beat, fallback);
    };
    const int32_t index = truncate_to_int(track(0, 0.0f));
    const float position = track(1, 0.0f);
    const float divider = track(2, 1.0f);
    const float start = track(3, 0.0f);
    const float end = track(4, 1.0f);
    const float time =
        std::fmod(position, 1.0f) * (end / divider - start / divider) + start / divider;
    if (model.skeleton && !model.skeleton->joints.empty()) {
        Animation::sample_skinned(*model.animations, index, time, *model.skeleton);
        Animation::update_skeleton(*model.skeleton);
    } else {
        animate_nodes(model, index, time);
    }
}

}  // namespace

bool is_builtin_track(std::string_view name) {
    const auto named = [name](const auto& list) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    return named(kCameraTracks) || named(kLightTracks) || name == kLightDistanceTrack ||
           named(kAnimationTracks);
}

void drive_scene(Event& event, float beat) {
    if (event.effect.object == nullptr || event.effect.object->scene.object == nullptr)
        return;
    Scene& scene = *event.effect.object->scene.object;
    // The light follows the camera the scene is seen through. A scene that borrows its camera
    // leaves steering it to the scene that owns it; one with no camera at all draws no visible
    // pass, and its light follows the origin.
    glm::vec3 eye(0.0f);
    if (scene.camera) {
        drive_camera(event, beat, *scene.camera);
        eye = scene.camera->position;
    } else if (scene.camera_scene.object != nullptr && scene.camera_scene.object->camera) {
        eye = scene.camera_scene.object->camera->position;
    }
    drive_light(event, beat, eye, *scene.light_camera);
    Model* model = scene.root_node ? scene.root_node->model.object : nullptr;
    if (model != nullptr && model->has_animations && model->animations)
        drive_animation(event, beat, *model);
}

}  // namespace demo
