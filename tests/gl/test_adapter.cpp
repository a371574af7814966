// The FFGL-to-application adapter, driven through plugMain the way a host drives it, in a real
// headless GL context: parameter announcement and value mapping for every parameter type, display
// texts, hook order, the frame interval, input-texture wrappers and the protection of the host's
// GL state around the application's draw.
#include "FFGLPluginInfo.h"
#include "FFGLPluginSDK.h"
#include "FFWordBits.h"
#include "GLTestFixture.h"
#include "KXFFGLApp.h"
#include "KXFFGLPlugin.h"
#include "KXPlatform.h"
#include "KXRenderTarget.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Notifications : KX::ParamListener {
    void paramChanged(KX::Param* p) override { changed.push_back(p->getName()); }
    void paramDestroyed(KX::Param*) override {}
    std::vector<std::string> changed;
};

// Indices: 0 Level, 1 Angle (standard); 2 Vector, 3 Double (not announced); 4 Flag (boolean);
// 5 Text (text); 6 Trigger (event); 7 Choice, 8 Count, 9 Tint (not announced).
class ProbeApp : public KXFFGLApp {
public:
    ProbeApp()
    {
        params.addFloat("Level", &level, 0.0f, 400.0f, -1);
        params.addFloat("Angle", &angle, 0.0f, 360.0f, -1);
        params.addFloatArray("Vector", vec, 3, -1.0f, 1.0f, -1);
        params.addDouble("Double", &dbl, 0.0, 1.0, -1);
        params.addBool("Flag", &flag);
        params.addString("Text", nullptr);
        params.addEvent("Trigger", &trigger);
        params.addSelection("Choice", entries, &choice, 4);
        params.addInt("Count", &count);
        params.addColor("Tint", tint);
        params.find("Text")->setString("start");
        params.addListener(&listener);
    }
    // The listener is a member: release the parameters while it is still alive to hear them go.
    ~ProbeApp() override { params.release(); }

    bool init() override
    {
        ++inits;
        return initResult;
    }
    void exit() override { ++exits; }
    void update() override { frameTimes.push_back(frameMesec); }
    void draw() override
    {
        ++draws;
        // What the application sees: identity matrices.
        glGetFloatv(GL_PROJECTION_MATRIX, projectionAtDraw.data());
        glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAtDraw.data());
        // Then it changes state freely, and even leaves matrix pushes behind.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-3, 3, -3, 3, -3, 3);
        glPushMatrix();
        glMatrixMode(GL_TEXTURE);
        glScalef(2, 2, 2);
        glMatrixMode(GL_MODELVIEW);
        glTranslatef(5, 6, 7);
        glPushMatrix();
        glRotatef(30, 0, 0, 1);
        glEnable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_FOG);
        glBlendFunc(GL_ONE, GL_ONE);
        glClearColor(0.1f, 0.2f, 0.3f, 0.4f);
        glMatrixMode(GL_PROJECTION);
    }
    void onParameterChanged(KX::Param* p) override { appNotified.push_back(p->getName()); }
    const char* getParameterDisplay(KX::Param* p) override
    {
        return p->isName("Angle") ? "custom" : nullptr;
    }
    void resize(int w, int h) override { resizes.push_back({w, h}); }

    float level = 150.0f;
    float angle = 180.0f;
    float vec[3] = {0.0f, 0.0f, 0.0f};
    double dbl = 0.5;
    bool flag = false;
    bool trigger = false;
    int choice = 1;
    int count = 3;
    float tint[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    const char* entries[4] = {"a", "b", "c", "d"};

    Notifications listener;
    bool initResult = true;
    int inits = 0, exits = 0, draws = 0;
    std::vector<double> frameTimes;
    std::vector<std::string> appNotified;
    std::vector<std::pair<int, int>> resizes;
    std::array<float, 16> projectionAtDraw{}, modelviewAtDraw{};
};

FFWord createProbe(CFreeFrameGLPlugin** out)
{
    *out = new KXFFGLPlugin(new ProbeApp(), 0, 0);
    return FF_SUCCESS;
}

CFFGLPluginInfo PluginInfo(createProbe, "PRB1", "Probe", 1, 500, 1, 0, FF_SOURCE, "probe", "tests");

double g_now = 0.0;
double fakeNow() { return g_now; }

class Adapter : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        FFGLViewportStructTag vp{0, 0, 64, 48};
        id = plugMain(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&vp), 0);
        ASSERT_NE(id, FF_FAIL);
        app = static_cast<ProbeApp*>(reinterpret_cast<KXFFGLPlugin*>(id)->getApp());
    }
    void TearDown() override
    {
        if (id != FF_FAIL) {
            EXPECT_EQ(plugMain(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
        }
        plugMain(FF_DEINITIALISE, 0, 0);
        KXPlatform::setClockOverride(nullptr);
        GLTest::TearDown();
    }
    FFWord set(uint32_t index, FFWord value)
    {
        SetParameterStructTag r{index, value};
        return plugMain(FF_SETPARAMETER, reinterpret_cast<FFWord>(&r), id);
    }
    FFWord setF(uint32_t index, float v) { return set(index, bitsOf(v)); }
    FFWord get(uint32_t index) { return plugMain(FF_GETPARAMETER, index, id); }
    std::string display(uint32_t index)
    {
        const char* t = reinterpret_cast<const char*>(plugMain(FF_GETPARAMETERDISPLAY, index, id));
        return t != nullptr ? t : "(null)";
    }
    FFWord frame(ProcessOpenGLStructTag& f) { return plugMain(FF_PROCESSOPENGL, reinterpret_cast<FFWord>(&f), id); }

    FFWord id = FF_FAIL;
    ProbeApp* app = nullptr;
};

TEST_F(Adapter, AnnouncesOnlyHostTypesAndKeepsListPositionsAsIndices)
{
    EXPECT_EQ(plugMain(FF_GETNUMPARAMETERS, 0, 0), 5u);
    const std::vector<std::pair<uint32_t, uint32_t>> announced = {
        {0, FF_TYPE_STANDARD}, {1, FF_TYPE_STANDARD}, {4, FF_TYPE_BOOLEAN}, {5, FF_TYPE_TEXT},
        {6, FF_TYPE_EVENT}};
    for (auto [index, type] : announced)
        EXPECT_EQ(plugMain(FF_GETPARAMETERTYPE, index, 0), type) << "index " << index;
    for (uint32_t gap : {2u, 3u, 7u, 8u, 9u})
        EXPECT_EQ(plugMain(FF_GETPARAMETERTYPE, gap, 0), FF_FAIL) << "index " << gap;
    EXPECT_STREQ(reinterpret_cast<const char*>(plugMain(FF_GETPARAMETERNAME, 4, 0)), "Flag");
    EXPECT_EQ(floatOf(plugMain(FF_GETPARAMETERDEFAULT, 0, 0)), 0.375f);
    EXPECT_EQ(floatOf(plugMain(FF_GETPARAMETERDEFAULT, 1, 0)), 0.5f);
    EXPECT_STREQ(reinterpret_cast<const char*>(plugMain(FF_GETPARAMETERDEFAULT, 5, 0)), "start");
}

TEST_F(Adapter, InstantiationAppliesDefaultsWithoutTellingTheApplication)
{
    // The instance exists although the host indices have gaps.
    EXPECT_EQ(app->level, 150.0f);
    EXPECT_EQ(app->inits, 1);
    EXPECT_TRUE(app->appNotified.empty());
    // The parameters' own listeners did hear the defaults.
    EXPECT_FALSE(app->listener.changed.empty());
    EXPECT_EQ(app->viewport.width, 64);
    EXPECT_EQ(app->viewport.height, 48);
}

TEST_F(Adapter, StandardFloatsMapIntoTheirRangeWithoutClamping)
{
    EXPECT_EQ(setF(0, 0.375f), FF_SUCCESS);
    EXPECT_EQ(app->level, 150.0f);
    EXPECT_EQ(static_cast<uint32_t>(get(0)), bitsOf(0.375f));
    EXPECT_EQ(display(0), "150.00");

    EXPECT_EQ(setF(1, 1.5f), FF_SUCCESS);
    EXPECT_EQ(app->angle, 540.0f);
    EXPECT_EQ(floatOf(get(1)), 1.5f);
    EXPECT_EQ(display(1), "custom") << "the application's own text is shown verbatim";

    // Extreme values stay within the display buffer.
    for (float v : {3.4e38f, -3.4e38f, std::numeric_limits<float>::infinity(), std::nanf("")}) {
        setF(0, v);
        EXPECT_LT(display(0).size(), static_cast<std::size_t>(KX_DISPLAY_TEXT_SIZE));
    }
}

TEST_F(Adapter, FloatArraysTakeAPointerToNormalisedValues)
{
    const float values[3] = {0.0f, 0.5f, 1.0f};
    EXPECT_EQ(set(2, reinterpret_cast<FFWord>(values)), FF_SUCCESS);
    EXPECT_EQ(app->vec[0], -1.0f);
    EXPECT_EQ(app->vec[1], 0.0f);
    EXPECT_EQ(app->vec[2], 1.0f);
    EXPECT_EQ(get(2), reinterpret_cast<FFWord>(app->vec));
    EXPECT_EQ(display(2), "-1.00");
    EXPECT_EQ(set(2, 0), FF_FAIL) << "a null array is refused";
}

TEST_F(Adapter, BooleansEventsAndSelections)
{
    EXPECT_EQ(setF(4, 0.0f), FF_SUCCESS);
    EXPECT_FALSE(app->flag);
    EXPECT_EQ(setF(4, 0.3f), FF_SUCCESS);
    EXPECT_TRUE(app->flag);
    EXPECT_EQ(floatOf(get(4)), 1.0f);
    setF(4, 0.0f);
    setF(4, std::nanf(""));
    EXPECT_TRUE(app->flag) << "a NaN counts as true";
    EXPECT_EQ(display(4), "1");

    // An event notifies only when it changes.
    setF(6, 1.0f);
    ASSERT_TRUE(app->trigger);
    app->listener.changed.clear();
    app->appNotified.clear();
    EXPECT_EQ(setF(6, 1.0f), FF_SUCCESS);
    EXPECT_TRUE(app->listener.changed.empty());
    EXPECT_TRUE(app->appNotified.empty());
    EXPECT_EQ(setF(6, 0.0f), FF_SUCCESS);
    EXPECT_FALSE(app->trigger);
    EXPECT_EQ(app->appNotified, std::vector<std::string>{"Trigger"});
    EXPECT_EQ(floatOf(get(6)), 0.0f);

    // Selections are set by entry number, truncated toward zero.
    EXPECT_EQ(setF(7, 2.9f), FF_SUCCESS);
    EXPECT_EQ(app->choice, 2);
    EXPECT_EQ(floatOf(get(7)), 2.0f);
    EXPECT_EQ(display(7), "c");
    EXPECT_EQ(setF(7, std::nanf("")), FF_FAIL);
    EXPECT_EQ(setF(7, 1e30f), FF_FAIL);
    EXPECT_EQ(app->choice, 2);
}

TEST_F(Adapter, TextParametersCopyTheHostText)
{
    const std::string longText(300, 'x');
    EXPECT_EQ(set(5, reinterpret_cast<FFWord>("hello")), FF_SUCCESS);
    EXPECT_EQ(display(5), "hello");
    EXPECT_STREQ(reinterpret_cast<const char*>(get(5)), "hello");
    EXPECT_EQ(set(5, reinterpret_cast<FFWord>(longText.c_str())), FF_SUCCESS);
    EXPECT_EQ(display(5), std::string(255, 'x'));

    app->appNotified.clear();
    EXPECT_EQ(set(5, 0), FF_FAIL) << "a null text is refused";
    EXPECT_EQ(display(5), std::string(255, 'x'));
    EXPECT_TRUE(app->appNotified.empty());
}

TEST_F(Adapter, UnsupportedTypesAndMissingIndicesFail)
{
    for (uint32_t index : {3u, 8u, 9u, 10u, 0xFFFFFFFFu}) {
        EXPECT_EQ(setF(index, 0.5f), FF_FAIL) << index;
        EXPECT_EQ(get(index), FF_FAIL) << index;
    }
    EXPECT_EQ(display(3), "(null)");
    EXPECT_EQ(display(9), "(null)");
    EXPECT_EQ(display(10), "(null)");
    EXPECT_EQ(app->dbl, 0.5);
    EXPECT_EQ(app->count, 3);
}

TEST_F(Adapter, ApplicationHearsChangesOnlyWhileGLIsInitialised)
{
    setF(0, 0.5f);
    EXPECT_EQ(app->appNotified, std::vector<std::string>{"Level"});

    // A fresh adapter, driven directly: before InitGL and after DeInitGL nothing is reported.
    auto* other = new ProbeApp();
    KXFFGLPlugin plugin(other, 0, 0);
    SetParameterStructTag r{0, bitsOf(0.25f)};
    EXPECT_EQ(plugin.SetParameter(&r), FF_SUCCESS);
    EXPECT_EQ(other->level, 100.0f);
    EXPECT_TRUE(other->appNotified.empty());
    FFGLViewportStructTag vp{0, 0, 8, 8};
    ASSERT_EQ(plugin.InitGL(&vp), FF_SUCCESS);
    plugin.SetParameter(&r);
    EXPECT_EQ(other->appNotified.size(), 1u);
    plugin.DeInitGL();
    EXPECT_EQ(other->exits, 1);
    plugin.SetParameter(&r);
    EXPECT_EQ(other->appNotified.size(), 1u);
}

TEST_F(Adapter, FailingInitIsReportedAndTheInstanceDestroyed)
{
    auto* other = new ProbeApp();
    other->initResult = false;
    KXFFGLPlugin plugin(other, 0, 0);
    FFGLViewportStructTag vp{0, 0, 8, 8};
    EXPECT_EQ(plugin.InitGL(&vp), FF_FAIL);
    SetParameterStructTag r{0, bitsOf(0.25f)};
    plugin.SetParameter(&r);
    EXPECT_TRUE(other->appNotified.empty()) << "GL never became ready";
}

TEST_F(Adapter, FrameIntervalCountsLongPausesAsOneFrame)
{
    // A fresh instance on the fake clock.
    EXPECT_EQ(plugMain(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
    KXPlatform::setClockOverride(fakeNow);
    g_now = 1000.0;
    FFGLViewportStructTag vp{0, 0, 64, 48};
    id = plugMain(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&vp), 0);
    ASSERT_NE(id, FF_FAIL);
    app = static_cast<ProbeApp*>(reinterpret_cast<KXFFGLPlugin*>(id)->getApp());

    ProcessOpenGLStructTag f{0, nullptr, framebufferId()};
    g_now = 1005.0;
    EXPECT_EQ(frame(f), FF_SUCCESS);
    g_now = 1021.5;
    frame(f);
    g_now = 3521.5;
    frame(f);
    g_now = 4521.5; // exactly one second: an ordinary, if long, frame
    frame(f);
    EXPECT_EQ(app->frameTimes, (std::vector<double>{5.0, 16.5, 30.0, 1000.0}));
}

TEST_F(Adapter, HostStateIsRestoredAfterTheApplicationDraws)
{
    // The host's own state before the frame.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-1, 1, -1, 1, 1, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, 3);
    glPushMatrix();
    glScalef(2, 3, 4);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0, 0);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0.5f, 0.25f, 0.75f, 1.0f);

    struct State {
        GLint mode, mvDepth, projDepth, texDepth, blendSrc, blendDst;
        std::array<GLfloat, 16> mv, proj, tex;
        std::array<GLfloat, 4> clear;
        GLboolean blend, depth, cull, fog;
    };
    auto capture = [] {
        State s{};
        glGetIntegerv(GL_MATRIX_MODE, &s.mode);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.mvDepth);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &s.projDepth);
        glGetIntegerv(GL_TEXTURE_STACK_DEPTH, &s.texDepth);
        glGetIntegerv(GL_BLEND_SRC, &s.blendSrc);
        glGetIntegerv(GL_BLEND_DST, &s.blendDst);
        glGetFloatv(GL_MODELVIEW_MATRIX, s.mv.data());
        glGetFloatv(GL_PROJECTION_MATRIX, s.proj.data());
        glGetFloatv(GL_TEXTURE_MATRIX, s.tex.data());
        glGetFloatv(GL_COLOR_CLEAR_VALUE, s.clear.data());
        s.blend = glIsEnabled(GL_BLEND);
        s.depth = glIsEnabled(GL_DEPTH_TEST);
        s.cull = glIsEnabled(GL_CULL_FACE);
        s.fog = glIsEnabled(GL_FOG);
        return s;
    };
    const State before = capture();

    ProcessOpenGLStructTag f{0, nullptr, framebufferId()};
    ASSERT_EQ(frame(f), FF_SUCCESS);
    ASSERT_EQ(app->draws, 1);
    const State after = capture();

    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.mvDepth, before.mvDepth);
    EXPECT_EQ(after.projDepth, before.projDepth);
    EXPECT_EQ(after.texDepth, before.texDepth);
    EXPECT_EQ(after.mv, before.mv);
    EXPECT_EQ(after.proj, before.proj);
    EXPECT_EQ(after.tex, before.tex);
    EXPECT_EQ(after.clear, before.clear);
    EXPECT_EQ(after.blend, before.blend);
    EXPECT_EQ(after.depth, before.depth);
    EXPECT_EQ(after.cull, before.cull);
    EXPECT_EQ(after.fog, before.fog);
    EXPECT_EQ(after.blendSrc, before.blendSrc);
    EXPECT_EQ(after.blendDst, before.blendDst);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::array<float, 16> identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(app->projectionAtDraw, identity);
    EXPECT_EQ(app->modelviewAtDraw, identity);

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

TEST_F(Adapter, HostTexturesAreWrappedButNeverDeleted)
{
    GLuint names[4];
    glGenTextures(4, names);
    for (GLuint name : names) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    FFGLTextureStructTag host[4] = {{40, 20, 64, 32, names[0]}, {64, 32, 64, 32, names[1]},
                                    {8, 8, 64, 32, names[2]}, {1, 1, 64, 32, names[3]}};
    FFGLTextureStructTag* list[4] = {&host[0], &host[1], &host[2], &host[3]};

    // One, two, three, then more inputs than slots: only three are read, each describing its
    // host texture.
    for (uint32_t count = 1; count <= 4; ++count) {
        ProcessOpenGLStructTag f{count, list, framebufferId()};
        ASSERT_EQ(frame(f), FF_SUCCESS);
        for (uint32_t i = 0; i < 3; ++i) {
            const KXGfx::Texture* t = app->inputTextures[i];
            ASSERT_EQ(t != nullptr, i < count) << count << " inputs, slot " << i;
            if (t == nullptr)
                continue;
            EXPECT_EQ(t->id, names[i]);
            EXPECT_EQ(t->target, static_cast<unsigned>(GL_TEXTURE_2D));
            EXPECT_EQ(t->width, static_cast<int>(host[i].Width));
            EXPECT_EQ(t->height, static_cast<int>(host[i].Height));
            EXPECT_EQ(t->hwWidth, 64);
            EXPECT_EQ(t->hwHeight, 32);
            EXPECT_FLOAT_EQ(t->maxU, static_cast<float>(host[i].Width) / 64.0f);
            EXPECT_FLOAT_EQ(t->maxV, static_cast<float>(host[i].Height) / 32.0f);
        }
    }
    const std::array<KXGfx::Texture*, 3> wrappers = {app->inputTextures[0], app->inputTextures[1],
                                                     app->inputTextures[2]};

    // A null array, and a null entry, are read as no texture.
    ProcessOpenGLStructTag none{2, nullptr, framebufferId()};
    EXPECT_EQ(frame(none), FF_SUCCESS);
    FFGLTextureStructTag* holes[2] = {nullptr, &host[1]};
    ProcessOpenGLStructTag partial{2, holes, framebufferId()};
    EXPECT_EQ(frame(partial), FF_SUCCESS);
    EXPECT_EQ(app->inputTextures[0]->id, names[0]);

    // Fewer inputs later: the wrappers stay, the same objects. Destroying the instance leaves the
    // host's textures.
    ProcessOpenGLStructTag one{1, list, framebufferId()};
    EXPECT_EQ(frame(one), FF_SUCCESS);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(app->inputTextures[i], wrappers[static_cast<std::size_t>(i)]) << "slot " << i;
    EXPECT_EQ(plugMain(FF_DEINSTANTIATEGL, 0, id), FF_SUCCESS);
    id = FF_FAIL;
    for (GLuint name : names)
        EXPECT_EQ(glIsTexture(name), GL_TRUE);
    glDeleteTextures(4, names);
}

TEST_F(Adapter, MissingRequiredInputsSkipTheDrawAndTheFramebufferRecord)
{
    auto* other = new ProbeApp();
    KXFFGLPlugin plugin(other, 1, 5); // counts above three are limited to the three slots
    EXPECT_EQ(plugin.GetMaxInputs(), 3);
    FFGLViewportStructTag vp{0, 0, 8, 8};
    ASSERT_EQ(plugin.InitGL(&vp), FF_SUCCESS);

    KXGfx::setMainFboId(0);
    ProcessOpenGLStructTag f{0, nullptr, 7};
    EXPECT_EQ(plugin.ProcessOpenGL(&f), FF_FAIL);
    EXPECT_EQ(other->frameTimes.size(), 1u) << "the update still ran";
    EXPECT_EQ(other->draws, 0);
    EXPECT_EQ(KXGfx::getMainFboId(), 0u);

    ProcessOpenGLStructTag f2{0, nullptr, framebufferId()};
    ASSERT_EQ(frame(f2), FF_SUCCESS);
    EXPECT_EQ(KXGfx::getMainFboId(), framebufferId());

    // An input that came with an earlier frame does not stand in for one missing now: its
    // texture may be gone. Refused frames draw nothing and leave the GL state alone.
    GLuint name = 0;
    glGenTextures(1, &name);
    FFGLTextureStructTag host{8, 8, 8, 8, name};
    FFGLTextureStructTag* given[1] = {&host};
    ProcessOpenGLStructTag with{1, given, framebufferId()};
    ASSERT_EQ(plugin.ProcessOpenGL(&with), FF_SUCCESS);
    ASSERT_EQ(other->draws, 1);
    KXGfx::Texture* wrapper = other->inputTextures[0];
    auto state = [] {
        std::array<GLint, 6> s{};
        const GLenum queries[] = {GL_MATRIX_MODE, GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH,
                                  GL_ATTRIB_STACK_DEPTH, GL_CLIENT_ATTRIB_STACK_DEPTH, GL_TEXTURE_BINDING_2D};
        for (std::size_t i = 0; i < s.size(); ++i)
            glGetIntegerv(queries[i], &s[i]);
        return s;
    };
    const auto before = state();
    FFGLTextureStructTag* hole[1] = {nullptr};
    ProcessOpenGLStructTag lacking[] = {{0, given, framebufferId()}, {1, nullptr, framebufferId()},
                                        {1, hole, framebufferId()}};
    for (ProcessOpenGLStructTag& f3 : lacking)
        EXPECT_EQ(plugin.ProcessOpenGL(&f3), FF_FAIL);
    EXPECT_EQ(other->draws, 1);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(other->inputTextures[0], wrapper) << "the wrapper stays";
    plugin.DeInitGL();
    glDeleteTextures(1, &name);
}

// Shows its first input with the wrapper's draw helpers: the whole picture at its own size in the
// lower left of the framebuffer, and beside it the picture's right half through image fractions.
class ShowInputApp : public KXFFGLApp {
public:
    bool init() override { return true; }
    void draw() override
    {
        KXGfx::Texture* input = inputTextures[0];
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glColor4f(1, 1, 1, 1);
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glViewport(0, 0, input->width, input->height);
        input->draw(-1, -1, 2, 2, true);
        glViewport(input->width, 0, input->width / 2, input->height);
        input->draw(-1, -1, 1, 1, 0.5f, 0, 1, 1, true);
        glPopClientAttrib();
    }
};

TEST_F(Adapter, PaddedInputsAreDrawnWithoutTheirPadding)
{
    // A 20 x 10 picture in the lower left of a 32 x 16 texture whose padding is magenta.
    constexpr int w = 20, h = 10, hw = 32, hh = 16;
    std::vector<unsigned char> texels(hw * hh * 4);
    for (int y = 0; y < hh; ++y)
        for (int x = 0; x < hw; ++x) {
            unsigned char* t = &texels[(y * hw + x) * 4];
            const bool inside = x < w && y < h;
            t[0] = static_cast<unsigned char>(inside ? 10 * x : 255);
            t[1] = static_cast<unsigned char>(inside ? 20 * y : 0);
            t[2] = static_cast<unsigned char>(inside ? 7 * (x + y) : 255);
            t[3] = 255;
        }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, hw, hh, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);

    KXFFGLPlugin plugin(new ShowInputApp(), 1, 1);
    FFGLViewportStructTag vp{0, 0, 64, 64};
    ASSERT_EQ(plugin.InitGL(&vp), FF_SUCCESS);
    FFGLTextureStructTag host{w, h, hw, hh, name};
    FFGLTextureStructTag* given[1] = {&host};
    ProcessOpenGLStructTag f{1, given, framebufferId()};
    ASSERT_EQ(plugin.ProcessOpenGL(&f), FF_SUCCESS);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // Row y of the picture (from its bottom) is row fbHeight() - 1 - y from the top.
    const std::vector<unsigned char> image = readImage();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w + w / 2; ++x) {
            const int source = x < w ? x : x - w + w / 2;
            const unsigned char* got = &image[((fbHeight() - 1 - y) * fbWidth() + x) * 4];
            const unsigned char* want = &texels[(y * hw + source) * 4];
            ASSERT_EQ(std::vector<unsigned char>(got, got + 3), std::vector<unsigned char>(want, want + 3))
                << "column " << x << ", row " << y << " from the bottom";
        }
    plugin.DeInitGL();
    glDeleteTextures(1, &name);
}

TEST_F(Adapter, ResizeAndDegenerateViewportsReachTheApplication)
{
    FFGLViewportStructTag vp{2, 3, 320, 0};
    EXPECT_EQ(plugMain(FF_RESIZE, reinterpret_cast<FFWord>(&vp), id), FF_SUCCESS);
    EXPECT_EQ(app->viewport.x, 2);
    EXPECT_EQ(app->viewport.height, 0);
    EXPECT_EQ(app->resizes, (std::vector<std::pair<int, int>>{{320, 0}}));
    ProcessOpenGLStructTag f{0, nullptr, framebufferId()};
    EXPECT_EQ(frame(f), FF_SUCCESS);
}

} // namespace
