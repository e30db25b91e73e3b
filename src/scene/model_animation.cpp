#include "scene/model_animation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace demo::Animation {

namespace {

glm::quat to_quat(const glm::vec4& v) {
    return glm::quat(v.w, v.x, v.y, v.z);
}

// Index of the last key interval [times[k], times[k+1]] holding `time`, or -1.
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

// Cubic splines are not interpolated; say so for every key interval that holds the time.
void report_cubic_spline(const AnimSampler& sampler, float time) {
    for (size_t k = 0; k + 1 < sampler.times.size(); ++k) {
        if (sampler.times[k] <= time && time <= sampler.times[k + 1])
            std::fprintf(stderr, "cubicspline not supported\n");
    }
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
    if (sampler.times.size() < 2)
        return;
    if (sampler.interpolation == kCubicSpline) {
        report_cubic_spline(sampler, time);
        return;
    }
    const int64_t k = find_interval(sampler, time);
    if (k < 0 || static_cast<size_t>(k + 1) >= sampler.values.size())
        return;
    const glm::vec4& v0 = sampler.values[static_cast<size_t>(k)];
    const glm::vec4& v1 = sampler.values[static_cast<size_t>(k + 1)];
    if (sampler.interpolation == kStep) {
        if (channel.path == kRotation)
            rotation = to_quat(v0);
        else
            (channel.path == kTranslation ? translation : scale) = glm::vec3(v0);
        return;
    }
    const float t0 = sampler.times[static_cast<size_t>(k)];
    const float t1 = sampler.times[static_cast<size_t>(k + 1)];
    // Two keys at one time: the later key holds from that time on.
    const float f = t1 > t0 ? (time - t0) / (t1 - t0) : 1.0f;
    if (channel.path == kRotation) {
        glm::vec4 q = slerp(v0, v1, f);
        const float length = glm::length(q);
        q = length > 0.0f ? q / length : glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        rotation = to_quat(q);
    } else {
        const glm::vec3 value = glm::vec3(v0) * (1.0f - f) + glm::vec3(v1) * f;
        (channel.path == kTranslation ? translation : scale) = value;
    }
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
