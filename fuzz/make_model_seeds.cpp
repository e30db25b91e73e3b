// Writes the seed corpus of the model reader: small assets of every shape the reader knows
// (a textured square, a skinned and animated strip, node animation with cubic splines,
// render-pass extras, sparse accessors), each as GLB (first byte 0) and as glTF text (first
// byte 1).
#include <fstream>
#include <sstream>
#include <string>

#include "gltf_builder.h"
#include "scene/gltf_io.h"

namespace gb = demo::gltf_builder;

namespace {

tinygltf::Model square(bool textured) {
    tinygltf::Model m;
    const int material = textured ? gb::add_material(m, {1, 0.5, 0.25, 1}, {255, 0, 0, 255}, 1, 1)
                                  : gb::add_material(m, {1, 1, 1, 1});
    const int indices = gb::add_shorts(m, {0, 1, 2, 0, 2, 3}, 1);
    const int mesh =
        gb::add_mesh(m,
                     {{"POSITION", gb::add_floats(m, {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}, 3)},
                      {"TEXCOORD_0", gb::add_floats(m, {0, 0, 1, 0, 1, 1, 0, 1}, 2)}},
                     indices, material);
    const int node = gb::add_node(m, "square", mesh);
    gb::set_extras(m.nodes[0], 2, 7, true);
    gb::set_scene(m, {node});
    return m;
}

tinygltf::Model strip() {
    tinygltf::Model m;
    const int mesh = gb::add_mesh(
        m, {{"POSITION", gb::add_floats(m, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 3)},
            {"JOINTS_0", gb::add_shorts(m, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, 4)},
            {"WEIGHTS_0", gb::add_floats(m, std::vector<float>(16, 0.25f), 4)}});
    const int upper = gb::add_node(m, "upper");
    const int lower = gb::add_node(m, "lower", -1, {upper});
    const int body = gb::add_node(m, "body", mesh);
    m.nodes[static_cast<size_t>(body)].skin = 0;
    tinygltf::Skin skin;
    skin.joints = {lower, upper};
    std::vector<float> matrices;
    for (int j = 0; j < 2; ++j)
        matrices.insert(matrices.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1.0f * j, 0, 1});
    skin.inverseBindMatrices = gb::add_floats(m, matrices, 16);
    m.skins.push_back(skin);
    const int a = gb::add_channel(m, -1, "bend", upper, "rotation", {0, 1, 2},
                                  {0, 0, 0, 1, 0, 0, 0.7f, 0.7f, 0, 0, 0, 1});
    gb::add_channel(m, a, "bend", lower, "translation", {0, 2}, {0, 0, 0, 0, 1, 0}, "STEP");
    gb::set_scene(m, {lower, body});
    return m;
}

tinygltf::Model moving_nodes() {
    tinygltf::Model m = square(false);
    const int child = gb::add_node(m, "child", 0);
    m.nodes[0].children.push_back(child);
    gb::add_channel(m, -1, "slide", 0, "translation", {0, 1}, {0, 0, 0, 1, 0, 0});
    gb::add_channel(m, -1, "spin", child, "rotation", {0, 1}, {0, 0, 0, 1, 0, 0, 1, 0});
    gb::add_channel(m, -1, "grow", child, "scale", {0, 1},
                    {0, 0, 0, 1, 1, 1, 1, 0, 2, -1, 0, 0, 2, 2, 2, 0, 0, 0}, "CUBICSPLINE");
    gb::add_channel(m, 2, "grow", 0, "rotation", {0, 1},
                    {0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
                    "CUBICSPLINE");
    return m;
}

// Sparse accessors: moved positions over a buffer view, normals from zeros without one, the
// time of a one-key sampler and an inverse bind matrix.
tinygltf::Model sparse() {
    tinygltf::Model m = strip();
    gb::make_sparse(m, 0, {1, 3}, {2, 0, 0, 2, 1, 0});
    tinygltf::Accessor normals = m.accessors[0];
    normals.bufferView = -1;
    m.accessors.push_back(normals);
    const int added = static_cast<int>(m.accessors.size()) - 1;
    gb::make_sparse(m, added, {0}, {0, 0, 1});
    m.meshes[0].primitives[0].attributes["NORMAL"] = added;
    gb::add_channel(m, 0, "bend", 1, "scale", {0}, {1, 2, 1});
    gb::make_sparse(m, m.animations[0].samplers.back().input, {0}, {0.5f});
    gb::make_sparse(m, m.skins[0].inverseBindMatrices, {1},
                    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -2, 0, 1});
    return m;
}

void write_seed(const std::string& folder, const std::string& name, const tinygltf::Model& m) {
    const std::vector<uint8_t> glb = demo::write_glb(m);
    std::ofstream binary(folder + "/" + name + "_glb", std::ios::binary);
    binary.put('\0');
    binary.write(reinterpret_cast<const char*>(glb.data()),
                 static_cast<std::streamsize>(glb.size()));
    std::ostringstream text;
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&m, text, false, false);
    std::ofstream json(folder + "/" + name + "_gltf", std::ios::binary);
    json.put('\1');
    json << text.str();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    write_seed(folder, "square", square(true));
    write_seed(folder, "strip", strip());
    write_seed(folder, "moving_nodes", moving_nodes());
    write_seed(folder, "sparse", sparse());
    return 0;
}
