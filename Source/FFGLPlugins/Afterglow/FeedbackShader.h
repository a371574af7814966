// The Afterglow effect's feedback program: draws the previous frame back into the render target
// faded, zoomed about the centre, turned and hue-rotated, so that light leaves trails that drift
// and change colour as they age.
//
// The program is one FFGLShader compiled through the effect instance's extension table (which
// must outlive it). Where the context has no shader objects, or the program fails to build, the
// pass falls back to fixed-function drawing that only fades (no zoom, turn or hue rotation).
//
// Every function but the constructor needs the instance's GL context current on the calling
// thread (the host's rendering thread).
#pragma once

#include "FFGLShader.h"

namespace KXGfx {
class Texture;
}

namespace Afterglow {

// What one feedback step does to the previous frame.
struct FeedbackStep {
    float fade;     // colour factor, 0..1
    float zoom;     // scale about the centre; > 1 drifts outwards
    float turn;     // radians, counter-clockwise
    float hueTurn;  // turns of the colour circle
};

class FeedbackShader {
public:
    FeedbackShader() = default;
    FeedbackShader(const FeedbackShader&) = delete;
    FeedbackShader& operator=(const FeedbackShader&) = delete;

    // Builds the program with `extensions` (initialised for this context). True when the GLSL
    // program linked; false means the fixed-function fallback will be used. [gl-context]
    bool create(FFGLExtensions* extensions);
    // Deletes the program; the fallback is used until the next create. [gl-context]
    void release();
    bool hasProgram() const { return linked; }

    // Draws `previous` over the unit square (0, 0)-(1, 1) of the current projection, changed by
    // `step`. Leaves no program bound and the colour white. [gl-context]
    void draw(KXGfx::Texture& previous, const FeedbackStep& step);

private:
    FFGLExtensions* extensions = nullptr; // not owned
    FFGLShader shader;
    bool linked = false;
    int previousLocation = -1;
    int extentLocation = -1;
    int fadeLocation = -1;
    int zoomLocation = -1;
    int turnLocation = -1;
    int hueTurnLocation = -1;
};

} // namespace Afterglow
