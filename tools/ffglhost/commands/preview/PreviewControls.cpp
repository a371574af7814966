// Preview keys and parameter steps (see PreviewControls.h).
#include "commands/preview/PreviewControls.h"

#include "FFGLPluginSDK.h"

#include <X11/keysym.h>

#include <cmath>
#include <cstdio>

namespace ffglhost {

namespace {

// Capacity of the frame time text ("12345.67 ms" and more, and terminator).
constexpr std::size_t kMsTextCapacity = 32;

} // namespace

KeyAction actionForKey(unsigned long keysym, bool shift)
{
    KeyAction a;
    switch (keysym) {
    case XK_Escape:
    case XK_q:
    case XK_Q: a.action = PreviewAction::Quit; break;
    case XK_Down: a.action = PreviewAction::NextParameter; break;
    case XK_Up:
    case XK_ISO_Left_Tab: a.action = PreviewAction::PreviousParameter; break;
    case XK_Tab: a.action = shift ? PreviewAction::PreviousParameter : PreviewAction::NextParameter; break;
    case XK_Right: a = {PreviewAction::Step, +1, shift}; break;
    case XK_Left: a = {PreviewAction::Step, -1, shift}; break;
    case XK_Page_Up: a = {PreviewAction::Step, +1, true}; break;
    case XK_Page_Down: a = {PreviewAction::Step, -1, true}; break;
    case XK_space: a.action = PreviewAction::TogglePause; break;
    default: break;
    }
    return a;
}

float steppedValue(uint32_t type, float value, int direction, bool large)
{
    if (type == FF_TYPE_BOOLEAN || type == FF_TYPE_EVENT)
        return value >= 0.5f ? 0.f : 1.f;
    const double from = std::isfinite(value) ? static_cast<double>(value) : 0.0;
    const double steps = direction * (large ? kSmallStepsPerLargeStep : 1);
    const double v = (std::round(from * kSmallStepsPerUnit) + steps) / kSmallStepsPerUnit;
    return static_cast<float>(v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v));
}

std::vector<std::size_t> adjustableParameters(const PluginDescription& d)
{
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < d.parameters.size(); ++i)
        if (takesHostValue(d.parameters[i]))
            out.push_back(i);
    return out;
}

std::size_t cycled(std::size_t current, std::size_t count, int step)
{
    if (count == 0)
        return 0;
    const long long n = static_cast<long long>(count);
    const long long next = (static_cast<long long>(current % count) + step % n + n) % n;
    return static_cast<std::size_t>(next);
}

std::string previewTitle(const std::string& pluginName, const std::string& parameter, const std::string& display,
                         double frameMs, const std::string& state)
{
    char ms[kMsTextCapacity];
    std::snprintf(ms, sizeof ms, "%.2f ms", frameMs);
    std::string title = printable(pluginName) + " | ";
    title += parameter.empty() ? std::string("no parameters") : printable(parameter) + ": " + printable(display);
    title += std::string(" | ") + ms;
    if (!state.empty())
        title += " | " + state;
    return title;
}

} // namespace ffglhost
