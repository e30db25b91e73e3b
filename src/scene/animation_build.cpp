#include "scene/animation_build.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <glm/gtc/type_ptr.hpp>
#include <map>
#include <utility>

#include "base/chatter.h"
#include "scene/accessor_view.h"
#include "scene/model.h"

namespace demo {

namespace {

using Animation::AnimChannel;
using Animation::AnimSampler;
using Animation::Joint;
using Animation::ModelAnimation;
using Animation::Skeleton;

// A node's transform as its three parts and its matrix, each taken only when it has the
// right number of values; the rotation is normalised through a rotation matrix.
struct NodeTransform {
    glm::mat4 matrix{1.0f};
    bool has_matrix = false;
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};
};

NodeTransform node_transform(const tinygltf::Node& node) {
    NodeTransform t;
    if (node.matrix.size() == 16) {
        for (int i = 0; i < 16; ++i)
            glm::value_ptr(t.matrix)[i] = static_cast<float>(node.matrix[static_cast<size_t>(i)]);
        t.has_matrix = true;
    }
    if (node.translation.size() == 3) {
        t.translation = glm::vec3(node.translation[0], node.translation[1], node.translation[2]);
    }
    if (node.rotation.size() == 4) {
        const glm::quat q(
            static_cast<float>(node.rotation[3]), static_cast<float>(node.rotation[0]),
            static_cast<float>(node.rotation[1]), static_cast<float>(node.rotation[2]));
        t.rotation = glm::quat_cast(glm::mat3_cast(q));
    }
    if (node.scale.size() == 3)
        t.scale = glm::vec3(node.scale[0], node.scale[1], node.scale[2]);
    return t;
}

// Every entry of the matrix is a finite number.
bool finite(const glm::mat4& m) {
    for (int i = 0; i < 16; ++i) {
        if (!std::isfinite(glm::value_ptr(m)[i]))
            return false;
    }
    return true;
}

// Joints of the skin, the hierarchy below the first joint, and the order the update walks it.
std::shared_ptr<Skeleton> build_skeleton(const tinygltf::Model& gltf, bool usable) {
    auto skeleton = std::make_shared<Skeleton>();
    const tinygltf::Skin& skin = gltf.skins[0];
    skeleton->name = skin.name;
    // With joints or inverse bind matrices that do not fit, the skeleton has no joints.
    if (!usable)
        return skeleton;
    print_chatter("name of skeleton: %s\n", skin.name.c_str());
    const size_t count = skin.joints.size();
    skeleton->joints.resize(count);
    skeleton->joint_matrices.assign(count, glm::mat4(1.0f));
    // Without inverse bind matrices every joint's is the identity, as glTF defines; so is one
    // that holds a value that is no finite number.
    const auto matrices = skin.inverseBindMatrices == -1
                              ? std::nullopt
                              : view_accessor(gltf, skin.inverseBindMatrices, nullptr, true);
    for (size_t i = 0; i < count; ++i) {
        Joint& joint = skeleton->joints[i];
        if (matrices) {
            glm::mat4 m;
            std::memcpy(glm::value_ptr(m), matrices->data + i * 64, 64);
            if (finite(m))
                joint.inverse_bind_matrix = m;
        }
        const int node_index = skin.joints[i];
        const tinygltf::Node& node = gltf.nodes[static_cast<size_t>(node_index)];
        const NodeTransform t = node_transform(node);
        joint.name = node.name;
        joint.local_matrix = t.matrix;
        joint.local_is_identity = !t.has_matrix || t.matrix == glm::mat4(1.0f);
        joint.translation = t.translation;
        joint.rotation = t.rotation;
        joint.scale = t.scale;
        skeleton->node_to_joint[node_index] = static_cast<int32_t>(i);
    }
    if (count == 0)
        return skeleton;
    // Depth first from the first joint's node, through children that are joints. A joint
    // met again (a node that is its own ancestor, or one with two parents) is not re-entered.
    std::vector<bool> placed(count, false);
    const int32_t root = skeleton->node_to_joint[skin.joints[0]];
    placed[static_cast<size_t>(root)] = true;
    skeleton->joints[static_cast<size_t>(root)].parent = -1;
    std::vector<std::pair<int32_t, int32_t>> stack{{skin.joints[0], root}};  // node, joint
    while (!stack.empty()) {
        const auto [node_index, joint_index] = stack.back();
        stack.pop_back();
        skeleton->walk_order.push_back(joint_index);
        Joint& joint = skeleton->joints[static_cast<size_t>(joint_index)];
        std::vector<std::pair<int32_t, int32_t>> entered;
        for (int child : gltf.nodes[static_cast<size_t>(node_index)].children) {
            auto it = skeleton->node_to_joint.find(child);
            if (it == skeleton->node_to_joint.end() || placed[static_cast<size_t>(it->second)])
                continue;
            placed[static_cast<size_t>(it->second)] = true;
            skeleton->joints[static_cast<size_t>(it->second)].parent = joint_index;
            joint.children.push_back(it->second);
            entered.emplace_back(child, it->second);
        }
        // Children are visited in order: push them last first.
        stack.insert(stack.end(), entered.rbegin(), entered.rend());
    }
    return skeleton;
}

AnimSampler build_sampler(const tinygltf::Model& gltf, const tinygltf::AnimationSampler& source,
                          bool usable) {
    AnimSampler sampler;
    if (source.interpolation == "STEP")
        sampler.interpolation = Animation::kStep;
    else if (source.interpolation == "CUBICSPLINE")
        sampler.interpolation = Animation::kCubicSpline;
    if (!usable)
        return sampler;
    const auto input = view_accessor(gltf, source.input);
    if (input && input->component_type == TINYGLTF_COMPONENT_TYPE_FLOAT) {
        sampler.times.resize(input->count);
        for (uint64_t k = 0; k < input->count; ++k) {
            sampler.times[k] = input->normalized_component(k, 0);
            if (!(sampler.times[k] >= (k > 0 ? sampler.times[k - 1] : sampler.times[k])))
                sampler.sorted = false;  // also false for NaN
        }
    }
    const auto output = view_accessor(gltf, source.output);
    if (output && (output->components == 3 || output->components == 4)) {
        sampler.values.resize(output->count, glm::vec4(0.0f));
        for (uint64_t k = 0; k < output->count; ++k) {
            for (int c = 0; c < output->components; ++c)
                sampler.values[k][c] = output->normalized_component(k, c);
        }
    } else {
        std::fprintf(stderr, "Kapot\n");
    }
    return sampler;
}

AnimChannel build_channel(const tinygltf::AnimationChannel& source, bool usable,
                          const Skeleton* skeleton) {
    AnimChannel channel;
    channel.sampler = source.sampler;
    channel.target_node = source.target_node;
    if (source.target_path == "translation") {
        channel.path = Animation::kTranslation;
    } else if (source.target_path == "rotation") {
        channel.path = Animation::kRotation;
    } else if (source.target_path == "scale") {
        channel.path = Animation::kScale;
    } else {
        std::fprintf(stderr, "Boem kapot: path not supported\n");
    }
    if (!usable)
        channel.path = Animation::kNoPath;
    if (skeleton != nullptr) {
        auto it = skeleton->node_to_joint.find(channel.target_node);
        if (it != skeleton->node_to_joint.end())
            channel.joint = it->second;
    }
    return channel;
}

// One state per (node, animation) pair that a usable channel targets, in channel order.
void build_node_states(Model& model) {
    const tinygltf::Model& gltf = model.gltf;
    std::map<std::pair<int32_t, int32_t>, size_t> index;  // (node, animation) -> state
    for (size_t a = 0; a < gltf.animations.size(); ++a) {
        const auto& channels = gltf.animations[a].channels;
        for (size_t c = 0; c < channels.size(); ++c) {
            if (!model.check.channel_ok[a][c])
                continue;
            const int32_t node = channels[c].target_node;
            const auto key = std::make_pair(node, static_cast<int32_t>(a));
            auto it = index.find(key);
            if (it == index.end()) {
                NodeAnimState state;
                state.node = node;
                state.animation = static_cast<int32_t>(a);
                const NodeTransform t = node_transform(gltf.nodes[static_cast<size_t>(node)]);
                state.matrix = t.matrix;
                state.translation = t.translation;
                state.rotation = t.rotation;
                state.scale = t.scale;
                it = index.emplace(key, model.node_anim_states.size()).first;
                model.node_anim_states.push_back(std::move(state));
            }
            model.node_anim_states[it->second].channels.push_back(static_cast<int32_t>(c));
        }
    }
}

}  // namespace

void build_animations(Model& model) {
    const tinygltf::Model& gltf = model.gltf;
    model.animations = std::make_shared<Animation::Animations>();
    model.skeleton.reset();
    model.node_anim_states.clear();
    if (gltf.skins.empty())
        build_node_states(model);
    else
        model.skeleton = build_skeleton(gltf, model.check.skin_ok);

    for (size_t a = 0; a < gltf.animations.size(); ++a) {
        const tinygltf::Animation& source = gltf.animations[a];
        print_chatter("name of animation: %s\n", source.name.c_str());
        auto animation = std::make_shared<ModelAnimation>();
        animation->name = source.name;
        for (size_t s = 0; s < source.samplers.size(); ++s) {
            animation->samplers.push_back(
                build_sampler(gltf, source.samplers[s], model.check.sampler_ok[a][s]));
        }
        if (!animation->samplers.empty() && animation->samplers[0].times.size() >= 2) {
            animation->start_time = animation->samplers[0].times.front();
            animation->end_time = animation->samplers[0].times.back();
        }
        for (size_t c = 0; c < source.channels.size(); ++c) {
            animation->channels.push_back(build_channel(
                source.channels[c], model.check.channel_ok[a][c], model.skeleton.get()));
        }
        model.animations->by_name[animation->name] = animation;
        model.animations->index_by_name[animation->name] =
            static_cast<int32_t>(model.animations->list.size());
        model.animations->list.push_back(animation);
    }
    model.has_animations = !model.animations->by_name.empty();
    model.animated_nodes.assign(gltf.nodes.size(), false);
    model.node_anim_matrices.assign(gltf.nodes.size(), glm::mat4(0.0f));
}

}  // namespace demo
