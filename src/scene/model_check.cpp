#include "scene/model_check.h"

#include <algorithm>
#include <array>
#include <limits>

#include "scene/accessor_view.h"

namespace demo {

namespace {

// Vertex attributes the upload sets up, in location order.
constexpr std::array<const char*, 5> kAttributes = {"POSITION", "NORMAL", "TEXCOORD_0", "JOINTS_0",
                                                    "WEIGHTS_0"};

// Largest stride every GL implementation takes for a vertex attribute.
constexpr uint64_t kMaxAttributeStride = 2048;

bool in_range(int index, size_t size) {
    return index >= 0 && static_cast<size_t>(index) < size;
}

bool is_integer(int component_type) {
    return component_type != TINYGLTF_COMPONENT_TYPE_FLOAT && component_size(component_type) > 0;
}

class Checker {
public:
    explicit Checker(const tinygltf::Model& gltf) : gltf_(gltf) {}

    ModelCheck run() {
        check_meshes();
        check_nodes();
        check_tree();
        check_scenes();
        check_textures();
        check_materials();
        check_skin();
        check_animations();
        return std::move(result_);
    }

private:
    void problem(const std::string& text) { result_.problems.push_back(text); }

    // One primitive: every index in range, every byte it makes GL read inside its buffer.
    bool check_primitive(const tinygltf::Primitive& primitive, std::string& why) {
        if (primitive.mode < TINYGLTF_MODE_POINTS || primitive.mode > TINYGLTF_MODE_TRIANGLE_FAN) {
            why = "mode " + std::to_string(primitive.mode) + " is not a primitive mode";
            return false;
        }
        if (primitive.material != -1 && !in_range(primitive.material, gltf_.materials.size())) {
            why = "material " + std::to_string(primitive.material) + " does not exist";
            return false;
        }
        uint64_t vertices = std::numeric_limits<uint64_t>::max();
        for (const char* name : kAttributes) {
            auto it = primitive.attributes.find(name);
            if (it == primitive.attributes.end())
                continue;
            std::string reason;
            const auto view = view_accessor(gltf_, it->second, &reason);
            if (!view) {
                why = std::string(name) + ": " + reason;
                return false;
            }
            if (view->components > 4 || view->stride > kMaxAttributeStride) {
                why = std::string(name) + ": accessor " + std::to_string(it->second) +
                      " is not a vertex attribute of 1 to 4 components";
                return false;
            }
            if (std::string(name) == "JOINTS_0" && !is_integer(view->component_type)) {
                why = "JOINTS_0: accessor " + std::to_string(it->second) + " is not integer";
                return false;
            }
            vertices = std::min<uint64_t>(vertices, view->count);
            if (std::string(name) == "JOINTS_0")
                check_joint_indices(*view);
        }
        if (primitive.indices >= 0) {
            std::string reason;
            const auto view = view_accessor(gltf_, primitive.indices, &reason, true);
            if (!view) {
                why = "indices: " + reason;
                return false;
            }
            if (view->components != 1 || !is_unsigned_integer(view->component_type)) {
                why = "indices: accessor " + std::to_string(primitive.indices) +
                      " is not unsigned scalar data";
                return false;
            }
            for (uint64_t i = 0; i < view->count; ++i) {
                if (view->unsigned_value(i) >= vertices) {
                    why = "index " + std::to_string(view->unsigned_value(i)) + " at " +
                          std::to_string(i) + " is past the " + std::to_string(vertices) +
                          " vertices";
                    return false;
                }
            }
        } else if (!primitive.attributes.empty()) {
            // Drawn with the count of the first attribute by name; every array must hold it.
            const int first = primitive.attributes.begin()->second;
            if (!in_range(first, gltf_.accessors.size())) {
                why = "accessor " + std::to_string(first) + " does not exist";
                return false;
            }
            const uint64_t count = gltf_.accessors[static_cast<size_t>(first)].count;
            if (count > vertices ||
                count > static_cast<uint64_t>(std::numeric_limits<int>::max())) {
                why = "draws " + std::to_string(count) + " vertices but its arrays hold " +
                      std::to_string(vertices);
                return false;
            }
        }
        return true;
    }

    // Joint indices must name joints of the skin; the upload clamps those that do not. Said
    // once per primitive, with the first index outside.
    void check_joint_indices(const AccessorView& joints) {
        if (gltf_.skins.empty())
            return;
        const int64_t count = static_cast<int64_t>(gltf_.skins[0].joints.size());
        for (uint64_t i = 0; i < joints.count; ++i) {
            for (int c = 0; c < joints.components; ++c) {
                const int64_t joint = joints.integer_component(i, c);
                if (joint < 0 || joint >= count) {
                    problem(primitive_label_ + "JOINTS_0 names joint " + std::to_string(joint) +
                            " at vertex " + std::to_string(i) + ", outside the skin's " +
                            std::to_string(count) + " joints; it is drawn with the nearest joint");
                    return;
                }
            }
        }
    }

    void check_meshes() {
        result_.drawable.resize(gltf_.meshes.size());
        for (size_t m = 0; m < gltf_.meshes.size(); ++m) {
            const auto& primitives = gltf_.meshes[m].primitives;
            result_.drawable[m].assign(primitives.size(), false);
            for (size_t p = 0; p < primitives.size(); ++p) {
                std::string why;
                primitive_label_ =
                    "mesh " + std::to_string(m) + " primitive " + std::to_string(p) + ": ";
                result_.drawable[m][p] = check_primitive(primitives[p], why);
                if (!result_.drawable[m][p]) {
                    problem(primitive_label_ + why + "; it is not drawn");
                }
            }
        }
    }

    void check_nodes() {
        for (size_t n = 0; n < gltf_.nodes.size(); ++n) {
            const tinygltf::Node& node = gltf_.nodes[n];
            const std::string label = "node " + std::to_string(n) + ": ";
            if (node.mesh != -1 && !in_range(node.mesh, gltf_.meshes.size()))
                problem(label + "mesh " + std::to_string(node.mesh) + " does not exist");
            if (node.skin != -1 && !in_range(node.skin, gltf_.skins.size()))
                problem(label + "skin " + std::to_string(node.skin) + " does not exist");
            for (int child : node.children) {
                if (!in_range(child, gltf_.nodes.size()))
                    problem(label + "child " + std::to_string(child) + " does not exist");
            }
        }
    }

    // Node hierarchies must be trees: a node under itself, or under two parents, is walked
    // once only.
    void check_tree() {
        const size_t count = gltf_.nodes.size();
        std::vector<int> parents(count, 0);
        for (const auto& node : gltf_.nodes) {
            for (int child : node.children) {
                if (in_range(child, count))
                    ++parents[static_cast<size_t>(child)];
            }
        }
        for (size_t n = 0; n < count; ++n) {
            if (parents[n] > 1) {
                problem("node " + std::to_string(n) + " has " + std::to_string(parents[n]) +
                        " parents; it is walked under the first one met only");
            }
        }
        // Colour-marking depth-first search, with an explicit stack so deep chains cannot
        // exhaust the call stack.
        std::vector<uint8_t> state(count, 0);  // 0 new, 1 on the current path, 2 done
        for (size_t start = 0; start < count; ++start) {
            if (state[start] != 0)
                continue;
            std::vector<std::pair<size_t, size_t>> stack{{start, 0}};
            state[start] = 1;
            while (!stack.empty()) {
                auto& [node, next] = stack.back();
                const auto& children = gltf_.nodes[node].children;
                if (next == children.size()) {
                    state[node] = 2;
                    stack.pop_back();
                    continue;
                }
                const int child = children[next++];
                if (!in_range(child, count))
                    continue;
                const auto c = static_cast<size_t>(child);
                if (state[c] == 1) {
                    problem("node " + std::to_string(c) +
                            " is its own ancestor; it is not entered again");
                } else if (state[c] == 0) {
                    state[c] = 1;
                    stack.emplace_back(c, 0);
                }
            }
        }
    }

    void check_scenes() {
        for (size_t s = 0; s < gltf_.scenes.size(); ++s) {
            for (int node : gltf_.scenes[s].nodes) {
                if (!in_range(node, gltf_.nodes.size())) {
                    problem("scene " + std::to_string(s) + ": node " + std::to_string(node) +
                            " does not exist");
                }
            }
        }
        if (gltf_.defaultScene >= 0 && !in_range(gltf_.defaultScene, gltf_.scenes.size())) {
            problem("the default scene " + std::to_string(gltf_.defaultScene) +
                    " does not exist, so nothing is drawn");
        }
    }

    void check_texture_ref(size_t material, const char* slot, int texture) {
        if (texture == -1)
            return;
        const std::string label = "material " + std::to_string(material) + ": " + slot + " ";
        if (!in_range(texture, gltf_.textures.size())) {
            problem(label + "texture " + std::to_string(texture) +
                    " does not exist; the default is used");
            return;
        }
        const int source = gltf_.textures[static_cast<size_t>(texture)].source;
        if (source != -1 && !in_range(source, gltf_.images.size())) {
            problem(label + "texture " + std::to_string(texture) + " names image " +
                    std::to_string(source) + ", which does not exist; the default is used");
        }
    }

    // One sampling per texture; a value glTF does not define is named and replaced.
    void check_textures() {
        const auto sampling = [this](const std::string& label, const char* key, int value,
                                     std::initializer_list<int> allowed, int fallback) {
            if (value == -1 || std::find(allowed.begin(), allowed.end(), value) != allowed.end())
                return value == -1 ? fallback : value;
            problem(label + key + " " + std::to_string(value) + " is not one glTF defines; " +
                    std::to_string(fallback) + " is used");
            return fallback;
        };
        const std::initializer_list<int> wraps = {TINYGLTF_TEXTURE_WRAP_REPEAT,
                                                  TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE,
                                                  TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT};
        const std::initializer_list<int> filters = {TINYGLTF_TEXTURE_FILTER_NEAREST,
                                                    TINYGLTF_TEXTURE_FILTER_LINEAR};
        const std::initializer_list<int> min_filters = {
            TINYGLTF_TEXTURE_FILTER_NEAREST,
            TINYGLTF_TEXTURE_FILTER_LINEAR,
            TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_NEAREST,
            TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_NEAREST,
            TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_LINEAR,
            TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR};
        result_.sampling.assign(gltf_.textures.size(), TextureSampling{});
        for (size_t t = 0; t < gltf_.textures.size(); ++t) {
            const int index = gltf_.textures[t].sampler;
            if (index == -1)
                continue;
            const std::string label = "texture " + std::to_string(t) + ": ";
            if (!in_range(index, gltf_.samplers.size())) {
                problem(label + "sampler " + std::to_string(index) +
                        " does not exist; it repeats and filters linearly");
                continue;
            }
            const tinygltf::Sampler& sampler = gltf_.samplers[static_cast<size_t>(index)];
            TextureSampling& s = result_.sampling[t];
            s.wrap_s = sampling(label, "wrapS", sampler.wrapS, wraps, s.wrap_s);
            s.wrap_t = sampling(label, "wrapT", sampler.wrapT, wraps, s.wrap_t);
            s.mag_filter = sampling(label, "magFilter", sampler.magFilter, filters, s.mag_filter);
            s.min_filter =
                sampling(label, "minFilter", sampler.minFilter, min_filters, s.min_filter);
        }
    }

    void check_materials() {
        for (size_t m = 0; m < gltf_.materials.size(); ++m) {
            const tinygltf::Material& material = gltf_.materials[m];
            check_texture_ref(m, "base colour",
                              material.pbrMetallicRoughness.baseColorTexture.index);
            check_texture_ref(m, "metallic-roughness",
                              material.pbrMetallicRoughness.metallicRoughnessTexture.index);
            check_texture_ref(m, "emissive", material.emissiveTexture.index);
        }
    }

    void check_skin() {
        if (gltf_.skins.empty())
            return;
        const tinygltf::Skin& skin = gltf_.skins[0];
        for (int joint : skin.joints) {
            if (!in_range(joint, gltf_.nodes.size())) {
                problem("skin 0: joint node " + std::to_string(joint) +
                        " does not exist; the skeleton has no joints");
                return;
            }
        }
        // Without inverse bind matrices every joint's is the identity, as glTF defines.
        if (skin.inverseBindMatrices != -1) {
            std::string why;
            const auto view = view_accessor(gltf_, skin.inverseBindMatrices, &why, true);
            if (!view || view->component_type != TINYGLTF_COMPONENT_TYPE_FLOAT ||
                view->components != 16 || view->count < skin.joints.size()) {
                problem("skin 0: the inverse bind matrices (" +
                        (view ? "accessor " + std::to_string(skin.inverseBindMatrices) +
                                    " does not hold one 4x4 float matrix per joint"
                              : why) +
                        ") do not fit; the skeleton has no joints");
                return;
            }
            const uint64_t bad = first_not_finite(*view);
            if (bad < skin.joints.size()) {
                problem("skin 0: inverse bind matrix " + std::to_string(bad) +
                        " holds a value that is not a finite number; such matrices are taken "
                        "as the identity");
            }
        }
        if (skin.joints.size() > static_cast<size_t>(kMaxJoints)) {
            problem("skin 0 has " + std::to_string(skin.joints.size()) +
                    " joints; only the first " + std::to_string(kMaxJoints) +
                    " joint matrices reach the shader");
        }
        result_.skin_ok = true;
    }

    // Key times must be numbers (a sampler with one that is not is ignored), and a sampler
    // needs a value per key, three (in-tangent, value, out-tangent) for a cubic spline.
    bool check_keys(const std::string& label, const tinygltf::AnimationSampler& sampler,
                    const AccessorView& input, const AccessorView& output) {
        if (input.component_type == TINYGLTF_COMPONENT_TYPE_FLOAT) {
            const uint64_t k = first_not_finite(input);
            if (k < input.count) {
                problem(label + "key time " + std::to_string(k) +
                        " is not a finite number; the sampler is ignored");
                return false;
            }
        }
        const uint64_t per_key = sampler.interpolation == "CUBICSPLINE" ? 3 : 1;
        if (output.count / per_key < input.count) {
            problem(label + "has " + std::to_string(output.count) + " values for " +
                    std::to_string(input.count) + " keys" +
                    (per_key == 3 ? " (a cubic spline needs three a key)" : "") +
                    "; keys without values do not move");
        }
        return true;
    }

    void check_animations() {
        result_.sampler_ok.resize(gltf_.animations.size());
        result_.channel_ok.resize(gltf_.animations.size());
        for (size_t a = 0; a < gltf_.animations.size(); ++a) {
            const tinygltf::Animation& animation = gltf_.animations[a];
            const std::string label = "animation " + std::to_string(a) + " ";
            auto& samplers = result_.sampler_ok[a];
            samplers.assign(animation.samplers.size(), false);
            for (size_t s = 0; s < animation.samplers.size(); ++s) {
                std::string why;
                const auto& sampler = animation.samplers[s];
                const auto input = view_accessor(gltf_, sampler.input, &why);
                const auto output = input ? view_accessor(gltf_, sampler.output, &why) : input;
                samplers[s] = input && output;
                if (!samplers[s]) {
                    problem(label + "sampler " + std::to_string(s) + ": " + why +
                            "; it is ignored");
                    continue;
                }
                samplers[s] = check_keys(label + "sampler " + std::to_string(s) + ": ", sampler,
                                         *input, *output);
            }
            auto& channels = result_.channel_ok[a];
            channels.assign(animation.channels.size(), false);
            for (size_t c = 0; c < animation.channels.size(); ++c) {
                const auto& channel = animation.channels[c];
                std::string why;
                if (!in_range(channel.sampler, animation.samplers.size()))
                    why = "sampler " + std::to_string(channel.sampler) + " does not exist";
                else if (!in_range(channel.target_node, gltf_.nodes.size()))
                    why = "target node " + std::to_string(channel.target_node) + " does not exist";
                channels[c] = why.empty();
                if (!channels[c])
                    problem(label + "channel " + std::to_string(c) + ": " + why +
                            "; it is ignored");
            }
        }
    }

    const tinygltf::Model& gltf_;
    ModelCheck result_;
    std::string primitive_label_;  // "mesh m primitive p: " while a primitive is checked
};

}  // namespace

ModelCheck check_model(const tinygltf::Model& gltf) {
    return Checker(gltf).run();
}

}  // namespace demo
