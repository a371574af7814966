// Render targets against a real framebuffer: binding into the shared framebuffer object and back
// to the host's, the remembered viewport, the attachment records (re-binding, switching targets,
// ping-pong, resize), sizes without non-power-of-two support, and the life of the shared object.
#include "GLTestFixture.h"
#include "KXGL.h"
#include "KXRenderTarget.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using KXGfx::DepthStencilBuffer;
using KXGfx::RenderTarget;
using KXGfx::Texture;

std::string printedBy(void (*f)(void*), void* arg)
{
    testing::internal::CaptureStdout();
    f(arg);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

GLint boundFramebuffer()
{
    GLint id = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &id);
    return id;
}

std::array<GLint, 4> viewport()
{
    std::array<GLint, 4> v{};
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// GL name attached at `attachment` of the bound framebuffer.
GLint attached(GLenum attachment)
{
    GLint name = -1;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    return name;
}

// RGBA of level 0 of `t` at texel (x, y), row 0 = GL's first row.
std::array<unsigned char, 4> texel(const Texture& t, int x, int y)
{
    std::vector<unsigned char> img(static_cast<std::size_t>(t.hwWidth) * t.hwHeight * 4);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, img.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    const std::size_t at = (static_cast<std::size_t>(y) * t.hwWidth + x) * 4;
    return {img[at], img[at + 1], img[at + 2], img[at + 3]};
}

void clearTo(float r, float g, float b)
{
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

const std::array<unsigned char, 4> kRed = {255, 0, 0, 255};
const std::array<unsigned char, 4> kGreen = {0, 255, 0, 255};
const std::array<unsigned char, 4> kBlue = {0, 0, 255, 255};

class RenderTargetTest : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        KXGfx::setMainFboId(framebufferId());
    }
    void TearDown() override
    {
        RenderTarget::resetAll();
        kxSetNonPowerOfTwoOverride(-1);
        KXGfx::setMainFboId(0);
        GLTest::TearDown();
    }
};

TEST_F(RenderTargetTest, DrawsIntoItsTextureAndUnbindReturnsToTheHostFramebuffer)
{
    clearTo(0, 0, 1);
    RenderTarget rt;
    ASSERT_TRUE(rt.create2D(32, 16, Texture::A8R8G8B8, true, DepthStencilBuffer::D24));
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId())); // creation leaves the host bound
    EXPECT_EQ(RenderTarget::getCurrentFboId(), framebufferId());

    ASSERT_TRUE(rt.bind());
    const GLint fbo = boundFramebuffer();
    EXPECT_NE(fbo, static_cast<GLint>(framebufferId()));
    EXPECT_EQ(RenderTarget::getCurrentFboId(), static_cast<unsigned>(fbo));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 32, 16}));
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(rt.getTexture(0)->id));
    EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), static_cast<GLint>(rt.depthStencilBuffer->getId()));
    clearTo(1, 0, 0);

    rt.unbind();
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId()));
    EXPECT_EQ(RenderTarget::getCurrentFboId(), framebufferId());
    // bind remembered the target's viewport as the one to return to.
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 32, 16}));
    EXPECT_EQ(pixel(5, 5), kBlue);
    EXPECT_EQ(texel(*rt.getTexture(0), 31, 15), kRed);

    // Everything was detached from the shared object.
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(fbo));
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), 0);
    EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebufferId());
}

TEST_F(RenderTargetTest, UnbindWithoutABoundTargetLeavesTheFramebuffersAlone)
{
    // Main framebuffer 0 and nothing bound: no GL call at all.
    KXGfx::setMainFboId(0);
    glViewport(1, 2, 3, 4);
    RenderTarget rt;
    rt.unbind();
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{1, 2, 3, 4}));
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId()));

    // The main framebuffer is the host's: its attachments are not touched.
    KXGfx::setMainFboId(framebufferId());
    const GLint hostColor = attached(GL_COLOR_ATTACHMENT0);
    ASSERT_NE(hostColor, 0);
    RenderTarget::resetAll();
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), hostColor);
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId()));
}

TEST_F(RenderTargetTest, RebindingAttachesNothingAndSwitchingTargetsReattaches)
{
    RenderTarget a, b;
    ASSERT_TRUE(a.create2D(16, 16, Texture::A8R8G8B8, true, DepthStencilBuffer::D24));
    ASSERT_TRUE(b.create2D(8, 8, Texture::A8R8G8B8, true, DepthStencilBuffer::D16));
    ASSERT_TRUE(a.bind());

    // Replace a's texture behind the records' back: a second bind must not re-attach.
    Texture foreign;
    ASSERT_TRUE(foreign.create(16, 16, Texture::A8R8G8B8, 1));
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, foreign.id, 0);
    ASSERT_TRUE(a.bind());
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(foreign.id));

    // b in place of a, without unbinding.
    ASSERT_TRUE(b.bind());
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(b.getTexture(0)->id));
    EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), static_cast<GLint>(b.depthStencilBuffer->getId()));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 8, 8}));
    clearTo(0, 1, 0);
    b.unbind();
    EXPECT_EQ(texel(*b.getTexture(0), 0, 0), kGreen);
    EXPECT_NE(texel(*a.getTexture(0), 0, 0), kGreen);
}

TEST_F(RenderTargetTest, FlipAlternatesPingPongSetsOnly)
{
    RenderTarget plain;
    ASSERT_TRUE(plain.create2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    Texture* only = plain.getTexture(0);
    plain.flip();
    EXPECT_EQ(plain.getTexture(0), only);
    EXPECT_EQ(plain.current, 0);

    RenderTarget pp;
    ASSERT_TRUE(pp.createPingPong2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    Texture* first = pp.getTexture(0);
    ASSERT_TRUE(pp.bind());
    clearTo(1, 0, 0);
    pp.flip();
    Texture* second = pp.getTexture(0);
    ASSERT_NE(second, first);
    ASSERT_TRUE(pp.bind());
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(second->id));
    clearTo(0, 1, 0);
    pp.unbind();
    EXPECT_EQ(texel(*first, 3, 3), kRed);
    EXPECT_EQ(texel(*second, 3, 3), kGreen);
    pp.flip();
    EXPECT_EQ(pp.getTexture(0), first);
}

TEST_F(RenderTargetTest, ResizeRecreatesBuffersThatTheNextBindAttaches)
{
    RenderTarget never;
    std::string out = printedBy([](void* t) { EXPECT_FALSE(static_cast<RenderTarget*>(t)->resize(4, 4)); }, &never);
    EXPECT_EQ(out, "Render target not initialized, can't resize\n");

    // Another target keeps the shared framebuffer object (and its records) alive meanwhile.
    RenderTarget other, rt;
    ASSERT_TRUE(other.create2D(4, 4, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    ASSERT_TRUE(rt.create2D(16, 16, Texture::A8R8G8B8, true, DepthStencilBuffer::D24));
    // Resized while bound: the records of what is attached must not survive the old buffers.
    ASSERT_TRUE(rt.bind());
    ASSERT_TRUE(rt.resize(32, 8));
    EXPECT_EQ(rt.getWidth(), 32);
    EXPECT_EQ(rt.getHeight(), 8);
    EXPECT_EQ(rt.depthStencilBuffer->getFormat(), DepthStencilBuffer::D24);
    ASSERT_TRUE(rt.bind());
    EXPECT_EQ(attached(GL_COLOR_ATTACHMENT0), static_cast<GLint>(rt.getTexture(0)->id));
    EXPECT_EQ(attached(GL_DEPTH_ATTACHMENT), static_cast<GLint>(rt.depthStencilBuffer->getId()));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 32, 8}));
    clearTo(0, 0, 1);
    rt.unbind();
    EXPECT_EQ(texel(*rt.getTexture(0), 31, 7), kBlue);
}

TEST_F(RenderTargetTest, WithoutNonPowerOfTwoBuffersArePaddedButTheSizeIsTheImage)
{
    kxSetNonPowerOfTwoOverride(0);
    RenderTarget rt;
    ASSERT_TRUE(rt.create2D(640, 480, Texture::A8R8G8B8, true, DepthStencilBuffer::D24));
    EXPECT_EQ(rt.getTexture(0)->hwWidth, 1024);
    EXPECT_EQ(rt.getTexture(0)->hwHeight, 512);
    EXPECT_EQ(rt.getWidth(), 640);
    EXPECT_EQ(rt.getHeight(), 480);
    GLint w = 0, h = 0;
    glBindRenderbuffer(GL_RENDERBUFFER, rt.depthStencilBuffer->getId());
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_WIDTH, &w);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_HEIGHT, &h);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 512);
}

TEST_F(RenderTargetTest, TheLastColourBufferDeletesTheSharedFramebuffer)
{
    RenderTarget a, b;
    ASSERT_TRUE(a.create2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    ASSERT_TRUE(b.createPingPong2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    ASSERT_TRUE(a.bind());
    const GLuint fbo = RenderTarget::getCurrentFboId();
    a.unbind();
    a.release();
    EXPECT_TRUE(glIsFramebuffer(fbo));
    b.release();
    EXPECT_FALSE(glIsFramebuffer(fbo));

    // A new one comes with the next colour buffer; releasing it while bound returns to the host.
    ASSERT_TRUE(a.create2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    ASSERT_TRUE(a.bind());
    const GLuint again = RenderTarget::getCurrentFboId();
    EXPECT_TRUE(glIsFramebuffer(again));
    a.release();
    EXPECT_FALSE(glIsFramebuffer(again));
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId()));
    EXPECT_EQ(RenderTarget::getCurrentFboId(), framebufferId());
}

TEST_F(RenderTargetTest, AFailedCreationKeepsNoFramebufferReference)
{
    RenderTarget a;
    ASSERT_TRUE(a.create2D(8, 8, Texture::A8R8G8B8, false, DepthStencilBuffer::D16));
    ASSERT_TRUE(a.bind());
    const GLuint fbo = RenderTarget::getCurrentFboId();
    a.unbind();

    glEnable(0xFFFF); // leaves GL_INVALID_ENUM pending
    KXGfx::ColorBuffer failed;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(failed.create2D(8, 8, Texture::A8R8G8B8, 1));
    // Neither a bad size nor a missing format makes a texture.
    EXPECT_FALSE(failed.create2D(0, 8, Texture::A8R8G8B8, 1));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("KXRenderTarget::create2D Could not create texture\n"), std::string::npos);
    EXPECT_EQ(failed.getTexture(), nullptr);

    a.release();
    EXPECT_FALSE(glIsFramebuffer(fbo));
}

TEST_F(RenderTargetTest, AnEmptyTargetIsInvalid)
{
    RenderTarget rt;
    EXPECT_FALSE(rt.isValid());
    EXPECT_FALSE(rt.bind());
    EXPECT_FALSE(rt.bindDepth());
    EXPECT_EQ(boundFramebuffer(), static_cast<GLint>(framebufferId()));
    testing::internal::CaptureStdout();
    EXPECT_EQ(rt.getWidth(), 0);
    EXPECT_EQ(rt.getHeight(), 0);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Debugger break"), std::string::npos);
    EXPECT_EQ(rt.getTexture(0), nullptr);
    EXPECT_EQ(rt.getTexture(7), nullptr);
}

} // namespace
