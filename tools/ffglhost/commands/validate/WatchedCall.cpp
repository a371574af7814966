// Watched plug-in calls (see WatchedCall.h).
#include "commands/validate/WatchedCall.h"

#include <GL/gl.h>

namespace ffglhost {

void failAll(const Watch& w, const std::string& what, Check& errors, Check& transform, Check& attributes,
             Check& inputs)
{
    for (const std::string& e : w.errors)
        errors.fail(what + " leaves GL error " + e + " pending");
    for (const std::string& d : w.transform)
        transform.fail(what + " leaves " + d);
    for (const std::string& d : w.attributes)
        attributes.fail(what + " leaves " + d);
    for (const std::string& f : w.inputFaults)
        inputs.fail(what + ": " + f);
    for (const std::string& s : w.inputSampling)
        inputs.warn(what + ": " + s);
}

void failAll(const Watch& w, const std::string& what, Check& c)
{
    Watch faults = w;
    faults.inputSampling.clear();
    failAll(faults, what, c, c, c, c);
}

bool watchedFrame(ValidationRig& rig, std::size_t framebuffer, PluginInstance& instance, FrameInputs& inputs,
                  const std::string& what, Check& c)
{
    Status s;
    const Watch w = watched(rig.scene(framebuffer), GL_MODELVIEW, inputs,
                            [&] { s = processFrame(instance, rig.framebufferId(framebuffer), inputs); });
    if (!s.ok())
        c.fail(what + ": code 17 (process OpenGL) returned failure");
    failAll(w, what, c);
    return s.ok();
}

bool watchedFrame(ValidationRig& rig, std::size_t framebuffer, PluginInstance& instance, uint32_t count,
                  const std::string& what, Check& c)
{
    FrameInputs inputs;
    const Status s = rig.nextInputs(count, inputs);
    if (!s.ok()) {
        c.fail(what + ": the host's input source failed: " + s.message());
        return false;
    }
    return watchedFrame(rig, framebuffer, instance, inputs, what, c);
}

} // namespace ffglhost
