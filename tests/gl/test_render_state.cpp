// Render state and transforms, checked by where things land on screen in a real context.
#include "GLTestFixture.h"
#include "KXGfxUtils.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

class RenderState : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        GLint vp[4];
        glGetIntegerv(GL_VIEWPORT, vp);
        w = vp[2];
        h = vp[3];
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        KXGfx::clear(0, 0, 0, 1, true, 1);
    }
    // Colour at column x, row y counted from the top.
    std::array<unsigned char, 4> at(int x, int y)
    {
        std::array<unsigned char, 4> px{};
        glReadPixels(x, h - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }
    bool lit(int x, int y) { return at(x, y)[0] > 128; }
    void rect(float x0, float y0, float x1, float y1, float z = 0)
    {
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glVertex3f(x0, y0, z);
        glVertex3f(x1, y0, z);
        glVertex3f(x1, y1, z);
        glVertex3f(x0, y1, z);
        glEnd();
    }
    int w = 0, h = 0;
};

TEST_F(RenderState, OrthoPutsTheOriginTopLeft)
{
    KXGfx::setOrtho(static_cast<float>(w), static_cast<float>(h));
    rect(4, 2, 8, 6);
    EXPECT_TRUE(lit(4, 2));
    EXPECT_TRUE(lit(7, 5));
    EXPECT_FALSE(lit(3, 2));
    EXPECT_FALSE(lit(4, 1));
    EXPECT_FALSE(lit(8, 5));
    EXPECT_FALSE(lit(4, h - 3)) << "y grows downwards";
}

TEST_F(RenderState, PixelViewMapsThePlaneZeroOntoPixels)
{
    KXGfx::set2DView(static_cast<float>(w), static_cast<float>(h), 0);
    rect(10, 4, 20, 12);
    EXPECT_TRUE(lit(10, 4));
    EXPECT_TRUE(lit(19, 11));
    EXPECT_FALSE(lit(9, 8));
    EXPECT_FALSE(lit(15, 3));
    EXPECT_FALSE(lit(20, 8));
    EXPECT_FALSE(lit(15, 12));

    // The corners of the area land on the corners of the viewport.
    KXGfx::clear(0, 0, 0, 1, true, 1);
    rect(0, 0, 1, 1);
    rect(static_cast<float>(w - 1), static_cast<float>(h - 1), static_cast<float>(w), static_cast<float>(h));
    EXPECT_TRUE(lit(0, 0));
    EXPECT_TRUE(lit(w - 1, h - 1));
}

TEST_F(RenderState, PerspectiveProjectionFollowsTheFieldOfView)
{
    // 90 degrees: at depth 2 the view spans -2..2 in y, and -2*aspect..2*aspect in x.
    const float aspect = static_cast<float>(w) / static_cast<float>(h);
    KXGfx::setPerspectiveProjection(90, aspect, 1, 10);
    glLoadIdentity();
    rect(0, 0, 2 * aspect, 1, -2); // the top half of the right half... up to a quarter height
    EXPECT_TRUE(lit(w / 2 + 1, h / 2 - 2));
    EXPECT_TRUE(lit(w - 1, h / 4 + 1));
    EXPECT_FALSE(lit(w / 2 - 2, h / 2 - 2));
    EXPECT_FALSE(lit(w - 1, h / 4 - 2));
    EXPECT_FALSE(lit(w / 2 + 1, h / 2 + 2));

    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_FLOAT_EQ(m[11], -1.0f);
    EXPECT_NEAR(m[10], -11.0f / 9.0f, 1e-6);
    EXPECT_NEAR(m[14], -20.0f / 9.0f, 1e-6);
}

TEST_F(RenderState, SwitchesChangeOnlyWhatTheySay)
{
    glClearDepth(0.25);
    KXGfx::clear(0, 0, 0, 1, false, 1);
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_FLOAT_EQ(depth, 0.25f);

    glEnable(GL_CULL_FACE);
    KXGfx::setCullMode(KXGfx::CULL_NONE);
    KXGfx::setCullMode(KXGfx::CULL_CW);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint front = 0;
    glGetIntegerv(GL_FRONT_FACE, &front);
    EXPECT_EQ(front, GL_CW);
    KXGfx::setCullMode(KXGfx::CULL_CCW);

    glDisable(GL_BLEND);
    KXGfx::setBlendMode(KXGfx::BLEND_ADD);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE);
    KXGfx::enableBlend(true);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    KXGfx::enableBlend(false);

    KXGfx::enableDepthBuffer(true);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_TRUE(mask);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    KXGfx::enableDepthBuffer(false);

    KXGfx::setFillMode(KXGfx::FILL_WIREFRAME);
    GLint modes[2];
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    KXGfx::setFillMode(KXGfx::FILL_SOLID);
    // Values outside the enumerations change nothing.
    KXGfx::setFillMode(static_cast<KXGfx::FILLMODE>(7));
    KXGfx::setBlendMode(static_cast<KXGfx::BLENDMODE>(-1));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(KXGfx::getGLPRIMITIVETYPE(KXGfx::POINTS), static_cast<unsigned>(GL_POINTS));
    EXPECT_EQ(KXGfx::getGLPRIMITIVETYPE(KXGfx::QUADS), static_cast<unsigned>(GL_QUADS));
}

TEST_F(RenderState, FlippedQuadsShowTheTextureUpsideDown)
{
    // A 1x2 texture: red in its first row (bottom, t = 0), blue in its second.
    const unsigned char texels[8] = {255, 0, 0, 255, 0, 0, 255, 255};
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    KXGfx::setOrtho(static_cast<float>(w), static_cast<float>(h));

    KXGfx::drawQuad(0, 0, static_cast<float>(w), static_cast<float>(h), 1, 1, false);
    const auto topUpright = at(w / 2, 1);
    KXGfx::drawQuad(0, 0, static_cast<float>(w), static_cast<float>(h), 1, 1, true);
    const auto topFlipped = at(w / 2, 1);
    const auto bottomFlipped = at(w / 2, h - 2);
    // Unflipped, texture row 0 sits at the top of the (y-down) quad.
    EXPECT_EQ(topUpright[0], 255);
    EXPECT_EQ(topFlipped[2], 255);
    EXPECT_EQ(bottomFlipped[0], 255);
    GLboolean vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    EXPECT_TRUE(vertexArray) << "the vertex array stays enabled";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &tex);
}

TEST_F(RenderState, TheFirstViewportChangeRemembersTheViewportInForce)
{
    // The viewport records live for the process, so the whole sequence runs in one test.
    KXGfx::setViewport(0, 0, 20, 10, false);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 20);
    KXGfx::resetViewport();
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], w);
    EXPECT_EQ(vp[3], h);

    KXGfx::setViewport(1, 2, 30, 20, true);
    glViewport(0, 0, w, h);
    KXGfx::resetViewport();
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 1);
    EXPECT_EQ(vp[1], 2);
    EXPECT_EQ(vp[2], 30);
    EXPECT_EQ(vp[3], 20);
    KXGfx::setViewport(0, 0, w, h, true);
}

} // namespace
