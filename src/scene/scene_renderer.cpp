#include "scene/scene_renderer.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <glm/gtc/type_ptr.hpp>
#include <vector>

#include "base/player_state.h"
#include "render/shader_program.h"
#include "scene/model.h"
#include "scene/model_upload.h"
#include "scene/scene.h"

namespace demo {

namespace {

// The model texture a material's texture reference leads to, or `fallback` when there is
// none: texture -> its image -> the texture made from that image.
GLuint model_texture(const Model& model, int texture_index, GLuint fallback) {
    const auto& textures = model.gltf.textures;
    if (texture_index < 0 || static_cast<size_t>(texture_index) >= textures.size())
        return fallback;
    const int source = textures[static_cast<size_t>(texture_index)].source;
    if (source < 0 || static_cast<size_t>(source) >= model.textures.size() ||
        model.textures[static_cast<size_t>(source)]->texture_id == 0) {
        return fallback;
    }
    return model.textures[static_cast<size_t>(source)]->texture_id;
}

// Binds what a material's texture reference leads to on the active unit; a model texture is
// sampled as its glTF texture's sampler says (one image may serve textures that differ).
void bind_model_texture(const Model& model, int texture_index, GLuint fallback) {
    const GLuint texture = model_texture(model, texture_index, fallback);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (texture == fallback || static_cast<size_t>(texture_index) >= model.check.sampling.size())
        return;
    const TextureSampling& s = model.check.sampling[static_cast<size_t>(texture_index)];
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, s.wrap_s);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, s.wrap_t);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, s.min_filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, s.mag_filter);
}

GLint unit_index(uint32_t unit_enum) {
    return static_cast<GLint>(unit_enum - GL_TEXTURE0);
}

// Material uniforms and textures of one primitive. Without a material only the base colour
// and its texture are set, so the metallic and roughness values of the primitive before stay.
void upload_material(const Model& model, const ShaderProgram& program, int material_index) {
    const BuiltinLocations& l = program.locations;
    if (material_index < 0 || static_cast<size_t>(material_index) >= model.gltf.materials.size()) {
        if (l.base_color_factor != -1)
            glUniform4f(l.base_color_factor, 1.0f, 1.0f, 1.0f, 1.0f);
        glActiveTexture(program.material_units[0]);
        glBindTexture(GL_TEXTURE_2D, white_texture);
        if (l.base_color_texture != -1)
            glUniform1i(l.base_color_texture, unit_index(program.material_units[0]));
        return;
    }
    const tinygltf::Material& material = model.gltf.materials[static_cast<size_t>(material_index)];
    const auto& pbr = material.pbrMetallicRoughness;
    if (l.base_color_factor != -1) {
        float factor[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        for (size_t i = 0; i < 4 && i < pbr.baseColorFactor.size(); ++i)
            factor[i] = static_cast<float>(pbr.baseColorFactor[i]);
        glUniform4fv(l.base_color_factor, 1, factor);
    }
    if (l.base_color_texture != -1) {
        glActiveTexture(program.material_units[0]);
        bind_model_texture(model, pbr.baseColorTexture.index, white_texture);
        glUniform1i(l.base_color_texture, unit_index(program.material_units[0]));
    }
    if (l.metallic_factor != -1)
        glUniform1f(l.metallic_factor, static_cast<float>(pbr.metallicFactor));
    if (l.roughness_factor != -1)
        glUniform1f(l.roughness_factor, static_cast<float>(pbr.roughnessFactor));
    if (l.metallic_roughness_texture != -1) {
        glActiveTexture(program.material_units[1]);
        bind_model_texture(model, pbr.metallicRoughnessTexture.index, 0);
        glUniform1i(l.metallic_roughness_texture, unit_index(program.material_units[1]));
    }
    glActiveTexture(GL_TEXTURE0);
}

void upload_matrix(GLint location, const glm::mat4& m) {
    if (location != -1)
        glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(m));
}

// The draws of one primitive: elements from the index buffer's offset (0 in the packed copy of
// a sparse accessor), or the vertex count of the primitive's first attribute by name.
void draw_primitive(const tinygltf::Model& gltf, const tinygltf::Primitive& primitive) {
    if (primitive.indices >= 0) {
        const auto& accessor = gltf.accessors[static_cast<size_t>(primitive.indices)];
        const size_t offset =
            accessor.sparse.isSparse
                ? 0
                : gltf.bufferViews[static_cast<size_t>(accessor.bufferView)].byteOffset +
                      accessor.byteOffset;
        glDrawElements(static_cast<GLenum>(primitive.mode), static_cast<GLsizei>(accessor.count),
                       static_cast<GLenum>(accessor.componentType),
                       reinterpret_cast<const void*>(offset));
    } else if (!primitive.attributes.empty()) {
        const auto& accessor =
            gltf.accessors[static_cast<size_t>(primitive.attributes.begin()->second)];
        glDrawArrays(static_cast<GLenum>(primitive.mode), 0, static_cast<GLsizei>(accessor.count));
    }
}

// One node's mesh: its matrices and tag, then each primitive the validation pass let through.
void draw_node(const Model& model, const ShaderProgram& program, const NodeDraw& draw,
               const glm::mat4& view, const glm::mat4& projection, const glm::mat4& light_vp) {
    const BuiltinLocations& l = program.locations;
    if (l.node_index != -1)
        glUniform1i(l.node_index, draw.node);
    const NodeMatrices m = node_matrices(draw.world, view, projection, light_vp);
    upload_matrix(l.model_view_proj_matrix, m.model_view_projection);
    upload_matrix(l.model_view_matrix, m.model_view);
    upload_matrix(l.normal_matrix, m.normal);
    upload_matrix(l.model_matrix, m.model);
    upload_matrix(l.light_mvp_matrix, m.light_model_view_projection);
    if (l.tag != -1)
        glUniform1i(l.tag, draw.extras.tag);
    const auto mesh = static_cast<size_t>(draw.mesh);
    const auto& primitives = model.gltf.meshes[mesh].primitives;
    const MeshVaoRange range = model.mesh_vao_ranges[mesh];
    for (size_t i = 0; i < primitives.size(); ++i) {
        if (!model.check.drawable[mesh][i])
            continue;
        upload_material(model, program, primitives[i].material);
        glBindVertexArray(model.vaos[static_cast<size_t>(range.first) + i]);
        draw_primitive(model.gltf, primitives[i]);
    }
}

// A depth target for shadow passes. Every scene draws its shadow pass right before its
// visible pass, so scenes of one size can share one target with the same pixels, and a demo
// of many scenes does not need 256 MiB of depth for each.
struct ShadowTarget {
    GLuint framebuffer = 0;
    GLuint depth_texture = 0;
    GLint width = 0;
    GLint height = 0;
};

// The shared target of that size, created on first use (and again when the GL context it was
// made in is gone).
const ShadowTarget& shared_shadow_target(GLint width, GLint height) {
    static std::vector<ShadowTarget> targets;
    for (auto it = targets.begin(); it != targets.end(); ++it) {
        if (it->width != width || it->height != height)
            continue;
        if (glIsFramebuffer(it->framebuffer) && glIsTexture(it->depth_texture))
            return *it;
        targets.erase(it);
        break;
    }
    ShadowTarget target;
    target.width = width;
    target.height = height;
    glGenFramebuffers(1, &target.framebuffer);
    glGenTextures(1, &target.depth_texture);
    glBindTexture(GL_TEXTURE_2D, target.depth_texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, width, height, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, target.depth_texture,
                           0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE)
        std::printf("FB Error! Status: 0x%x\n", status);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    targets.push_back(target);
    return targets.back();
}

}  // namespace

void create_shadow_resources(Scene& scene) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest > 0 && (scene.shadow_width > largest || scene.shadow_height > largest)) {
        scene.shadow_width = std::min(scene.shadow_width, largest);
        scene.shadow_height = std::min(scene.shadow_height, largest);
        std::printf(
            "Scene '%s': the shadow map is %d x %d, the largest depth texture this GL "
            "supports\n",
            scene.name.c_str(), scene.shadow_width, scene.shadow_height);
    }
    const ShadowTarget& target = shared_shadow_target(scene.shadow_width, scene.shadow_height);
    scene.shadow_fbo = target.framebuffer;
    scene.shadow_depth_texture = target.depth_texture;
}

void upload_joint_matrices(Model& model) {
    if (!model.skeleton || model.matrices_ubo == 0)
        return;
    const auto& matrices = model.skeleton->joint_matrices;
    const size_t count = std::min<size_t>(matrices.size(), kMatricesBufferSize / sizeof(glm::mat4));
    glGetError();
    glBindBuffer(GL_UNIFORM_BUFFER, model.matrices_ubo);
    glBindBufferBase(GL_UNIFORM_BUFFER, 0, model.matrices_ubo);
    glBufferData(GL_UNIFORM_BUFFER, kMatricesBufferSize, nullptr, GL_DYNAMIC_DRAW);
    if (count > 0) {
        glBufferSubData(GL_UNIFORM_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(glm::mat4)),
                        matrices.data());
    }
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR)
        std::printf("Error: %u\n", error);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

void render_scene(Scene& scene, const ShaderProgram& program) {
    if (!scene.root_node)
        return;
    glEnable(GL_DEPTH_TEST);
    glActiveTexture(program.shadow_map_unit);
    glBindTexture(GL_TEXTURE_2D, scene.shadow_depth_texture);
    if (program.locations.shadow_map_texture != -1)
        glUniform1i(program.locations.shadow_map_texture, unit_index(program.shadow_map_unit));
    glActiveTexture(GL_TEXTURE0);

    Model* model = scene.root_node->model.object;
    const Camera* camera = active_camera(scene);
    if (model != nullptr && camera != nullptr) {
        if (model->skeleton && program.matrices_block_index != GL_INVALID_INDEX) {
            glBindBuffer(GL_UNIFORM_BUFFER, model->matrices_ubo);
            glUniformBlockBinding(program.program_id, program.matrices_block_index, 0);
            glBindBuffer(GL_UNIFORM_BUFFER, 0);
        }
        const glm::mat4 view = view_matrix(*camera);
        const glm::mat4 projection = projection_matrix(*camera);
        const glm::mat4 light_vp =
            projection_matrix(*scene.light_camera) * view_matrix(*scene.light_camera);
        // The walk runs once; passes are then drawn in ascending order of the "render_pass"
        // values met, each in visit order. A pass no node asks for costs nothing.
        static std::vector<NodeDraw> draws;
        model->pass_count = walk_nodes(*model, draws);
        std::stable_sort(draws.begin(), draws.end(), [](const NodeDraw& a, const NodeDraw& b) {
            return a.extras.render_pass < b.extras.render_pass;
        });
        for (const NodeDraw& draw : draws) {
            if (draw.extras.render_pass < 1 || (scene.shadow_pass && draw.extras.ignore_shadow))
                continue;
            draw_node(*model, program, draw, view, projection, light_vp);
        }
    }
    glDisable(GL_DEPTH_TEST);
}

}  // namespace demo
