// glTF assets built in code with known geometry, and loaded through a package's binary form.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gltf_builder.h"
#include "scene/gltf_io.h"
#include "scene/model.h"
#include "serialization/input_stream.h"
#include "test_support/package_bytes.h"

namespace demo::scene_test {

namespace gb = gltf_builder;

// The model stored under `name` with the asset's GLB bytes, read back through its binary form.
inline std::unique_ptr<Model> load_glb(const tinygltf::Model& asset,
                                       const std::string& name = "asset.glb") {
    package_bytes::Bytes bytes = package_bytes::stored_string(name);
    package_bytes::append(bytes, package_bytes::stored_buffer(write_glb(asset)));
    InputStream in(bytes.data(), bytes.size());
    return std::make_unique<Model>(in);
}

// A 2 x 2 square around the origin facing +z, texture coordinates (0, 0) to (1, 1) from lower left.
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

// A 1 x 2 strip up from the origin, its lower half on joint 0 (origin), its upper half on joint 1
// (y = 1), which animation "bend" turns by the quaternion `turn` (x, y, z, w) at every key.
inline tinygltf::Model bending_strip(const std::vector<float>& turn) {
    tinygltf::Model asset;
    const std::vector<float> positions = {-0.5f, 0, 0, 0.5f,  0, 0, -0.5f, 1, 0,
                                          0.5f,  1, 0, -0.5f, 2, 0, 0.5f,  2, 0};
    const std::vector<uint16_t> joints = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0,
                                          1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    const std::vector<float> weights = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                                        1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
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

// Every entry of `got` is finite and within 1e-5 of `want`'s.
inline void expect_matrix_near(const glm::mat4& got, const glm::mat4& want, const char* what) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            ASSERT_TRUE(std::isfinite(got[c][r])) << what;
            EXPECT_NEAR(got[c][r], want[c][r], 1e-5f) << what << " [" << c << "][" << r << "]";
        }
    }
}

struct Damage {
    std::function<void(tinygltf::Model&)> apply;
    const char* reported;  // expected in one of the model's problem lines, naming the element
};

// Every kind of reference that can point outside its data, made on the bending strip.
inline const std::vector<Damage>& damaged_assets() {
    using M = tinygltf::Model;
    static const std::vector<Damage> damages = {
        {[](M& m) { m.meshes[0].primitives[0].attributes["POSITION"] = 99; }, "accessor 99 does"},
        {[](M& m) { m.accessors[0].bufferView = 99; }, "buffer view 99 does not exist"},
        {[](M& m) { m.bufferViews[0].buffer = 7; }, "buffer 7 does not exist"},
        {[](M& m) { m.accessors[0].count = 1000; }, "lie outside buffer 0"},
        {[](M& m) { m.accessors[0].count = size_t{1} << 62; }, "lie outside"},
        {[](M& m) {
             m.meshes[0].primitives[0].indices = gb::add_shorts(m, {0, 1, 6}, 1);
         },
         "index 6 at 2 is past the 6 vertices"},
        {[](M& m) { m.nodes[2].mesh = 42; }, "mesh 42 does not exist"},
        {[](M& m) { m.nodes[1].children.push_back(77); }, "child 77 does not exist"},
        {[](M& m) { m.meshes[0].primitives[0].material = 5; }, "material 5 does not exist"},
        {[](M& m) { m.materials.emplace_back().pbrMetallicRoughness.baseColorTexture.index = 9; },
         "texture 9 does not exist"},
        {[](M& m) {
             m.textures.emplace_back().source = 4;
             m.materials.emplace_back().pbrMetallicRoughness.baseColorTexture.index =
                 static_cast<int>(m.textures.size()) - 1;
         },
         "image 4, which does not exist"},
        {[](M& m) { m.skins[0].joints[1] = 50; }, "joint node 50 does not exist"},
        {[](M& m) { m.accessors[m.skins[0].inverseBindMatrices].count = 1; },
         "inverse bind matrices"},
        {[](M& m) { m.animations[0].samplers[0].output = 88; },
         "sampler 0: accessor 88 does not exist"},
        {[](M& m) { m.animations[0].channels[0].sampler = 3; },
         "channel 0: sampler 3 does not exist"},
        {[](M& m) { m.animations[0].channels[0].target_node = -4; },
         "target node -4 does not exist"},
        {[](M& m) { m.nodes[0].children.push_back(1); }, "is its own ancestor"},
        {[](M& m) { m.nodes[2].children.push_back(0); }, "has 2 parents"},
        {[](M& m) { m.defaultScene = 3; }, "default scene 3 does not exist"},
        {[](M& m) { m.meshes[0].primitives[0].mode = 9; }, "not a primitive mode"},
        {[](M& m) { m.meshes[0].primitives[0].attributes["JOINTS_0"] = 1; },  // the positions
         "JOINTS_0: accessor 1 is not integer"},
        {[](M& m) {
             m.meshes[0].primitives[0].attributes["JOINTS_0"] =
                 gb::add_shorts(m, std::vector<uint16_t>(24, 7), 4);
         },
         "JOINTS_0 names joint 7 at vertex 0, outside the skin's 2 joints"},
        {[](M& m) { m.skins[0].inverseBindMatrices = gb::add_floats(m, std::vector(32, NAN), 16); },
         "inverse bind matrix 0 holds a value that is not a finite number"},
        {[](M& m) {
             m.animations[0].samplers[0].input = gb::add_floats(m, {0, NAN}, 1);
         },
         "sampler 0: key time 1 is not a finite number"},
        {[](M& m) {
             gb::make_sparse(m, 1, {9}, {0, 0, 0});
         },
         "sparse index 9 at 0 is past the 6"},
    };
    return damages;
}

}  // namespace demo::scene_test
