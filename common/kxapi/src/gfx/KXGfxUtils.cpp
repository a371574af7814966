// Render state, transforms and viewport (see KXGfxUtils.h).
#include "KXGfxUtils.h"

#include <GL/gl.h>

#include <cmath>

namespace KXGfx {

namespace {

struct ViewportRecord {
    int x, y, width, height;
};

// The viewport resetViewport returns to (width 0: not captured yet), and the last one set here.
ViewportRecord lastViewport = {0, 0, 0, 0};
ViewportRecord curViewport = {0, 0, 0, 0};

constexpr double kPi = 3.14159265358979323846;

void captureViewportIfNeeded()
{
    if (lastViewport.width != 0)
        return;
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, v);
    lastViewport = {v[0], v[1], v[2], v[3]};
}

// Multiplies the current matrix by a viewing transform from eye towards center.
void lookAt(float eyeX, float eyeY, float eyeZ, float centerX, float centerY, float centerZ, float upX,
            float upY, float upZ)
{
    auto normalise = [](float v[3]) {
        const double len = std::sqrt(static_cast<double>(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
        if (len != 0.0)
            for (int i = 0; i < 3; ++i)
                v[i] = static_cast<float>(v[i] / len);
    };
    float z[3] = {eyeX - centerX, eyeY - centerY, eyeZ - centerZ};
    normalise(z);
    const float up[3] = {upX, upY, upZ};
    float x[3] = {up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
    float y[3] = {z[1] * x[2] - z[2] * x[1], z[2] * x[0] - z[0] * x[2], z[0] * x[1] - z[1] * x[0]};
    normalise(x);
    normalise(y);
    const GLfloat m[16] = {x[0], y[0], z[0], 0, x[1], y[1], z[1], 0, x[2], y[2], z[2], 0, 0, 0, 0, 1};
    glMultMatrixf(m);
    glTranslatef(-eyeX, -eyeY, -eyeZ);
}

} // namespace

void clear(float r, float g, float b, float a, bool depth, float depthValue)
{
    glClearColor(r, g, b, a);
    if (depth) {
        glClearDepth(depthValue);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    } else {
        glClear(GL_COLOR_BUFFER_BIT);
    }
}

void clearDepth(float value)
{
    glClearDepth(value);
    glClear(GL_DEPTH_BUFFER_BIT);
}

unsigned int getGLPRIMITIVETYPE(PRIMITIVE p)
{
    static const GLenum list[] = {GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,
                                  GL_LINES,     GL_LINE_STRIP,     GL_POINTS};
    const int i = static_cast<int>(p);
    return i >= 0 && i < static_cast<int>(sizeof list / sizeof list[0]) ? list[i] : GL_TRIANGLES;
}

void enableDepthRead(bool enable)
{
    if (enable)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
}

void enableDepthWrite(bool enable) { glDepthMask(enable ? GL_TRUE : GL_FALSE); }

void enableDepthBuffer(bool enable)
{
    enableDepthWrite(enable);
    enableDepthRead(enable);
}

void enableBlend(bool enable)
{
    if (enable)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
}

void setCullMode(CULLMODE mode)
{
    switch (mode) {
    case CULL_NONE: glDisable(GL_CULL_FACE); break;
    case CULL_CW: glFrontFace(GL_CW); break;
    case CULL_CCW: glFrontFace(GL_CCW); break;
    }
}

void setFillMode(FILLMODE mode)
{
    static const GLenum list[] = {GL_FILL, GL_LINE, GL_POINT};
    const int i = static_cast<int>(mode);
    if (i >= 0 && i < 3)
        glPolygonMode(GL_FRONT_AND_BACK, list[i]);
}

void setBlendMode(BLENDMODE mode)
{
    static const GLenum factors[][2] = {{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_SRC_ALPHA, GL_ONE}};
    const int i = static_cast<int>(mode);
    if (i >= 0 && i < 3)
        glBlendFunc(factors[i][0], factors[i][1]);
}

void setIdentityTransform()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setOrtho(float x, float y, float w, float h, float nearZ, float farZ)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(x, x + w, y + h, y, nearZ, farZ);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setOrtho(float w, float h) { setOrtho(0, 0, w, h, -1, 1); }

void setPerspectiveProjection(float fovY, float aspect, float nearZ, float farZ)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double top = nearZ * std::tan(fovY * kPi / 360.0);
    const double bottom = -top;
    const double right = top * aspect;
    const double left = bottom * aspect;
    GLfloat m[16] = {};
    m[0] = static_cast<GLfloat>(2.0 * nearZ / (right - left));
    m[5] = static_cast<GLfloat>(2.0 * nearZ / (top - bottom));
    m[8] = static_cast<GLfloat>((right + left) / (right - left));
    m[9] = static_cast<GLfloat>((top + bottom) / (top - bottom));
    m[10] = static_cast<GLfloat>(-(static_cast<double>(farZ) + nearZ) / (static_cast<double>(farZ) - nearZ));
    m[11] = -1.0f;
    m[14] = static_cast<GLfloat>(-2.0 * farZ * nearZ / (static_cast<double>(farZ) - nearZ));
    glMultMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
}

void set2DView(float width, float height, int rotation)
{
    if (rotation != 0) {
        const float oldWidth = width;
        width = height;
        height = static_cast<float>(static_cast<int>(oldWidth));
    }
    const float halfW = width / 2;
    const float halfH = height / 2;
    const float angle = static_cast<float>(60.0 * kPi / 360.0);
    const float dist = halfH / std::tan(angle);
    const float nearZ = dist / 10;
    const float farZ = dist * 10;
    const float aspect = width / height;

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    setPerspectiveProjection(60, aspect, nearZ, farZ);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    lookAt(halfW, halfH, dist, halfW, halfH, 0, 0, 1, 0);
    glRotatef(static_cast<float>(rotation * 90), 0, 0, 1);
    glScalef(1, -1, 1);
    glTranslatef(0, -height, 0);
}

void drawQuad(float x, float y, float w, float h, float maxU, float maxV, bool flip)
{
    const GLfloat vertices[8] = {x, y, x, y + h, x + w, y + h, x + w, y};
    const GLfloat upright[8] = {0, 0, 0, maxV, maxU, maxV, maxU, 0};
    const GLfloat flipped[8] = {0, maxV, 0, 0, maxU, 0, maxU, maxV};
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, flip ? flipped : upright);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, vertices);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

void setViewport(int x, int y, int w, int h, bool remember)
{
    captureViewportIfNeeded();
    curViewport = {x, y, w, h};
    if (remember)
        lastViewport = curViewport;
    glViewport(x, y, w, h);
}

void resetViewport()
{
    captureViewportIfNeeded();
    glViewport(lastViewport.x, lastViewport.y, lastViewport.width, lastViewport.height);
    curViewport = lastViewport;
}

} // namespace KXGfx
