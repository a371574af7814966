// GLSL program object (see FFGLShader.h).
#include "FFGLShader.h"

#include <cstdio>
#include <initializer_list>

FFGLShader::FFGLShader()
    : m_extensions(nullptr), m_glProgram(0), m_glVertexShader(0), m_glFragmentShader(0), m_linkStatus(0)
{
}

FFGLShader::~FFGLShader() = default; // GL objects are released by FreeGLResources only

void FFGLShader::SetExtensions(FFGLExtensions* extensions) { m_extensions = extensions; }

void FFGLShader::CreateGLResources()
{
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects)
        return;
    if (m_glProgram == 0)
        m_glProgram = m_extensions->glCreateProgramObjectARB();
    if (m_glVertexShader == 0)
        m_glVertexShader = m_extensions->glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
    if (m_glFragmentShader == 0)
        m_glFragmentShader = m_extensions->glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
}

void FFGLShader::FreeGLResources()
{
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects)
        return;
    for (GLhandleARB* handle : {&m_glFragmentShader, &m_glVertexShader, &m_glProgram}) {
        if (*handle != 0) {
            m_extensions->glDeleteObjectARB(*handle);
            *handle = 0;
        }
    }
}

bool FFGLShader::compileInto(GLhandleARB shader, const char* text, const char* errorFormat)
{
    if (shader == 0 || m_glProgram == 0 || text == nullptr || text[0] == '\0')
        return false;
    const GLcharARB* source = text;
    m_extensions->glShaderSourceARB(shader, 1, &source, nullptr);
    m_extensions->glCompileShaderARB(shader);
    GLint status = 0;
    m_extensions->glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
    if (status == 1) {
        m_extensions->glAttachObjectARB(m_glProgram, shader);
        return true;
    }
    GLcharARB log[FFGL_SHADER_LOG_SIZE] = {};
    GLsizei length = 0;
    m_extensions->glGetInfoLogARB(shader, FFGL_SHADER_LOG_SIZE - 1, &length, log);
    log[FFGL_SHADER_LOG_SIZE - 1] = '\0';
    std::printf(errorFormat, log);
    return false;
}

int FFGLShader::Compile(const char* vertexProgram, const char* fragmentProgram)
{
    // Without the shader-object group there are no entry points to call.
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects)
        return 0;
    if (m_glProgram == 0)
        CreateGLResources();

    bool needsLink = compileInto(m_glFragmentShader, fragmentProgram, "Fragment Shader error: %s \n");
    needsLink = compileInto(m_glVertexShader, vertexProgram, "Vertex Shader error: %s \n") || needsLink;

    GLint linked = 0;
    if (needsLink) {
        m_extensions->glLinkProgramARB(m_glProgram);
        m_extensions->glGetObjectParameterivARB(m_glProgram, GL_OBJECT_LINK_STATUS_ARB, &linked);
    }
    m_linkStatus = linked;
    return m_linkStatus;
}

int FFGLShader::BindShader()
{
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects || m_glProgram == 0)
        return 0;
    m_extensions->glUseProgramObjectARB(m_glProgram);
    return 1;
}

int FFGLShader::UnbindShader()
{
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects)
        return 0;
    m_extensions->glUseProgramObjectARB(0);
    return 1;
}

int FFGLShader::FindUniform(const char* name)
{
    if (m_extensions == nullptr || !m_extensions->ARB_shader_objects || m_glProgram == 0 || name == nullptr)
        return -1;
    return m_extensions->glGetUniformLocationARB(m_glProgram, name);
}
