// The feedback program of the Afterglow effect (see FeedbackShader.h).
#include "FeedbackShader.h"

#include "KXTexture.h"

#include <GL/gl.h>

namespace Afterglow {

namespace {

// Rendered images keep GL's row order (row 0 at the bottom), so they are drawn with the texture
// draw's bottom-up mapping; drawing them back does not mirror them.
//
// GLSL 1.10, the level every context with shader objects offers. The texture coordinates come
// from the texture draw, which scales them to the part of the texture the image covers
// (`extent`); the step is applied about the image's centre in image units.
const char kVertexProgram[] =
    "varying vec2 uv;\n"
    "void main()\n"
    "{\n"
    "    uv = gl_MultiTexCoord0.xy;\n"
    "    gl_Position = ftransform();\n"
    "}\n";

const char kFragmentProgram[] =
    "uniform sampler2D previous;\n"
    "uniform vec2 extent;\n"
    "uniform float fade;\n"
    "uniform float zoom;\n"
    "uniform float turn;\n"
    "uniform float hueTurn;\n"
    "varying vec2 uv;\n"
    "void main()\n"
    "{\n"
    "    vec2 p = uv / extent - vec2(0.5);\n"
    "    float c = cos(turn);\n"
    "    float s = sin(turn);\n"
    "    p = vec2(c * p.x + s * p.y, -s * p.x + c * p.y) / zoom;\n"
    "    vec2 q = p + vec2(0.5);\n"
    "    vec3 colour = vec3(0.0);\n"
    "    if (q.x >= 0.0 && q.x <= 1.0 && q.y >= 0.0 && q.y <= 1.0)\n"
    "        colour = texture2D(previous, q * extent).rgb;\n"
    // Rotation about the grey axis keeps brightness and turns the hue.
    "    float a = 6.2831853 * hueTurn;\n"
    "    vec3 k = vec3(0.57735027);\n"
    "    colour = colour * cos(a) + cross(k, colour) * sin(a) + k * dot(k, colour) * (1.0 - cos(a));\n"
    "    gl_FragColor = vec4(clamp(colour, 0.0, 1.0) * fade, 1.0);\n"
    "}\n";

} // namespace

bool FeedbackShader::create(FFGLExtensions* ext)
{
    release();
    extensions = ext;
    if (extensions == nullptr || !extensions->ARB_shader_objects)
        return false;
    shader.SetExtensions(extensions);
    if (shader.Compile(kVertexProgram, kFragmentProgram) == 0) {
        shader.FreeGLResources();
        return false;
    }
    linked = true;
    previousLocation = shader.FindUniform("previous");
    extentLocation = shader.FindUniform("extent");
    fadeLocation = shader.FindUniform("fade");
    zoomLocation = shader.FindUniform("zoom");
    turnLocation = shader.FindUniform("turn");
    hueTurnLocation = shader.FindUniform("hueTurn");
    return true;
}

void FeedbackShader::release()
{
    if (extensions != nullptr)
        shader.FreeGLResources();
    linked = false;
}

void FeedbackShader::draw(KXGfx::Texture& previous, const FeedbackStep& step)
{
    if (linked && shader.BindShader() == 1) {
        extensions->glUniform1iARB(previousLocation, 0);
        extensions->glUniform2fARB(extentLocation, previous.maxU, previous.maxV);
        extensions->glUniform1fARB(fadeLocation, step.fade);
        extensions->glUniform1fARB(zoomLocation, step.zoom);
        extensions->glUniform1fARB(turnLocation, step.turn);
        extensions->glUniform1fARB(hueTurnLocation, step.hueTurn);
        previous.draw(0.0f, 0.0f, 1.0f, 1.0f, false);
        shader.UnbindShader();
        return;
    }
    // Fixed function: the texture modulated by a grey colour only fades.
    glColor4f(step.fade, step.fade, step.fade, 1.0f);
    previous.draw(0.0f, 0.0f, 1.0f, 1.0f, false);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

} // namespace Afterglow
