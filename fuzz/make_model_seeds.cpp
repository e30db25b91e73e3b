// Writes the seed corpus of the model reader: small assets of every shape the reader knows
// (a textured square, a skinned and animated strip, node animation, render-pass extras), each
// as GLB (first byte 0) and as glTF text (first byte 1).
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
    gb::add_channel(m, -1, "grow", child, "scale", {0, 1}, {1, 1, 1, 2, 2, 2}, "CUBICSPLINE");
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
    return 0;
}
