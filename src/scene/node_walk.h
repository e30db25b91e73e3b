// The walk over a model's glTF node tree that places every mesh in the world: world matrices
// from the nodes' transforms (or their animated matrices), and the render pass, tag and
// shadow flag of each node from its extras. No GL here; the scene render draws what it finds.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <glm/glm.hpp>
#include <vector>

namespace demo {

class Model;

// The three keys a node's "extras" object may hold, with their defaults.
struct NodeExtras {
    bool ignore_shadow = false;
    int32_t render_pass = 1;
    int32_t tag = 0;
};

// A node met by the walk that has a mesh to draw.
struct NodeDraw {
    int32_t node = 0;
    int32_t mesh = 0;
    glm::mat4 world{1.0f};
    NodeExtras extras;
};

// The matrices a drawn node's uniforms take: projection x view x M, view x M, the normal
// matrix transpose(inverse(M)), M itself, and the light's projection x view x M.
struct NodeMatrices {
    glm::mat4 model_view_projection;
    glm::mat4 model_view;
    glm::mat4 normal;
    glm::mat4 model;
    glm::mat4 light_model_view_projection;
};

NodeMatrices node_matrices(const glm::mat4& world, const glm::mat4& view,
                           const glm::mat4& projection, const glm::mat4& light_view_projection);

// "ignore_shadow" (a boolean), "render_pass" and "tag" (integers) of a node's extras; any
// other type reads as the default flag or as 0.
NodeExtras read_node_extras(const tinygltf::Node& node);

// The node's own transform: its "matrix", else translation x rotation x scale, each part only
// when present.
glm::mat4 node_local_matrix(const tinygltf::Node& node);

// Works out once per model what the walk reads of every node.
void prepare_node_walk(Model& model);

// Walks the default scene from its root nodes, parents before children, and lists every node
// with a mesh in visit order; returns the highest render pass met (at least 1). Each node is
// entered once, so a node under itself or under two parents cannot make the walk loop.
int32_t walk_nodes(const Model& model, std::vector<NodeDraw>& draws);

}  // namespace demo
