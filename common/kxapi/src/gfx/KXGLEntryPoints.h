// The OpenGL entry points beyond GL 1.1 that the graphics layer calls, looked up by name at run
// time in this one place: framebuffer objects, mipmap generation, multitexturing, compressed
// textures, buffer objects, draw buffers and indexed strings. The framework links only GL 1.1
// and GLU (all that opengl32.dll exports on Windows); everything else is found here.
//
// Each entry point is looked up under its first name and, where that is not found, under its
// second: the EXT framebuffer-object names come first (GL libraries that export only core names
// are served by the second), the core names come first everywhere else. A feature is available
// only when all of its entry points were found; a caller checks has() before it uses a feature
// and treats a missing one as "feature unavailable" (a refusal with a message), never calling a
// null pointer.
//
// The table is process-wide and owned by this module. It is filled on the first call of
// kxGLEntryPoints() and filled again whenever the current GL context differs from the one it was
// filled for where addresses depend on the context (Windows; see KXPlatform::currentGLContext).
// It is never filled by a static initialiser or while a library loads. Call everything on the
// thread that owns the current GL context; nothing is locked.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// The features, each a group of entry points.
enum class KXGLFeature : int {
    FramebufferObjects,
    MipmapGeneration,
    Multitexture,
    CompressedTextures,
    BufferObjects,
    DrawBuffers,
    IndexedStrings,
    Count
};

// X(feature, member, return type, parameter list, first name, second name or nullptr)
#define KX_GL_ENTRY_POINTS(X) \
    X(FramebufferObjects, genFramebuffers, void, (GLsizei, GLuint*), "glGenFramebuffersEXT", "glGenFramebuffers") \
    X(FramebufferObjects, deleteFramebuffers, void, (GLsizei, const GLuint*), "glDeleteFramebuffersEXT", \
      "glDeleteFramebuffers") \
    X(FramebufferObjects, bindFramebuffer, void, (GLenum, GLuint), "glBindFramebufferEXT", "glBindFramebuffer") \
    X(FramebufferObjects, checkFramebufferStatus, GLenum, (GLenum), "glCheckFramebufferStatusEXT", \
      "glCheckFramebufferStatus") \
    X(FramebufferObjects, framebufferTexture2D, void, (GLenum, GLenum, GLenum, GLuint, GLint), \
      "glFramebufferTexture2DEXT", "glFramebufferTexture2D") \
    X(FramebufferObjects, framebufferRenderbuffer, void, (GLenum, GLenum, GLenum, GLuint), \
      "glFramebufferRenderbufferEXT", "glFramebufferRenderbuffer") \
    X(FramebufferObjects, genRenderbuffers, void, (GLsizei, GLuint*), "glGenRenderbuffersEXT", "glGenRenderbuffers") \
    X(FramebufferObjects, deleteRenderbuffers, void, (GLsizei, const GLuint*), "glDeleteRenderbuffersEXT", \
      "glDeleteRenderbuffers") \
    X(FramebufferObjects, bindRenderbuffer, void, (GLenum, GLuint), "glBindRenderbufferEXT", "glBindRenderbuffer") \
    X(FramebufferObjects, renderbufferStorage, void, (GLenum, GLenum, GLsizei, GLsizei), \
      "glRenderbufferStorageEXT", "glRenderbufferStorage") \
    X(MipmapGeneration, generateMipmap, void, (GLenum), "glGenerateMipmapEXT", "glGenerateMipmap") \
    X(Multitexture, activeTexture, void, (GLenum), "glActiveTexture", "glActiveTextureARB") \
    X(Multitexture, clientActiveTexture, void, (GLenum), "glClientActiveTexture", "glClientActiveTextureARB") \
    X(CompressedTextures, compressedTexImage2D, void, \
      (GLenum, GLint, GLenum, GLsizei, GLsizei, GLint, GLsizei, const void*), "glCompressedTexImage2D", \
      "glCompressedTexImage2DARB") \
    X(CompressedTextures, compressedTexSubImage2D, void, \
      (GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLsizei, const void*), "glCompressedTexSubImage2D", \
      "glCompressedTexSubImage2DARB") \
    X(BufferObjects, genBuffers, void, (GLsizei, GLuint*), "glGenBuffers", "glGenBuffersARB") \
    X(BufferObjects, deleteBuffers, void, (GLsizei, const GLuint*), "glDeleteBuffers", "glDeleteBuffersARB") \
    X(BufferObjects, bindBuffer, void, (GLenum, GLuint), "glBindBuffer", "glBindBufferARB") \
    X(BufferObjects, bufferData, void, (GLenum, GLsizeiptr, const void*, GLenum), "glBufferData", \
      "glBufferDataARB") \
    X(BufferObjects, getBufferParameteriv, void, (GLenum, GLenum, GLint*), "glGetBufferParameteriv", \
      "glGetBufferParameterivARB") \
    X(DrawBuffers, drawBuffers, void, (GLsizei, const GLenum*), "glDrawBuffers", "glDrawBuffersARB") \
    X(IndexedStrings, getStringi, const GLubyte*, (GLenum, GLuint), "glGetStringi", nullptr)

struct KXGLEntryPoints {
#define KX_GL_DECLARE_ENTRY(feature, member, ret, params, name, fallback) ret(APIENTRYP member) params;
    KX_GL_ENTRY_POINTS(KX_GL_DECLARE_ENTRY)
#undef KX_GL_DECLARE_ENTRY

    // Whether every entry point of `feature` was found.
    bool has(KXGLFeature feature) const { return available[static_cast<int>(feature)]; }

    bool available[static_cast<int>(KXGLFeature::Count)];
};

// The entry points for the context current on this thread, looked up now if the table is not
// filled yet or was filled for another context. The reference stays valid for the process; its
// contents change when the table is filled again. [gl-context current]
const KXGLEntryPoints& kxGLEntryPoints();

// Test seam: looks names up with `lookup` instead of the platform's (null restores the
// platform's) and empties the table, so that the next kxGLEntryPoints() fills it again. Lets
// tests take entry points away. [test code only]
using KXGLLookupFn = void* (*)(const char* name);
void kxSetGLEntryPointLookup(KXGLLookupFn lookup);
