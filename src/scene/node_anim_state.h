// Node animation of models without a skin: one state per (node, animation) pair that an
// animation targets, sampled into `node_anim_matrices` in place of the node's own transform.
#pragma once

#include <cstdint>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <vector>

#include "scene/model_animation.h"

namespace demo {

class Model;

struct NodeAnimState {
    int32_t node = 0;
    int32_t animation = 0;
    glm::mat4 matrix{1.0f};  // the node's own "matrix", or identity
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};
    std::vector<int32_t> channels;  // the animation's channels that target `node`
};

// translation x rotation x scale x matrix of the state.
glm::mat4 compose(const NodeAnimState& state);

// One frame of node animation: every animation whose bit is set in `mask` is sampled into its
// states, and their nodes take the composed matrices. A mask of no known animation animates
// nothing, so every node shows its own transform.
void animate_nodes(Model& model, int64_t mask, float t);

}  // namespace demo
