// The OpenGL context every window of the system asks for.
#pragma once

namespace demo {

// OpenGL 3.0 core profile, no context flags, double-buffered, 24-bit depth, 8-bit stencil;
// set before the window is created.
void set_gl_attributes();

}  // namespace demo
