// Drains the OpenGL error queue, printing each error.
#pragma once

namespace demo {

// Prints "ERROR! <label>: <code in hex>" for every pending OpenGL error until none is left.
void check_gl_errors(const char* label);

}  // namespace demo
