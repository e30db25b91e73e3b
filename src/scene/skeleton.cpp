#include "scene/skeleton.h"

namespace demo::Animation {

glm::mat4 trs_matrix(const glm::vec3& translation, const glm::quat& rotation,
                     const glm::vec3& scale) {
    const glm::mat3 r = glm::mat3_cast(rotation);
    glm::mat4 m(1.0f);
    m[0] = glm::vec4(r[0] * scale.x, 0.0f);
    m[1] = glm::vec4(r[1] * scale.y, 0.0f);
    m[2] = glm::vec4(r[2] * scale.z, 0.0f);
    m[3] = glm::vec4(translation, 1.0f);
    return m;
}

void update_skeleton(Skeleton& skeleton) {
    const size_t count = skeleton.joints.size();
    skeleton.joint_matrices.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const Joint& joint = skeleton.joints[i];
        glm::mat4 m = trs_matrix(joint.translation, joint.rotation, joint.scale);
        if (!joint.local_is_identity)
            m *= joint.local_matrix;
        skeleton.joint_matrices[i] = m;
    }
    // Parents come before their children in the walk order, so each parent's matrix is
    // complete when its children take it.
    for (int32_t i : skeleton.walk_order) {
        const int32_t parent = skeleton.joints[static_cast<size_t>(i)].parent;
        if (parent != -1) {
            skeleton.joint_matrices[static_cast<size_t>(i)] =
                skeleton.joint_matrices[static_cast<size_t>(parent)] *
                skeleton.joint_matrices[static_cast<size_t>(i)];
        }
    }
    for (size_t i = 0; i < count; ++i)
        skeleton.joint_matrices[i] *= skeleton.joints[i].inverse_bind_matrix;
}

}  // namespace demo::Animation
