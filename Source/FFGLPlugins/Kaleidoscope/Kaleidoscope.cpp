// The Kaleidoscope effect (see Kaleidoscope.h): parameters, the folded picture, and the plug-in's
// registration record and instance factory.
#include "Kaleidoscope.h"

#include "FFGLPluginInfo.h"
#include "KXFFGLPlugin.h"
#include "KXGLEntryPoints.h"
#include "KXTexture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdio>
#include <memory>

namespace Kaleidoscope {

namespace {

constexpr double kPi = 3.14159265358979323846;

// `v` when it is a number within lo..hi, the nearer end when it lies beyond, `fallback` when it
// is not a number.
float within(float v, float lo, float hi, float fallback)
{
    if (std::isnan(v))
        return fallback;
    return v < lo ? lo : (v > hi ? hi : v);
}

// The wrapper's draw takes its quad from client arrays: while it draws, the vertex arrays are
// this effect's and no buffer object of the host's is bound to GL_ARRAY_BUFFER (client pointers
// would be read as offsets into it). The host gets its client array state and its array buffer
// binding back afterwards.
class ClientArrays {
public:
    ClientArrays()
    {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        const KXGLEntryPoints& gl = kxGLEntryPoints();
        if (gl.has(KXGLFeature::BufferObjects)) {
            GLint bound = 0;
            glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
            if (bound != 0)
                gl.bindBuffer(GL_ARRAY_BUFFER, 0);
        }
    }
    ~ClientArrays() { glPopClientAttrib(); }
    ClientArrays(const ClientArrays&) = delete;
    ClientArrays& operator=(const ClientArrays&) = delete;
};

} // namespace

} // namespace Kaleidoscope

// Identity of the plug-in for the host; constructing it registers it.
static CFFGLPluginInfo PluginInfo(Kaleidoscope::createInstance, "KXKS", "Kaleidoscope", 1, 500, 1, 0,
                                  FF_EFFECT, "Mirrors its input around a centre like a kaleidoscope",
                                  "Kaleidoscope filter, built on the KX framework", 0, nullptr);

namespace Kaleidoscope {

FFWord createInstance(CFreeFrameGLPlugin** instance)
{
    if (instance == nullptr)
        return FF_FAIL;
    std::unique_ptr<Effect> app = std::make_unique<Effect>();
    *instance = new KXFFGLPlugin(app.release(), 1, 1);
    return FF_SUCCESS;
}

Effect::Effect() : displayText{}
{
    // Registration order is the host's parameter order; each member holds its default.
    segments = 6.0f;
    params.addFloat("Segments", &segments, static_cast<float>(kMinSegments), static_cast<float>(kMaxSegments), -1);
    rotation = 0.0f;
    params.addFloat("Rotation", &rotation, 0.0f, 360.0f, -1);
    zoom = kDefaultZoom;
    params.addFloat("Zoom", &zoom, kMinZoom, kMaxZoom, -1);
    centreX = 0.5f;
    params.addFloat("Centre X", &centreX, 0.0f, 1.0f, -1);
    centreY = 0.5f;
    params.addFloat("Centre Y", &centreY, 0.0f, 1.0f, -1);
}

bool Effect::init()
{
    extensions.Initialize();
    shader.create(&extensions);
    return true;
}

void Effect::exit() { shader.release(); }

int Effect::segmentCount() const
{
    if (!(segments >= static_cast<float>(kMinSegments))) // below the range or not a number
        return kMinSegments;
    if (segments >= static_cast<float>(kMaxSegments))
        return kMaxSegments;
    return static_cast<int>(std::lround(segments));
}

Fold Effect::fold() const
{
    // Hosts may send values beyond 0..1, which reach the parameters unclamped.
    const double degrees = std::isfinite(rotation) ? std::fmod(static_cast<double>(rotation), 360.0) : 0.0;
    Fold f;
    f.segments = segmentCount();
    f.turn = static_cast<float>(degrees * kPi / 180.0);
    f.zoom = within(zoom, kMinZoom, kMaxZoom, kDefaultZoom);
    f.centreX = within(centreX, 0.0f, 1.0f, 0.5f);
    f.centreY = within(centreY, 0.0f, 1.0f, 0.5f);
    return f;
}

const char* Effect::getParameterDisplay(KX::Param* param)
{
    if (param == nullptr || param->getAddress() != &segments)
        return nullptr;
    std::snprintf(displayText, sizeof displayText, "%d", segmentCount());
    return displayText;
}

void Effect::draw()
{
    KXGfx::Texture* input = inputTextures[0];
    if (input == nullptr || !input->isValid() || input->width < 1 || input->height < 1)
        return;
    // The adapter hands over identity matrices and restores every matrix and attribute after
    // draw; client arrays and the program are put back here.
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    const float aspect = viewport.width > 0 && viewport.height > 0
                             ? static_cast<float>(viewport.width) / static_cast<float>(viewport.height)
                             : 1.0f;
    ClientArrays arrays;
    shader.draw(*input, fold(), aspect);
}

} // namespace Kaleidoscope
