// The validation pass over a parsed glTF document: everything the upload, the animation
// build and the scene walk will read is checked here once, against the document's own
// sizes, and what fails is named so it can be left out.
#pragma once

#include <tiny_gltf.h>

#include <string>
#include <vector>

namespace demo {

// Joint matrices the shader's uniform block holds.
inline constexpr int kMaxJoints = 100;

// How a glTF texture is sampled: its sampler's wrap modes and filters, glTF's REPEAT where it
// has no sampler, linear filtering where the sampler leaves a filter open or names none.
struct TextureSampling {
    int wrap_s = TINYGLTF_TEXTURE_WRAP_REPEAT;
    int wrap_t = TINYGLTF_TEXTURE_WRAP_REPEAT;
    int min_filter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    int mag_filter = TINYGLTF_TEXTURE_FILTER_LINEAR;

    // The minification filter reads mipmaps, so the image needs them.
    bool uses_mipmaps() const {
        return min_filter >= TINYGLTF_TEXTURE_FILTER_NEAREST_MIPMAP_NEAREST;
    }
};

struct ModelCheck {
    // Per mesh, per primitive: its vertex array may be set up and drawn.
    std::vector<std::vector<bool>> drawable;
    // Per animation, per sampler and per channel: may be read and applied.
    std::vector<std::vector<bool>> sampler_ok;
    std::vector<std::vector<bool>> channel_ok;
    // The first skin's joints and inverse bind matrices may be read.
    bool skin_ok = false;
    // Per glTF texture: the sampling its sampler asks for, values outside glTF's replaced.
    std::vector<TextureSampling> sampling;
    // One line per problem, naming the element ("mesh 0 primitive 1: ...").
    std::vector<std::string> problems;
};

ModelCheck check_model(const tinygltf::Model& gltf);

}  // namespace demo
