// The Kaleidoscope effect driven through the FFGL adapter in a real headless GL context, fed a host
// texture the way a host feeds one. The input picture is a colour ramp whose red channel says how
// far right and whose green channel says how far up a sample was taken, so every output pixel
// tells where in the input it came from: upright and unmirrored at the reference slice, the
// parameters moving the sampled place as they should, the segments' symmetry, padded host
// textures giving the same picture as exact ones, and the host's texture, sampling state and GL
// bindings left as they were.
#include "FFGLWords.h"
#include "GLTestFixture.h"
#include "KXFFGLPlugin.h"
#include "KXGLEntryPoints.h"
#include "KXPlatform.h"
#include "Kaleidoscope.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

// Host parameter indices, in registration order.
enum : uint32_t { kSegments, kRotation, kZoom, kCentreX, kCentreY };

using Pixel = std::array<unsigned char, 4>;

constexpr int kPictureWidth = 48;
constexpr int kPictureHeight = 32;
constexpr unsigned char kBlue = 100;
// What fills the padding of a padded host texture: it must never show.
constexpr unsigned char kPadding[4] = {255, 0, 255, 255};

// A host's input texture holding the ramp picture in its lower left corner, at `hwWidth` x
// `hwHeight` with the rest padding. Owns its GL texture.
class HostPicture {
public:
    HostPicture(int hwWidth, int hwHeight) : record{kPictureWidth, kPictureHeight, 0, 0, 0}
    {
        record.HardwareWidth = static_cast<uint32_t>(hwWidth);
        record.HardwareHeight = static_cast<uint32_t>(hwHeight);
        texels.resize(static_cast<std::size_t>(hwWidth) * hwHeight * 4);
        for (int y = 0; y < hwHeight; ++y)
            for (int x = 0; x < hwWidth; ++x) {
                unsigned char* t = &texels[(static_cast<std::size_t>(y) * hwWidth + x) * 4];
                const bool inside = x < kPictureWidth && y < kPictureHeight;
                t[0] = inside ? static_cast<unsigned char>(255 * (x + 0.5) / kPictureWidth) : kPadding[0];
                t[1] = inside ? static_cast<unsigned char>(255 * (y + 0.5) / kPictureHeight) : kPadding[1];
                t[2] = inside ? kBlue : kPadding[2];
                t[3] = 255;
            }
        GLuint name = 0;
        glGenTextures(1, &name);
        record.Handle = name;
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, hwWidth, hwHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    ~HostPicture()
    {
        GLuint name = record.Handle;
        glDeleteTextures(1, &name);
    }

    // The texture's content as GL holds it now.
    std::vector<unsigned char> content() const
    {
        std::vector<unsigned char> out(texels.size());
        glBindTexture(GL_TEXTURE_2D, record.Handle);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return out;
    }

    FFGLTextureStructTag record;
    std::vector<unsigned char> texels;
};

// One plug-in instance as a host drives it.
class Instance {
public:
    Instance()
    {
        CFreeFrameGLPlugin* made = nullptr;
        EXPECT_EQ(Kaleidoscope::createInstance(&made), FF_SUCCESS);
        plugin.reset(static_cast<KXFFGLPlugin*>(made));
    }
    ~Instance()
    {
        if (plugin)
            plugin->DeInitGL();
    }

    Kaleidoscope::Effect& effect() { return *static_cast<Kaleidoscope::Effect*>(plugin->getApp()); }

    void set(uint32_t index, float value)
    {
        SetParameterStructTag record{index, FFFloatToWord(value)};
        EXPECT_EQ(plugin->SetParameter(&record), FF_SUCCESS) << "parameter " << index;
    }
    std::string display(uint32_t index)
    {
        const char* text = plugin->GetParameterDisplay(index);
        return text != nullptr ? text : "(null)";
    }
    bool init(int width, int height)
    {
        FFGLViewportStructTag vp{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        return plugin->InitGL(&vp) == FF_SUCCESS;
    }
    // One frame into host framebuffer `fbo` with `input` (null: no input texture).
    FFWord frame(unsigned fbo, HostPicture* input)
    {
        FFGLTextureStructTag* list[1] = {input != nullptr ? &input->record : nullptr};
        ProcessOpenGLStructTag f{input != nullptr ? 1u : 0u, list, fbo};
        return plugin->ProcessOpenGL(&f);
    }

    std::unique_ptr<KXFFGLPlugin> plugin;
};

bool looksLike(const Pixel& p, int r, int g, int tolerance)
{
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && p[2] == kBlue;
}

std::string show(const Pixel& p)
{
    return std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]);
}

class KaleidoscopeTest : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(kaleidoscope.init(fbWidth(), fbHeight()));
        ASSERT_TRUE(kaleidoscope.effect().shader.hasProgram());
    }

    // Renders one frame of `input` and returns the picture (rows top-down).
    std::vector<unsigned char> render(HostPicture& input)
    {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(kaleidoscope.frame(framebufferId(), &input), FF_SUCCESS);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return readImage();
    }
    Pixel at(const std::vector<unsigned char>& image, int x, int yFromTop)
    {
        const std::size_t i = (static_cast<std::size_t>(yFromTop) * fbWidth() + x) * 4;
        return {image[i], image[i + 1], image[i + 2], image[i + 3]};
    }
    // The pixel `rows` above the output's centre (the 64 x 64 output's centre lies between pixels).
    Pixel above(const std::vector<unsigned char>& image, int rows) { return at(image, 32, 31 - rows); }

    // The largest channel difference between the picture and the picture mapped by `map`.
    template <typename Map>
    int asymmetry(const std::vector<unsigned char>& image, Map map)
    {
        int worst = 0;
        for (int y = 0; y < fbHeight(); ++y)
            for (int x = 0; x < fbWidth(); ++x) {
                int mx = 0, my = 0;
                map(x, y, mx, my);
                const Pixel a = at(image, x, y), b = at(image, mx, my);
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(a[c] - b[c]));
            }
        return worst;
    }

    Instance kaleidoscope;
};

TEST_F(KaleidoscopeTest, ShowsThePictureUprightAndEachParameterMovesTheSampledPlace)
{
    HostPicture picture(kPictureWidth, kPictureHeight);
    // The slice straight up from the picture's centre, at zoom 1 the picture's own scale. Twelve
    // rows up (0.2 picture heights) the output shows the picture 0.2 heights above its centre:
    // green 0.7 of full, red at the middle. Upside down it would show 0.3; mirrored, the same.
    kaleidoscope.set(kZoom, 0.2f);
    std::vector<unsigned char> image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 12), 128, 178, 4)) << show(above(image, 12));
    EXPECT_TRUE(looksLike(above(image, 0), 128, 128, 4)) << show(above(image, 0));

    // Zoom 2 halves the distance sampled from the centre.
    kaleidoscope.set(kZoom, (2.0f - 0.25f) / 3.75f);
    image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 12), 128, 153, 4)) << show(above(image, 12));
    // Zoom 0.25 reaches 1.59 heights above the centre, past the top edge: the picture is mirrored
    // back there (0.5 + 1.59 is 0.09 from the mirror image's far edge).
    kaleidoscope.set(kZoom, 0.0f);
    image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 25), 133, 24, 4)) << show(above(image, 25));
    kaleidoscope.set(kZoom, 0.2f);

    // Rotation 90 degrees turns the picture counter-clockwise: what lay to the right of the
    // centre (0.2 heights, 0.133 widths) comes up.
    kaleidoscope.set(kRotation, 0.25f);
    image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 12), 162, 126, 4)) << show(above(image, 12));
    kaleidoscope.set(kRotation, 0.5f); // 180: what lay below
    image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 12), 126, 77, 4)) << show(above(image, 12));
    kaleidoscope.set(kRotation, 0.0f);

    // The centre moves to (0.25, 0.75) of the picture.
    kaleidoscope.set(kCentreX, 0.25f);
    kaleidoscope.set(kCentreY, 0.75f);
    image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 0), 64, 191, 4)) << show(above(image, 0));
}

TEST_F(KaleidoscopeTest, SegmentsAreMirroredAndRepeatAroundTheCentre)
{
    HostPicture picture(kPictureWidth, kPictureHeight);
    const int last = fbWidth() - 1;
    auto mirror = [last](int x, int y, int& mx, int& my) { mx = last - x, my = y; };
    auto quarterTurn = [last](int x, int y, int& mx, int& my) { mx = last - y, my = x; };

    kaleidoscope.set(kRotation, 0.1f); // any turn: the mirrors stay where they are
    std::vector<unsigned char> six = render(picture);
    EXPECT_LE(asymmetry(six, mirror), 2) << "the line straight up is a mirror line";
    EXPECT_GT(asymmetry(six, quarterTurn), 32) << "six segments do not repeat every quarter turn";

    kaleidoscope.set(kSegments, (4.0f - 2.0f) / 14.0f);
    EXPECT_EQ(kaleidoscope.display(kSegments), "4");
    const std::vector<unsigned char> four = render(picture);
    EXPECT_LE(asymmetry(four, mirror), 2);
    EXPECT_LE(asymmetry(four, quarterTurn), 2) << "four segments repeat every quarter turn";

    // Whole counts only, within 2..16, whatever the host sends.
    for (auto [value, text] : {std::pair<float, const char*>{0.2857143f, "6"}, {1.0f, "16"}, {0.0f, "2"},
                               {-5.0f, "2"}, {7.0f, "16"}, {std::nanf(""), "2"}}) {
        kaleidoscope.set(kSegments, value);
        EXPECT_EQ(kaleidoscope.display(kSegments), text) << value;
    }
}

TEST_F(KaleidoscopeTest, PaddedHostTexturesGiveTheSamePictureWithoutThePadding)
{
    // Zoomed out with the centre near a corner, most samples are mirrored back at the edges.
    kaleidoscope.set(kZoom, 0.0f);
    kaleidoscope.set(kCentreX, 0.1f);
    kaleidoscope.set(kCentreY, 0.9f);
    HostPicture exact(kPictureWidth, kPictureHeight);
    HostPicture padded(64, 64);
    const std::vector<unsigned char> a = render(exact);
    const std::vector<unsigned char> b = render(padded);
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    EXPECT_LE(worst, 1);
    for (std::size_t i = 0; i < b.size(); i += 4)
        ASSERT_EQ(b[i + 2], kBlue) << "pixel " << i / 4 << " shows the padding";
}

TEST_F(KaleidoscopeTest, LeavesTheHostsTextureAndGLStateAsItFoundThem)
{
    HostPicture picture(64, 64);
    // A host with unusual sampling, a program, an array buffer, another client texture unit and
    // a texture of its own bound.
    glBindTexture(GL_TEXTURE_2D, picture.record.Handle);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    GLuint own = 0;
    glGenTextures(1, &own);
    glBindTexture(GL_TEXTURE_2D, own);
    FFGLExtensions ext;
    ext.Initialize();
    FFGLShader hostShader;
    hostShader.SetExtensions(&ext);
    ASSERT_NE(hostShader.Compile(nullptr, "void main() { gl_FragColor = vec4(1.0); }"), 0);
    hostShader.BindShader();
    const KXGLEntryPoints& gl = kxGLEntryPoints();
    ASSERT_TRUE(gl.has(KXGLFeature::BufferObjects) && gl.has(KXGLFeature::Multitexture));
    GLuint buffer = 0;
    gl.genBuffers(1, &buffer);
    gl.bindBuffer(GL_ARRAY_BUFFER, buffer);
    const std::vector<float> garbage(64, 1.0e6f);
    gl.bufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(garbage.size() * sizeof(float)), garbage.data(),
                  GL_STATIC_DRAW);
    gl.clientActiveTexture(GL_TEXTURE1);

    const std::vector<unsigned char> image = render(picture);
    EXPECT_TRUE(looksLike(above(image, 12), 130, 229, 8)) << "drawn from client arrays, not the host's buffer: "
                                                     << show(above(image, 12));
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(static_cast<GLuint>(value), own);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &value);
    EXPECT_EQ(static_cast<GLuint>(value), buffer);
    glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE1);
    EXPECT_EQ(glIsEnabled(GL_VERTEX_ARRAY), GL_FALSE);
    EXPECT_EQ(ext.glGetHandleARB(GL_PROGRAM_OBJECT_ARB), hostShader.GetProgram());
    glBindTexture(GL_TEXTURE_2D, picture.record.Handle);
    const std::pair<GLenum, GLint> sampling[] = {{GL_TEXTURE_MIN_FILTER, GL_NEAREST},
                                                 {GL_TEXTURE_MAG_FILTER, GL_NEAREST},
                                                 {GL_TEXTURE_WRAP_S, GL_REPEAT},
                                                 {GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT}};
    for (auto [name, want] : sampling) {
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        EXPECT_EQ(value, want) << "texture parameter 0x" << std::hex << name;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(picture.content(), picture.texels);

    gl.clientActiveTexture(GL_TEXTURE0);
    gl.bindBuffer(GL_ARRAY_BUFFER, 0);
    gl.deleteBuffers(1, &buffer);
    hostShader.UnbindShader();
    hostShader.FreeGLResources();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &own);
}

TEST_F(KaleidoscopeTest, OddHostValuesAndTheClockDoNotChangeThePicture)
{
    HostPicture picture(kPictureWidth, kPictureHeight);
    const std::vector<unsigned char> before = render(picture);
    float defaults[kCentreY + 1];
    for (uint32_t p = kSegments; p <= kCentreY; ++p)
        defaults[p] = FFWordToFloat(kaleidoscope.plugin->GetParameter(p));
    KXPlatform::setClockOverride([] { return 5.0e6; });
    const float odd[] = {std::nanf(""), std::numeric_limits<float>::infinity(), -3.0e38f};
    for (float v : odd) {
        for (uint32_t p = kSegments; p <= kCentreY; ++p)
            kaleidoscope.set(p, v);
        render(picture);
    }
    for (uint32_t p = kSegments; p <= kCentreY; ++p)
        kaleidoscope.set(p, defaults[p]);
    EXPECT_EQ(render(picture), before);
    KXPlatform::setClockOverride(nullptr);
}

TEST_F(KaleidoscopeTest, WithoutAnInputNothingIsDrawnAndWithoutShadersTheInputShowsUnchanged)
{
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const std::vector<unsigned char> blue = readImage();
    EXPECT_EQ(kaleidoscope.frame(framebufferId(), nullptr), FF_FAIL);
    EXPECT_EQ(readImage(), blue);

    Instance plain;
    plain.effect().extensions.SetLookup([](const char* name, void*) -> void* {
        return std::strcmp(name, "glCreateShaderObjectARB") == 0 ? nullptr : KXPlatform::lookupGLSymbol(name);
    }, nullptr);
    ASSERT_TRUE(plain.init(fbWidth(), fbHeight()));
    EXPECT_FALSE(plain.effect().shader.hasProgram());
    HostPicture picture(64, 64);
    ASSERT_EQ(plain.frame(framebufferId(), &picture), FF_SUCCESS);
    // The picture stretched over the output, upright: near the top left the picture's top left.
    const Pixel topLeft = pixel(8, 8), bottomRight = pixel(55, 55);
    EXPECT_TRUE(looksLike(topLeft, 34, 221, 4)) << show(topLeft);
    EXPECT_TRUE(looksLike(bottomRight, 221, 34, 4)) << show(bottomRight);
}

} // namespace
