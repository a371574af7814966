// The GL state a validating host watches around plug-in calls: a known host state to put the
// context into before each watched call (not GL's defaults, so that a plug-in which "restores"
// by resetting to defaults is caught too), a snapshot of the watched state, the differences
// between two snapshots as short sentences, and the pending GL errors.
//
// The watched state falls into two groups: the transform state (matrix mode, the modelview,
// projection and texture matrices, the depths of the three matrix stacks and of the server and
// client attribute stacks) and the rest (enables such as blending and depth test, blend and
// depth functions, write masks, viewport, clear and current colour, active texture unit and its
// bound 2D texture, framebuffer, renderbuffer, program and buffer bindings, pixel alignment,
// polygon and shade mode, line width).
//
// Plain values and free functions; every function needs the GL context current.
#pragma once

#include <string>
#include <vector>

namespace ffglhost {

// What the host has bound while a plug-in runs.
struct HostScene {
    unsigned framebuffer = 0; // the host framebuffer, bound for drawing and reading
    int width = 0;            // its size: the viewport
    int height = 0;
    unsigned texture = 0;     // a host texture bound to GL_TEXTURE_2D of unit 0
};

// Puts the context into the host state: `scene` bound, non-identity matrices, the modelview and
// projection stacks one level deep (depth 2), the texture stack at depth 1, one attribute group
// push (depth 1), blending on (source alpha, one minus source alpha), depth test, culling,
// scissor, stencil, alpha test, lighting, fog and 2D texturing off, unit 0 active, no program,
// and `matrixMode` (GL_MODELVIEW, GL_PROJECTION or GL_TEXTURE) current. Whatever a plug-in left
// behind on the stacks is popped first. Clears pending GL errors.
void enterHostState(const HostScene& scene, unsigned matrixMode);

// The watched state at one moment. Opaque; compare two with the functions below.
struct GLStateSnapshot {
    std::vector<std::vector<double>> values; // one entry per watched item
};

// Reads the watched state. Queries the context does not know leave errors, which it clears:
// call takeGLErrors() before, not after.
GLStateSnapshot captureGLState();

// "matrix mode GL_PROJECTION (was GL_MODELVIEW)", "modelview stack depth 3 (was 2)",
// "projection matrix changed", ... for every watched transform item that differs.
std::vector<std::string> transformDifferences(const GLStateSnapshot& before, const GLStateSnapshot& after);
// "GL_BLEND disabled (was enabled)", "viewport 0 0 64 64 (was 0 0 256 144)", "draw framebuffer 0
// (was 3)", ... for every other watched item that differs.
std::vector<std::string> attributeDifferences(const GLStateSnapshot& before, const GLStateSnapshot& after);

// The names of all pending GL errors ("GL_INVALID_ENUM"), which are cleared. Stops after a bound
// in case a broken context never stops reporting.
std::vector<std::string> takeGLErrors();

// "GL_MODELVIEW", "GL_SRC_ALPHA", "GL_TEXTURE1", ... or "0x1234" for an enumerant not named here.
std::string glEnumName(unsigned value);

} // namespace ffglhost
