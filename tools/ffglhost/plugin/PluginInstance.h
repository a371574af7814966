// One instance of a plug-in (code 18 to code 19) and the per-instance calls the host makes on
// it. The instance identifier belongs to the plug-in; PluginInstance only remembers it and makes
// sure it is de-instantiated exactly once.
//
// Lifetime: must be destroyed before the Plugin it came from, with the GL context it was created
// in current (the destructor de-instantiates, ignoring the answer; call destroy() to check it).
// One thread.
#pragma once

#include "Status.h"
#include "plugin/PluginLoader.h"

namespace ffglhost {

class PluginInstance {
public:
    explicit PluginInstance(const Plugin& plugin) : plugin_(plugin) {}
    ~PluginInstance();
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    // Code 18 with the viewport {0, 0, width, height}. [GL context current]
    Status create(int width, int height);
    // Code 19; nothing when not created. [GL context current]
    Status destroy();

    // Code 17 with no input textures and `hostFbo` as the framebuffer to draw into. The caller
    // binds that framebuffer and sets the viewport first. Frames are counted from 1 for each
    // instance; the flight record names the frame a call belongs to. [GL context current]
    Status processFrame(unsigned hostFbo);
    // Code 23 with the viewport {0, 0, width, height}: the host framebuffer changed size.
    // [GL context current]
    Status resize(int width, int height);
    // The same with `count` input textures (pointers to records the host owns). [GL context current]
    Status processFrame(unsigned hostFbo, FFGLTextureStructTag** inputs, uint32_t count);
    // Codes 8, 9 and 7.
    Status setParameter(uint32_t index, float value);
    Status getParameter(uint32_t index, float& value) const;
    Status parameterDisplay(uint32_t index, std::string& text) const;

    // The identifier code 18 returned, for raw calls through Plugin::call (0 when not created).
    FFWord id() const { return alive_ ? id_ : 0; }
    // Code 17 calls made on this instance so far.
    int64_t frames() const { return frames_; }

private:
    const Plugin& plugin_;
    FFWord id_ = 0;
    int64_t frames_ = 0;
    bool alive_ = false;
};

} // namespace ffglhost
