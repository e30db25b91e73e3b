#include "scene/camera.h"

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

#include "serialization/json_fields.h"
#include "serialization/primitives.h"

namespace demo {

namespace {

// One of the three vectors of the JSON form; entries that are not numbers read 0.
glm::vec3 vec3_from_json(const Json& object, const char* key) {
    glm::vec3 v(0.0f);
    if (!object.is_object() || !object.contains(key) || !object[key].is_array())
        return v;
    const Json& array = object[key];
    for (size_t i = 0; i < 3 && i < array.size(); ++i) {
        if (array[i].is_number())
            v[static_cast<int>(i)] = array[i].get<float>();
    }
    return v;
}

Json vec3_to_json(const glm::vec3& v) {
    return Json::array({v.x, v.y, v.z});
}

void write_vec3(OutputStream& out, const glm::vec3& v) {
    write_f32(out, v.x);
    write_f32(out, v.y);
    write_f32(out, v.z);
}

glm::vec3 read_vec3(InputStream& in, const char* what) {
    glm::vec3 v;
    v.x = read_f32(in, what);
    v.y = read_f32(in, what);
    v.z = read_f32(in, what);
    return v;
}

// Squared length below which a vector has no usable direction.
constexpr float kTinyLengthSquared = 1e-20f;

}  // namespace

Json Camera::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["position"] = vec3_to_json(position);
    value["direction"] = vec3_to_json(direction);
    value["up"] = vec3_to_json(up);
    value["aspect"] = aspect;
    value["fov"] = fov;
    value["znear"] = znear;
    value["zfar"] = zfar;
    value["direction_mode"] = direction_mode;
    return value;
}

void Camera::write_binary(OutputStream& out) const {
    write_vec3(out, position);
    write_vec3(out, direction);
    write_vec3(out, up);
    write_f32(out, aspect);
    write_f32(out, fov);
    write_f32(out, znear);
    write_f32(out, zfar);
    write_bool(out, direction_mode);
}

void Camera::from_json(const Json& value) {
    position = vec3_from_json(value, "position");
    direction = vec3_from_json(value, "direction");
    up = vec3_from_json(value, "up");
    aspect = json_float(value, "aspect");
    fov = json_float(value, "fov");
    znear = json_float(value, "znear");
    zfar = json_float(value, "zfar");
    direction_mode = json_bool(value, "direction_mode", false);
    orthographic = false;
    ortho_size = 100.0f;
}

void Camera::read_binary(InputStream& in) {
    position = read_vec3(in, "a camera position");
    direction = read_vec3(in, "a camera direction");
    up = read_vec3(in, "a camera up vector");
    aspect = read_f32(in, "a camera aspect");
    fov = read_f32(in, "a camera field of view");
    znear = read_f32(in, "a camera near plane");
    zfar = read_f32(in, "a camera far plane");
    direction_mode = read_bool(in, "a camera direction mode");
    orthographic = false;
    ortho_size = 100.0f;
}

glm::mat4 view_matrix(const Camera& camera) {
    const glm::vec3 eye = camera.position;
    glm::vec3 forward = camera.direction_mode ? camera.direction : camera.direction - eye;
    // Nothing to aim along: look down -z rather than produce a matrix of NaNs that blanks
    // every pixel drawn with it.
    if (glm::dot(forward, forward) < kTinyLengthSquared)
        forward = glm::vec3(0.0f, 0.0f, -1.0f);
    const glm::vec3 f = glm::normalize(forward);
    glm::vec3 side = glm::cross(f, camera.up);
    // A light aimed straight down with the usual up (0, 1, 0) is the common case.
    if (glm::dot(side, side) < kTinyLengthSquared)
        side = glm::cross(f, glm::vec3(0.0f, 0.0f, -1.0f));
    if (glm::dot(side, side) < kTinyLengthSquared)  // no up vector at all, looking along z
        side = glm::cross(f, glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::vec3 s = glm::normalize(side);
    const glm::vec3 u = glm::cross(s, f);
    glm::mat4 m(1.0f);
    for (int i = 0; i < 3; ++i) {
        m[i][0] = s[i];
        m[i][1] = u[i];
        m[i][2] = -f[i];
    }
    m[3][0] = -glm::dot(s, eye);
    m[3][1] = -glm::dot(u, eye);
    m[3][2] = glm::dot(f, eye);
    return m;
}

glm::mat4 projection_matrix(const Camera& camera) {
    if (camera.orthographic) {
        const float s = camera.ortho_size;
        return glm::ortho(-s, s, -s, s, camera.znear, camera.zfar);
    }
    const float t = std::tan(camera.fov * 0.017453292f * 0.5f);
    glm::mat4 m(0.0f);
    m[0][0] = 1.0f / (t * camera.aspect);
    m[1][1] = 1.0f / t;
    m[2][2] = -(camera.zfar + camera.znear) / (camera.zfar - camera.znear);
    m[2][3] = -1.0f;
    m[3][2] = -(2.0f * camera.zfar * camera.znear) / (camera.zfar - camera.znear);
    return m;
}

}  // namespace demo
