// One timed frame of a plug-in instance as the host makes it (code 17, then glFinish, counted as
// the plug-in's), and the report line of a parameter value read back from an instance. Used by
// every command that renders (frame/Stage.h). Main thread; the frame needs the GL context current.
#pragma once

#include "Status.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"

#include <string>

namespace ffglhost {

// One frame of `instance` into `hostFbo`, which the caller has bound: code 17 with `count` input
// textures (records the host owns), then glFinish, which the flight record counts as part of the
// frame. `ms` is the time of both: what the frame cost the plug-in and the GL. [GL context current]
Status finishedFrame(PluginInstance& instance, unsigned hostFbo, FFGLTextureStructTag** inputs, uint32_t count,
                     double& ms);

// "parameter NAME = VALUE (display "TEXT")", the value and text read back from the instance
// (codes 9 and 7): what the commands report for the parameters they changed. `whose` goes after
// the name (" of Quorus" where several plug-ins render).
Status parameterLine(const PluginInstance& instance, const ParameterInfo& p, std::string& line,
                     const std::string& whose = std::string());

} // namespace ffglhost
