// The Quorus effect (see FFGLPlugin.h): parameters, particle field, motion, drawing, and the
// plug-in's registration record and instance factory.
#include "FFGLPlugin.h"

#include "FFGLPluginInfo.h"
#include "KXFFGLPlugin.h"
#include "KXPerlin.h"
#include "KXPlatform.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

constexpr double kDegreesPerRadian = 57.29577950560105;

// Sphere and cylinder tessellation.
constexpr int kSphereSlices = 16;
constexpr int kSphereStacks = 16;
constexpr int kCylinderSlices = 8;
constexpr int kCylinderStacks = 8;

// Size of a particle before the first motion step sets it from "Particle Size".
constexpr float kInitialBallSize = 0.1f;

// Every fourth particle (index divisible by 4) is red; cylinders join only equal classes.
bool isRedClass(int i) { return i % 4 == 0; }

} // namespace

// Identity of the plug-in for the host; constructing it registers it.
static CFFGLPluginInfo PluginInfo(createPluginInstance, "Q7K3", "Quorus", 1, 500, 1, 0, FF_SOURCE,
                                  "iCanHazQuorus",
                                  "Quorus particle network generator, built on the KX framework", 0,
                                  nullptr);

FFWord createPluginInstance(CFreeFrameGLPlugin** instance)
{
    if (instance == nullptr)
        return FF_FAIL;
    std::unique_ptr<Plugin> app = std::make_unique<Plugin>();
    // The adapter's storage is allocated before its arguments are evaluated, so the application
    // changes hands only once the adapter is being constructed; the adapter owns it from then on.
    *instance = new KXFFGLPlugin(app.release(), 0, 0);
    return FF_SUCCESS;
}

// Plugin -------------------------------------------------------------------------------------

Plugin::Plugin()
    : noiseTime(0.0f), aspect(1.0f), sphereList(0), sphereQuadric(nullptr), cylinderList(0),
      cylinderQuadric(nullptr), lastTime(0.0)
{
    // Registration order is the host's parameter order.
    speed = 0.1f;
    params.addFloat("Speed", &speed, 0.0f, 1.0f, -1);
    particles = 150.0f;
    params.addFloat("Particles", &particles, 0.0f, static_cast<float>(QUORUS_MAX_PARTICLES), -1);
    linkDistance = 10.0f;
    params.addFloat("Quorify", &linkDistance, 0.0f, 40.0f, -1);
    spread = 40.0f;
    params.addFloat("Spread", &spread, 0.0f, 60.0f, -1);
    noiseAmount = 10.0f;
    params.addFloat("Noise", &noiseAmount, 0.0f, 40.0f, -1);
    lineWidth = 0.05f;
    params.addFloat("Line Width", &lineWidth, 0.0f, 0.5f, -1);
    particleSize = 0.2f;
    params.addFloat("Particle Size", &particleSize, 0.0f, 1.0f, -1);
    triangleOpacity = 0.9f;
    params.addFloat("Triangle Opacity", &triangleOpacity, 0.0f, 1.0f, -1);
    // The rotations are centred: 180 degrees is the unrotated view.
    rotateX = 180.0f;
    params.addFloat("Rotate X", &rotateX, 0.0f, 360.0f, -1);
    rotateY = 180.0f;
    params.addFloat("Rotate Y", &rotateY, 0.0f, 360.0f, -1);
    rotateZ = 180.0f;
    params.addFloat("Rotate Z", &rotateZ, 0.0f, 360.0f, -1);
}

Plugin::~Plugin() = default;

bool Plugin::init()
{
    sphereList = glGenLists(1);
    sphereQuadric = gluNewQuadric();
    glNewList(sphereList, GL_COMPILE);
    if (sphereQuadric != nullptr) {
        gluQuadricDrawStyle(sphereQuadric, GLU_FILL);
        gluSphere(sphereQuadric, 1.0, kSphereSlices, kSphereStacks);
    }
    glEndList();

    // Radius 1 along +z from 0 to 1; drawConnection turns and stretches it.
    cylinderList = glGenLists(1);
    cylinderQuadric = gluNewQuadric();
    glNewList(cylinderList, GL_COMPILE);
    if (cylinderQuadric != nullptr) {
        gluQuadricDrawStyle(cylinderQuadric, GLU_FILL);
        gluCylinder(cylinderQuadric, 1.0, 1.0, 1.0, kCylinderSlices, kCylinderStacks);
    }
    glEndList();

    // The whole field is allocated once: changing "Particles" only selects how many are used.
    // Neighbour arrays get room for every other particle so that frames never allocate.
    balls.reserve(QUORUS_MAX_PARTICLES);
    for (int i = 0; i < QUORUS_MAX_PARTICLES; ++i) {
        // Three draws in this order: x, y, then depth.
        const int x = std::rand() % 10 - 5;
        const int y = std::rand() % 10 - 5;
        const int z = std::rand() % 100;
        balls.emplace_back(KXMath::Vec3(static_cast<float>(x), static_cast<float>(y),
                                        static_cast<float>(z)),
                           kInitialBallSize, sphereList);
        balls.back().neighbours.reserve(QUORUS_MAX_PARTICLES);
    }

    extendIndexTerms(QUORUS_MAX_PARTICLES);
    neighbourSearch.reserve(QUORUS_MAX_PARTICLES);

    noiseTime = 0.0f;
    lastTime = getTime();
    return balls.size() >= static_cast<std::size_t>(QUORUS_MAX_PARTICLES);
}

void Plugin::exit()
{
    glDeleteLists(sphereList, 1);
    sphereList = 0;
    if (sphereQuadric != nullptr)
        gluDeleteQuadric(sphereQuadric);
    sphereQuadric = nullptr;
    glDeleteLists(cylinderList, 1);
    cylinderList = 0;
    if (cylinderQuadric != nullptr)
        gluDeleteQuadric(cylinderQuadric);
    cylinderQuadric = nullptr;
    balls.clear();
}

double Plugin::getTime() const { return KXPlatform::nowMs(); }

float Plugin::noise(float x) const
{
    return static_cast<float>(KXMath::noise1(static_cast<double>(x)));
}

int Plugin::activeCount() const
{
    if (!(particles > 0.0f)) // negative, zero or not a number
        return 0;
    const int available = static_cast<int>(balls.size());
    // Particles i with i < particles take part.
    const double wanted = std::ceil(static_cast<double>(particles));
    return wanted >= available ? available : static_cast<int>(wanted);
}

void Plugin::extendIndexTerms(int count)
{
    for (int i = static_cast<int>(indexTerms.size()); i < count; ++i) {
        // The argument of each noise is formed in double from the float index; the time offset
        // is added to the jitter phases every step.
        const double di = static_cast<double>(static_cast<float>(i));
        IndexTerms t;
        t.anchorNoiseX = noise(static_cast<float>(di / 0.4532));
        t.anchorNoiseY = noise(static_cast<float>(di / 0.7856));
        t.jitterPhaseX = di / 2.4534;
        t.jitterPhaseY = di / 1.2369;
        indexTerms.push_back(t);
    }
}

void Plugin::update()
{
    // A zero (or negative) height has no aspect ratio; the picture is then drawn square.
    const int height = viewport.height;
    aspect = height > 0 ? static_cast<float>(viewport.width) / static_cast<float>(height) : 1.0f;
    particles = static_cast<float>(std::floor(static_cast<double>(particles)));
    noiseTime = static_cast<float>(static_cast<double>(noiseTime) + 0.002);

    // Elapsed time since the previous reading in units of 10 ms, at most 10. The depth step
    // moves by "Speed" per frame and ignores it.
    double elapsed = (getTime() - lastTime) / 10.0;
    if (elapsed > 10.0)
        elapsed = 10.0;
    const float step = static_cast<float>(elapsed);

    const int count = activeCount();
    extendIndexTerms(count);
    const double t = static_cast<double>(noiseTime);
    for (int i = 0; i < count; ++i) {
        Ball& b = balls[i];
        const IndexTerms& terms = indexTerms[static_cast<std::size_t>(i)];
        b.size = particleSize;
        b.speed = speed;
        b.anchor.x = terms.anchorNoiseX * spread * aspect;
        b.anchor.y = terms.anchorNoiseY * spread;
        b.update(step);
        b.position.x = b.anchor.x + noise(static_cast<float>(terms.jitterPhaseX + t)) * noiseAmount;
        b.position.y = b.anchor.y + noise(static_cast<float>(terms.jitterPhaseY + t)) * noiseAmount;
    }

    lastTime = getTime();
}

void Plugin::findNeighbours(int count) { neighbourSearch.find(balls, count, linkDistance); }

float Plugin::dist(KXMath::Vec3 a, KXMath::Vec3 b) const
{
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    const float dz = a.z - b.z;
    return std::sqrt((dx * dx + dy * dy) + dz * dz);
}

void Plugin::drawConnection(int i, int j, float d)
{
    // Coinciding particles give no direction to draw along (and nothing to see).
    if (!(d > 0.0f) || !std::isfinite(d))
        return;

    const float g =
        static_cast<float>(1.0 - (1.0 / static_cast<double>(linkDistance)) * static_cast<double>(d));
    if (isRedClass(i))
        glColor4f(g, 0.0f, 0.0f, 1.0f);
    else
        glColor4f(g, g, g, 1.0f);

    const KXMath::Vec3 from = balls[i].position;
    const KXMath::Vec3 to = balls[j].position;
    glPushMatrix();
    glTranslatef(from.x, from.y, -from.z);
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float dz = to.z - from.z;
    const float yaw = static_cast<float>(
        std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * kDegreesPerRadian);
    // Rounding can push the sine a hair past 1 for a connection along the depth axis.
    const float sine = std::min(1.0f, std::max(-1.0f, dz / d));
    const float pitch = static_cast<float>(std::asin(static_cast<double>(sine)) * kDegreesPerRadian);
    glRotatef(yaw, 0.0f, 0.0f, 1.0f);
    glRotatef(pitch, 0.0f, 1.0f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glScalef(lineWidth, lineWidth, d);
    glCallList(cylinderList);
    glPopMatrix();
}

void Plugin::draw()
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(50.0, static_cast<double>(aspect), static_cast<double>(0.1f),
                   static_cast<double>(QUORUS_DEPTH_RANGE));
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    // The host's clear colour and depth are used as they are.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // Linear black fog: full colour up to 60 units, black from 80.
    const GLfloat fogColour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glEnable(GL_FOG);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glFogfv(GL_FOG_COLOR, fogColour);
    glHint(GL_FOG_HINT, GL_NICEST);
    glFogf(GL_FOG_START, 60.0f);
    glFogf(GL_FOG_END, 80.0f);

    // Turn the box about its centre, 50 units in front of the camera.
    glTranslatef(0.0f, 0.0f, -50.0f);
    glRotatef(rotateX - 180.0f, 1.0f, 0.0f, 0.0f);
    glRotatef(rotateY - 180.0f, 0.0f, 1.0f, 0.0f);
    glRotatef(rotateZ - 180.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, 50.0f);

    // Every particle's neighbours are found up front: positions do not change while drawing.
    const int count = activeCount();
    findNeighbours(count);
    const bool triangles = triangleOpacity > 0.0f;
    for (int i = 0; i < count; ++i) {
        Ball& ball = balls[i];
        const bool red = isRedClass(i);
        ball.draw(red ? 0.0f : 1.0f, rotateX, rotateY, rotateZ);

        // Cylinders in ascending order of the other particle's index.
        for (const Ball::Neighbour& n : ball.neighbours)
            if (red == isRedClass(n.second))
                drawConnection(i, n.second, n.first);

        // The triangle spans the three nearest particles within reach (not this one).
        if (triangles && ball.neighbours.size() > 2) {
            const std::array<Ball::Neighbour, 3> nearest = nearestThree(ball.neighbours);
            const float r = (1.0f / linkDistance) * nearest[0].first;
            const float s = red ? 0.0f : r;
            glColor4f(r * r, s * s, s * s, 1.0f * triangleOpacity);
            glBegin(GL_TRIANGLES);
            for (const Ball::Neighbour& n : nearest) {
                const KXMath::Vec3 p = balls[n.second].position;
                glVertex3f(p.x, p.y, -p.z);
            }
            glEnd();
        }
        ball.neighbours.clear(); // keeps its storage
    }

    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
}
