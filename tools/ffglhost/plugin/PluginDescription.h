// What a plug-in says about itself before any instance exists: identity, versions, texts,
// capabilities and the parameter table, gathered through the instance-less codes, and the checks
// that decide whether this host can run it. Also the texts the commands print for the FFGL type
// codes.
//
// Plain values; one thread; no GL context needed.
#pragma once

#include "Status.h"
#include "plugin/PluginLoader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

// Most parameters a plug-in may announce: a bound against a count that is really garbage.
constexpr uint32_t kMaxParameters = 1024;

struct ParameterInfo {
    uint32_t index = 0;
    std::string name;         // at most 16 characters
    uint32_t type = 0;        // FFGL parameter type code
    float defaultValue = 0.f; // every type but text and buffer
    std::string defaultText;  // text parameters
};

struct Capabilities {
    bool openGL = false; // code 4 answered 1
    bool setTime = false;
    bool cpuVideo16 = false, cpuVideo24 = false, cpuVideo32 = false, cpuFrameCopy = false;
    uint32_t minInputs = 0, maxInputs = 0;
};

struct PluginDescription {
    std::string uniqueId; // at most 4 characters
    std::string name;     // at most 16 characters
    uint32_t type = 0;    // FF_EFFECT, FF_SOURCE, ...
    uint32_t apiMajor = 0, apiMinor = 0;
    uint32_t versionMajor = 0, versionMinor = 0;
    std::string description;
    std::string about;
    Capabilities caps;
    std::vector<ParameterInfo> parameters;
};

// The host side of the global queries, in protocol order: 0 (information; an API other than
// 1.x is refused before anything else is asked), 13, 1 (initialise: the plug-in stays
// initialised, `plugin` de-initialises it), 10 for each capability, 4, then 5, 15 and 6 for
// every parameter.
Status describe(Plugin& plugin, PluginDescription& out);

// Bad input unless the plug-in does OpenGL processing (capability 4 answered 1).
Status checkOpenGL(const PluginDescription& d, const std::string& path);

// The first parameter whose name is exactly `name`, or null. Points into `d`.
const ParameterInfo* findParameter(const PluginDescription& d, const std::string& name);
// Whether --set may write it: a value in 0..1 means something for every type but text and buffer.
bool takesHostValue(const ParameterInfo& p);

// "standard", "boolean", ... or "type 42".
std::string parameterTypeName(uint32_t type);
// "source", "effect" or "type 7".
std::string pluginTypeName(uint32_t type);
// `text` with control characters replaced by '?', so plug-in texts cannot drive the terminal.
std::string printable(const std::string& text);

} // namespace ffglhost
