// Compiling, linking and feeding a shader program on the GPU.
#pragma once

#include <string>
#include <vector>

#include "render/include_expansion.h"
#include "render/shader_program.h"

namespace demo {

// Creates both shaders, compiles them and links the program (for a program just read).
void build_program(ShaderProgram& program);

// Compiles both shaders from the current sources; keeps the fragment shader's message (or
// "Compilation successful.") in `compile_log`. Includes are expanded once a demo is loaded.
void compile_shaders(ShaderProgram& program);

// Links the program, appends any linker message to `compile_log`, and looks up locations.
void link_program(ShaderProgram& program);

// Looks up every built-in uniform, the quad attribute, the matrices block and every uniform
// definition in the linked program.
void lookup_locations(ShaderProgram& program);

// Deletes the GL objects and builds the program again from its current sources.
void recompile(ShaderProgram& program);

// Deletes the program and its two shaders.
void release(ShaderProgram& program);

// Builds the program from new sources, which it keeps (includes of it bring them in). When
// they do not compile or link, the previous build stays in use and the messages of the failed
// one are returned (as `located_diagnostics` words them); empty when the new build is in use.
std::vector<std::string> rebuild_keeping_last_good(ShaderProgram& program,
                                                   std::string vertex_source,
                                                   std::string fragment_source);

// Exchanges the builds of two programs: GL program and shaders, with the expanded text and
// log they came from; the sources stay. Uniform locations are not looked up again.
void swap_builds(ShaderProgram& a, ShaderProgram& b);

// Whether compile and link messages go to standard output as they happen (the default). The
// authoring tool's preview reports them itself, with file and line.
void set_compile_messages_printed(bool printed);

// Sets the built-in uniforms (beat, time, sound level, sampler units, resolution, camera)
// on the program in use.
void upload_builtin_uniforms(const ShaderProgram& program);

// Makes the program current and sets every tunable uniform to its default value.
void apply_uniform_defaults(const ShaderProgram& program);

}  // namespace demo

namespace demo {

// Sets one tunable uniform on the program in use; skipped when the shader does not declare it.
void upload_uniform(const UniformDef& def, float value);

}  // namespace demo

namespace demo {

// Every compile and link problem of the linked program, one message each ("vertex shader:
// ...", "fragment shader: ...", "link: ..."); empty when both shaders compiled and it linked.
std::vector<std::string> shader_diagnostics(const ShaderProgram& program);

// The same messages with every source reference naming the file and line the demo maker
// edits ("fragment shader: shaders/x.frag:12:5: error: ..."), through the include expansion
// the program was compiled with.
std::vector<std::string> located_diagnostics(const ShaderProgram& program);

// The messages of `located_diagnostics`, one line each and each once: a link failing after a
// failed compile, and a second message on the same line of the same file, say nothing new.
// Lines with a place start with it ("shaders/x.frag:12:5: error: ..."); the others with the
// program and the part they come from ("program 'shaders/x.frag': link: ...").
std::vector<std::string> build_messages(const ShaderProgram& program);

// One line per uniform the player sets that the linked program declares with another GLSL type
// than the one it is set as (a `float sound` reads 0: the level is an int), tunable uniforms
// included, which are floats.
std::vector<std::string> uniform_type_problems(const ShaderProgram& program);

}  // namespace demo
