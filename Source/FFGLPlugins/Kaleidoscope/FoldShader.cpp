// The fold program of the Kaleidoscope effect (see FoldShader.h).
#include "FoldShader.h"

#include "KXTexture.h"

#include <GL/gl.h>

namespace Kaleidoscope {

namespace {

constexpr double kPi = 3.14159265358979323846;

// GLSL 1.10, the level every context with shader objects offers. The quad is drawn over -1..1,
// so its vertices give the place of each fragment in the output (0..1, y up); the wrapper's
// texture coordinates are not used.
const char kVertexProgram[] =
    "varying vec2 place;\n"
    "void main()\n"
    "{\n"
    "    place = gl_Vertex.xy * 0.5 + 0.5;\n"
    "    gl_Position = ftransform();\n"
    "}\n";

// Angles are measured from straight up, clockwise. Folding takes the distance to the nearest
// multiple of the segment angle, so the line straight up and every segment border are mirror
// lines; the turn is added after folding, so the picture turns under mirrors that stay put.
// Places are in units of the picture height (x scaled by the aspect ratios); the input is left at
// its own proportions.
const char kFragmentProgram[] =
    "uniform sampler2D picture;\n"
    "uniform vec2 extent;\n"   // texture coordinates of the picture's top right corner
    "uniform vec2 inset;\n"    // half a texel, in texture coordinates
    "uniform vec2 aspects;\n"  // output, input: width / height
    "uniform float segment;\n" // radians
    "uniform float turn;\n"
    "uniform float zoom;\n"
    "uniform vec2 centre;\n"
    "varying vec2 place;\n"
    "float mirrored(float t)\n"
    "{\n"
    "    return 1.0 - abs(mod(t, 2.0) - 1.0);\n"
    "}\n"
    "void main()\n"
    "{\n"
    "    vec2 p = (place - vec2(0.5)) * vec2(aspects.x, 1.0);\n"
    "    float r = length(p);\n"
    "    float a = 0.0;\n"
    "    if (r > 0.0) {\n"
    "        float phi = atan(p.x, p.y);\n"
    "        a = abs(phi - segment * floor(phi / segment + 0.5));\n"
    "    }\n"
    "    float b = a + turn;\n"
    "    vec2 q = vec2(sin(b), cos(b)) * (r / zoom);\n"
    "    vec2 uv = centre + vec2(q.x / aspects.y, q.y);\n"
    "    uv = vec2(mirrored(uv.x), mirrored(uv.y));\n"
    "    gl_FragColor = texture2D(picture, clamp(uv * extent, inset, extent - inset));\n"
    "}\n";

} // namespace

bool FoldShader::create(FFGLExtensions* ext)
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
    pictureLocation = shader.FindUniform("picture");
    extentLocation = shader.FindUniform("extent");
    insetLocation = shader.FindUniform("inset");
    aspectsLocation = shader.FindUniform("aspects");
    segmentLocation = shader.FindUniform("segment");
    turnLocation = shader.FindUniform("turn");
    zoomLocation = shader.FindUniform("zoom");
    centreLocation = shader.FindUniform("centre");
    return true;
}

void FoldShader::release()
{
    if (extensions != nullptr)
        shader.FreeGLResources();
    linked = false;
}

void FoldShader::draw(KXGfx::Texture& input, const Fold& fold, float outputAspect)
{
    if (!linked) {
        // The picture as it came, upright (the host's row 0 is the bottom of the picture).
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        input.draw(-1.0f, -1.0f, 2.0f, 2.0f, true);
        return;
    }
    // The host may have a program of its own bound: it gets it back.
    const GLhandleARB hostProgram = extensions->glGetHandleARB(GL_PROGRAM_OBJECT_ARB);
    shader.BindShader();
    const float insetU = input.width > 0 ? 0.5f * input.maxU / static_cast<float>(input.width) : 0.0f;
    const float insetV = input.height > 0 ? 0.5f * input.maxV / static_cast<float>(input.height) : 0.0f;
    const float inputAspect =
        input.height > 0 ? static_cast<float>(input.width) / static_cast<float>(input.height) : 1.0f;
    extensions->glUniform1iARB(pictureLocation, 0);
    extensions->glUniform2fARB(extentLocation, input.maxU, input.maxV);
    extensions->glUniform2fARB(insetLocation, insetU, insetV);
    extensions->glUniform2fARB(aspectsLocation, outputAspect, inputAspect);
    extensions->glUniform1fARB(segmentLocation, static_cast<float>(2.0 * kPi / fold.segments));
    extensions->glUniform1fARB(turnLocation, fold.turn);
    extensions->glUniform1fARB(zoomLocation, fold.zoom);
    extensions->glUniform2fARB(centreLocation, fold.centreX, fold.centreY);
    input.draw(-1.0f, -1.0f, 2.0f, 2.0f, true);
    extensions->glUseProgramObjectARB(hostProgram);
}

} // namespace Kaleidoscope
