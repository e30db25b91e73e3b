// The skeleton of a skinned model: the first skin's joints with their own local transforms,
// which the selected animation writes and `update_skeleton` turns into joint matrices.
#pragma once

#include <cstdint>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <map>
#include <string>
#include <vector>

namespace demo::Animation {

struct Joint {
    std::string name;
    glm::mat4 local_matrix{1.0f};
    glm::mat4 inverse_bind_matrix{1.0f};
    glm::vec3 translation{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};  // w, x, y, z: the identity
    glm::vec3 scale{1.0f};
    int32_t parent = -1;
    std::vector<int32_t> children;
    bool local_is_identity = true;  // lets the update skip one product per joint
};

struct Skeleton {
    std::string name;
    std::vector<Joint> joints;
    std::map<int32_t, int32_t> node_to_joint;  // glTF node -> joint
    std::vector<glm::mat4> joint_matrices;     // output of the last update
    // Joints of the first joint's subtree, parents before children: the order the update
    // walks in, worked out once when the hierarchy is built.
    std::vector<int32_t> walk_order;
};

// T(translation) x R(rotation) x S(scale) in one step.
glm::mat4 trs_matrix(const glm::vec3& translation, const glm::quat& rotation,
                     const glm::vec3& scale);

// Joint matrices from the joints: local transform, times the parent's along the hierarchy of
// the first joint, times the inverse bind matrix.
void update_skeleton(Skeleton& skeleton);

}  // namespace demo::Animation
