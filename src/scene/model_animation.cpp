#include "scene/model_animation.h"

#include <algorithm>
#include <cmath>

namespace demo::Animation {

namespace {

glm::quat to_quat(const glm::vec4& v) {
    return glm::quat(v.w, v.x, v.y, v.z);
}

// Index of the last key interval [times[k], times[k+1]] holding `time`, or -1 (also when
// there are fewer than two keys).
int64_t find_interval(const AnimSampler& sampler, float time) {
    const auto& times = sampler.times;
    const int64_t last = static_cast<int64_t>(times.size()) - 2;
    if (sampler.sorted) {
        const int64_t above = std::upper_bound(times.begin(), times.end(), time) - times.begin();
        const int64_t k = std::min(above - 1, last);
        if (k >= 0 && times[static_cast<size_t>(k)] <= time &&
            time <= times[static_cast<size_t>(k + 1)]) {
            return k;
        }
        return -1;
    }
    for (int64_t k = last; k >= 0; --k) {
        if (times[static_cast<size_t>(k)] <= time && time <= times[static_cast<size_t>(k + 1)])
            return k;
    }
    return -1;
}

// Number of stored values per key: a cubic spline keeps in-tangent, value and out-tangent.
size_t values_per_key(const AnimSampler& sampler) {
    return sampler.interpolation == kCubicSpline ? 3 : 1;
}

// glTF's cubic Hermite spline from key k to key k + 1 at fraction f of the interval, with the
// tangents scaled by its length in seconds. `key` points at key k's three values.
glm::vec4 cubic_spline(const glm::vec4* key, float f, float span) {
    const float f2 = f * f;
    const float f3 = f2 * f;
    const glm::vec4& value0 = key[1];
    const glm::vec4& out0 = key[2];
    const glm::vec4& in1 = key[3];
    const glm::vec4& value1 = key[4];
    return (2.0f * f3 - 3.0f * f2 + 1.0f) * value0 + span * (f3 - 2.0f * f2 + f) * out0 +
           (-2.0f * f3 + 3.0f * f2) * value1 + span * (f3 - f2) * in1;
}

// Writes a sampled value into the channel's target. A rotation that is not a step key is
// normalised; one of length 0 becomes the identity.
void set_target(int32_t path, glm::vec4 value, bool normalise, glm::vec3& translation,
                glm::quat& rotation, glm::vec3& scale) {
    if (path != kRotation) {
        (path == kTranslation ? translation : scale) = glm::vec3(value);
        return;
    }
    if (normalise) {
        const float length = glm::length(value);
        value = length > 0.0f ? value / length : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    }
    rotation = to_quat(value);
}

}  // namespace

glm::vec4 slerp(glm::vec4 a, glm::vec4 b, float f) {
    float d = glm::dot(a, b);
    if (d < 0.0f) {
        b = -b;
        d = -d;
    }
    if (d > 0.9999999f)
        return a * (1.0f - f) + b * f;
    const float theta = std::acos(d);
    return (std::sin((1.0f - f) * theta) * a + std::sin(f * theta) * b) / std::sin(theta);
}

float local_time(const ModelAnimation& animation, float t) {
    const float frac = t - std::floor(t);
    return frac * (animation.end_time - animation.start_time) + animation.start_time;
}

void apply_channel(const ModelAnimation& animation, const AnimChannel& channel, float time,
                   glm::vec3& translation, glm::quat& rotation, glm::vec3& scale) {
    if (channel.path == kNoPath || channel.sampler < 0 ||
        static_cast<size_t>(channel.sampler) >= animation.samplers.size()) {
        return;
    }
    const AnimSampler& sampler = animation.samplers[static_cast<size_t>(channel.sampler)];
    const size_t per_key = values_per_key(sampler);
    // One key holds its value for all time.
    if (sampler.times.size() == 1 && sampler.values.size() >= per_key) {
        set_target(channel.path, sampler.values[per_key / 2], sampler.interpolation != kStep,
                   translation, rotation, scale);
        return;
    }
    const int64_t k = find_interval(sampler, time);
    if (k < 0 || (static_cast<size_t>(k) + 2) * per_key > sampler.values.size())
        return;
    const auto key = static_cast<size_t>(k);
    const glm::vec4& v0 = sampler.values[key];
    if (sampler.interpolation == kStep) {
        if (channel.path == kRotation)
            rotation = to_quat(v0);
        else
            (channel.path == kTranslation ? translation : scale) = glm::vec3(v0);
        return;
    }
    const float t0 = sampler.times[key];
    const float t1 = sampler.times[key + 1];
    // Two keys at one time: the later key holds from that time on.
    const float f = t1 > t0 ? (time - t0) / (t1 - t0) : 1.0f;
    glm::vec4 value;
    if (sampler.interpolation == kCubicSpline)
        value = cubic_spline(&sampler.values[key * 3], f, t1 - t0);
    else if (channel.path == kRotation)
        value = slerp(v0, sampler.values[key + 1], f);
    else
        value = v0 * (1.0f - f) + sampler.values[key + 1] * f;
    set_target(channel.path, value, true, translation, rotation, scale);
}

void sample_skinned(Animations& animations, int32_t index, float t, Skeleton& skeleton) {
    if (animations.list.empty())
        return;
    const auto size = static_cast<int64_t>(animations.list.size());
    const int64_t wrapped = ((static_cast<int64_t>(index) % size) + size) % size;
    ModelAnimation& animation = *animations.list[static_cast<size_t>(wrapped)];
    animations.current = &animation;
    animation.current_time = local_time(animation, t);
    for (const AnimChannel& channel : animation.channels) {
        if (channel.joint < 0 || static_cast<size_t>(channel.joint) >= skeleton.joints.size())
            continue;
        Joint& joint = skeleton.joints[static_cast<size_t>(channel.joint)];
        apply_channel(animation, channel, animation.current_time, joint.translation, joint.rotation,
                      joint.scale);
    }
}

}  // namespace demo::Animation
