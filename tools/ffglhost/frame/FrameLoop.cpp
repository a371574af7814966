// The shared frame loop (see FrameLoop.h).
#include "frame/FrameLoop.h"

#include "worker/FlightRecord.h"

#include <GL/gl.h>

#include <chrono>
#include <cstdio>

namespace ffglhost {

namespace {

// Capacity of a formatted float ("%g" of any float, and terminator).
constexpr std::size_t kFloatTextCapacity = 64;

std::string formatFloat(float v)
{
    char buf[kFloatTextCapacity];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

} // namespace

Status openSource(const std::string& path, const std::vector<ParameterSetting>& settings,
                  std::unique_ptr<Plugin>& plugin, PluginDescription& d, std::vector<ResolvedSetting>& resolved)
{
    Status s = Plugin::open(path, plugin);
    if (s.ok())
        s = describe(*plugin, d);
    if (s.ok())
        s = checkSource(d, path);
    if (s.ok())
        s = resolveSettings(d, settings, resolved);
    return s;
}

Status FrameLoop::createFramebuffer(int width, int height)
{
    std::string error;
    if (!framebuffer_.create(width, height, error))
        return Status::failed("cannot create the " + std::to_string(width) + "x" + std::to_string(height) +
                              " host framebuffer: " + error);
    framebuffer_.bind();
    glClearColor(0.f, 0.f, 0.f, 0.f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return Status();
}

Status FrameLoop::start(int width, int height, const std::vector<ResolvedSetting>& settings)
{
    Status s = createFramebuffer(width, height);
    if (s.ok())
        s = instance_.create(width, height);
    for (std::size_t i = 0; s.ok() && i < settings.size(); ++i)
        s = instance_.setParameter(settings[i].parameter->index, settings[i].value);
    return s;
}

Status finishedFrame(PluginInstance& instance, unsigned hostFbo, FFGLTextureStructTag** inputs, uint32_t count,
                     double& ms)
{
    const auto start = std::chrono::steady_clock::now();
    Status s = instance.processFrame(hostFbo, inputs, count);
    // The frame is done when the GL has drawn it: a driver stuck on the plug-in's commands is
    // the plug-in's frame hanging.
    FlightRecord& flight = flightRecord();
    flight.finishing();
    glFinish();
    flight.settled();
    const auto end = std::chrono::steady_clock::now();
    ms = std::chrono::duration<double, std::milli>(end - start).count();
    return s;
}

Status FrameLoop::renderFrame(double& ms)
{
    framebuffer_.bind();
    return finishedFrame(instance_, framebuffer_.id(), ms);
}

Status FrameLoop::resize(int width, int height)
{
    Status s = createFramebuffer(width, height);
    if (s.ok())
        s = instance_.resize(width, height);
    return s;
}

Status parameterLine(const PluginInstance& instance, const ParameterInfo& p, std::string& line,
                     const std::string& whose)
{
    float value = 0.f;
    std::string display;
    Status s = instance.getParameter(p.index, value);
    if (s.ok())
        s = instance.parameterDisplay(p.index, display);
    if (s.ok())
        line = "parameter " + printable(p.name) + whose + " = " + formatFloat(value) + " (display \"" + printable(display) +
               "\")";
    return s;
}

} // namespace ffglhost
