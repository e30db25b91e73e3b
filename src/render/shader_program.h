// One GLSL program (vertex and fragment shader) and the float uniforms the author tunes.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/uniform_def.h"
#include "serialization/serializable.h"

namespace demo {

// The vertex shader of every effect quad: positions pass through unchanged.
extern const char* const default_vertex_source;

// Locations of the built-in uniforms a shader may declare; -1 when it does not.
struct BuiltinLocations {
    int32_t beat = -1;
    int32_t itime2 = -1;
    int32_t sound = -1;
    int32_t sound_texture = -1;
    std::array<int32_t, 16> tex{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    int32_t resolution = -1;
    int32_t camera_position = -1;
    int32_t camera_rotation = -1;
    int32_t node_index = -1;
    int32_t model_view_proj_matrix = -1;
    int32_t model_view_matrix = -1;
    int32_t normal_matrix = -1;
    int32_t model_matrix = -1;
    int32_t light_mvp_matrix = -1;
    int32_t base_color_texture = -1;
    int32_t base_color_factor = -1;
    int32_t metallic_factor = -1;
    int32_t roughness_factor = -1;
    int32_t metallic_roughness_texture = -1;
    int32_t shadow_map_texture = -1;
    int32_t is_shadow_render_pass = -1;
    int32_t tag = -1;
};

class ShaderProgram : public ISerializable {
public:
    std::string vertex_shader_source;
    std::string fragment_shader_source;  // as authored, with its #include lines
    std::string vertex_shader_filename = "resources/default.vert";
    std::string fragment_shader_filename = "resources/untitled.frag";  // identity in JSON
    std::string expanded_fragment_source;                              // what is compiled
    std::vector<std::unique_ptr<UniformDef>> uniform_defs;
    std::string compile_log;
    uint32_t vertex_shader_id = 0;
    uint32_t fragment_shader_id = 0;
    uint32_t program_id = 0;
    BuiltinLocations locations;
    std::array<uint32_t, 3> material_units{};  // set while an effect draws a scene
    uint32_t shadow_map_unit = 0;
    int32_t vertex_position_attribute = -1;
    uint32_t matrices_block_index = 0xFFFFFFFFu;

    ShaderProgram();
    explicit ShaderProgram(InputStream& in) { read_binary(in); }
    explicit ShaderProgram(const Json& value) { from_json(value); }

    // Exported: the two sources go to their files and only the file names stay.
    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    // Sources from "fragment_shader_source"/"vertex_shader_source" or from the two files.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Reads both sources from their files ("Loading file %s" for each).
    void load_shader_files();
};

}  // namespace demo
