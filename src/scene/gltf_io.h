// Reading and writing glTF assets with tinygltf, with everything an asset can make the
// library do kept within what its own bytes justify: images are sized from their headers
// before they are decoded, and only regular files are read for external URIs.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

// What the library said about one parse.
struct GltfParse {
    bool ok = false;
    std::string warnings;
    std::string errors;
    uint64_t image_bytes = 0;  // RGBA bytes of the images it decoded
    uint64_t depth = 0;        // how deep the document's arrays and objects nest
};

// Deepest nesting of arrays and objects a glTF document may have. The library turns "extras"
// into values recursively, so a document nested far deeper would exhaust the stack.
inline constexpr uint64_t kMaxGltfJsonDepth = 512;

// How deep the arrays and objects of the document nest: in the text, or in a GLB's JSON
// chunk. A scan without recursion, strings skipped.
uint64_t gltf_json_depth(const uint8_t* bytes, uint64_t size, bool binary);

// Largest width or height of a glTF image that is decoded; larger images are left out (their
// materials fall back to the default texture). No GL texture can be larger.
inline constexpr int kMaxGltfImageSide = 16384;

// Parses an asset held in memory: GLB when `binary`, else glTF text. Relative URIs are taken
// from `base_dir`. Images are decoded only while their RGBA bytes fit in `image_budget`; an
// image left out keeps its encoded bytes, so that the GLB written from the document still
// holds it. A document nested deeper than kMaxGltfJsonDepth is not parsed.
GltfParse parse_gltf(tinygltf::Model& out, const uint8_t* bytes, uint64_t size, bool binary,
                     const std::string& base_dir, uint64_t image_budget = UINT64_MAX);

// `text` with the contents of every data URI in it cut to their length ("data:...;base64,...
// (5000 characters)"), for messages that quote an asset's URIs.
std::string without_data_uris(const std::string& text);

// The document as GLB bytes. Decoded images without a buffer view are stored as PNG, so an
// asset read from text with image files keeps its images. Empty on failure.
std::vector<uint8_t> write_glb(const tinygltf::Model& model);

}  // namespace demo
