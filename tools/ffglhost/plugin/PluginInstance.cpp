// Per-instance calls (see PluginInstance.h).
#include "plugin/PluginInstance.h"

namespace ffglhost {

PluginInstance::~PluginInstance() { (void)destroy(); }

Status PluginInstance::create(int width, int height)
{
    Status s = destroy();
    if (!s.ok())
        return s;
    FFGLViewportStructTag viewport{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    s = plugin_.instantiate(viewport, id_);
    alive_ = s.ok();
    frames_ = 0;
    return s;
}

Status PluginInstance::destroy()
{
    if (!alive_)
        return Status();
    alive_ = false;
    return plugin_.deInstantiate(id_);
}

Status PluginInstance::processFrame(unsigned hostFbo) { return processFrame(hostFbo, nullptr, 0); }

Status PluginInstance::processFrame(unsigned hostFbo, FFGLTextureStructTag** inputs, uint32_t count)
{
    ProcessOpenGLStructTag frame{};
    frame.numInputTextures = inputs != nullptr ? count : 0;
    frame.inputTextures = inputs;
    frame.HostFBO = hostFbo;
    return plugin_.processOpenGL(id_, frame, ++frames_);
}

Status PluginInstance::resize(int width, int height)
{
    const FFGLViewportStructTag viewport{0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    return plugin_.resize(id_, viewport);
}

Status PluginInstance::setParameter(uint32_t index, float value) { return plugin_.setParameter(id_, index, value); }

Status PluginInstance::getParameter(uint32_t index, float& value) const
{
    return plugin_.getParameter(id_, index, value);
}

Status PluginInstance::parameterDisplay(uint32_t index, std::string& text) const
{
    return plugin_.parameterDisplay(id_, index, text);
}

} // namespace ffglhost
