// The Afterglow effect (see Afterglow.h): parameters, the feedback loop, the light points, and
// the plug-in's registration record and instance factory.
#include "Afterglow.h"

#include "FFGLPluginInfo.h"
#include "KXFFGLPlugin.h"
#include "KXGfxUtils.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace Afterglow {

namespace {

constexpr double kPi = 3.14159265358979323846;
// The per-frame parameters ("Trail", "Zoom", "Twist", "Hue Drift") are given for frames of a
// 60th of a second and scaled to the real frame duration, so the look does not depend on the
// host's frame rate.
constexpr double kTickMs = 1000.0 / 60.0;
// Orbit speed in radians per second at "Speed" 1.
constexpr double kRadiansPerSecond = 2.0;
// Triangles of a light point's disc.
constexpr int kDiscSegments = 24;
// Radius of a light point in units of the picture height at "Size" 0 and 1.
constexpr float kMinRadius = 0.01f;
constexpr float kMaxRadius = 0.10f;

} // namespace

} // namespace Afterglow

// Identity of the plug-in for the host; constructing it registers it.
static CFFGLPluginInfo PluginInfo(Afterglow::createInstance, "KXAG", "Afterglow", 1, 500, 1, 0,
                                  FF_SOURCE, "Orbiting lights with feedback trails",
                                  "Afterglow feedback trail generator, built on the KX framework", 0,
                                  nullptr);

namespace Afterglow {

FFWord createInstance(CFreeFrameGLPlugin** instance)
{
    if (instance == nullptr)
        return FF_FAIL;
    std::unique_ptr<Effect> app = std::make_unique<Effect>();
    *instance = new KXFFGLPlugin(app.release(), 0, 0);
    return FF_SUCCESS;
}

Effect::Effect() : clearTrails(false), phase(0.0), frameTicks(0.0f), clearPending(true), displayText{}
{
    // Registration order is the host's parameter order.
    speed = 0.5f;
    params.addFloat("Speed", &speed, 0.0f, 2.0f, -1);
    lights = 5.0f;
    params.addFloat("Lights", &lights, 1.0f, static_cast<float>(kMaxEmitters), -1);
    size = 0.3f;
    params.addFloat("Size", &size, 0.0f, 1.0f, -1);
    trail = 0.9f;
    params.addFloat("Trail", &trail, 0.0f, 0.99f, -1);
    zoom = 1.01f;
    params.addFloat("Zoom", &zoom, 0.9f, 1.1f, -1);
    twist = 0.5f;
    params.addFloat("Twist", &twist, -5.0f, 5.0f, -1);
    hue = 0.55f;
    params.addFloat("Hue", &hue, 0.0f, 1.0f, -1);
    hueDrift = 0.004f;
    params.addFloat("Hue Drift", &hueDrift, 0.0f, 0.05f, -1);
    params.addEvent("Clear", &clearTrails);
}

Effect::~Effect() = default;

bool Effect::init()
{
    extensions.Initialize();
    feedback.create(&extensions);
    phase = 0.0;
    frameTicks = 0.0f;
    clearPending = true;
    const int width = viewport.width > 0 ? viewport.width : 1;
    const int height = viewport.height > 0 ? viewport.height : 1;
    return target.createPingPong2D(width, height, KXGfx::Texture::A8R8G8B8, false,
                                   KXGfx::DepthStencilBuffer::D24);
}

void Effect::exit()
{
    target.release();
    feedback.release();
}

void Effect::resize(int width, int height)
{
    if (width < 1 || height < 1)
        return;
    if (target.isValid() && target.getWidth() == width && target.getHeight() == height)
        return;
    target.resize(width, height);
    clearPending = true;
}

void Effect::onParameterChanged(KX::Param* param)
{
    if (param != nullptr && param->getAddress() == &clearTrails && clearTrails)
        clearPending = true;
}

const char* Effect::getParameterDisplay(KX::Param* param)
{
    if (param == nullptr || param->getAddress() != &lights)
        return nullptr;
    std::snprintf(displayText, sizeof displayText, "%d", lightCount());
    return displayText;
}

int Effect::lightCount() const
{
    if (!(lights >= 1.0f)) // below one or not a number
        return 1;
    if (lights >= static_cast<float>(kMaxEmitters))
        return kMaxEmitters;
    return static_cast<int>(std::lround(lights));
}

void Effect::update()
{
    double ms = frameMesec;
    if (!(ms > 0.0))
        ms = 0.0;
    if (ms > kMaxStepMs)
        ms = kMaxStepMs;
    frameTicks = static_cast<float>(ms / kTickMs);
    if (std::isfinite(speed))
        phase += static_cast<double>(speed) * kRadiansPerSecond * ms / 1000.0;
    // Keep the phase where doubles still resolve a frame's step, whatever the show's length.
    if (!std::isfinite(phase) || phase > 1.0e6)
        phase = 0.0;
}

FeedbackStep Effect::feedbackStep() const
{
    const double ticks = static_cast<double>(frameTicks);
    FeedbackStep step;
    step.fade = static_cast<float>(std::pow(static_cast<double>(trail), ticks));
    step.zoom = static_cast<float>(std::pow(static_cast<double>(zoom), ticks));
    step.turn = static_cast<float>(static_cast<double>(twist) * ticks * kPi / 180.0);
    step.hueTurn = static_cast<float>(static_cast<double>(hueDrift) * ticks);
    // Hosts may send values beyond 0..1, which reach the parameters unclamped: keep the fade a
    // fade and every step finite, so that one odd value cannot poison the trails for good.
    if (!(step.fade >= 0.0f)) // negative or not a number
        step.fade = 0.0f;
    if (step.fade > 1.0f)
        step.fade = 1.0f;
    if (!(step.zoom > 0.0f) || !std::isfinite(step.zoom))
        step.zoom = 1.0f;
    if (!std::isfinite(step.turn))
        step.turn = 0.0f;
    if (!std::isfinite(step.hueTurn))
        step.hueTurn = 0.0f;
    return step;
}

void Effect::drawLights(int width, int height) const
{
    const float radius = (kMinRadius + (kMaxRadius - kMinRadius) * size) * static_cast<float>(height);
    if (!(radius > 0.0f))
        return;
    const int count = lightCount();
    const float halfW = 0.5f * static_cast<float>(width);
    const float halfH = 0.5f * static_cast<float>(height);
    for (int i = 0; i < count; ++i) {
        const Point2 p = emitterPosition(i, count, phase);
        const Rgb c = hueToRgb(emitterHue(i, count, hue));
        const float cx = halfW + p.x * halfW;
        const float cy = halfH - p.y * halfH; // y grows downwards in the view
        // A disc bright at the centre and black at the rim: added onto the trails it glows.
        glBegin(GL_TRIANGLE_FAN);
        glColor3f(c.r, c.g, c.b);
        glVertex2f(cx, cy);
        glColor3f(0.0f, 0.0f, 0.0f);
        for (int s = 0; s <= kDiscSegments; ++s) {
            const double a = 2.0 * kPi * s / kDiscSegments;
            glVertex2f(cx + radius * static_cast<float>(std::cos(a)),
                       cy + radius * static_cast<float>(std::sin(a)));
        }
        glEnd();
    }
    glColor3f(1.0f, 1.0f, 1.0f);
}

void Effect::draw()
{
    if (!target.isValid())
        return;
    KXGfx::Texture* previous = target.getTexture(0);
    target.flip();
    if (previous == nullptr || !target.bind())
        return;
    const int width = target.getWidth();
    const int height = target.getHeight();

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    if (clearPending) {
        KXGfx::clear(0.0f, 0.0f, 0.0f, 1.0f, false, 1.0f);
        clearPending = false;
    } else {
        KXGfx::setOrtho(1.0f, 1.0f);
        feedback.draw(*previous, feedbackStep());
    }

    KXGfx::setOrtho(static_cast<float>(width), static_cast<float>(height));
    glDisable(GL_TEXTURE_2D);
    KXGfx::enableBlend(true);
    glBlendFunc(GL_ONE, GL_ONE);
    drawLights(width, height);
    KXGfx::enableBlend(false);

    // Back to the host's framebuffer and viewport, where the newest frame is shown as it is (bottom
    // row first, as it was rendered).
    target.unbind();
    KXGfx::setViewport(viewport.x, viewport.y, viewport.width, viewport.height, false);
    KXGfx::setOrtho(1.0f, 1.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (KXGfx::Texture* shown = target.getTexture(0))
        shown->draw(0.0f, 0.0f, 1.0f, 1.0f, false);
}

} // namespace Afterglow
