#include "scene/model_upload.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <vector>

#include "render/texture_upload.h"
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
            texture->texture_id = create_rgba_texture(image.width, image.height, image.image.data(),
                                                      GL_CLAMP_TO_EDGE);
        }
        model.textures.push_back(std::move(texture));
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Points one attribute location at its accessor's data in the buffer's GL copy.
void set_attribute(const tinygltf::Model& gltf, const std::vector<GLuint>& buffers,
                   const AttributeSlot& slot, int accessor_index) {
    const tinygltf::Accessor& accessor = gltf.accessors[static_cast<size_t>(accessor_index)];
    const tinygltf::BufferView& view = gltf.bufferViews[static_cast<size_t>(accessor.bufferView)];
    const GLint size = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    const auto stride = static_cast<GLsizei>(view.byteStride);
    const auto* offset = reinterpret_cast<const void*>(view.byteOffset + accessor.byteOffset);
    glEnableVertexAttribArray(slot.location);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[static_cast<size_t>(view.buffer)]);
    if (slot.location == kJointsLocation) {
        glVertexAttribIPointer(slot.location, size, static_cast<GLenum>(accessor.componentType),
                               stride, offset);
    } else {
        // Normalised integers (texture coordinates in bytes, say) reach the shader in [0, 1].
        glVertexAttribPointer(slot.location, size, static_cast<GLenum>(accessor.componentType),
                              accessor.normalized ? GL_TRUE : GL_FALSE, stride, offset);
    }
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
                    set_attribute(gltf, buffers, slot, it->second);
            }
            if (primitive.indices >= 0) {
                const auto& accessor = gltf.accessors[static_cast<size_t>(primitive.indices)];
                const auto& view = gltf.bufferViews[static_cast<size_t>(accessor.bufferView)];
                glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[static_cast<size_t>(view.buffer)]);
            }
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
