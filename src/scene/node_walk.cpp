#include "scene/node_walk.h"

#include <algorithm>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "scene/model.h"

namespace demo {

NodeMatrices node_matrices(const glm::mat4& world, const glm::mat4& view,
                           const glm::mat4& projection, const glm::mat4& light_view_projection) {
    const glm::mat4 model_view = view * world;
    return {projection * model_view, model_view, glm::transpose(glm::inverse(world)), world,
            light_view_projection * world};
}

NodeExtras read_node_extras(const tinygltf::Node& node) {
    NodeExtras extras;
    if (!node.extras.IsObject())
        return extras;
    const tinygltf::Value& shadow = node.extras.Get("ignore_shadow");
    extras.ignore_shadow = shadow.IsBool() && shadow.Get<bool>();
    if (node.extras.Has("render_pass")) {
        const tinygltf::Value& pass = node.extras.Get("render_pass");
        extras.render_pass = pass.IsInt() ? pass.Get<int>() : 0;
    }
    const tinygltf::Value& tag = node.extras.Get("tag");
    extras.tag = tag.IsInt() ? tag.Get<int>() : 0;
    return extras;
}

glm::mat4 node_local_matrix(const tinygltf::Node& node) {
    glm::mat4 m(1.0f);
    if (node.matrix.size() == 16) {
        for (int i = 0; i < 16; ++i)
            glm::value_ptr(m)[i] = static_cast<float>(node.matrix[static_cast<size_t>(i)]);
        return m;
    }
    if (node.translation.size() == 3) {
        m = glm::translate(
            m, glm::vec3(node.translation[0], node.translation[1], node.translation[2]));
    }
    if (node.rotation.size() == 4) {
        m *= glm::mat4_cast(
            glm::quat(static_cast<float>(node.rotation[3]), static_cast<float>(node.rotation[0]),
                      static_cast<float>(node.rotation[1]), static_cast<float>(node.rotation[2])));
    }
    if (node.scale.size() == 3)
        m = glm::scale(m, glm::vec3(node.scale[0], node.scale[1], node.scale[2]));
    return m;
}

void prepare_node_walk(Model& model) {
    const auto& nodes = model.gltf.nodes;
    model.node_local_matrices.resize(nodes.size());
    model.node_extras.resize(nodes.size());
    for (size_t n = 0; n < nodes.size(); ++n) {
        model.node_local_matrices[n] = node_local_matrix(nodes[n]);
        model.node_extras[n] = read_node_extras(nodes[n]);
    }
}

int32_t walk_nodes(const Model& model, std::vector<NodeDraw>& draws) {
    draws.clear();
    const tinygltf::Model& gltf = model.gltf;
    const int scene = gltf.defaultScene;
    if (scene < 0 || static_cast<size_t>(scene) >= gltf.scenes.size())
        return 1;
    const size_t count = gltf.nodes.size();
    if (model.node_local_matrices.size() != count || model.node_extras.size() != count)
        return 1;
    int32_t highest_pass = 1;
    std::vector<bool> entered(count, false);
    struct Visit {
        int node;
        glm::mat4 parent;
    };
    std::vector<Visit> stack;
    const auto& roots = gltf.scenes[static_cast<size_t>(scene)].nodes;
    for (auto root = roots.rbegin(); root != roots.rend(); ++root)
        stack.push_back({*root, glm::mat4(1.0f)});
    while (!stack.empty()) {
        const Visit visit = stack.back();
        stack.pop_back();
        if (visit.node < 0 || static_cast<size_t>(visit.node) >= count)
            continue;
        const auto n = static_cast<size_t>(visit.node);
        if (entered[n])
            continue;
        entered[n] = true;
        // An animated node's matrix replaces its own transform; its parents still apply.
        const glm::mat4 world =
            visit.parent * (n < model.animated_nodes.size() && model.animated_nodes[n]
                                ? model.node_anim_matrices[n]
                                : model.node_local_matrices[n]);
        const NodeExtras& extras = model.node_extras[n];
        highest_pass = std::max(highest_pass, extras.render_pass);
        const int mesh = gltf.nodes[n].mesh;
        if (mesh >= 0 && static_cast<size_t>(mesh) < gltf.meshes.size())
            draws.push_back({visit.node, mesh, world, extras});
        const auto& children = gltf.nodes[n].children;
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, world});
    }
    return highest_pass;
}

}  // namespace demo
