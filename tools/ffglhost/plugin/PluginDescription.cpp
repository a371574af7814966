// The instance-less queries and the run checks (see PluginDescription.h).
#include "plugin/PluginDescription.h"

#include <cstring>

namespace ffglhost {

namespace {

// Capability answers are "1 = yes"; anything else, the failure word included, is no.
bool yes(FFWord answer) { return answer == 1; }

// Input counts: the failure word means the plug-in does not answer, which counts as none.
uint32_t count(FFWord answer) { return answer == FF_FAIL ? 0u : static_cast<uint32_t>(answer); }

Status describeParameter(const Plugin& plugin, uint32_t index, ParameterInfo& p)
{
    p.index = index;
    Status s = plugin.parameterName(index, p.name);
    if (s.ok())
        s = plugin.parameterType(index, p.type);
    if (!s.ok())
        return s;
    switch (p.type) {
    case FF_TYPE_TEXT: return plugin.parameterDefaultText(index, p.defaultText);
    case FF_TYPE_BUFFER: return Status(); // float arrays have no single default
    default: return plugin.parameterDefault(index, p.defaultValue);
    }
}

} // namespace

Status describe(Plugin& plugin, PluginDescription& out)
{
    out = PluginDescription();
    PluginInfoStructTag info{};
    Status s = plugin.info(info);
    if (!s.ok())
        return s;
    out.uniqueId = std::string(info.PluginUniqueID, strnlen(info.PluginUniqueID, FF_UNIQUE_ID_SIZE));
    out.name = std::string(info.PluginName, strnlen(info.PluginName, FF_PLUGIN_NAME_SIZE));
    out.type = info.PluginType;
    out.apiMajor = info.APIMajorVersion;
    out.apiMinor = info.APIMinorVersion;
    if (out.apiMajor != 1)
        return Status::badInput(plugin.path() + " uses FFGL API " + std::to_string(out.apiMajor) + "." +
                                std::to_string(out.apiMinor) + "; this host speaks FFGL 1.x only");

    s = plugin.extendedInfo(out.versionMajor, out.versionMinor, out.description, out.about);
    if (s.ok())
        s = plugin.initialise();
    if (!s.ok())
        return s;

    Capabilities& c = out.caps;
    c.cpuVideo16 = yes(plugin.capability(FF_CAP_16BITVIDEO));
    c.cpuVideo24 = yes(plugin.capability(FF_CAP_24BITVIDEO));
    c.cpuVideo32 = yes(plugin.capability(FF_CAP_32BITVIDEO));
    c.cpuFrameCopy = yes(plugin.capability(FF_CAP_PROCESSFRAMECOPY));
    c.openGL = yes(plugin.capability(FF_CAP_PROCESSOPENGL));
    c.setTime = yes(plugin.capability(FF_CAP_SETTIME));
    c.minInputs = count(plugin.capability(FF_CAP_MINIMUMINPUTFRAMES));
    c.maxInputs = count(plugin.capability(FF_CAP_MAXIMUMINPUTFRAMES));

    uint32_t n = 0;
    s = plugin.parameterCount(n);
    if (!s.ok())
        return s;
    if (n > kMaxParameters)
        return Status::callFailed(FF_GETNUMPARAMETERS, "returned " + std::to_string(n) + ", more than the " +
                                                           std::to_string(kMaxParameters) + " this host accepts");
    out.parameters.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        s = describeParameter(plugin, i, out.parameters[i]);
        if (!s.ok())
            return s;
    }
    return Status();
}

Status checkOpenGL(const PluginDescription& d, const std::string& path)
{
    if (!d.caps.openGL)
        return Status::badInput(path + " does not do OpenGL processing (capability 4 is not 1): not an FFGL plug-in "
                                       "this host can run");
    return Status();
}

const ParameterInfo* findParameter(const PluginDescription& d, const std::string& name)
{
    for (const ParameterInfo& p : d.parameters) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

bool takesHostValue(const ParameterInfo& p) { return p.type != FF_TYPE_TEXT && p.type != FF_TYPE_BUFFER; }

std::string parameterTypeName(uint32_t type)
{
    switch (type) {
    case FF_TYPE_BOOLEAN: return "boolean";
    case FF_TYPE_EVENT: return "event";
    case FF_TYPE_STANDARD: return "standard";
    case FF_TYPE_OPTION: return "option";
    case FF_TYPE_BUFFER: return "buffer";
    case FF_TYPE_TEXT: return "text";
    default: return "type " + std::to_string(type);
    }
}

std::string pluginTypeName(uint32_t type)
{
    switch (type) {
    case FF_EFFECT: return "effect";
    case FF_SOURCE: return "source";
    default: return "type " + std::to_string(type);
    }
}

std::string printable(const std::string& text)
{
    std::string out = text;
    for (char& ch : out) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F)
            ch = '?';
    }
    return out;
}

} // namespace ffglhost
