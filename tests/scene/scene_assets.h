// glTF assets for the scene tests, built in code with known geometry, and a loader that takes
// them through the package's binary form as the player does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gltf_builder.h"
#include "scene/gltf_io.h"
#include "scene/model.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/stored_string.h"

namespace demo::scene_test {

namespace gb = gltf_builder;

// The model stored under `name` with the asset's GLB bytes, read back through its binary form.
inline std::unique_ptr<Model> load_glb(const tinygltf::Model& asset,
                                       const std::string& name = "asset.glb") {
    std::vector<uint8_t> bytes;
    OutputStream out(bytes);
    write_string(name, out);
    const std::vector<uint8_t> glb = write_glb(asset);
    ByteBuffer(glb.data(), glb.size()).write_binary(out);
    InputStream in(bytes.data(), bytes.size());
    return std::make_unique<Model>(in);
}

// A square of side 2 in the xy plane around the origin, facing +z, with texture coordinates
// (0, 0) at the lower left and (1, 1) at the upper right.
inline int add_square(tinygltf::Model& asset, int material = -1, float z = 0.0f) {
    const std::vector<float> positions = {-1, -1, z, 1, -1, z, 1, 1, z, -1, 1, z};
    const std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const std::vector<float> uvs = {0, 0, 1, 0, 1, 1, 0, 1};
    const int indices = gb::add_shorts(asset, {0, 1, 2, 0, 2, 3}, 1);
    return gb::add_mesh(asset,
                        {{"POSITION", gb::add_floats(asset, positions, 3)},
                         {"NORMAL", gb::add_floats(asset, normals, 3)},
                         {"TEXCOORD_0", gb::add_floats(asset, uvs, 2)}},
                        indices, material);
}

// One node holding a square, as the default scene.
inline tinygltf::Model square_asset(const std::vector<double>& color = {1, 1, 1, 1}) {
    tinygltf::Model asset;
    const int material = gb::add_material(asset, color);
    const int node = gb::add_node(asset, "square", add_square(asset, material));
    gb::set_scene(asset, {node});
    return asset;
}

// A strip from y = 0 to y = 2, one unit wide, skinned to two joints: the lower half to joint 0
// at the origin, the upper half to joint 1 at y = 1. Joint 1 turns about z by `turn` (a
// quaternion x, y, z, w) in animation "bend" at every key.
inline tinygltf::Model bending_strip(const std::vector<float>& turn) {
    tinygltf::Model asset;
    const std::vector<float> positions = {-0.5f, 0, 0, 0.5f,  0, 0, -0.5f, 1, 0,
                                          0.5f,  1, 0, -0.5f, 2, 0, 0.5f,  2, 0};
    const std::vector<uint16_t> joints = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                                          1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    std::vector<float> weights;
    for (int v = 0; v < 6; ++v)
        weights.insert(weights.end(), {1, 0, 0, 0});
    const int indices = gb::add_shorts(asset, {0, 1, 3, 0, 3, 2, 2, 3, 5, 2, 5, 4}, 1);
    const int mesh = gb::add_mesh(asset,
                                  {{"POSITION", gb::add_floats(asset, positions, 3)},
                                   {"JOINTS_0", gb::add_shorts(asset, joints, 4)},
                                   {"WEIGHTS_0", gb::add_floats(asset, weights, 4)}},
                                  indices);
    const int upper = gb::add_node(asset, "upper");
    asset.nodes[static_cast<size_t>(upper)].translation = {0, 1, 0};
    const int lower = gb::add_node(asset, "lower", -1, {upper});
    const int body = gb::add_node(asset, "body", mesh);
    asset.nodes[static_cast<size_t>(body)].skin = 0;
    // Inverse bind matrices: the inverse of each joint's rest transform.
    std::vector<float> inverse_bind = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0,  0, 1,
                                       1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1};
    tinygltf::Skin skin;
    skin.name = "strip";
    skin.joints = {lower, upper};
    skin.inverseBindMatrices = gb::add_floats(asset, inverse_bind, 16);
    asset.skins.push_back(skin);
    gb::add_channel(asset, -1, "bend", upper, "rotation", {0, 1},
                    {turn[0], turn[1], turn[2], turn[3], turn[0], turn[1], turn[2], turn[3]});
    gb::set_scene(asset, {lower, body});
    return asset;
}

}  // namespace demo::scene_test
