#include "player/check_gl_errors.h"

#include <GL/glew.h>

#include <cstdio>

namespace demo {

void check_gl_errors(const char* label) {
    // Bounded: without a current context glGetError can report the same error forever.
    for (int guard = 0; guard < 1000; ++guard) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            return;
        std::printf("ERROR! %s: %x\n", label, error);
    }
}

}  // namespace demo
