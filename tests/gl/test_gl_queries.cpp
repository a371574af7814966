// Capability queries and GL problem reports: extension matching, the non-power-of-two test,
// GL error reports, framebuffer completeness reports and vertex buffer creation.
#include "GLTestFixture.h"
#include "HeadlessGL.h"
#include "KXGL.h"
#include "KXRenderTarget.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

TEST(ExtensionMatching, OnlyWholeBlankSeparatedEntriesMatch)
{
    const char* list = "GL_ARB_texture_float GL_ARB_texture_non_power_of_two GL_EXT_bgra";
    EXPECT_TRUE(kxExtensionListed(list, "GL_ARB_texture_non_power_of_two"));
    EXPECT_TRUE(kxExtensionListed(list, "GL_ARB_texture_float")); // first entry
    EXPECT_TRUE(kxExtensionListed(list, "GL_EXT_bgra"));          // last entry, no trailing blank
    EXPECT_FALSE(kxExtensionListed(list, "GL_ARB_texture"));      // prefix of an entry
    EXPECT_FALSE(kxExtensionListed(list, "GL_EXT_bgra_more"));    // longer than the entry
    EXPECT_FALSE(kxExtensionListed(list, "ARB_texture_float"));   // suffix of an entry

    // The only similar entry is the name with further characters appended.
    EXPECT_FALSE(kxExtensionListed("GL_ARB_texture_non_power_of_two_plus", "GL_ARB_texture_non_power_of_two"));
    // Runs of blanks and a trailing blank do not make empty names match or shift the scan.
    EXPECT_TRUE(kxExtensionListed("A  B ", "B"));
    EXPECT_FALSE(kxExtensionListed("A  B ", ""));
    EXPECT_FALSE(kxExtensionListed("", "A"));
    EXPECT_FALSE(kxExtensionListed(nullptr, "A"));
}

class GLQueriesTest : public GLTest {
protected:
    void TearDown() override
    {
        kxSetNonPowerOfTwoOverride(-1);
        GLTest::TearDown();
    }
};

// First of the GL cases so that, when the whole program runs in one process, it is the first
// user of the extension cache: the list is read from a context that is then destroyed, and later
// lookups of new names must still scan a valid string (the cache keeps its own copy).
TEST_F(GLQueriesTest, ExtensionCacheOutlivesTheContextItWasReadFrom)
{
    const std::string real = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    {
        std::string error;
        std::unique_ptr<kxhost::HeadlessGL> first = kxhost::HeadlessGL::create(error);
        ASSERT_NE(first, nullptr) << error;
        EXPECT_EQ(kxGLExtension("GL_ARB_multitexture"), kxExtensionListed(real.c_str(), "GL_ARB_multitexture"));
    }
    ASSERT_TRUE(gl().makeCurrent());
    for (const char* name : {"GL_EXT_framebuffer_object", "GL_SGIS_generate_mipmap", "GL_KX_not_listed"})
        EXPECT_EQ(kxGLExtension(name), kxExtensionListed(real.c_str(), name)) << name;
}

TEST_F(GLQueriesTest, ExtensionTestAnswersFromTheContextsList)
{
    const char* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_NE(list, nullptr);
    const std::string all(list);
    const std::string first = all.substr(0, all.find(' '));
    EXPECT_TRUE(kxGLExtension(first));
    EXPECT_TRUE(kxGLExtension(first)); // cached answer
    EXPECT_FALSE(kxGLExtension("GL_KX_no_such_extension"));
    EXPECT_FALSE(kxGLExtension(first.substr(0, first.size() - 1)));
    EXPECT_EQ(kxGLExtension("GL_ARB_texture_non_power_of_two"),
              kxExtensionListed(list, "GL_ARB_texture_non_power_of_two"));
}

TEST_F(GLQueriesTest, NonPowerOfTwoOverrideSwitchesBothWaysAndLeavesTheCache)
{
    const bool real = kxGLExtension("GL_ARB_texture_non_power_of_two");
    kxSetNonPowerOfTwoOverride(0);
    EXPECT_FALSE(kxAreNonPowerOfTwoTexturesSupported());
    kxSetNonPowerOfTwoOverride(1);
    EXPECT_TRUE(kxAreNonPowerOfTwoTexturesSupported());
    EXPECT_EQ(kxGLExtension("GL_ARB_texture_non_power_of_two"), real);
    kxSetNonPowerOfTwoOverride(-1);
    EXPECT_EQ(kxAreNonPowerOfTwoTexturesSupported(), real);
}

TEST_F(GLQueriesTest, GLErrorIsPrintedOnlyWhenPending)
{
    CaptureStdout();
    EXPECT_FALSE(kxGetGLError());
    EXPECT_EQ(GetCapturedStdout(), "");

    glEnable(0xFFFF); // not a capability: GL_INVALID_ENUM
    CaptureStdout();
    EXPECT_TRUE(kxGetGLError());
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out.rfind("GL ERROR 1280 ", 0), 0u) << out;
    EXPECT_EQ(out.find('\n'), std::string::npos) << "no line break is added";
    EXPECT_FALSE(kxGetGLError()); // the flag was taken
}

TEST_F(GLQueriesTest, FramebufferStatusReportsEachFailure)
{
    CaptureStdout();
    EXPECT_TRUE(kxCheckFramebufferStatus()); // the fixture's complete framebuffer
    EXPECT_EQ(GetCapturedStdout(), "");

    GLuint fbo = 0, tex = 0;
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    CaptureStdout();
    EXPECT_FALSE(kxCheckFramebufferStatus());
    EXPECT_EQ(GetCapturedStdout(), "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT!");

    // A colour texture without any image is an incomplete attachment.
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
    CaptureStdout();
    EXPECT_FALSE(kxCheckFramebufferStatus());
    EXPECT_EQ(GetCapturedStdout(), "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT!");
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &tex);
    glDeleteFramebuffers(1, &fbo);

    // Framebuffer 0: complete with a window-system (pbuffer) surface; without a surface it is
    // GL_FRAMEBUFFER_UNDEFINED, a status without a message of its own.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    CaptureStdout();
    const bool complete = kxCheckFramebufferStatus();
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(complete, status == GL_FRAMEBUFFER_COMPLETE);
    if (!complete && status == GL_FRAMEBUFFER_UNDEFINED) {
        EXPECT_EQ(out.rfind("Unknown GL_FRAMEBUFFER error!", 0), 0u) << out;
        EXPECT_NE(out.find("Debugger break"), std::string::npos) << out;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLQueriesTest, VertexBufferHoldsTheDataAndIsLeftUnbound)
{
    const std::vector<float> data{1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f};
    const int size = static_cast<int>(data.size() * sizeof(float));
    const unsigned vbo = kxCreateVBO(data.data(), size, GL_ARRAY_BUFFER, GL_STATIC_DRAW);
    ASSERT_NE(vbo, 0u);
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    std::vector<float> back(data.size());
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, back.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    EXPECT_EQ(back, data);
    GLuint name = vbo;
    glDeleteBuffers(1, &name);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLQueriesTest, VertexBufferOfTheWrongSizeIsDeleted)
{
    // GL refuses a negative size, so the store stays empty and the sizes differ.
    CaptureStdout();
    EXPECT_EQ(kxCreateVBO(nullptr, -16, GL_ARRAY_BUFFER, GL_STATIC_DRAW), 0u);
    EXPECT_EQ(GetCapturedStdout(), "VBO creation error: data size mismatch\n");
    GLint bound = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);
    while (glGetError() != GL_NO_ERROR) {
    }
    // A target GL does not know: nothing is created either.
    CaptureStdout();
    EXPECT_EQ(kxCreateVBO(nullptr, 16, 0x1234, GL_STATIC_DRAW), 0u);
    EXPECT_EQ(GetCapturedStdout(), "VBO creation error: data size mismatch\n");
    while (glGetError() != GL_NO_ERROR) {
    }
}

TEST_F(GLQueriesTest, MainFramebufferRecordKeepsTheLastNameWithoutTouchingGL)
{
    EXPECT_EQ(KXGfx::getMainFboId(), 0u) << "before any frame";
    KXGfx::setMainFboId(7);
    EXPECT_EQ(KXGfx::getMainFboId(), 7u);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), framebufferId()) << "recording binds nothing";
    KXGfx::setMainFboId(0);
}

} // namespace
