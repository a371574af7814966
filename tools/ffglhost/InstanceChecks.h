// The validator's checks that need a GL context: instances created and destroyed many times,
// parameter indices past the table, values set and read back through a live instance, display
// texts, frames and the GL state they leave behind, a flood of extreme parameter values, and
// several instances rendering alternately. Every watched call (codes 17, 18, 19) runs in the
// known host state of HostGLState.h and is compared against it afterwards.
//
// Main thread, with the host's GL context current for every function here.
#pragma once

#include "Check.h"
#include "MetadataChecks.h"
#include "PluginLoader.h"
#include "Status.h"

#include <cstdint>
#include <vector>

namespace ffglhost {

constexpr int kInstanceCycles = 100;
constexpr int kSideBySideInstances = 4;

struct FrameSetup {
    int width = 0;
    int height = 0;
    uint32_t inputs = 0; // input textures handed to every frame
};

// Appends the checks to `checks`. Fails (exit status 1) only when the host's own GL resources
// cannot be made; whatever the plug-in does ends up in the checks.
Status runInstanceChecks(const Plugin& plugin, const ValidatedMetadata& meta, const FrameSetup& setup,
                         std::vector<Check>& checks);

} // namespace ffglhost
