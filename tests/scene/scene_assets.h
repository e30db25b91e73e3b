// glTF assets for the scene tests, built in code with known geometry, and a loader that takes
// them through the package's binary form as the player does.
#pragma once

#include <functional>
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

struct Damage {
    const char* what;
    std::function<void(tinygltf::Model&)> apply;
    const char* reported;  // expected in one of the model's problem lines
};

// Every kind of reference that can point outside its data, made on the bending strip (a
// skinned, animated asset); the problem lines must name the element.
inline const std::vector<Damage>& damaged_assets() {
    static const std::vector<Damage> damages = {
        {"accessor index", [](auto& m) { m.meshes[0].primitives[0].attributes["POSITION"] = 99; },
         "accessor 99 does not exist"},
        {"buffer view index", [](auto& m) { m.accessors[0].bufferView = 99; },
         "buffer view 99 does not exist"},
        {"buffer index", [](auto& m) { m.bufferViews[0].buffer = 7; }, "buffer 7 does not exist"},
        {"byte range", [](auto& m) { m.accessors[0].count = 1000; }, "lie outside buffer 0"},
        {"huge count", [](auto& m) { m.accessors[0].count = size_t{1} << 62; }, "lie outside"},
        {"index value",
         [](auto& m) {
             m.meshes[0].primitives[0].indices = gb::add_shorts(m, {0, 1, 9}, 1);
         },
         "index 9 at 2 is past the 6 vertices"},
        {"mesh index", [](auto& m) { m.nodes[2].mesh = 42; }, "mesh 42 does not exist"},
        {"node index", [](auto& m) { m.nodes[1].children.push_back(77); },
         "child 77 does not exist"},
        {"material index", [](auto& m) { m.meshes[0].primitives[0].material = 5; },
         "material 5 does not exist"},
        {"texture index",
         [](auto& m) {
             m.materials.emplace_back();
             m.materials.back().pbrMetallicRoughness.baseColorTexture.index = 9;
         },
         "texture 9 does not exist"},
        {"image index",
         [](auto& m) {
             m.textures.push_back({});
             m.textures.back().source = 4;
             m.materials.emplace_back();
             m.materials.back().pbrMetallicRoughness.baseColorTexture.index =
                 static_cast<int>(m.textures.size()) - 1;
         },
         "image 4, which does not exist"},
        {"joint index", [](auto& m) { m.skins[0].joints[1] = 50; }, "joint node 50 does not exist"},
        {"inverse bind matrices",
         [](auto& m) { m.accessors[m.skins[0].inverseBindMatrices].count = 1; },
         "inverse bind matrices"},
        {"sampler accessor", [](auto& m) { m.animations[0].samplers[0].output = 88; },
         "sampler 0: accessor 88 does not exist"},
        {"channel sampler", [](auto& m) { m.animations[0].channels[0].sampler = 3; },
         "channel 0: sampler 3 does not exist"},
        {"channel target", [](auto& m) { m.animations[0].channels[0].target_node = -4; },
         "target node -4 does not exist"},
        {"node cycle", [](auto& m) { m.nodes[0].children.push_back(1); }, "is its own ancestor"},
        {"two parents", [](auto& m) { m.nodes[2].children.push_back(0); }, "has 2 parents"},
        {"default scene", [](auto& m) { m.defaultScene = 3; }, "default scene 3 does not exist"},
        {"primitive mode", [](auto& m) { m.meshes[0].primitives[0].mode = 9; },
         "not a primitive mode"},
        {"float joints",
         [](auto& m) {
             auto& a = m.meshes[0].primitives[0].attributes;
             a["JOINTS_0"] = a["POSITION"];
         },
         "JOINTS_0: accessor 1 is not integer"},
    };
    return damages;
}

}  // namespace demo::scene_test
