#include "gltf_builder.h"

#include <stb_image_write.h>

#include <cstring>

namespace demo::gltf_builder {

namespace {

int add_accessor(tinygltf::Model& model, const void* bytes, size_t count, int component_type,
                 int components) {
    const size_t size = count * static_cast<size_t>(components) *
                        (component_type == TINYGLTF_COMPONENT_TYPE_FLOAT ? 4 : 2);
    tinygltf::Accessor accessor;
    accessor.bufferView = add_view(model, bytes, size);
    accessor.componentType = component_type;
    accessor.count = count;
    accessor.type = components == 16  ? TINYGLTF_TYPE_MAT4
                    : components == 1 ? TINYGLTF_TYPE_SCALAR
                                      : TINYGLTF_TYPE_VEC2 + components - 2;
    model.accessors.push_back(accessor);
    return static_cast<int>(model.accessors.size()) - 1;
}

void append_png(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    out->insert(out->end(), static_cast<unsigned char*>(data),
                static_cast<unsigned char*>(data) + size);
}

}  // namespace

int add_view(tinygltf::Model& model, const void* bytes, size_t size) {
    if (model.buffers.empty())
        model.buffers.emplace_back();
    std::vector<unsigned char>& data = model.buffers[0].data;
    data.resize((data.size() + 3) / 4 * 4, 0);
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = data.size();
    view.byteLength = size;
    data.insert(data.end(), static_cast<const unsigned char*>(bytes),
                static_cast<const unsigned char*>(bytes) + size);
    model.bufferViews.push_back(view);
    return static_cast<int>(model.bufferViews.size()) - 1;
}

int add_floats(tinygltf::Model& model, const std::vector<float>& values, int components) {
    return add_accessor(model, values.data(), values.size() / static_cast<size_t>(components),
                        TINYGLTF_COMPONENT_TYPE_FLOAT, components);
}

int add_shorts(tinygltf::Model& model, const std::vector<uint16_t>& values, int components) {
    return add_accessor(model, values.data(), values.size() / static_cast<size_t>(components),
                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, components);
}

int add_mesh(tinygltf::Model& model, const std::map<std::string, int>& attributes, int indices,
             int material) {
    tinygltf::Primitive primitive;
    primitive.attributes = attributes;
    primitive.indices = indices;
    primitive.material = material;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    tinygltf::Mesh mesh;
    mesh.primitives.push_back(primitive);
    model.meshes.push_back(mesh);
    return static_cast<int>(model.meshes.size()) - 1;
}

int add_node(tinygltf::Model& model, const std::string& name, int mesh,
             const std::vector<int>& children) {
    tinygltf::Node node;
    node.name = name;
    node.mesh = mesh;
    node.children = children;
    model.nodes.push_back(node);
    model.asset.version = "2.0";
    return static_cast<int>(model.nodes.size()) - 1;
}

int add_material(tinygltf::Model& model, const std::vector<double>& base_color,
                 const std::vector<uint8_t>& rgba, int width, int height) {
    tinygltf::Material material;
    material.pbrMetallicRoughness.baseColorFactor = base_color;
    if (!rgba.empty()) {
        std::vector<unsigned char> png;
        stbi_write_png_to_func(append_png, &png, width, height, 4, rgba.data(), width * 4);
        tinygltf::Image image;
        image.name = "image" + std::to_string(model.images.size());
        image.mimeType = "image/png";
        image.bufferView = add_view(model, png.data(), png.size());
        model.images.push_back(image);
        tinygltf::Texture texture;
        texture.source = static_cast<int>(model.images.size()) - 1;
        model.textures.push_back(texture);
        material.pbrMetallicRoughness.baseColorTexture.index =
            static_cast<int>(model.textures.size()) - 1;
    }
    model.materials.push_back(material);
    return static_cast<int>(model.materials.size()) - 1;
}

void add_sampler(tinygltf::Model& model, int texture, int wrap, int mag_filter, int min_filter) {
    tinygltf::Sampler sampler;
    sampler.wrapS = sampler.wrapT = wrap;
    sampler.magFilter = mag_filter;
    sampler.minFilter = min_filter;
    model.samplers.push_back(sampler);
    model.textures[static_cast<size_t>(texture)].sampler =
        static_cast<int>(model.samplers.size()) - 1;
}

void make_sparse(tinygltf::Model& model, int accessor, const std::vector<uint16_t>& indices,
                 const std::vector<float>& values) {
    const int index_view = add_view(model, indices.data(), indices.size() * sizeof(uint16_t));
    const int value_view = add_view(model, values.data(), values.size() * sizeof(float));
    auto& sparse = model.accessors[static_cast<size_t>(accessor)].sparse;
    sparse.isSparse = true;
    sparse.count = static_cast<int>(indices.size());
    sparse.indices = {0, index_view, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT};
    sparse.values = {value_view, 0};
}

int add_channel(tinygltf::Model& model, int animation, const std::string& name, int node,
                const std::string& path, const std::vector<float>& times,
                const std::vector<float>& values, const std::string& interpolation) {
    if (animation < 0 || static_cast<size_t>(animation) >= model.animations.size()) {
        model.animations.emplace_back();
        model.animations.back().name = name;
        animation = static_cast<int>(model.animations.size()) - 1;
    }
    tinygltf::AnimationSampler sampler;
    sampler.input = add_floats(model, times, 1);
    const size_t elements = interpolation == "CUBICSPLINE" ? 3 * times.size() : times.size();
    sampler.output = add_floats(model, values, static_cast<int>(values.size() / elements));
    sampler.interpolation = interpolation;
    tinygltf::Animation& target = model.animations[static_cast<size_t>(animation)];
    target.samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = static_cast<int>(target.samplers.size()) - 1;
    channel.target_node = node;
    channel.target_path = path;
    target.channels.push_back(channel);
    return animation;
}

void set_scene(tinygltf::Model& model, const std::vector<int>& roots) {
    tinygltf::Scene scene;
    scene.nodes = roots;
    model.scenes.push_back(scene);
    model.defaultScene = static_cast<int>(model.scenes.size()) - 1;
    model.asset.version = "2.0";
}

void set_extras(tinygltf::Node& node, int render_pass, int tag, bool ignore_shadow) {
    tinygltf::Value::Object extras;
    extras["render_pass"] = tinygltf::Value(render_pass);
    extras["tag"] = tinygltf::Value(tag);
    extras["ignore_shadow"] = tinygltf::Value(ignore_shadow);
    node.extras = tinygltf::Value(extras);
}

}  // namespace demo::gltf_builder
