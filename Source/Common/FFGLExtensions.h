// A table of OpenGL extension entry points looked up by name at run time, in three groups
// (multitexturing, ARB shader objects, EXT framebuffer objects), each with an availability flag.
//
// One table is filled per GL context by Initialize() and only read afterwards; it owns nothing.
// A group's flag is 1 only when the context offers the group (its extension, or for
// multitexturing GL 1.3) and every one of its entry points was found. The name lookup can be
// replaced (SetLookup) so that tests can take an entry point away.
//
// Initialize() needs the GL context current; the table may then be read from the same thread.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

// Longest entry-point name the lookup accepts (its name buffer holds 1024 bytes with a prefix).
constexpr std::size_t FFGL_MAX_PROC_NAME = 1022;

// The entry points of each group, in table order: X(function-pointer type, GL function name).
#define FFGL_MULTITEXTURE_ENTRIES(X) \
    X(PFNGLACTIVETEXTUREPROC, glActiveTexture) \
    X(decltype(&::glClientActiveTexture), glClientActiveTexture) \
    X(decltype(&::glMultiTexCoord1d), glMultiTexCoord1d) \
    X(decltype(&::glMultiTexCoord1dv), glMultiTexCoord1dv) \
    X(decltype(&::glMultiTexCoord1f), glMultiTexCoord1f) \
    X(decltype(&::glMultiTexCoord1fv), glMultiTexCoord1fv) \
    X(decltype(&::glMultiTexCoord1i), glMultiTexCoord1i) \
    X(decltype(&::glMultiTexCoord1iv), glMultiTexCoord1iv) \
    X(decltype(&::glMultiTexCoord1s), glMultiTexCoord1s) \
    X(decltype(&::glMultiTexCoord1sv), glMultiTexCoord1sv) \
    X(decltype(&::glMultiTexCoord2d), glMultiTexCoord2d) \
    X(decltype(&::glMultiTexCoord2dv), glMultiTexCoord2dv) \
    X(decltype(&::glMultiTexCoord2f), glMultiTexCoord2f) \
    X(decltype(&::glMultiTexCoord2fv), glMultiTexCoord2fv) \
    X(decltype(&::glMultiTexCoord2i), glMultiTexCoord2i) \
    X(decltype(&::glMultiTexCoord2iv), glMultiTexCoord2iv) \
    X(decltype(&::glMultiTexCoord2s), glMultiTexCoord2s) \
    X(decltype(&::glMultiTexCoord2sv), glMultiTexCoord2sv) \
    X(decltype(&::glMultiTexCoord3d), glMultiTexCoord3d) \
    X(decltype(&::glMultiTexCoord3dv), glMultiTexCoord3dv) \
    X(decltype(&::glMultiTexCoord3f), glMultiTexCoord3f) \
    X(decltype(&::glMultiTexCoord3fv), glMultiTexCoord3fv) \
    X(decltype(&::glMultiTexCoord3i), glMultiTexCoord3i) \
    X(decltype(&::glMultiTexCoord3iv), glMultiTexCoord3iv) \
    X(decltype(&::glMultiTexCoord3s), glMultiTexCoord3s) \
    X(decltype(&::glMultiTexCoord3sv), glMultiTexCoord3sv) \
    X(decltype(&::glMultiTexCoord4d), glMultiTexCoord4d) \
    X(decltype(&::glMultiTexCoord4dv), glMultiTexCoord4dv) \
    X(decltype(&::glMultiTexCoord4f), glMultiTexCoord4f) \
    X(decltype(&::glMultiTexCoord4fv), glMultiTexCoord4fv) \
    X(decltype(&::glMultiTexCoord4i), glMultiTexCoord4i) \
    X(decltype(&::glMultiTexCoord4iv), glMultiTexCoord4iv) \
    X(decltype(&::glMultiTexCoord4s), glMultiTexCoord4s) \
    X(decltype(&::glMultiTexCoord4sv), glMultiTexCoord4sv)

#define FFGL_ARB_SHADER_OBJECT_ENTRIES(X) \
    X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB) \
    X(PFNGLGETHANDLEARBPROC, glGetHandleARB) \
    X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB) \
    X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB) \
    X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB) \
    X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB) \
    X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB) \
    X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB) \
    X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB) \
    X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB) \
    X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB) \
    X(PFNGLUNIFORM1FARBPROC, glUniform1fARB) \
    X(PFNGLUNIFORM2FARBPROC, glUniform2fARB) \
    X(PFNGLUNIFORM3FARBPROC, glUniform3fARB) \
    X(PFNGLUNIFORM4FARBPROC, glUniform4fARB) \
    X(PFNGLUNIFORM1IARBPROC, glUniform1iARB) \
    X(PFNGLUNIFORM2IARBPROC, glUniform2iARB) \
    X(PFNGLUNIFORM3IARBPROC, glUniform3iARB) \
    X(PFNGLUNIFORM4IARBPROC, glUniform4iARB) \
    X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB) \
    X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB) \
    X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB) \
    X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB) \
    X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB) \
    X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB) \
    X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB) \
    X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB) \
    X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB) \
    X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB) \
    X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB) \
    X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB) \
    X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB) \
    X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB) \
    X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB) \
    X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB) \
    X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB) \
    X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB) \
    X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB) \
    X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

#define FFGL_EXT_FRAMEBUFFER_OBJECT_ENTRIES(X) \
    X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT) \
    X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT) \
    X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT) \
    X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT) \
    X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT) \
    X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT) \
    X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT) \
    X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT) \
    X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT) \
    X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT) \
    X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT) \
    X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT) \
    X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT) \
    X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT) \
    X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT) \
    X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT) \
    X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)

struct FFGLExtensions {
    // Looks up one entry point: its address, or null when the name is not found.
    using LookupFn = void* (*)(const char* name, void* user);

    FFGLExtensions();

    // Looks up all three groups, in order. [gl-context]
    void Initialize();
    void InitMultitexture();       // [gl-context]
    void InitARBShaderObjects();   // [gl-context]
    void InitEXTFramebufferObject(); // [gl-context]

    // The address of the entry point `name`, or null when it is not found (also for names longer
    // than FFGL_MAX_PROC_NAME).
    void* GetProcAddress(const char* name) const;

    // Replaces the name lookup (null restores the platform's); `user` is handed to it.
    void SetLookup(LookupFn lookup, void* user);

    int multitexture;
#define FFGL_DECLARE_ENTRY(type, name) type name;
    FFGL_MULTITEXTURE_ENTRIES(FFGL_DECLARE_ENTRY)
    int ARB_shader_objects;
    FFGL_ARB_SHADER_OBJECT_ENTRIES(FFGL_DECLARE_ENTRY)
    int EXT_framebuffer_object;
    FFGL_EXT_FRAMEBUFFER_OBJECT_ENTRIES(FFGL_DECLARE_ENTRY)
#undef FFGL_DECLARE_ENTRY

private:
    bool groupOffered(const char* extension, int minMajor, int minMinor) const;

    LookupFn m_lookup;
    void* m_lookupUser;
};
