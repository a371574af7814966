// The FFGL-to-application adapter (see KXFFGLPlugin.h).
#include "KXFFGLPlugin.h"

#include "FFGLWords.h"

#include "KX.h"
#include "KXFFGLApp.h"
#include "KXRenderTarget.h"
#include "KXTexture.h"
#include "KXTime.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A frame that comes more than a second after the previous one (the host paused, or the
// instance was idle) counts as one ordinary frame.
constexpr double kMaxFrameGapMs = 1000.0;
constexpr double kPausedFrameMs = 30.0;
// Every attribute group (the classic value of GL_ALL_ATTRIB_BITS; some headers define all 32 bits).
constexpr GLbitfield kAllAttribGroups = 0x000FFFFF;

struct MatrixStack {
    GLenum mode;
    GLenum depthQuery;
};

int clampInputCount(int n)
{
    if (n < 0)
        return 0;
    return n > KX_MAX_INPUT_TEXTURES ? KX_MAX_INPUT_TEXTURES : n;
}

// Host viewports are unsigned; the application's are signed. Sizes beyond INT_MAX are nonsense.
int toInt(uint32_t v) { return v > static_cast<uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(v); }

// Outside frames the host names no framebuffer, but it has the one it wants drawn into bound.
// Recording that one before the application creates, resizes or releases render targets makes
// them return to the host's framebuffer rather than to the window's (or to another instance's,
// recorded in an earlier frame).
void recordBoundFramebuffer()
{
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    KXGfx::setMainFboId(bound > 0 ? static_cast<unsigned int>(bound) : 0u);
}

// Keeps the host's GL state across an application call made outside frames (init, resize,
// exit): creating textures and render targets binds them, and the host must find its own
// bindings, enables, viewport and matrix mode as it left them. Also records the host's bound
// framebuffer first, so render targets return to it.
class HostStateKeeper {
public:
    HostStateKeeper()
    {
        recordBoundFramebuffer();
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth_);
        glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &clientDepth_);
        glPushAttrib(kAllAttribGroups);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    }
    ~HostStateKeeper()
    {
        GLint depth = 0;
        for (glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &depth); depth > clientDepth_; --depth)
            glPopClientAttrib();
        for (glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth); depth > attribDepth_; --depth)
            glPopAttrib();
        glMatrixMode(static_cast<GLenum>(matrixMode_));
    }
    HostStateKeeper(const HostStateKeeper&) = delete;
    HostStateKeeper& operator=(const HostStateKeeper&) = delete;

private:
    GLint matrixMode_ = GL_MODELVIEW;
    GLint attribDepth_ = 0;
    GLint clientDepth_ = 0;
};

} // namespace

KXFFGLPlugin::KXFFGLPlugin(KXFFGLApp* app, int minInputs, int maxInputs)
    : m_lastTickMs(0.0), m_displayText(), m_glReady(false), m_app(app)
{
    // The application has three input slots; more could never be wrapped.
    SetMinInputs(clampInputCount(minInputs));
    SetMaxInputs(clampInputCount(maxInputs));
    initParameters();
}

KXFFGLPlugin::~KXFFGLPlugin() = default; // destroys the application, then the metadata

void KXFFGLPlugin::initParameters()
{
    if (!m_app)
        return;
    for (int i = 0; i < m_app->getNumParameters(); ++i) {
        KX::Param* p = m_app->getParameter(i);
        const uint32_t index = static_cast<uint32_t>(i);
        switch (p->getType()) {
        case KX::PARAM_FLOAT:
            if (p->getNumElements() <= 1)
                SetParamInfo(index, p->getName(), FF_TYPE_STANDARD, p->getFloat01());
            break;
        case KX::PARAM_BOOL:
            SetParamInfo(index, p->getName(), FF_TYPE_BOOLEAN, p->getBool());
            break;
        case KX::PARAM_STRING:
            SetParamInfo(index, p->getName(), FF_TYPE_TEXT, static_cast<const char*>(p->getString()));
            break;
        case KX::PARAM_EVENT:
            SetParamInfo(index, p->getName(), FF_TYPE_EVENT, p->getBool());
            break;
        default:
            break; // not announced: the host index stays reserved, leaving a gap
        }
    }
}

FFWord KXFFGLPlugin::InitGL(const FFGLViewportStructTag* vp)
{
    if (vp == nullptr || !m_app)
        return FF_FAIL;
    KX::debugPrint("KXFFGLPlugin::InitGL host viewport %u %u %u %u\n", vp->x, vp->y, vp->width,
                   vp->height);
    m_app->viewport = {toInt(vp->x), toInt(vp->y), toInt(vp->width), toInt(vp->height)};
    KX::debugPrint("KXFFGLPlugin::InitGL app viewport %d %d %d %d\n", m_app->viewport.x,
                   m_app->viewport.y, m_app->viewport.width, m_app->viewport.height);
    bool initialised = false;
    {
        HostStateKeeper keep;
        initialised = m_app->init();
    }
    if (!initialised)
        return FF_FAIL;
    m_glReady = true;
    m_lastTickMs = KXApp::getTickCount();
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::DeInitGL()
{
    if (m_app) {
        HostStateKeeper keep;
        m_app->exit();
    }
    m_glReady = false;
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::Resize(const FFGLViewportStructTag* vp)
{
    if (vp == nullptr || !m_app)
        return FF_FAIL;
    m_app->viewport = {toInt(vp->x), toInt(vp->y), toInt(vp->width), toInt(vp->height)};
    HostStateKeeper keep;
    m_app->resize(m_app->viewport.width, m_app->viewport.height);
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::Connect()
{
    m_app->connect();
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::Disconnect()
{
    m_app->disconnect();
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::SetTime(double) { return FF_SUCCESS; }

FFWord KXFFGLPlugin::SetParameter(const SetParameterStructTag* record)
{
    if (record == nullptr || record->ParameterNumber > static_cast<uint32_t>(INT_MAX))
        return FF_FAIL;
    KX::Param* p = m_app->getParameter(static_cast<int>(record->ParameterNumber));
    if (p == nullptr)
        return FF_FAIL;

    const float v = FFWordToFloat(record->NewParameterValue);
    bool applied = true;
    switch (p->getType()) {
    case KX::PARAM_FLOAT:
        if (p->getNumElements() <= 1) {
            // Single precision, and deliberately not clamped: hosts may drive values past 0..1.
            const float lo = p->getMin();
            const float hi = p->getMax();
            p->setFloat(lo + (hi - lo) * v, 0);
        } else {
            const auto* values = reinterpret_cast<const float*>(record->NewParameterValue);
            if (values == nullptr)
                return FF_FAIL;
            p->setFloatArray01(values);
        }
        break;
    case KX::PARAM_BOOL:
        p->setBool(v != 0.0f); // a NaN counts as true
        break;
    case KX::PARAM_STRING: {
        const auto* text = reinterpret_cast<const char*>(record->NewParameterValue);
        if (text == nullptr)
            return FF_FAIL; // nothing to copy; the value stays as it was
        p->setString(text);
        break;
    }
    case KX::PARAM_EVENT: {
        const bool on = v > 0.0f;
        applied = on != p->getBool();
        if (applied)
            p->setBool(on);
        break;
    }
    case KX::PARAM_SELECTION:
        // Truncated toward zero; values that no int can hold are refused rather than converted
        // with undefined results.
        if (!std::isfinite(v) || v >= 2147483648.0f || v < -2147483648.0f)
            return FF_FAIL;
        p->setInt(static_cast<int>(v));
        break;
    default:
        return FF_FAIL;
    }
    if (applied && m_glReady)
        m_app->onParameterChanged(p);
    return FF_SUCCESS;
}

FFWord KXFFGLPlugin::GetParameter(uint32_t index)
{
    if (index > static_cast<uint32_t>(INT_MAX))
        return FF_FAIL;
    KX::Param* p = m_app->getParameter(static_cast<int>(index));
    if (p == nullptr)
        return FF_FAIL;
    switch (p->getType()) {
    case KX::PARAM_FLOAT:
        if (p->getNumElements() <= 1)
            return FFFloatToWord(p->getFloat01());
        return reinterpret_cast<FFWord>(p->getAddress());
    case KX::PARAM_BOOL:
    case KX::PARAM_EVENT:
        return FFFloatToWord(p->getBool() ? 1.0f : 0.0f);
    case KX::PARAM_STRING:
        return reinterpret_cast<FFWord>(p->getString());
    case KX::PARAM_SELECTION:
        return FFFloatToWord(static_cast<float>(p->getInt()));
    default:
        return FF_FAIL;
    }
}

char* KXFFGLPlugin::GetParameterDisplay(uint32_t index)
{
    KX::Param* p = index > static_cast<uint32_t>(INT_MAX) ? nullptr
                                                          : m_app->getParameter(static_cast<int>(index));
    if (p == nullptr) {
        std::printf("No param!");
        return nullptr;
    }
    if (const char* own = m_app->getParameterDisplay(p))
        return const_cast<char*>(own); // the host only reads display texts

    switch (p->getType()) {
    case KX::PARAM_FLOAT:
        std::snprintf(m_displayText, sizeof m_displayText, "%.2f", static_cast<double>(p->getFloat()));
        return m_displayText;
    case KX::PARAM_BOOL:
    case KX::PARAM_EVENT:
        std::snprintf(m_displayText, sizeof m_displayText, "%d", p->getBool() ? 1 : 0);
        return m_displayText;
    case KX::PARAM_STRING:
    case KX::PARAM_SELECTION:
        return const_cast<char*>(static_cast<const char*>(p->getString()));
    default:
        return nullptr;
    }
}

unsigned KXFFGLPlugin::setupInputTextures(const ProcessOpenGLStructTag* frame)
{
    // Read no further than the host gave: a null array carries no textures, and null entries are
    // skipped.
    unsigned supplied = 0;
    if (frame->inputTextures == nullptr)
        return supplied;
    const uint32_t count = frame->numInputTextures < static_cast<uint32_t>(KX_MAX_INPUT_TEXTURES)
                               ? frame->numInputTextures
                               : static_cast<uint32_t>(KX_MAX_INPUT_TEXTURES);
    for (uint32_t i = 0; i < count; ++i) {
        const FFGLTextureStructTag* host = frame->inputTextures[i];
        if (host == nullptr)
            continue;
        KXGfx::Texture*& slot = m_app->inputTextures[i];
        if (slot == nullptr) {
            slot = new KXGfx::Texture();
            slot->init();
        }
        slot->id = host->Handle;
        slot->target = GL_TEXTURE_2D;
        slot->width = toInt(host->Width);
        slot->height = toInt(host->Height);
        slot->hwWidth = toInt(host->HardwareWidth);
        slot->hwHeight = toInt(host->HardwareHeight);
        slot->pixelFormat = GL_RGBA;
        slot->pixelType = GL_UNSIGNED_BYTE;
        slot->computeMaxCoords();
        supplied |= 1u << i;
    }
    return supplied;
}

FFWord KXFFGLPlugin::ProcessOpenGL(ProcessOpenGLStructTag* frame)
{
    if (frame == nullptr)
        return FF_FAIL;

    const double now = KXApp::getTickCount();
    double delta = now - m_lastTickMs;
    if (delta > kMaxFrameGapMs)
        delta = kPausedFrameMs;
    m_lastTickMs = now;
    m_app->setFrameMesec(delta);
    m_app->update();

    // The inputs the effect needs must come with this frame. A wrapper left from an earlier frame
    // still names that frame's texture, which the host may have deleted since.
    const unsigned supplied = setupInputTextures(frame);
    for (int i = 0; i < GetMinInputs(); ++i)
        if ((supplied & (1u << i)) == 0)
            return FF_FAIL;

    KXGfx::setMainFboId(frame->HostFBO);

    // The application draws with identity matrices, and whatever it changes in the three matrix
    // stacks or the attribute state is undone before the host continues. Stack depths are
    // recorded too, so that pushes the application leaves behind cannot shift the host's stacks.
    GLint savedMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &savedMode);
    const MatrixStack stacks[] = {{GL_TEXTURE, GL_TEXTURE_STACK_DEPTH},
                                  {GL_PROJECTION, GL_PROJECTION_STACK_DEPTH},
                                  {GL_MODELVIEW, GL_MODELVIEW_STACK_DEPTH}};
    GLint depths[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        glMatrixMode(stacks[i].mode);
        glGetIntegerv(stacks[i].depthQuery, &depths[i]);
        glPushMatrix();
        glLoadIdentity();
    }
    GLint attribDepth = 0;
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth);
    glPushAttrib(kAllAttribGroups);

    m_app->draw();

    GLint depth = 0;
    for (glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth); depth > attribDepth + 1; --depth)
        glPopAttrib();
    glPopAttrib();
    for (int i = 0; i < 3; ++i) {
        glMatrixMode(stacks[i].mode);
        for (glGetIntegerv(stacks[i].depthQuery, &depth); depth > depths[i] + 1; --depth)
            glPopMatrix();
        glPopMatrix();
    }
    glMatrixMode(static_cast<GLenum>(savedMode));
    return FF_SUCCESS;
}
