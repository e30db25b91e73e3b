#include "render/shader_program.h"

#include <cstdio>

#include "base/chatter.h"
#include "serialization/file_io.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

const char* const default_vertex_source =
    "#version 150\n\nin vec3 vp;\n\nvoid main() {\ngl_Position = vec4(vp, 1.0);\n}\n";

namespace {
// Smallest stored uniform definition: an empty name and three floats.
constexpr uint64_t kMinUniformSize = 9 + 12;
}  // namespace

ShaderProgram::ShaderProgram() : vertex_shader_source(default_vertex_source) {}

Json ShaderProgram::to_json(bool export_files) const {
    Json value = Json::object();
    value["vertex_shader_filename"] = vertex_shader_filename;
    value["fragment_shader_filename"] = fragment_shader_filename;
    if (export_files) {
        write_side_file(vertex_shader_filename,
                        reinterpret_cast<const uint8_t*>(vertex_shader_source.data()),
                        vertex_shader_source.size());
        write_side_file(fragment_shader_filename,
                        reinterpret_cast<const uint8_t*>(fragment_shader_source.data()),
                        fragment_shader_source.size());
    } else {
        value["vertex_shader_source"] = vertex_shader_source;
        value["fragment_shader_source"] = fragment_shader_source;
    }
    Json defs = Json::array();
    for (const auto& def : uniform_defs)
        defs.push_back(def->to_json(export_files));
    value["uniform_defs"] = std::move(defs);
    return value;
}

void ShaderProgram::write_binary(OutputStream& out) const {
    write_string(vertex_shader_filename, out);
    write_string(vertex_shader_source, out);
    write_string(fragment_shader_filename, out);
    write_string(fragment_shader_source, out);
    write_u64(out, uniform_defs.size());
    for (const auto& def : uniform_defs)
        def->write_binary(out);
}

void ShaderProgram::from_json(const Json& value) {
    vertex_shader_filename = json_string(value, "vertex_shader_filename");
    fragment_shader_filename = json_string(value, "fragment_shader_filename");
    if (value.is_object() && value.contains("fragment_shader_source")) {
        vertex_shader_source = json_string(value, "vertex_shader_source");
        fragment_shader_source = json_string(value, "fragment_shader_source");
    } else {
        load_shader_files();
    }
    uniform_defs.clear();
    for (const Json& element : json_array(value, "uniform_defs")) {
        auto def = std::make_unique<UniformDef>();
        def->from_json(element);
        uniform_defs.push_back(std::move(def));
    }
}

void ShaderProgram::read_binary(InputStream& in) {
    vertex_shader_filename = read_string(in, "a vertex shader file name");
    vertex_shader_source = read_string(in, "a vertex shader");
    fragment_shader_filename = read_string(in, "a fragment shader file name");
    fragment_shader_source = read_string(in, "a fragment shader");
    const uint64_t count = read_count(in, kMinUniformSize, "a program's uniform count");
    uniform_defs.clear();
    for (uint64_t i = 0; i < count; ++i) {
        auto def = std::make_unique<UniformDef>();
        def->read_binary(in);
        uniform_defs.push_back(std::move(def));
    }
}

void ShaderProgram::load_shader_files() {
    print_chatter("Loading file %s\n", vertex_shader_filename.c_str());
    vertex_shader_source = read_side_file(vertex_shader_filename);
    print_chatter("Loading file %s\n", fragment_shader_filename.c_str());
    fragment_shader_source = read_side_file(fragment_shader_filename);
}

}  // namespace demo
