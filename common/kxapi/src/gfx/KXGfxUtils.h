// Render state, transforms and viewport: a small stateless vocabulary over fixed-function OpenGL
// for effects (clearing, depth and blending switches, cull/fill/blend modes, orthographic,
// perspective and pixel-aligned views, a textured quad) and the viewport with one remembered
// viewport to return to.
//
// Each function issues its GL calls at once on the current context. The only state kept is the
// two viewport records, process-wide and shared by every instance. [gl-context, render thread]
#pragma once

namespace KXGfx {

enum PRIMITIVE { TRIANGLES, TRIANGLE_STRIP, TRIANGLE_FAN, QUADS, LINES, LINE_STRIP, POINTS };
enum CULLMODE { CULL_NONE, CULL_CW, CULL_CCW };
enum FILLMODE { FILL_SOLID, FILL_WIREFRAME, FILL_POINT };
enum BLENDMODE { BLEND_ALPHA, BLEND_PREMULTIPLIED, BLEND_ADD };

void clear(float r, float g, float b, float a, bool depth, float depthValue);
void clearDepth(float value);
// The GL primitive for `p`; values outside the enumeration give GL_TRIANGLES.
unsigned int getGLPRIMITIVETYPE(PRIMITIVE p);
void enableDepthRead(bool enable);
void enableDepthWrite(bool enable);
void enableDepthBuffer(bool enable);
void enableBlend(bool enable);
// Values outside the enumerations are ignored (no GL call).
void setCullMode(CULLMODE mode);
void setFillMode(FILLMODE mode);
void setBlendMode(BLENDMODE mode);

void setIdentityTransform();
// Orthographic view with y growing downwards: (x, y) top-left, (x + w, y + h) bottom-right.
void setOrtho(float x, float y, float w, float h, float nearZ, float farZ);
void setOrtho(float w, float h);
// Multiplies a perspective projection (fovY in degrees, full vertical angle) onto the identity.
void setPerspectiveProjection(float fovY, float aspect, float nearZ, float farZ);
// A perspective camera under which the plane z = 0 shows width x height units with (0, 0) at
// the top-left and y growing downwards, turned by `rotation` quarter turns.
void set2DView(float width, float height, int rotation);
// A quad from client arrays with texture coordinates up to (maxU, maxV); flip mirrors it
// vertically. Leaves the vertex array enabled.
void drawQuad(float x, float y, float w, float h, float maxU, float maxV, bool flip);

// Sets the viewport; the first call captures the viewport in force as the one resetViewport
// returns to, and `remember` makes this viewport that one instead.
void setViewport(int x, int y, int w, int h, bool remember);
void resetViewport();

} // namespace KXGfx
