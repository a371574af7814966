// The headless context and the stand-in host framebuffer: what the context offers, that several
// users of one EGL display do not pull it from under each other, and that read-back comes out
// top row first.
#include "GLTestFixture.h"
#include "HeadlessGL.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

class Headless : public GLTest {};

// Red in the top half of the picture, blue in the bottom half, drawn as a quad in normalised
// device coordinates (y up, so the top half is y 0..1).
void drawRedTopBlueBottom()
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    glBegin(GL_QUADS);
    glVertex2f(-1, 0);
    glVertex2f(1, 0);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
}

TEST_F(Headless, ContextIsADesktopCompatibilityContextOfAtLeast21)
{
    const std::string platform = gl().platformName();
#if defined(_WIN32)
    EXPECT_EQ(platform, "wgl");
#else
    EXPECT_TRUE(platform == "device" || platform == "surfaceless" || platform == "default") << platform;
#endif
    EXPECT_FALSE(gl().renderer().empty());
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(gl().version().c_str(), "%d.%d", &major, &minor), 2) << gl().version();
    EXPECT_TRUE(major > 2 || (major == 2 && minor >= 1)) << gl().version();
    EXPECT_EQ(gl().version(), reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    if (major > 3 || (major == 3 && minor >= 2)) {
        GLint mask = 0;
        glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
        EXPECT_NE(mask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT, 0) << "a core context cannot run the fixed pipeline";
    }
    // Fixed-function calls work: a compatibility context.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Headless, OtherUsersOfTheDisplayLeaveTheSharedContextWorking)
{
    // displayAvailable initialises and releases the same display the shared context lives on;
    // a second context is created and destroyed beside it.
    EXPECT_TRUE(kxhost::HeadlessGL::displayAvailable());
    {
        std::string error;
        std::unique_ptr<kxhost::HeadlessGL> second = kxhost::HeadlessGL::create(error);
        ASSERT_NE(second, nullptr) << error;
        EXPECT_STREQ(second->platformName(), gl().platformName());
        EXPECT_NE(glGetString(GL_VERSION), nullptr) << "the new context is current";
    }
    ASSERT_TRUE(gl().makeCurrent());
    framebuffer().bind();
    drawRedTopBlueBottom();
    EXPECT_EQ(pixel(0, 0)[0], 255) << "the shared context still draws";
}

TEST_F(Headless, ReadBackListsTheTopRowFirst)
{
    drawRedTopBlueBottom();
    const int w = framebuffer().width(), h = framebuffer().height();
    const std::vector<unsigned char> image = readImage();
    ASSERT_EQ(image.size(), static_cast<std::size_t>(w * h * 4));
    const unsigned char red[4] = {255, 0, 0, 255}, blue[4] = {0, 0, 255, 255};
    for (int y : {0, h / 2 - 1})
        EXPECT_EQ(std::memcmp(&image[static_cast<std::size_t>(y) * w * 4], red, 4), 0) << "row " << y;
    for (int y : {h / 2, h - 1})
        EXPECT_EQ(std::memcmp(&image[(static_cast<std::size_t>(y) * w + w - 1) * 4], blue, 4), 0) << "row " << y;
}

TEST_F(Headless, ReadBackOfAnOddSizeRestoresBindingsAndPackState)
{
    kxhost::Framebuffer small;
    std::string error;
    ASSERT_TRUE(small.create(5, 3, error)) << error;
    GLint drawBinding = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    EXPECT_EQ(static_cast<unsigned>(drawBinding), framebufferId()) << "create keeps the bindings";
    ASSERT_NE(framebufferId(), 0u);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));

    small.bind();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 5);
    EXPECT_EQ(viewport[3], 3);
    // Only the top row (GL row 2) green.
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 2, 5, 1);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    framebuffer().bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    std::vector<unsigned char> image;
    ASSERT_TRUE(small.readPixels(image));
    ASSERT_EQ(image.size(), 5u * 3u * 4u);
    EXPECT_EQ(image[1], 255) << "top row first";
    EXPECT_EQ(image[5 * 4 * 2 + 1], 0) << "bottom row last";
    GLint readBinding = 0, alignment = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(static_cast<unsigned>(readBinding), framebufferId());
    EXPECT_EQ(alignment, 8);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

TEST_F(Headless, FramebufferRejectsBadSizesAndMovesItsNames)
{
    kxhost::Framebuffer fb;
    std::string error;
    EXPECT_FALSE(fb.create(0, 4, error));
    EXPECT_NE(error.find("size"), std::string::npos) << error;
    EXPECT_EQ(fb.id(), 0u);
    std::vector<unsigned char> image;
    EXPECT_FALSE(fb.readPixels(image)) << "nothing to read";
    error.clear();
    EXPECT_FALSE(fb.create(100000, 100000, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "a refused size leaves no GL error";

    ASSERT_TRUE(fb.create(4, 4, error)) << error;
    const unsigned name = fb.id();
    kxhost::Framebuffer moved(std::move(fb));
    EXPECT_EQ(fb.id(), 0u);
    EXPECT_EQ(moved.id(), name);
    EXPECT_EQ(moved.width(), 4);
    fb.release(); // deletes nothing
    EXPECT_EQ(glIsFramebuffer(name), GL_TRUE);
    moved = kxhost::Framebuffer();
    EXPECT_EQ(glIsFramebuffer(name), GL_FALSE) << "assignment released the old names";
}

} // namespace
