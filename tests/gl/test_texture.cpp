// Texture objects against what GL reports: sizes and padding with and without non-power-of-two
// support, the S3TC sizes, the mipmap modes, adoption and description of foreign names, the
// sampler table, the sampling setters, and the pixel writers' byte layouts.
#include "GLTestFixture.h"
#include "KXGL.h"
#include "KXPixelFuncs.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using KXGfx::Texture;

std::string printedBy(const std::function<void()>& f)
{
    testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

class TextureTest : public GLTest {
protected:
    void TearDown() override
    {
        kxSetNonPowerOfTwoOverride(-1);
        Texture::defaultFilter = Texture::LINEAR;
        Texture::resetAllSamplers();
        glBindTexture(GL_TEXTURE_2D, 0);
        GLTest::TearDown();
    }

    // Level `level` of texture `id` as GL reports it.
    static GLint levelParam(unsigned id, int level, GLenum what)
    {
        GLint v = -1;
        glBindTexture(GL_TEXTURE_2D, id);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
        return v;
    }

    // Level 0 of texture `id` read back in `format` / `type`, rows tightly packed.
    static std::vector<unsigned char> texels(unsigned id, GLenum format, GLenum type, int bytesPerTexel)
    {
        const GLint w = levelParam(id, 0, GL_TEXTURE_WIDTH), h = levelParam(id, 0, GL_TEXTURE_HEIGHT);
        std::vector<unsigned char> out(static_cast<std::size_t>(w) * h * bytesPerTexel);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, type, out.data());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        return out;
    }
};

// Source image whose bytes say where they came from.
std::vector<unsigned char> pattern(int w, int h, int bpp)
{
    std::vector<unsigned char> v(static_cast<std::size_t>(w) * h * bpp);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = static_cast<unsigned char>(1 + (i * 7) % 251);
    return v;
}

TEST_F(TextureTest, WithoutNonPowerOfTwoTheImageIsPaddedIntoTheCorner)
{
    kxSetNonPowerOfTwoOverride(0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    std::vector<unsigned char> src = pattern(300, 200, 3);
    Texture t;
    ASSERT_TRUE(t.create(src.data(), 300, 200, Texture::R8G8B8, 1));
    EXPECT_EQ(t.hwWidth, 512);
    EXPECT_EQ(t.hwHeight, 256);
    EXPECT_FLOAT_EQ(t.maxU, 0.5859375f);
    EXPECT_FLOAT_EQ(t.maxV, 0.78125f);
    EXPECT_EQ(t.getWidth(), 300);
    EXPECT_EQ(t.bytesPerPixel, 3);
    EXPECT_EQ(t.pixelFunc, &KXGfx::pixelR8G8B8);
    EXPECT_FALSE(t.isBound());

    GLint alignment = 0, binding = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    EXPECT_EQ(alignment, 8) << "unpack alignment restored";
    EXPECT_EQ(static_cast<unsigned>(binding), t.id) << "left bound on the active unit";
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));

    EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_HEIGHT), 256);
    const std::vector<unsigned char> back = texels(t.id, GL_RGB, GL_UNSIGNED_BYTE, 3);
    for (int y : {0, 1, 199})
        EXPECT_EQ(std::memcmp(&back[static_cast<std::size_t>(y) * 512 * 3], &src[static_cast<std::size_t>(y) * 300 * 3],
                              300 * 3),
                  0)
            << "image row " << y;
    for (std::size_t at : {std::size_t(300 * 3), std::size_t(511 * 3 + 2), std::size_t(200) * 512 * 3,
                           back.size() - 1})
        EXPECT_EQ(back[at], 0) << "padding byte " << at;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST_F(TextureTest, WithNonPowerOfTwoTheTextureHasTheImageSize)
{
    kxSetNonPowerOfTwoOverride(1);
    std::vector<unsigned char> src = pattern(300, 200, 3);
    Texture t;
    ASSERT_TRUE(t.create(src.data(), 300, 200, Texture::R8G8B8, 1));
    EXPECT_EQ(t.hwWidth, 300);
    EXPECT_EQ(t.hwHeight, 200);
    EXPECT_EQ(t.maxU, 1.0f);
    EXPECT_EQ(t.maxV, 1.0f);
    EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_WIDTH), 300);
    EXPECT_EQ(texels(t.id, GL_RGB, GL_UNSIGNED_BYTE, 3), src) << "odd row length uploaded with alignment 1";
}

TEST_F(TextureTest, CompressedSizesFollowTheBlockLayout)
{
    if (!kxGLExtension("GL_EXT_texture_compression_s3tc"))
        GTEST_SKIP() << "no S3TC in this context";
    struct Case {
        int npot, w, h;
        Texture::FORMAT format;
        int hwW, hwH, bytes;
    };
    for (const Case& c : {Case{1, 100, 60, Texture::DXT5, 112, 64, 7168}, Case{1, 256, 256, Texture::DXT1, 256, 256, 32768},
                          Case{1, 20, 20, Texture::DXT1A, 32, 32, 512}, Case{0, 100, 60, Texture::DXT5, 128, 64, 8192},
                          // Sides below one block still take a whole block.
                          Case{0, 2, 1, Texture::DXT1, 2, 1, 8}}) {
        kxSetNonPowerOfTwoOverride(c.npot);
        Texture t;
        std::vector<unsigned char> src = pattern(c.w, c.h, 4);
        ASSERT_TRUE(t.create(src.data(), c.w, c.h, c.format, 1)) << c.w << "x" << c.h;
        EXPECT_TRUE(t.isCompressed());
        EXPECT_EQ(t.hwWidth, c.hwW);
        EXPECT_EQ(t.hwHeight, c.hwH);
        EXPECT_EQ(t.compressedSize, c.bytes);
        EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), c.bytes);
        EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_WIDTH), c.hwW);
        EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_INTERNAL_FORMAT), static_cast<GLint>(t.internalFormat));
    }
}

TEST_F(TextureTest, MipmapModesGiveOneLevelOrAFullChain)
{
    kxSetNonPowerOfTwoOverride(1);
    Texture single, generated, glu;
    ASSERT_TRUE(single.create(64, 32, Texture::A8R8G8B8, 1));
    ASSERT_TRUE(generated.create(64, 32, Texture::A8R8G8B8, 0));
    ASSERT_TRUE(glu.create(64, 32, Texture::A8R8G8B8, 4));
    EXPECT_EQ(levelParam(single.id, 1, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(levelParam(generated.id, 1, GL_TEXTURE_WIDTH), 32);
    EXPECT_EQ(levelParam(generated.id, 6, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(levelParam(glu.id, 1, GL_TEXTURE_WIDTH), 32);
    EXPECT_EQ(glu.mipmapMode, 4);
    const std::vector<unsigned char> zero = texels(single.id, GL_RGBA, GL_UNSIGNED_BYTE, 4);
    EXPECT_EQ(zero, std::vector<unsigned char>(64 * 32 * 4, 0)) << "the size-only form fills with zeros";
}

TEST_F(TextureTest, FormatsWithoutAWriterStillCreate)
{
    Texture t;
    bool ok = false;
    EXPECT_EQ(printedBy([&] { ok = t.create(16, 16, Texture::A8B8G8R8, 1); }), "Texture:Can't set pixel callback\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(t.pixelFunc, nullptr);
    EXPECT_EQ(t.getFormat(), Texture::A8B8G8R8);
}

TEST_F(TextureTest, BadFormatsAndSizesFailWithoutATexture)
{
    Texture t;
    EXPECT_FALSE(t.create(16, 16, Texture::FORMAT(-1), 1));
    EXPECT_FALSE(t.isValid());
    EXPECT_FALSE(t.create(16, 16, Texture::FORMAT(14), 1)) << "past the table";
    EXPECT_FALSE(t.create(16, 16, Texture::FORMAT(-7), 1));
    EXPECT_FALSE(t.isValid());

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    for (int w : {0, -5, maxSize + 1}) {
        std::string printed;
        bool ok = true;
        printed = printedBy([&] { ok = t.create(w, 4, Texture::A8R8G8B8, 1); });
        EXPECT_FALSE(ok) << w;
        EXPECT_EQ(printed, "Texture::create invalid size " + std::to_string(w) + " x 4\n");
        EXPECT_FALSE(t.isValid());
    }
    EXPECT_FALSE(t.create(nullptr, -1, -1, Texture::R8G8B8, 1));
    EXPECT_FALSE(kxGetGLError()) << "nothing reached GL";
}

TEST_F(TextureTest, ResizeRecreatesWithItsFormatOrRefuses)
{
    Texture t;
    EXPECT_EQ(printedBy([&] { EXPECT_FALSE(t.resize(8, 8)); }), "Texture::resize called on unitizlized texture\n");

    kxSetNonPowerOfTwoOverride(1);
    std::vector<unsigned char> src = pattern(8, 8, 4);
    ASSERT_TRUE(t.create(src.data(), 8, 8, Texture::A8R8G8B8, 1));
    const unsigned oldName = t.id;
    ASSERT_TRUE(t.resize(20, 10));
    EXPECT_EQ(t.getFormat(), Texture::A8R8G8B8);
    EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_WIDTH), 20);
    EXPECT_EQ(levelParam(t.id, 0, GL_TEXTURE_HEIGHT), 10);
    EXPECT_EQ(texels(t.id, GL_RGBA, GL_UNSIGNED_BYTE, 4), std::vector<unsigned char>(20 * 10 * 4, 0));
    if (t.id != oldName) {
        EXPECT_FALSE(glIsTexture(oldName)) << "the old name was deleted";
    }

    Texture raw;
    ASSERT_TRUE(raw.createWithDataFormat(src.data(), 8, 8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 1));
    EXPECT_FALSE(raw.resize(16, 16)) << "no FORMAT to re-create";
    EXPECT_FALSE(raw.isValid());
}

TEST_F(TextureTest, ExplicitGLFormatsChooseBytesPerPixelAndPad)
{
    kxSetNonPowerOfTwoOverride(0);
    const unsigned char rgb[3 * 3 * 3] = {10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42, 50, 51, 52,
                                          60, 61, 62, 70, 71, 72, 80, 81, 82, 90, 91, 92};
    Texture t;
    ASSERT_TRUE(t.create(4, 4, Texture::L8, 1));
    ASSERT_TRUE(t.createWithDataFormat(const_cast<unsigned char*>(rgb), 3, 3, GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, 1));
    EXPECT_EQ(t.getFormat(), Texture::FORMAT(-1));
    EXPECT_EQ(t.pixelFunc, &KXGfx::pixelL8) << "the writer is left as it was";
    EXPECT_EQ(t.bytesPerPixel, 3);
    EXPECT_EQ(t.hwWidth, 4);
    EXPECT_FLOAT_EQ(t.maxU, 0.75f);
    const std::vector<unsigned char> back = texels(t.id, GL_RGB, GL_UNSIGNED_BYTE, 3);
    EXPECT_EQ(std::memcmp(&back[4 * 3], &rgb[3 * 3], 9), 0) << "row 1 at the padded stride";
    EXPECT_EQ(back[3 * 3], 0);

    ASSERT_TRUE(t.createWithDataFormat(nullptr, 4, 4, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, 1));
    EXPECT_EQ(t.bytesPerPixel, 1);
    ASSERT_TRUE(t.createWithDataFormat(nullptr, 4, 4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 1));
    EXPECT_EQ(t.bytesPerPixel, 4);

    // One-byte luminance and 16-byte float pixels are copied at their true size when padded
    // (taking 4 bytes for every pixel format would read past both images).
    const unsigned char lum[3 * 3] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(t.createWithDataFormat(const_cast<unsigned char*>(lum), 3, 3, GL_LUMINANCE8, GL_LUMINANCE,
                                       GL_UNSIGNED_BYTE, 1));
    EXPECT_EQ(t.bytesPerPixel, 1);
    EXPECT_EQ(texels(t.id, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1),
              (std::vector<unsigned char>{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 0, 0, 0, 0}));
    std::vector<float> rgbaF(3 * 3 * 4);
    for (std::size_t i = 0; i < rgbaF.size(); ++i)
        rgbaF[i] = static_cast<float>(i) + 0.5f;
    ASSERT_TRUE(t.createWithDataFormat(rgbaF.data(), 3, 3, GL_RGBA32F_ARB, GL_RGBA, GL_FLOAT, 1));
    EXPECT_EQ(t.bytesPerPixel, 16);
    const std::vector<unsigned char> f = texels(t.id, GL_RGBA, GL_FLOAT, 16);
    EXPECT_EQ(std::memcmp(&f[4 * 16 * 2], &rgbaF[3 * 4 * 2], 3 * 16), 0) << "row 2 at the padded stride";
}

TEST_F(TextureTest, AdoptedAndDescribedNamesGetTheirCoordinates)
{
    kxSetNonPowerOfTwoOverride(0);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);

    Texture adopted;
    adopted.createFromGL(300, 200, GL_TEXTURE_2D, name, GL_RGBA8);
    EXPECT_EQ(adopted.hwWidth, 512);
    EXPECT_FLOAT_EQ(adopted.maxU, 0.5859375f);
    adopted.release();
    EXPECT_FALSE(glIsTexture(name)) << "an adopted name is deleted by release";

    Texture rect;
    rect.createFromGL(640, 480, KXGfx::kGLTextureRectangleEXT, 0, GL_RGBA8);
    EXPECT_EQ(rect.hwWidth, 640);
    EXPECT_EQ(rect.maxU, 640.0f);
    EXPECT_EQ(rect.maxV, 480.0f);

    Texture d;
    d.setGLData(100, 50, 64, 64, GL_TEXTURE_2D, 0, GL_RGBA8);
    EXPECT_FLOAT_EQ(d.maxU, 100.0f / 64.0f) << "unclamped";
    d.computeMaxCoords();
    EXPECT_EQ(d.maxU, 1.0f) << "clamped";
    EXPECT_FLOAT_EQ(d.maxV, 50.0f / 64.0f);
    d.setGLData(8, 8, 16, 16, GL_TEXTURE_3D, 0, GL_RGBA8);
    EXPECT_EQ(d.maxU, 1.0f) << "another target keeps the coordinates";
    d.setGLData(640, 480, 1024, 512, KXGfx::kGLTextureRectangleEXT, 0, GL_RGBA8);
    d.computeMaxCoords();
    EXPECT_EQ(d.maxU, 640.0f);
    d.setGLData(8, 8, 0, 0, GL_TEXTURE_2D, 0, GL_RGBA8);
    EXPECT_EQ(d.maxU, 0.0f) << "no hardware size: no coordinate, not a division by zero";
    d.computeMaxCoords();
    EXPECT_EQ(d.maxV, 0.0f);
}

TEST_F(TextureTest, FormatTableLookups)
{
    EXPECT_EQ(KXGfx::getTextureFormat(GL_RGBA8), Texture::A8R8G8B8) << "first of two rows";
    EXPECT_EQ(KXGfx::getTextureFormat(GL_RGB), Texture::YCBCR422);
    EXPECT_EQ(KXGfx::getTextureFormat(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT), Texture::DXT5);
    EXPECT_EQ(KXGfx::getTextureFormat(GL_RGBA16), -1);
    Texture t;
    t.internalFormat = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    EXPECT_TRUE(t.isCompressed());
    t.internalFormat = GL_RGBA32F_ARB;
    EXPECT_FALSE(t.isCompressed());
}

TEST_F(TextureTest, SamplerTableFollowsBindUnbindAndReset)
{
    Texture a, b;
    ASSERT_TRUE(a.create(4, 4, Texture::A8R8G8B8, 1));
    ASSERT_TRUE(b.create(4, 4, Texture::A8R8G8B8, 1));
    const int count = Texture::getTextureCount();
    ASSERT_GE(Texture::getMaxTextureUnits(), 2);

    a.bind(1);
    GLint active = 0, binding = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    EXPECT_EQ(active, GL_TEXTURE1) << "bind leaves its unit active";
    EXPECT_EQ(static_cast<unsigned>(binding), a.id);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Texture::getCurrentSampler(1), &a);
    EXPECT_EQ(a.boundUnit, 1);

    Texture::resetAllSamplers();
    EXPECT_EQ(Texture::getCurrentSampler(1), nullptr);
    EXPECT_TRUE(a.isBound()) << "reset leaves the texture's own record";
    glActiveTexture(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &binding);
    EXPECT_EQ(binding, 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);

    // a still believes it is on unit 1; its unbind clears whatever the table holds there now.
    b.bind(1);
    a.unbind();
    EXPECT_EQ(Texture::getCurrentSampler(1), nullptr);
    EXPECT_FALSE(a.isBound());
    EXPECT_TRUE(b.isBound());
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0) << "unbind selects unit 0";

    b.unbind();
    b.release();
    EXPECT_EQ(Texture::getTextureCount(), count - 1);

    // Bound on two units, then re-created: neither entry may keep pointing at the old texture
    // (resetAllSamplers inside create would otherwise act on its cleared target and fail).
    a.bind(0);
    a.bind(1);
    EXPECT_TRUE(a.create(4, 4, Texture::A8R8G8B8, 1));
    EXPECT_EQ(Texture::getCurrentSampler(0), nullptr);
    EXPECT_EQ(Texture::getCurrentSampler(1), nullptr);
}

TEST_F(TextureTest, WrappersOfForeignNamesAreNeverDeleted)
{
    GLuint host = 0;
    glGenTextures(1, &host);
    glBindTexture(GL_TEXTURE_2D, host);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    Texture keepAlive; // keeps the sampler table allocated
    keepAlive.init();
    const int count = Texture::getTextureCount();

    {
        auto* wrapper = new Texture();
        wrapper->init();
        wrapper->id = host;
        wrapper->target = GL_TEXTURE_2D;
        wrapper->width = wrapper->hwWidth = wrapper->height = wrapper->hwHeight = 4;
        wrapper->computeMaxCoords();
        wrapper->bind(2);
        EXPECT_EQ(Texture::getCurrentSampler(2), wrapper);
        // The owner forgets the name and destroys the wrapper while it is still bound.
        wrapper->id = 0;
        delete wrapper;
    }
    EXPECT_EQ(Texture::getCurrentSampler(2), nullptr) << "no entry left pointing at the destroyed wrapper";
    Texture::resetAllSamplers();
    EXPECT_TRUE(glIsTexture(host));
    EXPECT_EQ(Texture::getTextureCount(), count + 1) << "a wrapper's registration is never dropped";

    Texture plain;
    plain.init();
    plain.id = 0;
    const int before = Texture::getTextureCount();
    plain.release();
    EXPECT_EQ(Texture::getTextureCount(), before);
    glDeleteTextures(1, &host);
}

TEST_F(TextureTest, DeinitWithNothingRegisteredKeepsTheCountAtZero)
{
    for (int i = 0; i < 1000 && Texture::getTextureCount() > 0; ++i)
        Texture::deinitTexturing();
    const int units = Texture::getMaxTextureUnits();
    Texture::deinitTexturing();
    EXPECT_EQ(Texture::getTextureCount(), 0);
    EXPECT_EQ(Texture::getCurrentSampler(0), nullptr);
    EXPECT_EQ(Texture::getMaxTextureUnits(), units) << "the unit count outlives the table";
    Texture::resetAllSamplers(); // no table: selects unit 0 only
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
}

TEST_F(TextureTest, UnitsOutsideTheTableAreHandledSafely)
{
    Texture t;
    ASSERT_TRUE(t.create(4, 4, Texture::A8R8G8B8, 1));
    const std::string printed = printedBy([&] { t.bind(-1); });
    EXPECT_EQ(printed.rfind("Debugger break: ", 0), 0u) << printed;
    EXPECT_FALSE(t.isBound());

    GLint combined = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &combined);
    const int beyond = Texture::getMaxTextureUnits();
    if (beyond < combined) {
        EXPECT_EQ(printedBy([&] { t.bind(beyond); }), "") << "a legal GL unit without a table entry";
        EXPECT_EQ(t.boundUnit, beyond);
        EXPECT_EQ(Texture::getCurrentSampler(beyond), nullptr);
        t.unbind();
        EXPECT_FALSE(t.isBound());
    }
}

TEST_F(TextureTest, SamplingSettersActOnTheBoundTexture)
{
    Texture t;
    ASSERT_TRUE(t.create(4, 4, Texture::A8R8G8B8, 1));
    t.bind(0);
    auto param = [](GLenum what) {
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, what, &v);
        return v;
    };
    t.setMagFilter(Texture::NEAREST);
    t.setMinFilter(Texture::NEAREST);
    t.setWrap(Texture::REPEAT);
    EXPECT_EQ(param(GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(param(GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(param(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(param(GL_TEXTURE_WRAP_T), GL_REPEAT);
    t.setWrapT(Texture::CLAMP_TO_EDGE);
    EXPECT_EQ(param(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    t.setMagFilter(Texture::FILTER(9));
    t.setWrapS(Texture::WRAP(-1));
    EXPECT_EQ(param(GL_TEXTURE_MAG_FILTER), GL_NEAREST) << "out-of-range values change nothing";
    EXPECT_EQ(param(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_FALSE(kxGetGLError());
    t.unbind();

    // Unbound: the break is taken, and the parameter still lands on what is bound to the target.
    glBindTexture(GL_TEXTURE_2D, t.id);
    const std::string printed = printedBy([&] { t.setMagFilter(Texture::LINEAR); });
    EXPECT_EQ(printed.rfind("Debugger break: ", 0), 0u) << printed;
    EXPECT_EQ(param(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

TEST(PixelWriters, ByteLayouts)
{
    unsigned char buf[64];
    std::memset(buf, 0xAA, sizeof buf);
    // Pixel (1, 2, 1) with row pitch 8 and slice pitch 32: offset 32 + 16 + x * size.
    KXGfx::pixelA8R8G8B8(buf, 1, 2, 1, 8, 32, 1.0f, 0.5f, 0.0f, 1.0f);
    const unsigned char argb[4] = {0x00, 0x7F, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(buf + 52, argb, 4), 0);
    std::uint32_t word = 0;
    std::memcpy(&word, buf + 52, 4);
    EXPECT_EQ(word, 0xFFFF7F00u);
    EXPECT_EQ(buf[51], 0xAA);
    EXPECT_EQ(buf[56], 0xAA) << "nothing written around the pixel";

    std::memset(buf, 0xAA, sizeof buf);
    KXGfx::pixelR8G8B8(buf, 2, 1, 0, 10, 0, 10.9f, 20.0f, 30.0f, 1.0f);
    EXPECT_EQ(buf[16], 30);
    EXPECT_EQ(buf[17], 20);
    EXPECT_EQ(buf[18], 10) << "b, g, r; truncated, not scaled";
    EXPECT_EQ(buf[15], 0xAA);
    EXPECT_EQ(buf[19], 0xAA);

    KXGfx::pixelL8(buf, 3, 0, 0, 0, 0, 200.7f, 0, 0, 0);
    EXPECT_EQ(buf[3], 200);

    float f[8];
    KXGfx::pixelR32F(f, 1, 0, 0, 0, 0, 0.25f, 9, 9, 9);
    EXPECT_EQ(f[1], 0.25f);
    KXGfx::pixelA32B32G32R32F(f, 1, 0, 0, 0, 0, 1, 2, 3, 4);
    EXPECT_EQ(f[4], 1.0f);
    EXPECT_EQ(f[7], 4.0f);

    std::memset(buf, 0xAA, sizeof buf);
    KXGfx::pixelA16B16G16R16F(buf, 0, 0, 0, 0, 0, 1, 1, 1, 1);
    EXPECT_EQ(buf[0], 0xAA) << "half floats are not written";
}

TEST(PixelWriters, OutOfRangeChannelsAndNullBuffers)
{
    unsigned char b[4] = {};
    KXGfx::pixelL8(b, 0, 0, 0, 0, 0, 261.0f, 0, 0, 0);
    EXPECT_EQ(b[0], 5) << "low 8 bits";
    KXGfx::pixelL8(b, 0, 0, 0, 0, 0, -1.0f, 0, 0, 0);
    EXPECT_EQ(b[0], 255);
    KXGfx::pixelL8(b, 0, 0, 0, 0, 0, std::numeric_limits<float>::quiet_NaN(), 0, 0, 0);
    EXPECT_EQ(b[0], 0);
    KXGfx::pixelL8(b, 0, 0, 0, 0, 0, 1e30f, 0, 0, 0); // no undefined conversion
    KXGfx::pixelA8R8G8B8(b, 0, 0, 0, 0, 0, 2.0f, 0, 0, 0);
    EXPECT_EQ(b[2], 254) << "trunc(2 * 255) = 510, low 8 bits";
    for (KXGfx::PixelFunc f : {&KXGfx::pixelR8G8B8, &KXGfx::pixelA8R8G8B8, &KXGfx::pixelL8, &KXGfx::pixelR32F,
                               &KXGfx::pixelA32B32G32R32F, &KXGfx::pixelA16B16G16R16F})
        f(nullptr, 3, 3, 0, 16, 0, 1, 1, 1, 1);
}

TEST_F(TextureTest, WrittenImagesReadBackThroughTheirFormat)
{
    kxSetNonPowerOfTwoOverride(1);
    // Two pixels per format, written with the format's writer into a tight 2 x 1 image.
    unsigned char argb[8];
    KXGfx::pixelA8R8G8B8(argb, 0, 0, 0, 8, 0, 1.0f, 0.5f, 0.0f, 1.0f);
    KXGfx::pixelA8R8G8B8(argb, 1, 0, 0, 8, 0, 0.0f, 0.0f, 1.0f, 0.5f);
    Texture t;
    ASSERT_TRUE(t.create(argb, 2, 1, Texture::A8R8G8B8, 1));
    const std::vector<unsigned char> rgba = texels(t.id, GL_RGBA, GL_UNSIGNED_BYTE, 4);
    EXPECT_EQ(rgba, (std::vector<unsigned char>{255, 127, 0, 255, 0, 0, 255, 127}));

    unsigned char lum[2];
    KXGfx::pixelL8(lum, 0, 0, 0, 2, 0, 17.0f, 0, 0, 0);
    KXGfx::pixelL8(lum, 1, 0, 0, 2, 0, 240.0f, 0, 0, 0);
    ASSERT_TRUE(t.create(lum, 2, 1, Texture::L8, 1));
    EXPECT_EQ(texels(t.id, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1), (std::vector<unsigned char>{17, 240}));

    float one[2];
    KXGfx::pixelR32F(one, 0, 0, 0, 8, 0, 0.125f, 0, 0, 0);
    KXGfx::pixelR32F(one, 1, 0, 0, 8, 0, 3.5f, 0, 0, 0);
    ASSERT_TRUE(t.create(one, 2, 1, Texture::R32F, 1));
    std::vector<unsigned char> raw = texels(t.id, GL_LUMINANCE, GL_FLOAT, 4);
    float back[2];
    std::memcpy(back, raw.data(), sizeof back);
    EXPECT_EQ(back[0], 0.125f);
    EXPECT_EQ(back[1], 3.5f) << "float intensity keeps values above 1";

    float four[8];
    KXGfx::pixelA32B32G32R32F(four, 0, 0, 0, 32, 0, 0.1f, 0.2f, 0.3f, 0.4f);
    KXGfx::pixelA32B32G32R32F(four, 1, 0, 0, 32, 0, 5, 6, 7, 8);
    ASSERT_TRUE(t.create(four, 2, 1, Texture::A32B32G32R32F, 1));
    raw = texels(t.id, GL_RGBA, GL_FLOAT, 16);
    EXPECT_EQ(std::memcmp(raw.data(), four, sizeof four), 0);

    // The three-byte writer stores b, g, r while the format uploads r, g, b: GL sees red and
    // blue exchanged.
    unsigned char rgb[6];
    KXGfx::pixelR8G8B8(rgb, 0, 0, 0, 6, 0, 200, 100, 50, 0);
    KXGfx::pixelR8G8B8(rgb, 1, 0, 0, 6, 0, 1, 2, 3, 0);
    ASSERT_TRUE(t.create(rgb, 2, 1, Texture::R8G8B8, 1));
    EXPECT_EQ(texels(t.id, GL_RGB, GL_UNSIGNED_BYTE, 3), (std::vector<unsigned char>{50, 100, 200, 3, 2, 1}));
}

} // namespace
