// Timed frames and parameter lines (see FrameCall.h).
#include "frame/FrameCall.h"

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
