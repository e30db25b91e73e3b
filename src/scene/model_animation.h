// A model's glTF animations in the compact form they are sampled in every frame, and the
// sampling itself: key search, step, linear and cubic-spline interpolation, and the slerp.
#pragma once

#include <cstdint>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scene/skeleton.h"

namespace demo::Animation {

enum Interpolation : int32_t { kLinear = 0, kStep = 1, kCubicSpline = 2 };
enum Path : int32_t { kNoPath = -1, kTranslation = 0, kRotation = 1, kScale = 2 };

struct AnimSampler {
    std::vector<float> times;
    // x, y, z, 0 for vectors; x, y, z, w for quaternions. A cubic spline has three per key:
    // in-tangent, value, out-tangent.
    std::vector<glm::vec4> values;
    int32_t interpolation = kLinear;
    bool sorted = true;  // times ascend: the key search may bisect
};

struct AnimChannel {
    int32_t path = kNoPath;  // kNoPath: ignored
    int32_t sampler = 0;
    int32_t target_node = 0;
    int32_t joint = -1;  // the skin's joint for the target node, or -1
};

struct ModelAnimation {
    std::vector<AnimSampler> samplers;
    std::vector<AnimChannel> channels;
    std::string name;
    float start_time = 0.0f;
    float end_time = 0.0f;
    float current_time = 0.0f;
};

struct Animations {
    std::map<std::string, std::shared_ptr<ModelAnimation>> by_name;
    std::vector<std::shared_ptr<ModelAnimation>> list;
    ModelAnimation* current = nullptr;
    std::map<std::string, int32_t> index_by_name;
};

// Spherical interpolation of quaternions (x, y, z, w) by f, along the shorter arc; nearly
// equal quaternions are blended linearly.
glm::vec4 slerp(glm::vec4 a, glm::vec4 b, float f);

// The animation's own time for a normalised time t: frac(t) across start to end time.
float local_time(const ModelAnimation& animation, float t);

// Applies one channel at `time` to a transform. A time outside every key interval leaves the
// transform unchanged; on a key time shared by two intervals the later one counts; a sampler
// of one key holds that key's value at every time.
void apply_channel(const ModelAnimation& animation, const AnimChannel& channel, float time,
                   glm::vec3& translation, glm::quat& rotation, glm::vec3& scale);

// Samples animation `index` (wrapped into the list, negatives included) at normalised time t
// into the skeleton's joints, and makes it the current one.
void sample_skinned(Animations& animations, int32_t index, float t, Skeleton& skeleton);

}  // namespace demo::Animation
