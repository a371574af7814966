// The Afterglow effect: a generator whose light points orbit on Lissajous figures and leave
// fading, drifting, colour-turning trails. Every frame draws the previous frame back into a
// ping-pong render target through a GLSL feedback program, adds the light points on top and
// shows the result in the host's framebuffer with a texture draw.
//
// `Effect` is the application object that the FFGL adapter (KXFFGLPlugin) drives, one per host
// instance. Its float members are bound to the host parameters. It owns its render target, its
// extension table and its feedback program; init creates their GL objects and exit releases
// them (the destructor releases none that exit has not).
//
// Everything runs on the host's rendering thread; init, draw, resize and exit need the host's GL
// context.
#pragma once

#include "EmitterPath.h"
#include "FFGLExtensions.h"
#include "FFGLPluginSDK.h"
#include "FeedbackShader.h"
#include "KXFFGLApp.h"
#include "KXRenderTarget.h"

namespace Afterglow {

// Capacity of the display text the effect writes for the host, terminator included.
constexpr int kDisplayCapacity = 16;

// The longest frame the animation advances by at once (a paused host must not make it jump).
constexpr double kMaxStepMs = 100.0;

class Effect : public KXFFGLApp {
public:
    Effect();
    ~Effect() override;

    // Looks up the extensions, builds the feedback program (falling back to fading without it)
    // and creates the render target at the viewport's size. False when the target cannot be
    // made. [gl-context]
    bool init() override;
    // Advances the animation by the frame's duration. No GL needed.
    void update() override;
    // Feedback step, light points, then the picture into the host's framebuffer. [gl-context]
    void draw() override;
    // Releases the render target and the program. [gl-context]
    void exit() override;
    // Re-creates the render target at the new size; the trails start again. [gl-context]
    void resize(int width, int height) override;
    // "Clear" asks for the trails to be wiped at the next frame.
    void onParameterChanged(KX::Param* param) override;
    // "Lights" shows a whole count; the rest use the adapter's formatting.
    const char* getParameterDisplay(KX::Param* param) override;

    // How many light points are drawn: the rounded "Lights", within 1..kMaxEmitters.
    int lightCount() const;
    // What the next feedback step does, from the parameters and the frame's duration.
    FeedbackStep feedbackStep() const;

    // Parameter values (bound to the host parameters, see the constructor for ranges).
    float speed;
    float lights;
    float size;
    float trail;
    float zoom;
    float twist;
    float hue;
    float hueDrift;
    bool clearTrails;

    // Orbit phase in radians: 0 after init, advanced by update.
    double phase;
    // The frame's duration in 60ths of a second, set by update (0 before the first).
    float frameTicks;
    // Set by "Clear" and by init and resize; the next draw starts from black.
    bool clearPending;

    FFGLExtensions extensions;
    FeedbackShader feedback;
    KXGfx::RenderTarget target;

private:
    void drawLights(int width, int height) const;

    char displayText[kDisplayCapacity];
};

// The plug-in's instance factory: stores a new adapter (owning a new Effect) through `instance`
// and returns FF_SUCCESS; FF_FAIL for a null `instance`. The caller owns the adapter.
FFWord createInstance(CFreeFrameGLPlugin** instance);

} // namespace Afterglow
