// What the render and preview commands share: opening a plug-in as a generator with its --set
// values resolved against its parameter table, and the frame loop's GL side (FrameLoop): the
// host framebuffer the plug-in draws into, the one instance with its parameter writes, timed
// frames, resizes, and the read-back of parameter values at the end.
//
// Ownership: the caller owns the Plugin, which must outlive every FrameLoop made from it.
// FrameLoop owns its framebuffer and its instance. Main thread; FrameLoop's calls, its
// destruction included, need the GL context it was started in current.
#pragma once

#include "HeadlessGL.h"
#include "Options.h"
#include "Status.h"
#include "frame/RenderSetup.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLoader.h"

#include <memory>
#include <string>
#include <vector>

namespace ffglhost {

// Opens `path`, describes the plug-in, refuses anything but an OpenGL source, and resolves
// `settings`. On success `plugin` is initialised and `resolved` points into `d`.
Status openSource(const std::string& path, const std::vector<ParameterSetting>& settings,
                  std::unique_ptr<Plugin>& plugin, PluginDescription& d, std::vector<ResolvedSetting>& resolved);

class FrameLoop {
public:
    explicit FrameLoop(const Plugin& plugin) : instance_(plugin) {}
    FrameLoop(const FrameLoop&) = delete;
    FrameLoop& operator=(const FrameLoop&) = delete;

    // Creates the host framebuffer at width x height, cleared to transparent black (its
    // renderbuffers start undefined, and plug-ins that draw without clearing need a defined
    // start), instantiates (code 18 with that viewport) and writes `settings` in order (code 8).
    Status start(int width, int height, const std::vector<ResolvedSetting>& settings);
    // One frame: binds the framebuffer with its whole viewport, code 17, then glFinish. `ms` is
    // the time of the last two: what the frame cost the plug-in and the GL.
    Status renderFrame(double& ms);
    // The window the frames are shown in changed size: re-creates the framebuffer at the new
    // size, cleared, and tells the instance (code 23).
    Status resize(int width, int height);
    // De-instantiates (code 19), reporting the answer; the destructor does it unchecked.
    Status finish() { return instance_.destroy(); }

    const kxhost::Framebuffer& framebuffer() const { return framebuffer_; }
    PluginInstance& instance() { return instance_; }
    const PluginInstance& instance() const { return instance_; }

private:
    Status createFramebuffer(int width, int height);

    kxhost::Framebuffer framebuffer_; // declared first: the instance goes before it
    PluginInstance instance_;
};

// One frame of `instance` into `hostFbo`, which the caller has bound: code 17 with `count` input
// textures (records the host owns), then glFinish, which the flight record counts as part of the
// frame. `ms` is the time of both: what the frame cost the plug-in and the GL. [GL context current]
Status finishedFrame(PluginInstance& instance, unsigned hostFbo, FFGLTextureStructTag** inputs, uint32_t count,
                     double& ms);
inline Status finishedFrame(PluginInstance& instance, unsigned hostFbo, double& ms)
{
    return finishedFrame(instance, hostFbo, nullptr, 0, ms);
}

// "parameter NAME = VALUE (display "TEXT")", the value and text read back from the instance
// (codes 9 and 7): what the commands report for the parameters they changed. `whose` goes after
// the name (" of Quorus" where several plug-ins render).
Status parameterLine(const PluginInstance& instance, const ParameterInfo& p, std::string& line,
                     const std::string& whose = std::string());

} // namespace ffglhost
