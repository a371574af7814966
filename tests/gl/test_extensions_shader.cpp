// The extension table and the shader object in a real context: group flags, a missing entry
// point, compile and link results with their messages, and a program that really draws.
#include "FFGLExtensions.h"
#include "FFGLShader.h"
#include "GLTestFixture.h"
#include "KXPlatform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char* kVertex = "void main() { gl_Position = ftransform(); }\n";
const char* kFragment = "void main() { gl_FragColor = vec4(0.0, 1.0, 0.0, 1.0); }\n";
const char* kBroken = "void main() { this is not glsl }\n";

// Finds everything the platform finds except one name.
struct WithoutOne {
    const char* missing;
    static void* lookup(const char* name, void* user)
    {
        auto* self = static_cast<WithoutOne*>(user);
        if (std::strcmp(name, self->missing) == 0)
            return nullptr;
        return KXPlatform::lookupGLSymbol(name);
    }
};

class Extensions : public GLTest {};

TEST_F(Extensions, AllGroupsAreFoundInACompatibilityContext)
{
    FFGLExtensions ext;
    EXPECT_EQ(ext.multitexture, 0);
    EXPECT_EQ(ext.glActiveTexture, nullptr);
    ext.Initialize();
    EXPECT_EQ(ext.multitexture, 1);
    EXPECT_EQ(ext.ARB_shader_objects, 1);
    EXPECT_EQ(ext.EXT_framebuffer_object, 1);
    EXPECT_NE(ext.glMultiTexCoord4sv, nullptr);
    EXPECT_NE(ext.glGetShaderSourceARB, nullptr);
    EXPECT_NE(ext.glRenderbufferStorageEXT, nullptr);
}

TEST_F(Extensions, AMissingEntryPointDisablesOnlyItsGroup)
{
    WithoutOne filter{"glGenerateMipmapEXT"};
    FFGLExtensions ext;
    ext.SetLookup(WithoutOne::lookup, &filter);
    ext.Initialize();
    EXPECT_EQ(ext.EXT_framebuffer_object, 0);
    EXPECT_EQ(ext.multitexture, 1);
    EXPECT_EQ(ext.ARB_shader_objects, 1);
    // The eleven entry points before the missing one are set, the five after it are not.
    EXPECT_NE(ext.glBindFramebufferEXT, nullptr);
    EXPECT_NE(ext.glGenRenderbuffersEXT, nullptr);
    EXPECT_EQ(ext.glGenerateMipmapEXT, nullptr);
    EXPECT_EQ(ext.glGetFramebufferAttachmentParameterivEXT, nullptr);
    EXPECT_EQ(ext.glGetRenderbufferParameterivEXT, nullptr);
    EXPECT_EQ(ext.glIsFramebufferEXT, nullptr);
    EXPECT_EQ(ext.glIsRenderbufferEXT, nullptr);
    EXPECT_EQ(ext.glRenderbufferStorageEXT, nullptr);
}

TEST_F(Extensions, OverlongAndUnknownNamesAreNotFound)
{
    FFGLExtensions ext;
    EXPECT_EQ(ext.GetProcAddress(std::string(1023, 'g').c_str()), nullptr);
    EXPECT_EQ(ext.GetProcAddress(nullptr), nullptr);
    EXPECT_NE(ext.GetProcAddress("glClear"), nullptr);
}

class Shader : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ext.Initialize();
        ASSERT_EQ(ext.ARB_shader_objects, 1);
        shader.SetExtensions(&ext);
    }
    void TearDown() override
    {
        shader.UnbindShader();
        shader.FreeGLResources();
        GLTest::TearDown();
    }
    int compileCapturing(const char* vertex, const char* fragment, std::string& output)
    {
        testing::internal::CaptureStdout();
        const int status = shader.Compile(vertex, fragment);
        output = testing::internal::GetCapturedStdout();
        return status;
    }
    FFGLExtensions ext;
    FFGLShader shader;
};

TEST_F(Shader, WithoutATableNothingHappens)
{
    FFGLShader bare;
    EXPECT_EQ(bare.Compile(kVertex, kFragment), 0);
    EXPECT_EQ(bare.BindShader(), 0);
    EXPECT_EQ(bare.UnbindShader(), 0);
    bare.CreateGLResources();
    EXPECT_EQ(bare.GetProgram(), 0u);
    // A table but no program yet: nothing to bind.
    EXPECT_EQ(shader.BindShader(), 0);
}

TEST_F(Shader, AValidProgramLinksAndDraws)
{
    std::string out;
    ASSERT_NE(compileCapturing(kVertex, kFragment, out), 0);
    EXPECT_TRUE(out.empty()) << out;
    EXPECT_EQ(shader.BindShader(), 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    EXPECT_EQ(shader.UnbindShader(), 1);
    unsigned char px[4] = {};
    glReadPixels(3, 3, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 0);
    EXPECT_EQ(shader.FindUniform("nothing"), -1);
}

TEST_F(Shader, ABrokenFragmentShaderIsReportedAndTheVertexShaderStillLinks)
{
    std::string out;
    EXPECT_NE(compileCapturing(kVertex, kBroken, out), 0);
    EXPECT_EQ(out.rfind("Fragment Shader error: ", 0), 0u) << out;
    EXPECT_EQ(out.find("Vertex Shader error"), std::string::npos);
}

TEST_F(Shader, AnEmptyFragmentTextCompilesOnlyTheVertexShader)
{
    std::string out;
    EXPECT_NE(compileCapturing(kVertex, "", out), 0);
    EXPECT_TRUE(out.empty()) << out;
}

TEST_F(Shader, TwoBrokenShadersGiveTwoMessagesFragmentFirstAndNoLink)
{
    std::string out;
    EXPECT_EQ(compileCapturing(kBroken, kBroken, out), 0);
    const auto fragment = out.find("Fragment Shader error: ");
    const auto vertex = out.find("Vertex Shader error: ");
    ASSERT_NE(fragment, std::string::npos) << out;
    ASSERT_NE(vertex, std::string::npos) << out;
    EXPECT_LT(fragment, vertex);
    EXPECT_EQ(shader.GetLinkStatus(), 0);
}

} // namespace
