// Building glTF documents in code: the test assets and the example's figure are made with
// it, so every model the project uses is authored here.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace demo::gltf_builder {

// Appends `size` bytes to buffer 0 (created when missing) on a 4-byte boundary and returns a
// buffer view over them.
int add_view(tinygltf::Model& model, const void* bytes, size_t size);

// An accessor over float values, `components` per element (1, 2, 3, 4 or 16).
int add_floats(tinygltf::Model& model, const std::vector<float>& values, int components);

// An accessor over 16-bit unsigned values (indices, joints), `components` per element.
int add_shorts(tinygltf::Model& model, const std::vector<uint16_t>& values, int components);

// A mesh of one primitive drawn as triangles.
int add_mesh(tinygltf::Model& model, const std::map<std::string, int>& attributes, int indices = -1,
             int material = -1);

// A node; `children` are node indices.
int add_node(tinygltf::Model& model, const std::string& name, int mesh = -1,
             const std::vector<int>& children = {});

// A material with a base colour factor and, when given, a base colour texture made from an
// RGBA image of `width` x `height` (stored as PNG).
int add_material(tinygltf::Model& model, const std::vector<double>& base_color,
                 const std::vector<uint8_t>& rgba = {}, int width = 0, int height = 0);

// A sampler for texture `texture`: wrap modes for s and t, magnification and minification
// filters (glTF's GL enum values).
void add_sampler(tinygltf::Model& model, int texture, int wrap, int mag_filter, int min_filter);

// Makes accessor `accessor` sparse: the elements at `indices` become `values` (floats, as many
// per element as the accessor has components).
void make_sparse(tinygltf::Model& model, int accessor, const std::vector<uint16_t>& indices,
                 const std::vector<float>& values);

// An animation channel with its own sampler ("LINEAR", "STEP" or "CUBICSPLINE") over
// `times`, writing `values` (3 or 4 per key; three times as many for a cubic spline) into `path` of
// `node`; added to animation `animation`, which is created (named `name`) when it does not exist
// yet. Returns the animation's index.
int add_channel(tinygltf::Model& model, int animation, const std::string& name, int node,
                const std::string& path, const std::vector<float>& times,
                const std::vector<float>& values, const std::string& interpolation = "LINEAR");

// The scene of `roots`, made the default scene.
void set_scene(tinygltf::Model& model, const std::vector<int>& roots);

// Extras of a node: "render_pass", "tag" and "ignore_shadow".
void set_extras(tinygltf::Node& node, int render_pass, int tag, bool ignore_shadow);

}  // namespace demo::gltf_builder
