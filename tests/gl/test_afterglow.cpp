// The Afterglow effect driven through the FFGL adapter in a real headless GL context, with the
// host framebuffer of the test fixture and a fake clock, so that every frame lasts exactly a
// 60th of a second and pictures can be predicted: where the lights land, that trails build up,
// fade, drift with the feedback program (and only fade without it), that "Clear" and resizing
// start again, and that parameters saved as XML restore the same picture.
#include "Afterglow.h"
#include "EmitterPath.h"
#include "FFGLWords.h"
#include "GLTestFixture.h"
#include "KXFFGLPlugin.h"
#include "KXPlatform.h"
#include "KXRenderTarget.h"
#include "TinyXmlInput.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Host parameter indices, in registration order.
enum : uint32_t { kSpeed, kLights, kSize, kTrail, kZoom, kTwist, kHue, kHueDrift, kClear, kParamCount };

constexpr double kFrameMs = 1000.0 / 60.0;
double g_nowMs = 0.0;
double fakeClock() { return g_nowMs; }

int brightness(const std::array<unsigned char, 4>& p) { return p[0] + p[1] + p[2]; }

// One plug-in instance as a host drives it.
class Instance {
public:
    Instance()
    {
        CFreeFrameGLPlugin* made = nullptr;
        EXPECT_EQ(Afterglow::createInstance(&made), FF_SUCCESS);
        plugin.reset(static_cast<KXFFGLPlugin*>(made));
    }

    Afterglow::Effect& effect() { return *static_cast<Afterglow::Effect*>(plugin->getApp()); }

    void set(uint32_t index, float value)
    {
        SetParameterStructTag record{index, FFFloatToWord(value)};
        EXPECT_EQ(plugin->SetParameter(&record), FF_SUCCESS) << "parameter " << index;
    }
    float get(uint32_t index) { return FFWordToFloat(plugin->GetParameter(index)); }

    bool init(int width, int height)
    {
        FFGLViewportStructTag vp{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
        return plugin->InitGL(&vp) == FF_SUCCESS;
    }

    // Renders `count` frames of kFrameMs into host framebuffer `fbo`.
    void frames(int count, unsigned fbo)
    {
        for (int i = 0; i < count; ++i) {
            g_nowMs += kFrameMs;
            ProcessOpenGLStructTag frame{0, nullptr, fbo};
            ASSERT_EQ(plugin->ProcessOpenGL(&frame), FF_SUCCESS);
        }
    }

    std::unique_ptr<KXFFGLPlugin> plugin;
};

// Counts value notifications.
struct Counter : KX::ParamListener {
    int changed = 0;
    void paramChanged(KX::Param*) override { ++changed; }
    void paramDestroyed(KX::Param*) override {}
};

class AfterglowTest : public GLTest {
protected:
    int framebufferWidth() const override { return 96; }
    int framebufferHeight() const override { return 64; }

    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        g_nowMs = 1000.0;
        KXPlatform::setClockOverride(fakeClock);
    }

    void TearDown() override
    {
        for (Instance* i : {&a, &b})
            if (i->plugin)
                i->plugin->DeInitGL();
        KXPlatform::setClockOverride(nullptr);
        GLTest::TearDown();
    }

    // Window position (column, row from the top) of light `index` of `count` at `phase`.
    std::array<int, 2> lightAt(int index, int count, double phase)
    {
        const Afterglow::Point2 p = Afterglow::emitterPosition(index, count, phase);
        const float halfW = 0.5f * static_cast<float>(fbWidth());
        const float halfH = 0.5f * static_cast<float>(fbHeight());
        return {static_cast<int>(halfW + p.x * halfW), static_cast<int>(halfH - p.y * halfH)};
    }

    int litPixels()
    {
        const std::vector<unsigned char> image = readImage();
        int lit = 0;
        for (std::size_t i = 0; i + 3 < image.size(); i += 4)
            lit += image[i] + image[i + 1] + image[i + 2] > 24 ? 1 : 0;
        return lit;
    }

    // One still light at the top centre: phase stays 0, where light 0 of 1 sits at (0, 0.72).
    void stillLight(Instance& i)
    {
        i.set(kSpeed, 0.0f);
        i.set(kLights, 0.0f);
        i.set(kHueDrift, 0.0f);
        i.set(kTwist, 0.5f); // 0 degrees
        i.set(kZoom, 0.5f);  // 1.0
    }

    Counter counter; // declared first: it outlives the parameters it listens to
    Instance a;
    Instance b;
};

TEST_F(AfterglowTest, LightsLandWherePredictedAndTheHostFramebufferStaysBound)
{
    // Creating the render target at initialisation returns to the framebuffer the host had bound.
    ASSERT_TRUE(a.init(fbWidth(), fbHeight()));
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), framebufferId());

    a.set(kTrail, 0.0f); // only this frame's lights
    a.set(kSpeed, 0.0f);
    a.frames(1, framebufferId());
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), framebufferId());
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], fbWidth());
    EXPECT_EQ(viewport[3], fbHeight());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const int count = a.effect().lightCount();
    EXPECT_EQ(count, 5);
    for (int i = 0; i < count; ++i) {
        const std::array<int, 2> at = lightAt(i, count, 0.0);
        const std::array<unsigned char, 4> p = pixel(at[0], at[1]);
        EXPECT_GT(brightness(p), 200) << "light " << i << " at " << at[0] << "," << at[1];
        // Its colour is the light's hue: the strongest channel of the hue is the strongest here.
        const Afterglow::Rgb c = Afterglow::hueToRgb(Afterglow::emitterHue(i, count, a.effect().hue));
        const float want[3] = {c.r, c.g, c.b};
        int strongest = 0;
        for (int k = 1; k < 3; ++k)
            if (want[k] > want[strongest])
                strongest = k;
        for (int k = 0; k < 3; ++k)
            EXPECT_GE(p[strongest] + 8, p[k]) << "light " << i << " channel " << k;
    }
    // The picture is upright: the still light at the top has nothing at its mirror image.
    const std::array<int, 2> top = lightAt(0, 1, 0.0);
    stillLight(a);
    a.frames(1, framebufferId());
    EXPECT_GT(brightness(pixel(top[0], top[1])), 200);
    EXPECT_EQ(brightness(pixel(top[0], fbHeight() - 1 - top[1])), 0);
}

TEST_F(AfterglowTest, TrailsBuildUpFadeAndAreWipedByClear)
{
    ASSERT_TRUE(a.init(fbWidth(), fbHeight()));
    a.set(kTrail, 0.0f);
    a.frames(20, framebufferId());
    const int withoutTrail = litPixels();

    a.set(kTrail, 1.0f); // the longest trail
    a.frames(20, framebufferId());
    const int withTrail = litPixels();
    EXPECT_GT(withTrail, withoutTrail + withoutTrail / 2) << withoutTrail << " vs " << withTrail;

    // Still lights with a trail keep the picture the same from frame to frame once it has settled,
    // and it does not mirror back and forth.
    stillLight(a);
    a.set(kTrail, 0.5f);
    a.frames(60, framebufferId());
    const std::vector<unsigned char> settled = readImage();
    a.frames(1, framebufferId());
    EXPECT_EQ(readImage(), settled);

    a.set(kTrail, 1.0f);
    a.set(kSpeed, 1.0f);
    a.frames(20, framebufferId());
    const int before = litPixels();
    a.set(kClear, 1.0f);
    a.set(kSpeed, 0.0f);
    a.frames(1, framebufferId());
    EXPECT_LT(litPixels(), before / 2) << "Clear leaves only this frame's lights";
    a.set(kClear, 0.0f);
    EXPECT_EQ(a.get(kClear), 0.0f);
}

TEST_F(AfterglowTest, FeedbackProgramZoomsTrailsOutwardsAndFallbackOnlyFades)
{
    // Without the shader group the effect still renders, fading trails without moving them.
    b.effect().extensions.SetLookup([](const char* name, void*) -> void* {
        if (std::strcmp(name, "glCreateShaderObjectARB") == 0)
            return nullptr;
        return KXPlatform::lookupGLSymbol(name);
    }, nullptr);
    ASSERT_TRUE(a.init(fbWidth(), fbHeight()));
    ASSERT_TRUE(b.init(fbWidth(), fbHeight()));
    EXPECT_TRUE(a.effect().feedback.hasProgram());
    EXPECT_FALSE(b.effect().feedback.hasProgram());

    const std::array<int, 2> light = lightAt(0, 1, 0.0);
    // Twice the disc radius further out from the centre, on the light's ray (straight up).
    const int radius = static_cast<int>((0.01f + 0.09f * 0.3f) * static_cast<float>(fbHeight()));
    const int outerRow = light[1] - 2 * radius - 1;
    ASSERT_GE(outerRow, 0);

    std::vector<unsigned char> pictures[2];
    Instance* instances[2] = {&a, &b};
    for (int k = 0; k < 2; ++k) {
        Instance& i = *instances[k];
        stillLight(i);
        i.set(kTrail, 1.0f);
        i.set(kZoom, 1.0f); // the strongest zoom outwards
        i.frames(30, framebufferId());
        pictures[k] = readImage();
        EXPECT_GT(brightness(pixel(light[0], light[1])), 200) << "instance " << k;
        if (k == 0)
            EXPECT_GT(brightness(pixel(light[0], outerRow)), 24) << "zoomed trail reaches outwards";
        else
            EXPECT_EQ(brightness(pixel(light[0], outerRow)), 0) << "fading alone stays in place";
    }
    EXPECT_NE(pictures[0], pictures[1]);
}

TEST_F(AfterglowTest, ResizeRendersIntoTheNewViewportOnly)
{
    ASSERT_TRUE(a.init(fbWidth(), fbHeight()));
    a.frames(2, framebufferId());
    FFGLViewportStructTag half{0, 0, 48, 32};
    ASSERT_EQ(a.plugin->Resize(&half), FF_SUCCESS);
    EXPECT_EQ(a.effect().target.getWidth(), 48);
    EXPECT_EQ(a.effect().target.getHeight(), 32);

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    a.frames(3, framebufferId());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Outside the 48 x 32 viewport at the bottom left the host's blue is untouched.
    const std::array<unsigned char, 4> outside = pixel(70, 10);
    EXPECT_EQ(outside[2], 255);
    EXPECT_EQ(outside[0], 0);
    // Inside, the effect's own black background replaced it.
    const std::array<unsigned char, 4> inside = pixel(1, fbHeight() - 2);
    EXPECT_NE(inside[2], 255);
}

TEST_F(AfterglowTest, ParametersSavedAsXmlRestoreTheSamePicture)
{
    const float chosen[] = {0.8f, 0.6f, 0.9f, 0.7f, 0.65f, 0.8f, 0.1f, 0.5f};
    for (uint32_t i = 0; i < 8; ++i)
        a.set(i, chosen[i]);

    std::unique_ptr<TiXmlElement> saved(a.effect().params.createXML());
    ASSERT_NE(saved, nullptr);
    TiXmlPrinter printer;
    saved->Accept(&printer);
    TiXmlDocument doc;
    ASSERT_TRUE(KX::parseXml(doc, printer.Str())) << doc.ErrorDesc();

    b.effect().params.addListener(&counter);
    EXPECT_TRUE(b.effect().params.readXML(doc.RootElement()));
    EXPECT_EQ(counter.changed, 8) << "one notification per value; the Clear trigger is not fired";
    for (uint32_t i = 0; i < kParamCount; ++i)
        EXPECT_EQ(b.get(i), a.get(i)) << "parameter " << i;

    // Both instances start together on the same clock: the same frames come out.
    ASSERT_TRUE(a.init(fbWidth(), fbHeight()));
    ASSERT_TRUE(b.init(fbWidth(), fbHeight()));
    std::vector<unsigned char> pictures[2];
    for (int k = 0; k < 2; ++k) {
        const double start = g_nowMs;
        (k == 0 ? a : b).frames(12, framebufferId());
        pictures[k] = readImage();
        if (k == 0)
            g_nowMs = start;
    }
    EXPECT_GT(litPixels(), 0);
    EXPECT_EQ(pictures[0], pictures[1]);
}

TEST(AfterglowPath, LightsStayInsideThePictureAndHuesWrap)
{
    for (int count = 1; count <= Afterglow::kMaxEmitters; ++count)
        for (int i = 0; i < count; ++i)
            for (double phase = 0.0; phase < 200.0; phase += 0.37) {
                const Afterglow::Point2 p = Afterglow::emitterPosition(i, count, phase);
                ASSERT_LE(std::fabs(p.x), 0.9f);
                ASSERT_LE(std::fabs(p.y), 0.9f);
            }
    const Afterglow::Rgb red = Afterglow::hueToRgb(0.0f);
    const Afterglow::Rgb wrapped = Afterglow::hueToRgb(-2.0f);
    EXPECT_EQ(red.r, 1.0f);
    EXPECT_EQ(wrapped.r, red.r);
    EXPECT_EQ(wrapped.g, red.g);
    const Afterglow::Rgb nan = Afterglow::hueToRgb(std::nanf(""));
    EXPECT_EQ(nan.r, 1.0f) << "a hue that is not a number shows as red, not as garbage";
    const Afterglow::Rgb cyan = Afterglow::hueToRgb(0.5f);
    EXPECT_EQ(cyan.r, 0.0f);
    EXPECT_EQ(cyan.g, 1.0f);
    EXPECT_EQ(cyan.b, 1.0f);
}

} // namespace
