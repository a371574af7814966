// Windows: opengl32.dll exports OpenGL 1.1 only. The host side (the headless context's
// Framebuffer, ffglhost, the GL tests and their fixture) calls the later entry points it needs by their
// usual names, as it does on Linux; this file defines those names. Each looks its entry point up
// through wglGetProcAddress on its first call, which must come with a GL context current, and
// keeps the address for the process: the host side works in one context (or contexts of one
// pixel format on one driver, which share their addresses). An entry point the driver lacks ends
// the program with a message naming it, since no host code could carry on without it.
//
// The plug-ins never link this file: the framework looks its entry points up itself
// (KXGLEntryPoints.h). A host function that needs another entry point gets one line below.
#include "HeadlessGL.h"

#include <windows.h>

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <cstdlib>

namespace {

void* lookUpOrDie(const char* name)
{
    void* proc = kxhost::HeadlessGL::procAddress(name);
    if (proc == nullptr) {
        std::fprintf(stderr, "OpenGL entry point %s not found (%s)\n", name,
                     wglGetCurrentContext() == nullptr ? "no GL context is current" : "the driver lacks it");
        std::exit(3);
    }
    return proc;
}

} // namespace

// Defines `name` with the declaration glext.h gives it, forwarding to the driver's entry point.
#define KX_HOST_GL_FUNCTION(ret, name, params, args)                                   \
    extern "C" ret APIENTRY name params                                                \
    {                                                                                  \
        static const auto entry = reinterpret_cast<decltype(&::name)>(lookUpOrDie(#name)); \
        return entry args;                                                             \
    }

KX_HOST_GL_FUNCTION(void, glActiveTexture, (GLenum texture), (texture))
KX_HOST_GL_FUNCTION(void, glBindBuffer, (GLenum target, GLuint buffer), (target, buffer))
KX_HOST_GL_FUNCTION(void, glDeleteBuffers, (GLsizei n, const GLuint* buffers), (n, buffers))
KX_HOST_GL_FUNCTION(void, glGetBufferSubData, (GLenum target, GLintptr offset, GLsizeiptr size, void* data),
                    (target, offset, size, data))
KX_HOST_GL_FUNCTION(void, glGenFramebuffers, (GLsizei n, GLuint* ids), (n, ids))
KX_HOST_GL_FUNCTION(void, glDeleteFramebuffers, (GLsizei n, const GLuint* ids), (n, ids))
KX_HOST_GL_FUNCTION(void, glBindFramebuffer, (GLenum target, GLuint id), (target, id))
KX_HOST_GL_FUNCTION(GLboolean, glIsFramebuffer, (GLuint id), (id))
KX_HOST_GL_FUNCTION(GLenum, glCheckFramebufferStatus, (GLenum target), (target))
KX_HOST_GL_FUNCTION(void, glFramebufferTexture2D,
                    (GLenum target, GLenum attachment, GLenum texTarget, GLuint texture, GLint level),
                    (target, attachment, texTarget, texture, level))
KX_HOST_GL_FUNCTION(void, glFramebufferRenderbuffer,
                    (GLenum target, GLenum attachment, GLenum rbTarget, GLuint renderbuffer),
                    (target, attachment, rbTarget, renderbuffer))
KX_HOST_GL_FUNCTION(void, glGetFramebufferAttachmentParameteriv,
                    (GLenum target, GLenum attachment, GLenum pname, GLint* params),
                    (target, attachment, pname, params))
KX_HOST_GL_FUNCTION(void, glGenRenderbuffers, (GLsizei n, GLuint* ids), (n, ids))
KX_HOST_GL_FUNCTION(void, glDeleteRenderbuffers, (GLsizei n, const GLuint* ids), (n, ids))
KX_HOST_GL_FUNCTION(void, glBindRenderbuffer, (GLenum target, GLuint id), (target, id))
KX_HOST_GL_FUNCTION(void, glRenderbufferStorage, (GLenum target, GLenum format, GLsizei width, GLsizei height),
                    (target, format, width, height))
KX_HOST_GL_FUNCTION(void, glGetRenderbufferParameteriv, (GLenum target, GLenum pname, GLint* params),
                    (target, pname, params))
// ffglhost: reading frames back through pixel-buffer objects, and the validator's program check.
KX_HOST_GL_FUNCTION(void, glGenBuffers, (GLsizei n, GLuint* buffers), (n, buffers))
KX_HOST_GL_FUNCTION(void, glBufferData, (GLenum target, GLsizeiptr size, const void* data, GLenum usage),
                    (target, size, data, usage))
KX_HOST_GL_FUNCTION(void*, glMapBuffer, (GLenum target, GLenum access), (target, access))
KX_HOST_GL_FUNCTION(GLboolean, glUnmapBuffer, (GLenum target), (target))
KX_HOST_GL_FUNCTION(void, glUseProgram, (GLuint program), (program))
