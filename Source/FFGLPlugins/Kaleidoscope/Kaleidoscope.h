// The Kaleidoscope effect: a filter that mirrors one slice of its input picture around a centre,
// the way a kaleidoscope's mirrors do, with the picture turned, zoomed and moved under the
// mirrors by its parameters. The output depends on the input picture and the parameters alone,
// never on the clock.
//
// `Effect` is the application object that the FFGL adapter (KXFFGLPlugin) drives, one per host
// instance; it takes exactly one input texture, which it only reads (inputTextures[0], wrapped by
// the adapter). Its float members are bound to the host parameters. It owns its extension table
// and its fold program: init builds the program, exit deletes it (the destructor deletes nothing).
//
// `createInstance` is the factory held by the plug-in's registration record (Kaleidoscope.cpp).
//
// Everything runs on the host's rendering thread; init, draw and exit need the host's GL context.
#pragma once

#include "FFGLExtensions.h"
#include "FFGLPluginSDK.h"
#include "FoldShader.h"
#include "KXFFGLApp.h"

namespace Kaleidoscope {

// The range of "Segments".
constexpr int kMinSegments = 2;
constexpr int kMaxSegments = 16;
// The range of "Zoom"; values sent beyond it are held at its ends.
constexpr float kMinZoom = 0.25f;
constexpr float kMaxZoom = 4.0f;
constexpr float kDefaultZoom = 0.5f;
// Capacity of the display text the effect writes for the host, terminator included.
constexpr int kDisplayCapacity = 16;

class Effect : public KXFFGLApp {
public:
    Effect();

    // Looks up the extensions and builds the fold program (falling back to showing the input
    // unchanged without it). Always true. [gl-context]
    bool init() override;
    // Draws the folded input into the host's framebuffer; nothing without an input picture.
    // Leaves the host's program, client arrays and array buffer binding as it found them.
    // [gl-context, after init]
    void draw() override;
    // Deletes the program. [gl-context]
    void exit() override;
    // "Segments" shows a whole count, in a buffer of this effect that stays valid until the next
    // call; null for the others, which the adapter formats ("%.2f").
    const char* getParameterDisplay(KX::Param* param) override;

    // How many segments are drawn: the rounded "Segments", within kMinSegments..kMaxSegments.
    int segmentCount() const;
    // This frame's fold from the parameters, every value finite and within its range whatever
    // the host sent.
    Fold fold() const;

    // Parameter values (bound to the host parameters, see the constructor for their ranges).
    float segments; // rounded when drawn
    float rotation; // degrees, counter-clockwise
    float zoom;
    float centreX;  // 0..1 across the input picture, from the left
    float centreY;  // 0..1 up the input picture, from the bottom

    FFGLExtensions extensions;
    FoldShader shader;

private:
    char displayText[kDisplayCapacity];
};

// The plug-in's instance factory: stores a new adapter (owning a new Effect, one input) through
// `instance` and returns FF_SUCCESS; FF_FAIL for a null `instance`. The caller owns the adapter.
FFWord createInstance(CFreeFrameGLPlugin** instance);

} // namespace Kaleidoscope
