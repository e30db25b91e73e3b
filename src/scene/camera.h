// A viewpoint on a scene: where the eye is, where it looks, and how it projects.
#pragma once

#include <glm/glm.hpp>

#include "serialization/serializable.h"

namespace demo {

class Camera : public ISerializable {
public:
    glm::vec3 position{0.0f};
    glm::vec3 direction{0.0f};  // a direction with `direction_mode`, else the point looked at
    glm::vec3 up{0.0f, 1.0f, 0.0f};
    float aspect = 1.0f;
    float fov = 90.0f;  // vertical, in degrees
    float znear = 0.1f;
    float zfar = 100.0f;
    bool direction_mode = false;
    bool orthographic = false;  // not stored: only the light camera projects this way
    float ortho_size = 100.0f;  // not stored: half extent of the orthographic box

    Camera() = default;
    explicit Camera(InputStream& in) { read_binary(in); }
    explicit Camera(const Json& value) { from_json(value); }

    // All eight keys: "position", "direction", "up", "aspect", "fov", "znear", "zfar",
    // "direction_mode".
    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    // A missing key, a null or a non-number reads 0; a non-boolean mode reads false.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

// Right-handed look-at view. A zero-length direction looks along -z, and a direction parallel
// to `up` takes (0, 0, -1) as up instead, so a camera aimed straight down still sees.
glm::mat4 view_matrix(const Camera& camera);

// Perspective (from `fov`, `aspect`) or orthographic (from `ortho_size`) projection with clip
// depth -1 to 1.
glm::mat4 projection_matrix(const Camera& camera);

}  // namespace demo
