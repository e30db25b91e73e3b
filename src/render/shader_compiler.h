// Compiling, linking and feeding a shader program on the GPU.
#pragma once

#include <string>
#include <vector>

#include "render/shader_program.h"

namespace demo {

// Expands include directives: for every other program of `programs`, in order, the first
// `#include "<its fragment file name>"` in the text so far is replaced by its authored
// fragment source. Directives naming the program itself or no program stay as they are.
std::string expand_includes(const ShaderProgram& program,
                            const std::vector<std::unique_ptr<ShaderProgram>>& programs);

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

}  // namespace demo
