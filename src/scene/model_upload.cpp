#include "scene/model_upload.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <vector>

#include "render/texture_upload.h"
#include "scene/accessor_view.h"
#include "scene/model.h"

namespace demo {

namespace {

struct AttributeSlot {
    const char* name;
    GLuint location;
};

constexpr std::array<AttributeSlot, 5> kSlots = {{{"POSITION", kPositionLocation},
                                                  {"NORMAL", kNormalLocation},
                                                  {"TEXCOORD_0", kTexcoordLocation},
                                                  {"JOINTS_0", kJointsLocation},
                                                  {"WEIGHTS_0", kWeightsLocation}}};

// One texture per glTF image; an image left out at load has texture 0, so materials fall back
// to the default texture.
void create_image_textures(Model& model) {
    model.textures.clear();
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    for (const tinygltf::Image& image : model.gltf.images) {
        auto texture = std::make_unique<Texture>();
        texture->name = image.name;
        texture->width = image.width;
        texture->height = image.height;
        const size_t expected = static_cast<size_t>(image.width) * image.height * 4;
        if (largest > 0 && (image.width > largest || image.height > largest)) {
            std::printf(
                "Model '%s': image '%s' is %d x %d, larger than this GL's textures; "
                "it is left out\n",
                model.filename.c_str(), image.name.c_str(), image.width, image.height);
        } else if (image.width > 0 && image.height > 0 && image.component == 4 && image.bits == 8 &&
                   image.image.size() == expected) {
            // Wrap modes and filters are the sampler's, set when a material binds it.
            texture->texture_id =
                create_rgba_texture(image.width, image.height, image.image.data(), GL_REPEAT);
        }
        model.textures.push_back(std::move(texture));
    }
    // Mipmaps for the images a texture reads with a mipmapped minification filter.
    for (size_t t = 0; t < model.gltf.textures.size() && t < model.check.sampling.size(); ++t) {
        const int source = model.gltf.textures[t].source;
        if (model.check.sampling[t].uses_mipmaps() && source >= 0 &&
            static_cast<size_t>(source) < model.textures.size() &&
            model.textures[static_cast<size_t>(source)]->texture_id != 0) {
            glBindTexture(GL_TEXTURE_2D, model.textures[static_cast<size_t>(source)]->texture_id);
            glGenerateMipmap(GL_TEXTURE_2D);
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// A GL buffer of its own holding `size` bytes, bound to `target`; released with the model's.
GLuint upload_copy(Model& model, GLenum target, const void* bytes, uint64_t size) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    glBufferData(target, static_cast<GLsizeiptr>(size), bytes, GL_STATIC_DRAW);
    model.gl_buffers.push_back(buffer);
    return buffer;
}

// The joint indices of a view clamped into the first `joints` joints, as 16-bit values; empty
// when every index is inside already.
std::vector<uint16_t> clamped_joints(const AccessorView& view, int64_t joints) {
    std::vector<uint16_t> clamped(view.count * static_cast<uint64_t>(view.components));
    bool changed = false;
    for (uint64_t i = 0; i < view.count; ++i) {
        for (int c = 0; c < view.components; ++c) {
            const int64_t joint = view.integer_component(i, c);
            const int64_t inside = std::clamp<int64_t>(joint, 0, joints - 1);
            changed = changed || inside != joint;
            clamped[i * static_cast<uint64_t>(view.components) + static_cast<uint64_t>(c)] =
                static_cast<uint16_t>(inside);
        }
    }
    return changed ? clamped : std::vector<uint16_t>{};
}

// Points one attribute location at its accessor's data in the buffer's GL copy. A sparse
// accessor's elements, and joint indices outside the skeleton's matrices, are uploaded as a
// packed copy of their own instead.
void set_attribute(Model& model, const std::vector<GLuint>& buffers, const AttributeSlot& slot,
                   int accessor_index) {
    const tinygltf::Model& gltf = model.gltf;
    const tinygltf::Accessor& accessor = gltf.accessors[static_cast<size_t>(accessor_index)];
    const GLint size = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    auto type = static_cast<GLenum>(accessor.componentType);
    GLsizei stride = 0;
    const void* offset = nullptr;
    const auto view = view_accessor(gltf, accessor_index);  // the check let it through
    std::vector<uint16_t> joints;
    if (slot.location == kJointsLocation && model.skeleton) {
        const auto count = static_cast<int64_t>(model.skeleton->joints.size());
        joints = clamped_joints(*view, std::clamp<int64_t>(count, 1, kMaxJoints));
    }
    if (!joints.empty()) {
        type = GL_UNSIGNED_SHORT;
        upload_copy(model, GL_ARRAY_BUFFER, joints.data(), joints.size() * sizeof(uint16_t));
    } else if (accessor.sparse.isSparse) {
        upload_copy(model, GL_ARRAY_BUFFER, view->data, view->count * view->element_size);
    } else {
        const tinygltf::BufferView& buffer_view =
            gltf.bufferViews[static_cast<size_t>(accessor.bufferView)];
        stride = static_cast<GLsizei>(buffer_view.byteStride);
        offset = reinterpret_cast<const void*>(buffer_view.byteOffset + accessor.byteOffset);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[static_cast<size_t>(buffer_view.buffer)]);
    }
    glEnableVertexAttribArray(slot.location);
    if (slot.location == kJointsLocation) {
        glVertexAttribIPointer(slot.location, size, type, stride, offset);
    } else {
        // Normalised integers (texture coordinates in bytes, say) reach the shader in [0, 1].
        glVertexAttribPointer(slot.location, size, type, accessor.normalized ? GL_TRUE : GL_FALSE,
                              stride, offset);
    }
}

// Binds the primitive's index data to its vertex array: the buffer's GL copy, or a packed copy
// of a sparse accessor's elements (drawn from offset 0).
void set_indices(Model& model, const std::vector<GLuint>& buffers, int accessor_index) {
    const tinygltf::Accessor& accessor = model.gltf.accessors[static_cast<size_t>(accessor_index)];
    if (accessor.sparse.isSparse) {
        const auto view = view_accessor(model.gltf, accessor_index, nullptr, true);
        upload_copy(model, GL_ELEMENT_ARRAY_BUFFER, view->data, view->count * view->element_size);
        return;
    }
    const auto& view = model.gltf.bufferViews[static_cast<size_t>(accessor.bufferView)];
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[static_cast<size_t>(view.buffer)]);
}

}  // namespace

void upload_to_gpu(Model& model) {
    const tinygltf::Model& gltf = model.gltf;
    create_image_textures(model);

    std::vector<GLuint> buffers(gltf.buffers.size(), 0);
    if (!buffers.empty())
        glGenBuffers(static_cast<GLsizei>(buffers.size()), buffers.data());
    for (size_t b = 0; b < buffers.size(); ++b) {
        glBindBuffer(GL_ARRAY_BUFFER, buffers[b]);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(gltf.buffers[b].data.size()),
                     gltf.buffers[b].data.data(), GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    model.gl_buffers.assign(buffers.begin(), buffers.end());

    model.mesh_vao_ranges.assign(gltf.meshes.size(), MeshVaoRange{});
    model.vaos.clear();
    for (size_t m = 0; m < gltf.meshes.size(); ++m) {
        const auto& primitives = gltf.meshes[m].primitives;
        const auto first = model.vaos.size();
        model.mesh_vao_ranges[m] = {static_cast<int32_t>(first),
                                    static_cast<int32_t>(primitives.size())};
        model.vaos.resize(first + primitives.size(), 0);
        if (!primitives.empty())
            glGenVertexArrays(static_cast<GLsizei>(primitives.size()), &model.vaos[first]);
        for (size_t p = 0; p < primitives.size(); ++p) {
            if (!model.check.drawable[m][p])
                continue;
            const tinygltf::Primitive& primitive = primitives[p];
            glBindVertexArray(model.vaos[first + p]);
            for (const AttributeSlot& slot : kSlots) {
                auto it = primitive.attributes.find(slot.name);
                if (it != primitive.attributes.end())
                    set_attribute(model, buffers, slot, it->second);
            }
            if (primitive.indices >= 0)
                set_indices(model, buffers, primitive.indices);
        }
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    std::clog << "Number of VAOs: " << model.vaos.size() << "\n";

    if (model.skeleton) {
        glGenBuffers(1, &model.matrices_ubo);
        glBindBuffer(GL_UNIFORM_BUFFER, model.matrices_ubo);
        glBufferData(GL_UNIFORM_BUFFER, kMatricesBufferSize, nullptr, GL_DYNAMIC_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, 0, model.matrices_ubo);
        glBindBuffer(GL_UNIFORM_BUFFER, 0);
    }
}

void release(Model& model) {
    glDeleteVertexArrays(static_cast<GLsizei>(model.vaos.size()), model.vaos.data());
    glDeleteBuffers(static_cast<GLsizei>(model.gl_buffers.size()), model.gl_buffers.data());
    glDeleteBuffers(1, &model.matrices_ubo);
    std::fill(model.vaos.begin(), model.vaos.end(), 0u);
    model.gl_buffers.clear();
    model.matrices_ubo = 0;
    for (auto& texture : model.textures) {
        if (texture)
            release(*texture);
    }
}

}  // namespace demo
