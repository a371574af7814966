// The Kaleidoscope effect's program: every output pixel is folded into one mirrored slice of the
// circle about the output's centre, turned, scaled and moved to the chosen centre of the input
// picture, and the input is sampled there. Samples stay inside the picture's own part of the
// host texture (0..maxU x 0..maxV, half a texel in from its edges) and coordinates that leave the
// picture are mirrored back at its edges, so a padded host texture gives the same picture as an
// exact one and the padding is never seen.
//
// The program is one FFGLShader compiled through the effect instance's extension table (which
// must outlive it). Where the context has no shader objects, or the program fails to build, draw
// shows the input unchanged with the wrapper's own draw, so the host still gets its picture.
//
// The host's input texture is only read: its content and its sampling parameters (filters, wrap
// modes) are never written. Every function but the constructor needs the instance's GL context
// current on the calling thread (the host's rendering thread).
#pragma once

#include "FFGLShader.h"

namespace KXGfx {
class Texture;
}

namespace Kaleidoscope {

// What one frame's fold does, in the units the program takes.
struct Fold {
    int segments;  // mirrored segments around the centre, >= 2
    float turn;    // radians the picture is turned under the mirrors, counter-clockwise
    float zoom;    // > 0; above 1 magnifies
    float centreX; // where the centre lies in the input picture, 0..1 from its left edge
    float centreY; // 0..1 from its bottom edge
};

class FoldShader {
public:
    FoldShader() = default;
    FoldShader(const FoldShader&) = delete;
    FoldShader& operator=(const FoldShader&) = delete;

    // Builds the program with `extensions` (initialised for this context). True when the GLSL
    // program linked; false means draw will show the input unchanged. [gl-context]
    bool create(FFGLExtensions* extensions);
    // Deletes the program; the plain fallback is used until the next create. [gl-context]
    void release();
    bool hasProgram() const { return linked; }

    // Draws `input` folded by `fold` over the square -1..1 of the current (identity) transform,
    // for an output of `outputAspect` (width / height). Leaves the program that was bound before
    // bound again; the caller keeps the client arrays (the wrapper's draw enables the vertex
    // array). [gl-context]
    void draw(KXGfx::Texture& input, const Fold& fold, float outputAspect);

private:
    FFGLExtensions* extensions = nullptr; // not owned
    FFGLShader shader;
    bool linked = false;
    int pictureLocation = -1;
    int extentLocation = -1;
    int insetLocation = -1;
    int aspectsLocation = -1;
    int segmentLocation = -1;
    int turnLocation = -1;
    int zoomLocation = -1;
    int centreLocation = -1;
};

} // namespace Kaleidoscope
