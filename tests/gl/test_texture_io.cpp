// Texture upload, locking, read-back, framebuffer copies and the textured-quad draws, checked
// against what GL stores and what lands in the test framebuffer.
#include "GLTestFixture.h"
#include "KXGL.h"
#include "KXPixelFuncs.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

using KXGfx::Texture;
using RGBA = std::array<unsigned char, 4>;

const RGBA kRed = {255, 0, 0, 255}, kGreen = {0, 255, 0, 255}, kBlue = {0, 0, 255, 255},
           kWhite = {255, 255, 255, 255}, kBlack = {0, 0, 0, 255};

// Level 0 of `t` as GL stores it, in `format` / GL_UNSIGNED_BYTE, rows tightly packed.
std::vector<unsigned char> stored(const Texture& t, GLenum format, int bytesPerTexel)
{
    std::vector<unsigned char> out(static_cast<std::size_t>(t.hwWidth) * t.hwHeight * bytesPerTexel);
    glBindTexture(GL_TEXTURE_2D, t.id);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return out;
}

std::vector<unsigned char> pattern(int w, int h, int bpp)
{
    std::vector<unsigned char> v(static_cast<std::size_t>(w) * h * bpp);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<unsigned char>(1 + (i * 13) % 251);
    return v;
}

class TextureIOTest : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Texture::defaultFilter = Texture::NEAREST;
        glColor4f(1, 1, 1, 1);
    }
    void TearDown() override
    {
        kxSetNonPowerOfTwoOverride(-1);
        Texture::defaultFilter = Texture::LINEAR;
        Texture::resetAllSamplers();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glDisableClientState(GL_VERTEX_ARRAY);
        GLTest::TearDown();
    }

    // Pixel-aligned view of the test framebuffer with y growing downwards (top = smaller y).
    void topDownView()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, fbWidth(), fbHeight(), 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // A 2 x 2 RGBA texture: GL row 0 = red, green; row 1 = blue, white.
    void makeQuadrants(Texture& t)
    {
        unsigned char px[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        ASSERT_TRUE(t.create(px, 2, 2, Texture::A8B8G8R8, 1));
    }
};

TEST_F(TextureIOTest, UpdateReplacesTheImageOrARectangle)
{
    kxSetNonPowerOfTwoOverride(0);
    Texture t;
    ASSERT_TRUE(t.create(3, 3, Texture::R8G8B8, 1));
    ASSERT_EQ(t.hwWidth, 4);
    // 0 x 0 means the image (3 x 3), not the padded 4 x 4 texture.
    std::vector<unsigned char> src = pattern(3, 3, 3);
    ASSERT_TRUE(t.update(src.data(), 0, 0));
    std::vector<unsigned char> got = stored(t, GL_RGB, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c) {
                const unsigned char want = (x < 3 && y < 3) ? src[(y * 3 + x) * 3 + c] : 0;
                EXPECT_EQ(got[(y * 4 + x) * 3 + c], want) << x << "," << y;
            }
    EXPECT_FALSE(t.isBound());
    EXPECT_EQ(Texture::getCurrentSampler(0), nullptr);

    const unsigned char patch[12] = {9, 9, 9, 8, 8, 8, 7, 7, 7, 6, 6, 6};
    ASSERT_TRUE(t.update(const_cast<unsigned char*>(patch), 1, 2, 2, 2));
    got = stored(t, GL_RGB, 3);
    EXPECT_EQ(got[(2 * 4 + 1) * 3], 9);
    EXPECT_EQ(got[(2 * 4 + 2) * 3], 8);
    EXPECT_EQ(got[(3 * 4 + 1) * 3], 7);
    EXPECT_EQ(got[(3 * 4 + 2) * 3], 6);
    EXPECT_EQ(got[(1 * 4 + 1) * 3], src[(1 * 3 + 1) * 3]);

    // Outside the texture: a GL error, reported as failure.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(t.update(const_cast<unsigned char*>(patch), 3, 3, 2, 2));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("GL ERROR"), std::string::npos);
    t.unbind();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST_F(TextureIOTest, LockReadsTheWholePaddedImageAndUnlockWritesItBack)
{
    kxSetNonPowerOfTwoOverride(0);
    std::vector<unsigned char> src = pattern(300, 200, 3);
    Texture t;
    ASSERT_TRUE(t.create(src.data(), 300, 200, Texture::R8G8B8, 1));
    unsigned char* buf = t.lock(Texture::LOCK_READ, 0);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(t.lockPitch, 1536);
    EXPECT_TRUE(t.isBound());
    EXPECT_EQ(buf[0], src[0]);
    EXPECT_EQ(buf[199 * 1536 + 299 * 3 + 2], src[(199 * 300 + 299) * 3 + 2]);
    EXPECT_EQ(buf[199 * 1536 + 300 * 3], 0);  // padding column
    EXPECT_EQ(buf[255 * 1536 + 511 * 3], 0);  // padding row
    buf[0] = 0xAB;                            // read-only lock: not uploaded
    EXPECT_TRUE(t.unlock());
    EXPECT_EQ(t.lockBuffer, nullptr);
    EXPECT_FALSE(t.isBound());
    EXPECT_EQ(stored(t, GL_RGB, 3)[0], src[0]);

    // Rows of an odd byte width are packed tightly whatever GL_PACK_ALIGNMENT says.
    kxSetNonPowerOfTwoOverride(1);
    std::vector<unsigned char> odd = pattern(5, 3, 3);
    Texture o;
    ASSERT_TRUE(o.create(odd.data(), 5, 3, Texture::R8G8B8, 1));
    unsigned char* ob = o.lock(Texture::LOCK_READ, 0);
    ASSERT_NE(ob, nullptr);
    EXPECT_EQ(o.lockPitch, 15);
    EXPECT_EQ(std::memcmp(ob, odd.data(), odd.size()), 0);
    o.unlock();

    // A write lock through the format's pixel writer uploads the whole buffer.
    Texture w;
    ASSERT_TRUE(w.create(8, 4, Texture::A8R8G8B8, 1));
    unsigned char* wb = w.lock(Texture::LOCK_WRITE, 0);
    ASSERT_NE(wb, nullptr);
    ASSERT_EQ(w.lockPitch, 32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            w.pixelFunc(wb, x, y, 0, w.lockPitch, 0, x / 7.0f, 0.0f, y / 3.0f, 1.0f);
    EXPECT_TRUE(w.unlock());
    std::vector<unsigned char> rgba = stored(w, GL_RGBA, 4);
    EXPECT_EQ((RGBA{rgba[0], rgba[1], rgba[2], rgba[3]}), (RGBA{0, 0, 0, 255}));
    const std::size_t last = (3 * 8 + 7) * 4;
    EXPECT_EQ((RGBA{rgba[last], rgba[last + 1], rgba[last + 2], rgba[last + 3]}), (RGBA{255, 0, 255, 255}));

    // Unlocking without a lock uploads nothing.
    EXPECT_TRUE(w.unlock());
    EXPECT_EQ(stored(w, GL_RGBA, 4), rgba);
}

TEST_F(TextureIOTest, LockOfAWrappedTextureSizesTheBufferForWhatGLWrites)
{
    Texture owner;
    ASSERT_TRUE(owner.create(5, 3, Texture::A8B8G8R8, 1));
    // Filled as the adapter fills a host wrapper: no bytesPerPixel of its own.
    Texture wrap;
    wrap.init();
    wrap.id = owner.id;
    wrap.target = GL_TEXTURE_2D;
    wrap.width = wrap.hwWidth = 5;
    wrap.height = wrap.hwHeight = 3;
    wrap.pixelFormat = GL_RGBA;
    wrap.pixelType = GL_UNSIGNED_BYTE;
    ASSERT_NE(wrap.lock(Texture::LOCK_READ, 0), nullptr);
    EXPECT_EQ(wrap.lockPitch, 20);
    wrap.unlock();
    wrap.id = 0;
}

TEST_F(TextureIOTest, ReadPixelsDrawsTheImageAndReadsItInTheAskedFormat)
{
    std::vector<unsigned char> src = pattern(8, 8, 4);
    for (std::size_t i = 3; i < src.size(); i += 4)
        src[i] = 255;
    Texture t;
    ASSERT_TRUE(t.create(src.data(), 8, 8, Texture::A8B8G8R8, 1));
    glViewport(0, 0, 64, 64);

    std::vector<unsigned char> rgba(8 * 8 * 4);
    EXPECT_TRUE(t.readPixels(rgba.data(), 8, 8, Texture::A8B8G8R8));
    EXPECT_EQ(rgba, src);
    std::array<GLint, 4> vp{};
    glGetIntegerv(GL_VIEWPORT, vp.data());
    EXPECT_EQ(vp, (std::array<GLint, 4>{0, 0, 64, 64}));

    std::vector<unsigned char> bgra(8 * 8 * 4);
    EXPECT_TRUE(t.readPixels(bgra.data(), 8, 8, Texture::A8R8G8B8));
    for (std::size_t i = 0; i < src.size(); i += 4) {
        ASSERT_EQ(bgra[i], src[i + 2]);
        ASSERT_EQ(bgra[i + 2], src[i]);
        ASSERT_EQ(bgra[i + 3], src[i + 3]);
    }
    EXPECT_FALSE(t.readPixels(bgra.data(), 8, 8, Texture::FORMAT(-1)));
}

TEST_F(TextureIOTest, GrabFrameBufferCopiesToTheTextureOrigin)
{
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(4, 4, 4, 4);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    Texture t;
    ASSERT_TRUE(t.create(8, 8, Texture::A8B8G8R8, 1));
    EXPECT_TRUE(t.grabFrameBuffer(4, 4, 4, 4));
    std::vector<unsigned char> got = stored(t, GL_RGBA, 4);
    EXPECT_EQ((RGBA{got[0], got[1], got[2], got[3]}), kGreen);
    const std::size_t outside = (5 * 8 + 5) * 4;
    EXPECT_EQ((RGBA{got[outside], got[outside + 1], got[outside + 2], got[outside + 3]}), (RGBA{0, 0, 0, 0}));
    EXPECT_FALSE(t.isBound());

    EXPECT_TRUE(t.grabFrameBuffer());
    got = stored(t, GL_RGBA, 4);
    EXPECT_EQ((RGBA{got[0], got[1], got[2], got[3]}), kRed);
    EXPECT_EQ((RGBA{got[outside], got[outside + 1], got[outside + 2], got[outside + 3]}), kGreen);
}

TEST_F(TextureIOTest, DrawPutsTheImageOriginAtTheTopLeftUnlessMirrored)
{
    Texture t;
    makeQuadrants(t);
    topDownView();
    t.draw(0, 0, 64, 64, true);
    EXPECT_EQ(pixel(8, 8), kRed);
    EXPECT_EQ(pixel(56, 8), kGreen);
    EXPECT_EQ(pixel(8, 56), kBlue);
    EXPECT_EQ(pixel(56, 56), kWhite);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_FALSE(t.isBound());

    t.draw(0, 0, 64, 64, false);
    EXPECT_EQ(pixel(8, 8), kBlue);
    EXPECT_EQ(pixel(56, 56), kGreen);

    t.flipped = true;
    t.draw(0, 0, 64, 64, true);
    EXPECT_EQ(pixel(8, 8), kBlue);
}

TEST_F(TextureIOTest, CornerAndPartDrawsAddressTheImageNotThePadding)
{
    // Without non-power-of-two support a 3 x 1 image lies in a 4 x 1 texture (maxU 0.75).
    kxSetNonPowerOfTwoOverride(0);
    unsigned char px[12] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255};
    Texture row;
    ASSERT_TRUE(row.create(px, 3, 1, Texture::A8B8G8R8, 1));
    topDownView();
    row.draw(0, 0, 48, 48, 0, 0, 1, 1, true); // the second pair is a corner, not a size
    EXPECT_EQ(pixel(8, 8), kRed);
    EXPECT_EQ(pixel(24, 8), kGreen);
    EXPECT_EQ(pixel(40, 40), kBlue);
    EXPECT_EQ(pixel(56, 56), kBlack);

    Texture t;
    makeQuadrants(t);
    topDownView();
    t.drawPart(0, 0, 64, 64, 0.5f, 0, 0.5f, 1, true); // the right half
    EXPECT_EQ(pixel(8, 8), kGreen);
    EXPECT_EQ(pixel(56, 8), kGreen);
    EXPECT_EQ(pixel(8, 56), kWhite);
    t.drawPart(0, 0, 64, 64, 0.5f, 0, 0.5f, 1, false);
    EXPECT_EQ(pixel(8, 8), kWhite);

    t.draw(0, 0, 64, 64, 0, 0, 0.5f, 1, false);
    EXPECT_EQ(pixel(8, 8), kBlue);
    EXPECT_EQ(pixel(56, 56), kRed);
}

TEST_F(TextureIOTest, StaticQuadsDrawWhiteWithTheCallersBinding)
{
    Texture t;
    makeQuadrants(t);
    topDownView();
    t.bind(0);
    glColor4f(0, 0, 0, 1);
    Texture::drawQuad(&t, 0, 0, 64, 64);
    EXPECT_EQ(pixel(8, 8), kRed);
    EXPECT_EQ(pixel(56, 56), kWhite);

    topDownView();
    Texture::drawQuadZ(&t, 0, 0, 5.0f, 64, 64); // beyond the far plane: clipped
    EXPECT_EQ(pixel(8, 8), kBlack);
    t.flipped = true;
    Texture::drawQuadZ(&t, 0, 0, 0.5f, 64, 64);
    EXPECT_EQ(pixel(8, 8), kBlue);
    Texture::drawQuad(nullptr, 0, 0, 64, 64);
    EXPECT_TRUE(t.isBound());
    t.unbind();
}

} // namespace
