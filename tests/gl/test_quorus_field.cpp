// The Quorus effect's own classes, compiled into this test: the particle field's life, the
// motion step, and drawing with particles placed by hand (class rule, connection brightness,
// triangle colour and vertex order, coinciding particles), in a real headless GL context.
//
// Pictures are read with the camera unrotated (all rotations 180): a particle at (x, y, depth)
// appears at window position centre + (h/2) cot(25 deg) (x, y) / depth.
#include "../../Source/FFGLPlugins/Quorus/Ball.cpp"
#include "../../Source/FFGLPlugins/Quorus/FFGLPlugin.cpp"
#include "../../Source/FFGLPlugins/Quorus/NeighbourSearch.cpp"

#include "GLTestFixture.h"
#include "KXPlatform.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <vector>
#if defined(_WIN32)
#include <malloc.h>
#endif

// Counts the operator new calls of the test thread, to show that steady frames allocate nothing.
namespace {
std::atomic<long> g_allocations{0};
// Only threads that set this are counted: the GL driver's worker threads are not our code.
thread_local bool t_countAllocations = false;

// Every form is replaced, so that whatever allocates (the GL driver's C++ too) frees consistently.
void* countedAllocation(std::size_t size, std::size_t alignment)
{
    if (t_countAllocations)
        ++g_allocations;
    if (size == 0)
        size = 1;
#if defined(_WIN32)
    // The Windows C library has no aligned_alloc; blocks of _aligned_malloc go back through
    // _aligned_free, so every form allocates this way (see countedFree).
    return _aligned_malloc(size, std::max(alignment, alignof(std::max_align_t)));
#else
    if (alignment <= alignof(std::max_align_t))
        return std::malloc(size);
    return std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
}

void countedFree(void* p)
{
#if defined(_WIN32)
    _aligned_free(p);
#else
    std::free(p);
#endif
}
} // namespace

void* operator new(std::size_t size)
{
    if (void* p = countedAllocation(size, 0))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t al)
{
    if (void* p = countedAllocation(size, static_cast<std::size_t>(al)))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t al) { return operator new(size, al); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAllocation(size, 0); }
void* operator new(std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al, const std::nothrow_t&) noexcept
{
    return countedAllocation(size, static_cast<std::size_t>(al));
}
// Kept out of line: inlined into callers, the compiler would pair the caller's new with free.
#define KX_COUNTED_DELETE(...) __attribute__((noinline)) void operator delete(__VA_ARGS__) noexcept { countedFree(p); }
#define KX_COUNTED_DELETE_ARRAY(...) __attribute__((noinline)) void operator delete[](__VA_ARGS__) noexcept { countedFree(p); }
KX_COUNTED_DELETE(void* p)
KX_COUNTED_DELETE_ARRAY(void* p)
KX_COUNTED_DELETE(void* p, std::size_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::size_t)
KX_COUNTED_DELETE(void* p, std::align_val_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::align_val_t)
KX_COUNTED_DELETE(void* p, std::size_t, std::align_val_t)
KX_COUNTED_DELETE_ARRAY(void* p, std::size_t, std::align_val_t)
KX_COUNTED_DELETE(void* p, const std::nothrow_t&)
KX_COUNTED_DELETE_ARRAY(void* p, const std::nothrow_t&)
KX_COUNTED_DELETE(void* p, std::align_val_t, const std::nothrow_t&)
KX_COUNTED_DELETE_ARRAY(void* p, std::align_val_t, const std::nothrow_t&)
#undef KX_COUNTED_DELETE
#undef KX_COUNTED_DELETE_ARRAY

namespace {

bool isWholeNumber(float v) { return std::floor(v) == v; }

class QuorusField : public GLTest {
protected:
    void SetUp() override
    {
        GLTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        plugin.viewport = {0, 0, kDefaultSize, kDefaultSize};
        ASSERT_TRUE(plugin.init());
    }
    void TearDown() override
    {
        if (plugin.sphereQuadric != nullptr)
            plugin.exit();
        GLTest::TearDown();
    }

    Plugin plugin;
};

TEST_F(QuorusField, InitBuildsTheWholeFieldFromRandAndExitReleasesIt)
{
    // init draws x, y and depth per particle, in that order.
    plugin.exit();
    std::srand(4242);
    const int x0 = std::rand() % 10 - 5;
    const int y0 = std::rand() % 10 - 5;
    const int z0 = std::rand() % 100;
    std::srand(4242);
    ASSERT_TRUE(plugin.init());
    ASSERT_EQ(plugin.balls.size(), 400u);
    EXPECT_EQ(plugin.balls[0].position.x, static_cast<float>(x0));
    EXPECT_EQ(plugin.balls[0].position.y, static_cast<float>(y0));
    EXPECT_EQ(plugin.balls[0].position.z, static_cast<float>(z0));
    EXPECT_TRUE(glIsList(plugin.sphereList));
    EXPECT_TRUE(glIsList(plugin.cylinderList));
    EXPECT_NE(plugin.sphereList, plugin.cylinderList);
    EXPECT_FLOAT_EQ(plugin.noiseTime, 0.0f);
    for (const Ball& b : plugin.balls) {
        EXPECT_FLOAT_EQ(b.size, 0.1f);
        EXPECT_EQ(b.displayList, plugin.sphereList);
        EXPECT_TRUE(b.neighbours.empty());
        EXPECT_GE(b.neighbours.capacity(), 400u);
        EXPECT_EQ(b.position.x, b.anchor.x);
        EXPECT_EQ(b.position.y, b.anchor.y);
        EXPECT_EQ(b.position.z, b.anchor.z);
        EXPECT_TRUE(isWholeNumber(b.position.x) && b.position.x >= -5 && b.position.x <= 4);
        EXPECT_TRUE(isWholeNumber(b.position.y) && b.position.y >= -5 && b.position.y <= 4);
        EXPECT_TRUE(isWholeNumber(b.position.z) && b.position.z >= 0 && b.position.z <= 99);
    }

    plugin.particles = 42.0f;
    const unsigned oldSphere = plugin.sphereList;
    plugin.exit();
    EXPECT_TRUE(plugin.balls.empty());
    EXPECT_FALSE(glIsList(oldSphere));
    plugin.exit(); // a second exit finds nothing left to release
    ASSERT_TRUE(plugin.init());
    EXPECT_EQ(plugin.balls.size(), 400u);
    EXPECT_FLOAT_EQ(plugin.particles, 42.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Motion ---------------------------------------------------------------------------------------

TEST_F(QuorusField, MotionStepPlacesParticlesInTheirLanes)
{
    plugin.viewport = {0, 0, 1280, 720};
    plugin.particles = 150.7f;
    const std::vector<Ball> before = plugin.balls;
    plugin.update();
    EXPECT_FLOAT_EQ(plugin.aspect, 1280.0f / 720.0f);
    EXPECT_EQ(plugin.particles, 150.0f);
    EXPECT_EQ(plugin.noiseTime, 0.002f);

    // Particle 0 rests at the origin and jitters along x = y.
    EXPECT_EQ(plugin.balls[0].anchor.x, 0.0f);
    EXPECT_EQ(plugin.balls[0].anchor.y, 0.0f);
    EXPECT_EQ(plugin.balls[0].position.x, plugin.balls[0].position.y);
    EXPECT_NE(plugin.balls[0].position.x, 0.0f);

    for (int i = 0; i < 400; ++i) {
        const Ball& b = plugin.balls[i];
        if (i < 150) {
            EXPECT_LE(std::fabs(b.anchor.x), 45.001f) << i;
            EXPECT_LE(std::fabs(b.anchor.y), 25.32f) << i;
            const float z = before[i].position.z - 0.1f;
            EXPECT_NEAR(b.position.z, z < 0 ? z + 100.0f : z, 1e-4f) << i;
            EXPECT_FLOAT_EQ(b.size, 0.2f);
        } else {
            // Inactive particles keep everything.
            EXPECT_EQ(b.position.x, before[i].position.x) << i;
            EXPECT_EQ(b.position.z, before[i].position.z) << i;
            EXPECT_FLOAT_EQ(b.size, 0.1f);
        }
    }

    // noiseTime counts motion steps.
    for (int n = 1; n < 500; ++n)
        plugin.update();
    EXPECT_NEAR(plugin.noiseTime, 1.0f, 1e-4f);
}

// Every coordinate, bit for bit, as the motion formula gives it from the index, the parameters
// and the step count, over steps that change the parameters and the count in between.
TEST_F(QuorusField, MotionStepMatchesItsFormulaExactly)
{
    plugin.viewport = {0, 0, 1000, 333};
    plugin.particles = 400.0f;
    plugin.spread = 37.3f;
    plugin.noiseAmount = 23.9f;
    auto noiseOf = [](double x) { return static_cast<float>(KXMath::noise1(static_cast<float>(x))); };
    for (int step = 1; step <= 40; ++step) {
        if (step == 15) {
            plugin.particles = 123.0f;
            plugin.spread = 0.7f;
        }
        if (step == 30) {
            plugin.particles = 400.0f;
            plugin.noiseAmount = 3.0f;
            plugin.viewport = {0, 0, 640, 480};
        }
        plugin.update();
        const float aspect = static_cast<float>(plugin.viewport.width) / static_cast<float>(plugin.viewport.height);
        const double t = static_cast<double>(plugin.noiseTime);
        const int count = static_cast<int>(plugin.particles);
        for (int i = 0; i < count; ++i) {
            const Ball& b = plugin.balls[i];
            const double fi = static_cast<double>(static_cast<float>(i));
            const float ax = noiseOf(fi / 0.4532) * plugin.spread * aspect;
            const float ay = noiseOf(fi / 0.7856) * plugin.spread;
            ASSERT_EQ(b.anchor.x, ax) << "particle " << i << ", step " << step;
            ASSERT_EQ(b.anchor.y, ay) << "particle " << i << ", step " << step;
            ASSERT_EQ(b.position.x, ax + noiseOf(fi / 2.4534 + t) * plugin.noiseAmount) << i << ", " << step;
            ASSERT_EQ(b.position.y, ay + noiseOf(fi / 1.2369 + t) * plugin.noiseAmount) << i << ", " << step;
        }
    }
}

TEST_F(QuorusField, NoiseAndSpreadZero)
{
    plugin.particles = 400.0f;
    plugin.noiseAmount = 0.0f;
    plugin.update();
    plugin.update();
    for (const Ball& b : plugin.balls) {
        EXPECT_EQ(b.position.x, b.anchor.x);
        EXPECT_EQ(b.position.y, b.anchor.y);
    }
    plugin.spread = 0.0f;
    plugin.update();
    for (const Ball& b : plugin.balls) {
        EXPECT_EQ(b.position.x, 0.0f);
        EXPECT_EQ(b.position.y, 0.0f);
    }
}

TEST_F(QuorusField, CountChangesLeaveIdleParticlesWhereTheyWere)
{
    plugin.particles = 200.0f;
    plugin.update();
    plugin.particles = 100.0f;
    const std::vector<Ball> left = plugin.balls;
    for (int n = 0; n < 5; ++n)
        plugin.update();
    for (int i = 100; i < 200; ++i)
        EXPECT_EQ(plugin.balls[i].position.z, left[i].position.z) << i;
    plugin.particles = 200.0f;
    plugin.update();
    for (int i = 100; i < 200; ++i) {
        const float expected = left[i].position.z - 0.1f;
        EXPECT_NEAR(plugin.balls[i].position.z, expected < 0 ? expected + 100.0f : expected, 1e-4f) << i;
    }

    // No particle: nothing moves, but time and aspect go on.
    plugin.particles = 0.0f;
    plugin.viewport = {0, 0, 200, 100};
    const std::vector<Ball> still = plugin.balls;
    const float t = plugin.noiseTime;
    plugin.update();
    EXPECT_EQ(plugin.noiseTime, static_cast<float>(static_cast<double>(t) + 0.002));
    EXPECT_FLOAT_EQ(plugin.aspect, 2.0f);
    EXPECT_EQ(plugin.balls[0].position.z, still[0].position.z);

    // Speed 0 keeps every depth.
    plugin.particles = 400.0f;
    plugin.speed = 0.0f;
    const std::vector<Ball> parked = plugin.balls;
    plugin.update();
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(plugin.balls[i].position.z, parked[i].position.z);
}

TEST_F(QuorusField, CountsBeyondTheFieldAndZeroHeight)
{
    plugin.particles = 800.0f;
    EXPECT_EQ(plugin.activeCount(), 400);
    plugin.update(); // must stay inside the 400 particles (ASan checks)
    EXPECT_EQ(plugin.particles, 800.0f) << "the host reads back what it set, made whole";
    plugin.particles = -3.0f;
    EXPECT_EQ(plugin.activeCount(), 0);
    plugin.particles = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(plugin.activeCount(), 0);
    plugin.update();
    plugin.particles = 12.0f;
    EXPECT_EQ(plugin.activeCount(), 12);

    plugin.viewport = {0, 0, 64, 0};
    plugin.update();
    EXPECT_EQ(plugin.aspect, 1.0f);
}

double fakeNow() { return 123456.0; }

TEST_F(QuorusField, ClockIsThePlatformClock)
{
    KXPlatform::setClockOverride(&fakeNow);
    EXPECT_EQ(plugin.getTime(), 123456.0);
    plugin.update();
    EXPECT_EQ(plugin.lastTime, 123456.0);
    KXPlatform::setClockOverride(nullptr);
}

TEST(QuorusBall, DepthWrapsAtBothEndsAndForgetsNeighbours)
{
    Ball b(KXMath::Vec3(1, 2, 0.05f), 0.1f, 0);
    b.speed = 0.1f;
    b.neighbours.push_back({1.0f, 3});
    b.update(1.0f);
    EXPECT_NEAR(b.position.z, 99.95f, 1e-4f);
    EXPECT_TRUE(b.neighbours.empty());

    b.position.z = 0.0f;
    b.speed = 0.0f;
    b.update(1.0f);
    EXPECT_EQ(b.position.z, 0.0f);

    b.position.z = 99.95f;
    b.speed = -0.1f;
    b.neighbours.push_back({1.0f, 3});
    b.update(1.0f);
    EXPECT_NEAR(b.position.z, 0.05f, 1e-4f);
    EXPECT_TRUE(b.neighbours.empty());
    EXPECT_EQ(b.position.x, 1.0f);
}

TEST(QuorusBall, DepthStaysInTheBoxWhateverTheSpeed)
{
    // One frame of a host's bad Speed value must not lose the particle for good: before, a NaN
    // or infinite step left a non-finite depth and a huge one a depth far outside the box, and
    // neither ever came back.
    const float inf = std::numeric_limits<float>::infinity();
    for (float speed : {std::nanf(""), inf, -inf, 3.4e38f, -3.4e38f, 1.0e30f, -1.0e7f, 250.0f}) {
        Ball b(KXMath::Vec3(0, 0, 30.0f), 0.1f, 0);
        b.speed = speed;
        b.update(1.0f);
        EXPECT_GE(b.position.z, 0.0f) << "speed " << speed;
        EXPECT_LE(b.position.z, QUORUS_DEPTH_RANGE) << "speed " << speed;
        b.speed = 0.1f;
        const float before = b.position.z;
        b.update(1.0f);
        EXPECT_GE(b.position.z, 0.0f) << "speed " << speed;
        EXPECT_LT(b.position.z, before + 1.0f) << "moves normally again after speed " << speed;
    }
    Ball still(KXMath::Vec3(0, 0, 30.0f), 0.1f, 0);
    still.speed = std::nanf("");
    still.update(1.0f);
    EXPECT_EQ(still.position.z, 30.0f) << "a step that is not a number is not taken";
    Ball distant(KXMath::Vec3(0, 0, 30.0f), 0.1f, 0);
    distant.speed = 250.0f;
    distant.update(1.0f);
    EXPECT_NEAR(distant.position.z, 80.0f, 1e-4f) << "30 - 250 wraps to 80, as three single wraps would";
}

// Drawing --------------------------------------------------------------------------------------

// Draws one frame the way the adapter does: identity matrices, all state saved and restored.
void drawFrame(Plugin& plugin)
{
    glClearColor(0, 0, 0, 0);
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(mode);
        glPushMatrix();
        glLoadIdentity();
    }
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    plugin.draw();
    glPopAttrib();
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(mode);
        glPopMatrix();
    }
}

class QuorusScene : public QuorusField {
protected:
    static constexpr float kDepth = 40.0f;

    void SetUp() override
    {
        QuorusField::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        plugin.aspect = 1.0f;
        plugin.linkDistance = 10.0f;
        plugin.lineWidth = 1.0f;
        plugin.triangleOpacity = 0.0f;
        // Every particle far away and out of reach of every other until placed.
        for (int i = 0; i < 400; ++i) {
            Ball& b = plugin.balls[i];
            b.size = 0.0f;
            b.position = KXMath::Vec3(1000.0f + 50.0f * i, 1000.0f, kDepth);
        }
    }

    void place(int i, float x, float y, float depth = kDepth) { plugin.balls[i].position = KXMath::Vec3(x, y, depth); }
    // Places particle i at distance r and angle a (degrees) from (cx, cy) in the picture plane.
    void placePolar(int i, float cx, float cy, float r, float degrees)
    {
        const double a = degrees * 3.14159265358979323846 / 180.0;
        place(i, cx + static_cast<float>(r * std::cos(a)), cy + static_cast<float>(r * std::sin(a)));
    }

    // Pixel (column, row from the top) showing the picture-plane point (x, y) at depth kDepth.
    std::array<unsigned char, 4> pixelOf(float x, float y)
    {
        const double scale = kDefaultSize / 2.0 / std::tan(25.0 * 3.14159265358979323846 / 180.0) / kDepth;
        const int column = static_cast<int>(std::floor(kDefaultSize / 2.0 + scale * x));
        const int row = static_cast<int>(std::floor(kDefaultSize / 2.0 - scale * y));
        return pixel(column, row);
    }

    int litPixels()
    {
        int lit = 0;
        const std::vector<unsigned char> image = readImage();
        for (std::size_t p = 0; p < image.size(); p += 4)
            lit += (image[p] | image[p + 1] | image[p + 2]) != 0;
        return lit;
    }
};

TEST_F(QuorusScene, ConnectionsJoinOnlyParticlesOfOneClassAndFadeWithLength)
{
    plugin.particles = 9.0f;
    place(1, -1.25f, 0.0f); // white pair, 2.5 apart: grey 0.75
    place(2, 1.25f, 0.0f);
    place(0, -2.5f, -12.0f); // red pair, 5 apart: red 0.5
    place(4, 2.5f, -12.0f);
    place(5, -1.5f, 12.0f); // white and red, 3 apart: not joined
    place(8, 1.5f, 12.0f);
    drawFrame(plugin);
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const auto grey = pixelOf(0.0f, 0.05f);
    EXPECT_NEAR(grey[0], 191, 2);
    EXPECT_NEAR(grey[1], 191, 2);
    EXPECT_NEAR(grey[2], 191, 2);
    const auto red = pixelOf(0.0f, -12.05f);
    EXPECT_NEAR(red[0], 128, 2);
    EXPECT_EQ(red[1], 0);
    EXPECT_EQ(red[2], 0);
    const auto gap = pixelOf(0.0f, 12.05f);
    EXPECT_EQ(gap[0] | gap[1] | gap[2], 0) << "particles 5 and 8 are of different classes";

    // Moving the white-red pair apart changes nothing: nothing else was drawn.
    const int lit = litPixels();
    place(8, 100.0f, 12.0f);
    drawFrame(plugin);
    EXPECT_EQ(litPixels(), lit);
}

// The triangle of a particle spans its three nearest neighbours; ties are ordered by index, and
// only a counter-clockwise triangle (in order of distance) survives face culling.
TEST_F(QuorusScene, TriangleColourFollowsTheNearestNeighbourAndItsOrder)
{
    plugin.particles = 6.0f;
    plugin.triangleOpacity = 0.9f;
    plugin.lineWidth = 0.0f;
    // Red particle 0 at the centre; 1 at distance 5, 2 and 3 both at distance 8 (a tie broken
    // by index): 1, 2, 3 run counter-clockwise.
    place(0, 0.0f, 0.0f);
    placePolar(1, 0.0f, 0.0f, 5.0f, 0.0f);
    placePolar(2, 0.0f, 0.0f, 8.0f, 120.0f);
    placePolar(3, 0.0f, 0.0f, 8.0f, 240.0f);
    ASSERT_EQ(plugin.dist(plugin.balls[0].position, plugin.balls[2].position),
              plugin.dist(plugin.balls[0].position, plugin.balls[3].position));
    drawFrame(plugin);
    // (r^2, 0, 0, 0.9) with r = 5 / 10, over black.
    auto centre = pixelOf(0.0f, 0.0f);
    EXPECT_NEAR(centre[0], 57, 2);
    EXPECT_EQ(centre[1], 0);
    EXPECT_EQ(centre[2], 0);
    for (const Ball& b : plugin.balls)
        EXPECT_TRUE(b.neighbours.empty());

    // Swapping the tied pair makes the order clockwise: culled.
    placePolar(2, 0.0f, 0.0f, 8.0f, 240.0f);
    placePolar(3, 0.0f, 0.0f, 8.0f, 120.0f);
    drawFrame(plugin);
    EXPECT_EQ(litPixels(), 0);

    // A white particle (1) with the same neighbourhood gives grey.
    place(0, 500.0f, 500.0f);
    place(1, 0.0f, 0.0f);
    placePolar(2, 0.0f, 0.0f, 5.0f, 0.0f);
    placePolar(3, 0.0f, 0.0f, 8.0f, 120.0f);
    placePolar(5, 0.0f, 0.0f, 8.0f, 240.0f);
    drawFrame(plugin);
    centre = pixelOf(0.0f, 0.0f);
    EXPECT_NEAR(centre[0], 57, 2);
    EXPECT_NEAR(centre[1], 57, 2);
    EXPECT_NEAR(centre[2], 57, 2);

    // Two within reach are not enough (the third just out of reach).
    placePolar(5, 0.0f, 0.0f, 10.5f, 240.0f);
    drawFrame(plugin);
    EXPECT_EQ(litPixels(), 0);

    // Opacity 0 switches triangles off.
    placePolar(5, 0.0f, 0.0f, 8.0f, 240.0f);
    plugin.triangleOpacity = 0.0f;
    drawFrame(plugin);
    EXPECT_EQ(litPixels(), 0);
}

// Transformed vertices of what drawConnection sends, through GL feedback.
std::vector<GLfloat> feedbackOf(const std::function<void()>& drawing)
{
    std::vector<GLfloat> buffer(1 << 16);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(50.0, 1.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawing();
    const GLint used = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    buffer.resize(used > 0 ? static_cast<std::size_t>(used) : 0);
    return buffer;
}

TEST_F(QuorusScene, CoincidingParticlesAreNotConnectedAndNothingNonFiniteReachesGL)
{
    plugin.particles = 4.0f;
    place(1, 0.0f, 0.0f);
    place(2, 0.0f, 0.0f); // coincides with 1
    place(3, 2.5f, 0.0f);
    EXPECT_TRUE(feedbackOf([&] { plugin.drawConnection(1, 2, 0.0f); }).empty());

    // A sine a hair past 1 (as rounding can give for a connection along the depth axis) is
    // taken as 1: the cylinder is still drawn, with finite vertices.
    place(3, 0.0f, 0.0f, kDepth + 1.0f);
    const std::vector<GLfloat> along = feedbackOf([&] { plugin.drawConnection(1, 3, 0.999f); });
    ASSERT_FALSE(along.empty());
    for (GLfloat v : along)
        ASSERT_TRUE(std::isfinite(v));

    // The whole frame: the coinciding pair gets no cylinder, the third particle still joins both.
    place(3, 2.5f, 0.0f);
    drawFrame(plugin);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    const auto joined = pixelOf(1.25f, 0.05f);
    EXPECT_NEAR(joined[0], 191, 2);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST_F(QuorusField, SteadyFramesAllocateNothing)
{
    plugin.particles = 400.0f;
    plugin.linkDistance = 10.0f; // neighbours, cylinders and triangles for many particles
    plugin.update();
    drawFrame(plugin);
    glFinish();
    t_countAllocations = true;
    const long before = g_allocations.load();
    for (int n = 0; n < 3; ++n) {
        plugin.update();
        drawFrame(plugin);
    }
    glFinish();
    const long allocated = g_allocations.load() - before;
    t_countAllocations = false;
    EXPECT_EQ(allocated, 0);
}

} // namespace
