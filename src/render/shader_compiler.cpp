#include "render/shader_compiler.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "audio/sound_analysis.h"
#include "base/player_state.h"
#include "demo/demo.h"  // includes expand against the loaded demo's programs

namespace demo {

namespace {

constexpr GLsizei kLogSize = 1024;

bool messages_printed = true;

// Compiles one shader; a non-empty log is printed and kept, otherwise success is recorded.
void compile_one(ShaderProgram& program, GLuint shader, const std::string& source) {
    const GLchar* text = source.c_str();
    const GLint length = static_cast<GLint>(source.size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    char log[kLogSize] = {};
    glGetShaderInfoLog(shader, kLogSize, nullptr, log);
    if (log[0] != '\0') {
        if (messages_printed)
            std::printf("%s\n", log);
        program.compile_log = log;
    } else {
        program.compile_log = "Compilation successful.";
    }
}

void create_shaders(ShaderProgram& program) {
    program.vertex_shader_id = glCreateShader(GL_VERTEX_SHADER);
    program.fragment_shader_id = glCreateShader(GL_FRAGMENT_SHADER);
}

GLint uniform(GLuint program, const char* name) {
    return glGetUniformLocation(program, name);
}

}  // namespace

void build_program(ShaderProgram& program) {
    create_shaders(program);
    compile_shaders(program);
    link_program(program);
}

void compile_shaders(ShaderProgram& program) {
    compile_one(program, program.vertex_shader_id, program.vertex_shader_source);
    // Programs compiled while the package is read see no other programs yet; the compile
    // after loading expands their includes.
    program.expanded_fragment_source = current_demo != nullptr
                                           ? expand_includes(program, current_demo->shaders)
                                           : program.fragment_shader_source;
    compile_one(program, program.fragment_shader_id, program.expanded_fragment_source);
}

void link_program(ShaderProgram& program) {
    program.program_id = glCreateProgram();
    glAttachShader(program.program_id, program.vertex_shader_id);
    glAttachShader(program.program_id, program.fragment_shader_id);
    glLinkProgram(program.program_id);
    char log[kLogSize] = {};
    glGetProgramInfoLog(program.program_id, kLogSize, nullptr, log);
    if (log[0] != '\0') {
        if (messages_printed)
            std::printf("LINKER ERROR: %s\n", log);
        program.compile_log += "\nLINKER ERROR: ";
        program.compile_log += log;
    }
    lookup_locations(program);
}

void lookup_locations(ShaderProgram& program) {
    const GLuint id = program.program_id;
    BuiltinLocations& l = program.locations;
    // A program that did not link has no locations: asking GL for them would only leave an
    // error behind for the next frame's error check to report.
    GLint linked = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        l = BuiltinLocations{};
        program.vertex_position_attribute = -1;
        program.matrices_block_index = GL_INVALID_INDEX;
        for (auto& def : program.uniform_defs)
            def->location = -1;
        return;
    }
    l.beat = uniform(id, "beat");
    l.itime2 = uniform(id, "iTime2");
    l.sound = uniform(id, "sound");
    l.sound_texture = uniform(id, "sound_texture");
    l.tex[0] = uniform(id, "tex");
    for (int n = 1; n < 16; ++n) {
        char name[8];
        std::snprintf(name, sizeof name, "tex%d", n);
        l.tex[n] = uniform(id, name);
    }
    l.resolution = uniform(id, "resolution");
    l.camera_position = uniform(id, "camera_position");
    l.camera_rotation = uniform(id, "camera_rotation");
    l.node_index = uniform(id, "nodeIdx");
    program.vertex_position_attribute = glGetAttribLocation(id, "vp");
    glGetError();
    program.matrices_block_index = glGetUniformBlockIndex(id, "MatricesBlock");
    if (program.matrices_block_index != GL_INVALID_INDEX) {
        glUniformBlockBinding(id, program.matrices_block_index, 0);
    }
    if (glGetError() != GL_NO_ERROR)
        std::printf("Error\n");
    for (auto& def : program.uniform_defs)
        def->location = uniform(id, def->name.c_str());
    l.model_view_proj_matrix = uniform(id, "uModelViewProjMatrix");
    l.model_view_matrix = uniform(id, "uModelViewMatrix");
    l.normal_matrix = uniform(id, "uNormalMatrix");
    l.model_matrix = uniform(id, "uModelMatrix");
    l.light_mvp_matrix = uniform(id, "uLightMVPMatrix");
    l.base_color_texture = uniform(id, "uBaseColorTexture");
    l.base_color_factor = uniform(id, "uBaseColorFactor");
    l.metallic_factor = uniform(id, "uMetallicFactor");
    l.roughness_factor = uniform(id, "uRougnessFactor");
    l.metallic_roughness_texture = uniform(id, "uMetallicRoughnessTexture");
    l.shadow_map_texture = uniform(id, "uShadowMapTexture");
    l.is_shadow_render_pass = uniform(id, "uIsShadowRenderPass");
    l.tag = uniform(id, "uTag");
}

void recompile(ShaderProgram& program) {
    release(program);
    build_program(program);
}

void release(ShaderProgram& program) {
    glDeleteProgram(program.program_id);
    glDeleteShader(program.vertex_shader_id);
    glDeleteShader(program.fragment_shader_id);
    program.program_id = program.vertex_shader_id = program.fragment_shader_id = 0;
}

std::vector<std::string> rebuild_keeping_last_good(ShaderProgram& program,
                                                   std::string vertex_source,
                                                   std::string fragment_source) {
    ShaderProgram previous;
    swap_builds(program, previous);
    program.vertex_shader_source = std::move(vertex_source);
    program.fragment_shader_source = std::move(fragment_source);
    build_program(program);
    std::vector<std::string> problems = located_diagnostics(program);
    if (!problems.empty()) {
        release(program);
        swap_builds(program, previous);
        lookup_locations(program);
    }
    release(previous);  // whichever build is not in use
    return problems;
}

void swap_builds(ShaderProgram& a, ShaderProgram& b) {
    std::swap(a.expanded_fragment_source, b.expanded_fragment_source);
    std::swap(a.compile_log, b.compile_log);
    std::swap(a.vertex_shader_id, b.vertex_shader_id);
    std::swap(a.fragment_shader_id, b.fragment_shader_id);
    std::swap(a.program_id, b.program_id);
}

void set_compile_messages_printed(bool printed) {
    messages_printed = printed;
}

void upload_builtin_uniforms(const ShaderProgram& program) {
    const BuiltinLocations& l = program.locations;
    const float beat = current_beat;
    if (l.beat != -1)
        glUniform1f(l.beat, beat);
    if (l.itime2 != -1)
        glUniform2f(l.itime2, beat, beat - std::trunc(beat));
    if (l.sound != -1)
        glUniform1i(l.sound, level_average());
    if (l.sound_texture != -1)
        glUniform1i(l.sound_texture, 16);
    for (int n = 0; n < 16; ++n) {
        if (l.tex[n] != -1)
            glUniform1i(l.tex[n], n);
    }
    if (l.resolution != -1) {
        glUniform2f(l.resolution, static_cast<float>(resolution[2]),
                    static_cast<float>(resolution[3]));
    }
    // The player's viewer camera never moves.
    if (l.camera_position != -1)
        glUniform3f(l.camera_position, 0.0f, 0.0f, 0.0f);
    if (l.camera_rotation != -1)
        glUniform3f(l.camera_rotation, 0.0f, 0.0f, 0.0f);
}

void apply_uniform_defaults(const ShaderProgram& program) {
    glUseProgram(program.program_id);
    for (const auto& def : program.uniform_defs) {
        if (def->location != -1)
            glUniform1f(def->location, def->default_val);
    }
}

}  // namespace demo

namespace demo {

void upload_uniform(const UniformDef& def, float value) {
    if (def.location != -1)
        glUniform1f(def.location, value);
}

}  // namespace demo

namespace demo {

namespace {

std::string shader_log(GLuint shader) {
    char log[kLogSize] = {};
    glGetShaderInfoLog(shader, kLogSize, nullptr, log);
    return log;
}

// Every compile and link problem; with `located`, source references name files and lines.
std::vector<std::string> diagnostics(const ShaderProgram& program, bool located) {
    std::vector<std::string> problems;
    GLint ok = GL_FALSE;
    glGetShaderiv(program.vertex_shader_id, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        std::string log = shader_log(program.vertex_shader_id);
        if (located) {
            log = locate_compile_log(
                log, source_lines(program.vertex_shader_filename, program.vertex_shader_source));
        }
        problems.push_back("vertex shader: " + log);
    }
    glGetShaderiv(program.fragment_shader_id, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        std::string log = shader_log(program.fragment_shader_id);
        if (located) {
            // The text was expanded against the loaded demo, as `compile_shaders` does.
            std::vector<SourceLine> origins;
            if (current_demo != nullptr) {
                expand_includes(program, current_demo->shaders, &origins);
            } else {
                origins =
                    source_lines(program.fragment_shader_filename, program.fragment_shader_source);
            }
            log = locate_compile_log(log, origins);
        }
        problems.push_back("fragment shader: " + log);
    }
    glGetProgramiv(program.program_id, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[kLogSize] = {};
        glGetProgramInfoLog(program.program_id, kLogSize, nullptr, log);
        problems.push_back(std::string("link: ") + log);
    }
    return problems;
}

}  // namespace

std::vector<std::string> shader_diagnostics(const ShaderProgram& program) {
    return diagnostics(program, false);
}

std::vector<std::string> located_diagnostics(const ShaderProgram& program) {
    return diagnostics(program, true);
}

}  // namespace demo

namespace demo {

namespace {

// The GLSL type each uniform the player sets is set as.
const std::map<std::string, GLenum>& builtin_uniform_types() {
    static const std::map<std::string, GLenum> types = [] {
        std::map<std::string, GLenum> t = {{"beat", GL_FLOAT},
                                           {"iTime2", GL_FLOAT_VEC2},
                                           {"sound", GL_INT},
                                           {"sound_texture", GL_SAMPLER_2D},
                                           {"tex", GL_SAMPLER_2D},
                                           {"resolution", GL_FLOAT_VEC2},
                                           {"camera_position", GL_FLOAT_VEC3},
                                           {"camera_rotation", GL_FLOAT_VEC3},
                                           {"nodeIdx", GL_INT},
                                           {"uModelViewProjMatrix", GL_FLOAT_MAT4},
                                           {"uModelViewMatrix", GL_FLOAT_MAT4},
                                           {"uNormalMatrix", GL_FLOAT_MAT4},
                                           {"uModelMatrix", GL_FLOAT_MAT4},
                                           {"uLightMVPMatrix", GL_FLOAT_MAT4},
                                           {"uBaseColorFactor", GL_FLOAT_VEC4},
                                           {"uBaseColorTexture", GL_SAMPLER_2D},
                                           {"uMetallicFactor", GL_FLOAT},
                                           {"uRougnessFactor", GL_FLOAT},
                                           {"uMetallicRoughnessTexture", GL_SAMPLER_2D},
                                           {"uShadowMapTexture", GL_SAMPLER_2D},
                                           {"uIsShadowRenderPass", GL_INT},
                                           {"uTag", GL_INT}};
        for (int n = 1; n < 16; ++n)
            t["tex" + std::to_string(n)] = GL_SAMPLER_2D;
        return t;
    }();
    return types;
}

const char* glsl_type_name(GLenum type) {
    switch (type) {
        case GL_FLOAT:
            return "float";
        case GL_FLOAT_VEC2:
            return "vec2";
        case GL_FLOAT_VEC3:
            return "vec3";
        case GL_FLOAT_VEC4:
            return "vec4";
        case GL_INT:
            return "int";
        case GL_BOOL:
            return "bool";
        case GL_FLOAT_MAT4:
            return "mat4";
        case GL_SAMPLER_2D:
            return "sampler2D";
        default:
            return "another type";
    }
}

}  // namespace

std::vector<std::string> build_messages(const ShaderProgram& program) {
    // A compiler goes on after an error and often trips over it again on the same line.
    static const std::regex place(R"(^([^ :]+:[0-9]+)(:[0-9]+)?: )");
    const std::vector<std::string> messages = located_diagnostics(program);
    std::vector<std::string> lines;
    std::set<std::string> places;
    for (const std::string& message : messages) {
        if (message.rfind("link: ", 0) == 0 && messages.size() > 1)
            continue;
        const std::string part = message.substr(0, message.find(": ") + 2);
        std::istringstream text(message.substr(part.size()));
        for (std::string line; std::getline(text, line);) {
            std::smatch match;
            if (line.find_first_not_of(" \t") == std::string::npos)
                continue;
            if (!std::regex_search(line, match, place)) {
                lines.push_back("program '" + program.fragment_shader_filename + "': " + part +
                                line);
            } else if (places.insert(match[1].str()).second) {
                lines.push_back(line);
            }
        }
    }
    return lines;
}

std::vector<std::string> uniform_type_problems(const ShaderProgram& program) {
    std::vector<std::string> lines;
    GLint linked = GL_FALSE;
    glGetProgramiv(program.program_id, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE)
        return lines;
    std::map<std::string, GLenum> wanted = builtin_uniform_types();
    for (const auto& def : program.uniform_defs)
        wanted.emplace(def->name, GL_FLOAT);
    GLint count = 0;
    glGetProgramiv(program.program_id, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program.program_id, static_cast<GLuint>(i), sizeof name, nullptr, &size,
                           &type, name);
        const auto it = wanted.find(name);
        // glUniform1i sets ints, bools and samplers alike.
        const bool set_as_int =
            it != wanted.end() && (it->second == GL_INT || it->second == GL_SAMPLER_2D);
        if (it == wanted.end() || it->second == type ||
            (set_as_int && (type == GL_INT || type == GL_BOOL || type == GL_SAMPLER_2D)))
            continue;
        lines.push_back(std::string("uniform '") + name + "' is declared " + glsl_type_name(type) +
                        ", but it is set as " + glsl_type_name(it->second) +
                        ", so it is never set and stays 0");
    }
    return lines;
}

}  // namespace demo
