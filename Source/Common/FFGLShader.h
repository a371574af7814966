// A GLSL program of one vertex and one fragment shader, compiled and linked through an
// FFGLExtensions table (ARB shader objects).
//
// The shader holds GL object handles but releases them only in FreeGLResources(), never in its
// destructor; it does not own the extension table, which must outlive it. All operations but
// SetExtensions need the GL context the handles belong to, current on the calling thread.
#pragma once

#include "FFGLExtensions.h"

// Capacity of the buffer a compile error's info log is read into, terminator included.
constexpr int FFGL_SHADER_LOG_SIZE = 1024;

class FFGLShader {
public:
    FFGLShader();
    virtual ~FFGLShader();

    void SetExtensions(FFGLExtensions* extensions);
    void CreateGLResources(); // [gl-context]
    void FreeGLResources();   // [gl-context]
    // Compiles the non-empty texts (fragment first), attaches what compiled and links; returns
    // the link status (0: not linked). Compile errors are printed with the info log. [gl-context]
    int Compile(const char* vertexProgram, const char* fragmentProgram);
    int BindShader();   // 1 when the program was bound [gl-context]
    int UnbindShader(); // 1 when program 0 was bound [gl-context]
    int FindUniform(const char* name); // uniform location, -1 when absent [gl-context]

    GLhandleARB GetProgram() const { return m_glProgram; }
    int GetLinkStatus() const { return m_linkStatus; }

private:
    bool compileInto(GLhandleARB shader, const char* text, const char* errorFormat);

    FFGLExtensions* m_extensions;
    GLhandleARB m_glProgram;
    GLhandleARB m_glVertexShader;
    GLhandleARB m_glFragmentShader;
    int m_linkStatus;
};
