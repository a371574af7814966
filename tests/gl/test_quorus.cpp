// The built Quorus plug-in as a host sees it: loaded with dlopen and driven only through plugMain
// in a real headless GL context. Identity and parameter metadata, parameter read-back, instance
// independence, the exported symbols, and pictures checked against the scene's geometry.
//
// Depths of the particles come from the C library's rand(), which the plug-in shares with this
// process: seeding it before an instantiation makes the starting depths known here.
#include "FFGLPluginSDK.h"
#include "FFWordBits.h"
#include "GLTestFixture.h"
#include "HeadlessGL.h"
#include "PluginEntryPoint.h"
#include "KXPerlin.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using PlugMain = FFWord (*)(uint32_t, FFWord, FFWord);

// Host parameter indices.
enum : uint32_t {
    kSpeed,
    kParticles,
    kQuorify,
    kSpread,
    kNoise,
    kLineWidth,
    kParticleSize,
    kTriangleOpacity,
    kRotateX,
    kRotateY,
    kRotateZ,
    kParamCount
};

constexpr double kPi = 3.14159265358979323846;
// cot(25 degrees): the projection's scale for a 50-degree vertical field of view.
const double kFocal = 1.0 / std::tan(25.0 * kPi / 180.0);

const char* pluginPath()
{
#ifdef QUORUS_PLUGIN_PATH
    return QUORUS_PLUGIN_PATH;
#else
    return std::getenv("QUORUS_PLUGIN_PATH");
#endif
}

// The plug-in's entry point; the library stays loaded until the process ends.
PlugMain loadPlugMain(std::string& error)
{
    static PlugMain entry = nullptr;
    static std::string loadError;
    static bool tried = false;
    if (!tried) {
        tried = true;
        const char* path = pluginPath();
        if (path == nullptr)
            loadError = "plug-in path unknown (QUORUS_PLUGIN_PATH)";
        else
            entry = reinterpret_cast<PlugMain>(kxtest::loadPlugMain(path, loadError));
    }
    error = loadError;
    return entry;
}

// One host instance, destroyed with the object.
class Instance {
public:
    Instance(PlugMain entry, uint32_t width, uint32_t height) : entry_(entry)
    {
        FFGLViewportStructTag viewport{0, 0, width, height};
        id_ = entry_(FF_INSTANTIATEGL, reinterpret_cast<FFWord>(&viewport), 0);
    }
    ~Instance()
    {
        if (ok())
            entry_(FF_DEINSTANTIATEGL, 0, id_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return id_ != FF_FAIL && id_ != 0; }
    FFWord set(uint32_t index, float value)
    {
        SetParameterStructTag record{index, bitsOf(value)};
        return entry_(FF_SETPARAMETER, reinterpret_cast<FFWord>(&record), id_);
    }
    float get(uint32_t index) { return floatOf(entry_(FF_GETPARAMETER, index, id_)); }
    std::string display(uint32_t index)
    {
        const char* text = reinterpret_cast<const char*>(entry_(FF_GETPARAMETERDISPLAY, index, id_));
        return text != nullptr ? text : "(null)";
    }
    FFWord frame(unsigned hostFbo)
    {
        ProcessOpenGLStructTag record{};
        record.numInputTextures = 0;
        record.inputTextures = nullptr;
        record.HostFBO = hostFbo;
        return entry_(FF_PROCESSOPENGL, reinterpret_cast<FFWord>(&record), id_);
    }

private:
    PlugMain entry_;
    FFWord id_ = FF_FAIL;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // rows top-down

    const unsigned char* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

bool isRed(const unsigned char* p) { return p[0] > 200 && p[1] < 60 && p[2] < 60; }
bool isWhite(const unsigned char* p) { return p[0] > 200 && p[1] > 200 && p[2] > 200; }
bool isLit(const unsigned char* p) { return p[0] > 0 || p[1] > 0 || p[2] > 0; }

struct Blob {
    int pixels = 0;
    double x = 0; // centroid, in pixel-index coordinates (column, row from the top)
    double y = 0;
};

Blob findBlob(const Image& image, bool (*match)(const unsigned char*))
{
    Blob blob;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (match(image.at(x, y))) {
                ++blob.pixels;
                blob.x += x;
                blob.y += y;
            }
    if (blob.pixels > 0) {
        blob.x /= blob.pixels;
        blob.y /= blob.pixels;
    }
    return blob;
}

int countPixels(const Image& image, bool (*match)(const unsigned char*)) { return findBlob(image, match).pixels; }

// Starting depth of particle `index` when rand() is seeded with `seed` just before the instance
// is made: each particle draws x, y, then its depth.
int startDepth(unsigned seed, int index)
{
    std::srand(seed);
    int depth = 0;
    for (int i = 0; i <= index; ++i) {
        std::rand();
        std::rand();
        depth = std::rand() % 100;
    }
    return depth;
}

// First seed whose starting depths of particles 0..depths.size()-1 all lie in their ranges.
unsigned findSeed(const std::vector<std::pair<int, int>>& ranges)
{
    for (unsigned seed = 1; seed < 100000; ++seed) {
        bool fits = true;
        for (std::size_t i = 0; i < ranges.size() && fits; ++i) {
            const int z = startDepth(seed, static_cast<int>(i));
            fits = z >= ranges[i].first && z <= ranges[i].second;
        }
        if (fits)
            return seed;
    }
    return 0;
}

using Settings = std::vector<std::pair<uint32_t, float>>;

// Host value that makes "Particles" the whole number n.
float particlesValue(int n) { return (static_cast<float>(n) + 0.5f) / 400.0f; }

class Quorus : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string error;
        entry_ = loadPlugMain(error);
        ASSERT_NE(entry_, nullptr) << error;
    }

    FFWord call(uint32_t code, FFWord input = 0, FFWord instance = 0) { return entry_(code, input, instance); }

    // Renders `frames` frames of a fresh instance into a width x height host framebuffer, with
    // rand() seeded first and the settings applied before the first frame. The instance's
    // viewport height may differ from the framebuffer's (viewportHeight >= 0).
    Image render(int width, int height, const Settings& settings, int frames, unsigned seed,
                 int viewportHeight = -1)
    {
        Image image;
        kxhost::Framebuffer target;
        std::string error;
        if (!target.create(width, height, error)) {
            ADD_FAILURE() << error;
            return image;
        }
        target.bind();
        glClearColor(0, 0, 0, 0);
        glClearDepth(1.0);
        std::srand(seed);
        {
            Instance instance(entry_, width, viewportHeight >= 0 ? viewportHeight : height);
            if (!instance.ok()) {
                ADD_FAILURE() << "instantiation failed";
                return image;
            }
            for (const auto& s : settings)
                EXPECT_EQ(instance.set(s.first, s.second), FF_SUCCESS);
            for (int f = 0; f < frames; ++f)
                EXPECT_EQ(instance.frame(target.id()), FF_SUCCESS);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        image.width = width;
        image.height = height;
        EXPECT_TRUE(target.readPixels(image.rgba));
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        target.release();
        framebuffer().bind();
        return image;
    }

    PlugMain entry_ = nullptr;
};

// Identity and metadata ----------------------------------------------------------------------

TEST_F(Quorus, IdentityRecords)
{
    const auto* info = reinterpret_cast<const PluginInfoStructTag*>(call(FF_GETINFO));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->APIMajorVersion, 1u);
    EXPECT_EQ(info->APIMinorVersion, 500u);
    EXPECT_EQ(std::string(info->PluginUniqueID, 4), "Q7K3");
    const char name[16] = "Quorus";
    EXPECT_EQ(std::memcmp(info->PluginName, name, sizeof name), 0);
    EXPECT_EQ(info->PluginType, 1u);

    const auto* ext = reinterpret_cast<const PluginExtendedInfoStructTag*>(call(FF_GETEXTENDEDINFO));
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->PluginMajorVersion, 1u);
    EXPECT_EQ(ext->PluginMinorVersion, 0u);
    EXPECT_STREQ(ext->Description, "iCanHazQuorus");
    EXPECT_STREQ(ext->About, "Quorus particle network generator, built on the KX framework");
    EXPECT_EQ(ext->FreeFrameExtendedDataSize, 0u);
    EXPECT_EQ(ext->FreeFrameExtendedDataBlock, nullptr);

    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_PROCESSOPENGL), 1u);
    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_SETTIME), 0u);
    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_MINIMUMINPUTFRAMES), 0u);
    EXPECT_EQ(call(FF_GETPLUGINCAPS, FF_CAP_MAXIMUMINPUTFRAMES), 0u);
    EXPECT_EQ(call(FF_GETPLUGINSHORTNAME), FF_FAIL) << "the plug-in has no short name";
}

TEST_F(Quorus, ElevenStandardParametersWithNormalisedDefaults)
{
    const char* names[kParamCount] = {"Speed",         "Particles",        "Quorify",  "Spread",
                                      "Noise",         "Line Width",       "Particle Size",
                                      "Triangle Opacity", "Rotate X",      "Rotate Y", "Rotate Z"};
    const float defaults[kParamCount] = {0.1f, 0.375f, 0.25f, 0.6666667f, 0.25f, 0.1f,
                                         0.2f, 0.9f,   0.5f,  0.5f,       0.5f};
    ASSERT_EQ(call(FF_GETNUMPARAMETERS), static_cast<FFWord>(kParamCount));
    for (uint32_t i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(names[i]);
        const char* name = reinterpret_cast<const char*>(call(FF_GETPARAMETERNAME, i));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::string(name, strnlen(name, 16)), names[i]);
        EXPECT_EQ(call(FF_GETPARAMETERTYPE, i), static_cast<FFWord>(FF_TYPE_STANDARD));
        const FFWord word = call(FF_GETPARAMETERDEFAULT, i);
        ASSERT_NE(word, FF_FAIL);
        const float def = floatOf(word);
        EXPECT_GE(def, 0.0f);
        EXPECT_LE(def, 1.0f);
        EXPECT_NEAR(def, defaults[i], 1e-6f);
    }
    EXPECT_EQ(call(FF_GETPARAMETERNAME, kParamCount), 0u);
    EXPECT_EQ(call(FF_GETPARAMETERTYPE, kParamCount), FF_FAIL);
}

TEST_F(Quorus, ParticleCountIsMadeWholeByTheFirstFrame)
{
    Instance instance(entry_, 64, 64);
    ASSERT_TRUE(instance.ok());
    EXPECT_FLOAT_EQ(instance.get(kParticles), 0.375f) << "150 of 400 after instantiation";
    ASSERT_EQ(instance.set(kParticles, 0.37675f), FF_SUCCESS); // 150.7
    EXPECT_FLOAT_EQ(instance.get(kParticles), 0.37675f);
    ASSERT_EQ(instance.frame(framebufferId()), FF_SUCCESS);
    EXPECT_FLOAT_EQ(instance.get(kParticles), 0.375f);
    EXPECT_EQ(instance.display(kParticles), "150.00");
}

TEST_F(Quorus, InstancesAreIndependent)
{
    Instance a(entry_, 64, 64);
    Instance b(entry_, 64, 64);
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_EQ(a.set(kSpeed, 0.7f), FF_SUCCESS);
    ASSERT_EQ(a.set(kParticles, 0.01f), FF_SUCCESS);
    EXPECT_FLOAT_EQ(a.get(kSpeed), 0.7f);
    EXPECT_FLOAT_EQ(b.get(kSpeed), 0.1f);
    EXPECT_EQ(a.frame(framebufferId()), FF_SUCCESS);
    EXPECT_EQ(b.frame(framebufferId()), FF_SUCCESS);
    EXPECT_FLOAT_EQ(a.get(kParticles), 0.01f);  // 4 particles
    EXPECT_FLOAT_EQ(b.get(kParticles), 0.375f); // still 150
}

// The Windows build checks its DLLs' export tables on the build machine (tests/windows).
#if !defined(_WIN32)
TEST(QuorusLibrary, ExportsOnlyPlugMain)
{
    const char* path = pluginPath();
    ASSERT_NE(path, nullptr) << "plug-in path unknown (QUORUS_PLUGIN_PATH)";
    const std::string command = std::string("nm -D --defined-only '") + path + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    std::string output;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        output += line;
        char value[64], kind[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", value, kind, name) == 3)
            symbols.insert(name);
    }
    const int status = pclose(pipe);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        GTEST_SKIP() << "nm is not installed";
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(symbols, std::set<std::string>{"plugMain"}) << output;
}
#endif

// Pictures -----------------------------------------------------------------------------------

// Particle 0 alone rests at x = y = 0 with no jitter, so it is a red disc at the image centre
// whose radius follows from the perspective and its (seeded, unchanging) depth.
TEST_F(Quorus, SingleParticleIsARedDiscAtTheCentre)
{
    const unsigned seed = findSeed({{8, 14}});
    ASSERT_NE(seed, 0u);
    const double depth = startDepth(seed, 0);
    const double radius = 1.0; // "Particle Size" at its maximum
    const Settings settings = {{kParticles, particlesValue(1)}, {kNoise, 0.0f}, {kSpeed, 0.0f},
                               {kParticleSize, 1.0f}};
    for (const auto& size : {std::pair<int, int>{64, 64}, std::pair<int, int>{96, 48}}) {
        SCOPED_TRACE(std::to_string(size.first) + "x" + std::to_string(size.second) + " depth " +
                     std::to_string(depth));
        const Image image = render(size.first, size.second, settings, 3, seed);
        ASSERT_EQ(image.rgba.size(), static_cast<std::size_t>(size.first * size.second * 4));
        const Blob disc = findBlob(image, isRed);
        EXPECT_EQ(disc.pixels, countPixels(image, isLit)) << "nothing but the red disc is drawn";
        EXPECT_NEAR(disc.x, size.first / 2.0 - 0.5, 0.5);
        EXPECT_NEAR(disc.y, size.second / 2.0 - 0.5, 0.5);
        // A sphere's outline seen from distance D: (h/2) cot(25 deg) r / sqrt(D^2 - r^2); the
        // 16-sided tessellation gives about 1.3 % less.
        const double expected =
            size.second / 2.0 * kFocal * radius / std::sqrt(depth * depth - radius * radius) * 0.987;
        const double measured = std::sqrt(disc.pixels / kPi);
        EXPECT_NEAR(measured, expected, 0.04 * expected + 0.3);
    }
}

// A half turn about the y axis through the middle of the box mirrors x and moves a particle at
// depth z to depth 100 - z.
TEST_F(Quorus, RotateYAtZeroGivesTheHalfTurnedView)
{
    const unsigned seed = findSeed({{44, 56}, {44, 56}});
    ASSERT_NE(seed, 0u);
    const int w = 128, h = 128;
    const float spreadValue = 0.5f;
    const float spread = 60.0f * spreadValue;
    const double x1 = static_cast<float>(KXMath::noise1(static_cast<float>(1.0 / 0.4532))) * spread;
    const double y1 = static_cast<float>(KXMath::noise1(static_cast<float>(1.0 / 0.7856))) * spread;
    const double z1 = startDepth(seed, 1);
    const double z0 = startDepth(seed, 0);

    const Settings base = {{kParticles, particlesValue(2)}, {kNoise, 0.0f}, {kSpeed, 0.0f},
                           {kParticleSize, 1.0f},          {kSpread, spreadValue}, {kQuorify, 0.0f}};
    auto expectBlobs = [&](const Image& image, double eyeX, double eyeDepth) {
        const Blob red = findBlob(image, isRed);
        ASSERT_GT(red.pixels, 0) << "particle 0 (red, depth " << z0 << ")";
        EXPECT_NEAR(red.x, w / 2.0 - 0.5, 0.6);
        EXPECT_NEAR(red.y, h / 2.0 - 0.5, 0.6);
        const double px = w / 2.0 + h / 2.0 * kFocal * eyeX / eyeDepth - 0.5;
        const double py = h / 2.0 - h / 2.0 * kFocal * y1 / eyeDepth - 0.5;
        const Blob white = findBlob(image, isWhite);
        ASSERT_GT(white.pixels, 0) << "particle 1 (white) expected near " << px << ", " << py;
        EXPECT_NEAR(white.x, px, 1.0);
        EXPECT_NEAR(white.y, py, 1.0);
    };
    ASSERT_GT(std::abs(h / 2.0 * kFocal * x1 / z1), 4.0) << "particle 1 too close to the axis";

    Settings front = base;
    front.push_back({kRotateY, 0.5f});
    expectBlobs(render(w, h, front, 2, seed), x1, z1);

    Settings turned = base;
    turned.push_back({kRotateY, 0.0f});
    expectBlobs(render(w, h, turned, 2, seed), -x1, 100.0 - z1);

    turned.back().second = 1.0f; // 360 degrees: the same half turn
    expectBlobs(render(w, h, turned, 2, seed), -x1, 100.0 - z1);
}

// With invisible spheres ("Particle Size" 0) only connections and triangles can light pixels.
TEST_F(Quorus, QuorifyAndTriangleOpacitySwitchOffTheirElements)
{
    const unsigned seed = 1234;
    const Settings noSpheres = {{kParticleSize, 0.0f}};
    ASSERT_GT(countPixels(render(64, 64, noSpheres, 3, seed), isLit), 0)
        << "the default scene has connections or triangles";

    Settings noReach = noSpheres;
    noReach.push_back({kQuorify, 0.0f});
    EXPECT_EQ(countPixels(render(64, 64, noReach, 3, seed), isLit), 0) << "Quorify 0: spheres only";

    Settings trianglesOnly = noSpheres;
    trianglesOnly.push_back({kLineWidth, 0.0f});
    ASSERT_GT(countPixels(render(64, 64, trianglesOnly, 3, seed), isLit), 0) << "triangles are drawn";

    Settings nothing = trianglesOnly;
    nothing.push_back({kTriangleOpacity, 0.0f});
    EXPECT_EQ(countPixels(render(64, 64, nothing, 3, seed), isLit), 0) << "Triangle Opacity 0: no triangles";

    // With spheres back, Quorify 0 still draws them.
    EXPECT_GT(countPixels(render(64, 64, {{kQuorify, 0.0f}, {kParticleSize, 1.0f}}, 3, seed), isLit), 0);
}

TEST_F(Quorus, SameSeedAndFramesGiveTheSamePicture)
{
    const Image first = render(64, 64, {}, 5, 77);
    const Image second = render(64, 64, {}, 5, 77);
    ASSERT_FALSE(first.rgba.empty());
    EXPECT_GT(countPixels(first, isLit), 0);
    EXPECT_TRUE(first.rgba == second.rgba);
}

// "Particles" is limited to the field of 400 however large the host value; a negative or
// non-numeric count activates nothing. The host still reads back what it set.
TEST_F(Quorus, ParticleCountOutsideItsRange)
{
    const unsigned seed = 99;
    const Image all = render(32, 32, {{kParticles, 1.0f}, {kParticleSize, 1.0f}}, 2, seed);
    const Image beyond = render(32, 32, {{kParticles, 2.0f}, {kParticleSize, 1.0f}}, 2, seed);
    EXPECT_GT(countPixels(all, isLit), 0);
    EXPECT_TRUE(all.rgba == beyond.rgba) << "800 particles draw as the 400 there are";

    EXPECT_EQ(countPixels(render(32, 32, {{kParticles, -0.5f}, {kParticleSize, 1.0f}}, 2, seed), isLit), 0);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(countPixels(render(32, 32, {{kParticles, nan}, {kParticleSize, 1.0f}}, 2, seed), isLit), 0);

    Instance instance(entry_, 32, 32);
    ASSERT_TRUE(instance.ok());
    ASSERT_EQ(instance.set(kParticles, 2.0f), FF_SUCCESS);
    ASSERT_EQ(instance.frame(framebufferId()), FF_SUCCESS);
    EXPECT_FLOAT_EQ(instance.get(kParticles), 2.0f);
}

// A viewport of height 0 has no aspect ratio; the scene is then drawn square.
TEST_F(Quorus, ZeroHeightViewportDrawsSquare)
{
    const Image square = render(64, 64, {}, 3, 5);
    const Image flat = render(64, 64, {}, 3, 5, 0);
    EXPECT_GT(countPixels(square, isLit), 0);
    EXPECT_TRUE(square.rgba == flat.rgba);
}

} // namespace
