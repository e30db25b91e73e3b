// The self-contained Linux player links no libGL: SDL opens the system's GL driver when it
// creates the window, as it opens X11 or Wayland. GLEW loads every entry point newer than
// OpenGL 1.1 through glXGetProcAddressARB; the 1.1 functions of the core profile, which
// glew.h declares as plain functions, and the two GLX calls GLEW makes directly are defined
// here. Each finds its driver function through SDL on its first call, which comes after the
// context exists.
#include <GL/glew.h>
#include <GL/glxew.h>
#include <SDL.h>

#define GL_ENTRY(type, name, parameters, arguments)                                       \
    extern "C" type GLAPIENTRY name parameters {                                          \
        static const auto entry =                                                         \
            reinterpret_cast<type(GLAPIENTRY*) parameters>(SDL_GL_GetProcAddress(#name)); \
        return entry arguments;                                                           \
    }

extern "C" void (*glXGetProcAddressARB(const GLubyte* name))(void) {
    return reinterpret_cast<void (*)(void)>(
        SDL_GL_GetProcAddress(reinterpret_cast<const char*>(name)));
}

GL_ENTRY(Bool, glXQueryVersion, (Display * display, int* major, int* minor),
         (display, major, minor))
GL_ENTRY(const char*, glXGetClientString, (Display * display, int name), (display, name))

GL_ENTRY(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))
GL_ENTRY(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))
GL_ENTRY(void, glClear, (GLbitfield mask), (mask))
GL_ENTRY(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha),
         (red, green, blue, alpha))
GL_ENTRY(void, glClearDepth, (GLclampd depth), (depth))
GL_ENTRY(void, glClearStencil, (GLint s), (s))
GL_ENTRY(void, glColorMask, (GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha),
         (red, green, blue, alpha))
GL_ENTRY(void, glCopyTexImage1D,
         (GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
          GLint border),
         (target, level, internalFormat, x, y, width, border))
GL_ENTRY(void, glCopyTexImage2D,
         (GLenum target, GLint level, GLenum internalFormat, GLint x, GLint y, GLsizei width,
          GLsizei height, GLint border),
         (target, level, internalFormat, x, y, width, height, border))
GL_ENTRY(void, glCopyTexSubImage1D,
         (GLenum target, GLint level, GLint xoffset, GLint x, GLint y, GLsizei width),
         (target, level, xoffset, x, y, width))
GL_ENTRY(void, glCopyTexSubImage2D,
         (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint x, GLint y, GLsizei width,
          GLsizei height),
         (target, level, xoffset, yoffset, x, y, width, height))
GL_ENTRY(void, glCullFace, (GLenum mode), (mode))
GL_ENTRY(void, glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures))
GL_ENTRY(void, glDepthFunc, (GLenum func), (func))
GL_ENTRY(void, glDepthMask, (GLboolean flag), (flag))
GL_ENTRY(void, glDepthRange, (GLclampd zNear, GLclampd zFar), (zNear, zFar))
GL_ENTRY(void, glDisable, (GLenum cap), (cap))
GL_ENTRY(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))
GL_ENTRY(void, glDrawBuffer, (GLenum mode), (mode))
GL_ENTRY(void, glDrawElements, (GLenum mode, GLsizei count, GLenum type, const void* indices),
         (mode, count, type, indices))
GL_ENTRY(void, glEnable, (GLenum cap), (cap))
GL_ENTRY(void, glFinish, (void), ())
GL_ENTRY(void, glFlush, (void), ())
GL_ENTRY(void, glFrontFace, (GLenum mode), (mode))
GL_ENTRY(void, glGenTextures, (GLsizei n, GLuint* textures), (n, textures))
GL_ENTRY(void, glGetBooleanv, (GLenum pname, GLboolean* params), (pname, params))
GL_ENTRY(void, glGetDoublev, (GLenum pname, GLdouble* params), (pname, params))
GL_ENTRY(GLenum, glGetError, (void), ())
GL_ENTRY(void, glGetFloatv, (GLenum pname, GLfloat* params), (pname, params))
GL_ENTRY(void, glGetIntegerv, (GLenum pname, GLint* params), (pname, params))
GL_ENTRY(const GLubyte*, glGetString, (GLenum name), (name))
GL_ENTRY(void, glGetTexImage,
         (GLenum target, GLint level, GLenum format, GLenum type, void* pixels),
         (target, level, format, type, pixels))
GL_ENTRY(void, glGetTexLevelParameterfv,
         (GLenum target, GLint level, GLenum pname, GLfloat* params),
         (target, level, pname, params))
GL_ENTRY(void, glGetTexLevelParameteriv, (GLenum target, GLint level, GLenum pname, GLint* params),
         (target, level, pname, params))
GL_ENTRY(void, glGetTexParameterfv, (GLenum target, GLenum pname, GLfloat* params),
         (target, pname, params))
GL_ENTRY(void, glGetTexParameteriv, (GLenum target, GLenum pname, GLint* params),
         (target, pname, params))
GL_ENTRY(void, glHint, (GLenum target, GLenum mode), (target, mode))
GL_ENTRY(GLboolean, glIsEnabled, (GLenum cap), (cap))
GL_ENTRY(GLboolean, glIsTexture, (GLuint texture), (texture))
GL_ENTRY(void, glLineWidth, (GLfloat width), (width))
GL_ENTRY(void, glLogicOp, (GLenum opcode), (opcode))
GL_ENTRY(void, glPixelStoref, (GLenum pname, GLfloat param), (pname, param))
GL_ENTRY(void, glPixelStorei, (GLenum pname, GLint param), (pname, param))
GL_ENTRY(void, glPointSize, (GLfloat size), (size))
GL_ENTRY(void, glPolygonMode, (GLenum face, GLenum mode), (face, mode))
GL_ENTRY(void, glPolygonOffset, (GLfloat factor, GLfloat units), (factor, units))
GL_ENTRY(void, glReadBuffer, (GLenum mode), (mode))
GL_ENTRY(void, glReadPixels,
         (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,
          void* pixels),
         (x, y, width, height, format, type, pixels))
GL_ENTRY(void, glScissor, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))
GL_ENTRY(void, glStencilFunc, (GLenum func, GLint ref, GLuint mask), (func, ref, mask))
GL_ENTRY(void, glStencilMask, (GLuint mask), (mask))
GL_ENTRY(void, glStencilOp, (GLenum fail, GLenum zfail, GLenum zpass), (fail, zfail, zpass))
GL_ENTRY(void, glTexImage1D,
         (GLenum target, GLint level, GLint internalformat, GLsizei width, GLint border,
          GLenum format, GLenum type, const void* pixels),
         (target, level, internalformat, width, border, format, type, pixels))
GL_ENTRY(void, glTexImage2D,
         (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height,
          GLint border, GLenum format, GLenum type, const void* pixels),
         (target, level, internalformat, width, height, border, format, type, pixels))
GL_ENTRY(void, glTexParameterf, (GLenum target, GLenum pname, GLfloat param),
         (target, pname, param))
GL_ENTRY(void, glTexParameterfv, (GLenum target, GLenum pname, const GLfloat* params),
         (target, pname, params))
GL_ENTRY(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))
GL_ENTRY(void, glTexParameteriv, (GLenum target, GLenum pname, const GLint* params),
         (target, pname, params))
GL_ENTRY(void, glTexSubImage1D,
         (GLenum target, GLint level, GLint xoffset, GLsizei width, GLenum format, GLenum type,
          const void* pixels),
         (target, level, xoffset, width, format, type, pixels))
GL_ENTRY(void, glTexSubImage2D,
         (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height,
          GLenum format, GLenum type, const void* pixels),
         (target, level, xoffset, yoffset, width, height, format, type, pixels))
GL_ENTRY(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))
