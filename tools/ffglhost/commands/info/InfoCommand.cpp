// The info command (see InfoCommand.h).
#include "commands/info/InfoCommand.h"

#include "frame/HostContext.h"
#include "plugin/PluginDescription.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginLoader.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace ffglhost {

namespace {

// The framebuffer and viewport the info instance is created with.
constexpr int kInfoFrameSize = 64;
// Width of the label column and of the parameter table's columns.
constexpr std::size_t kLabelWidth = 15;
constexpr std::size_t kIndexWidth = 7;
constexpr std::size_t kNameWidth = 18;
constexpr std::size_t kTypeWidth = 10;
constexpr std::size_t kDefaultColumnWidth = 12;

std::string yesNo(bool b) { return b ? "yes" : "no"; }

std::string formatFloat(float v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return buf;
}

std::string defaultText(const ParameterInfo& p)
{
    if (p.type == FF_TYPE_TEXT)
        return "\"" + printable(p.defaultText) + "\"";
    if (p.type == FF_TYPE_BUFFER)
        return "-";
    return formatFloat(p.defaultValue);
}

// `text` left-aligned in a column of `width` characters (wider texts are kept whole).
std::string pad(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

void field(std::string& out, const std::string& label, const std::string& value)
{
    out += pad(label.empty() ? label : label + ":", kLabelWidth) + value + "\n";
}

// Display texts of every parameter's default, read from a fresh instance (buffers have none).
Status readDisplayTexts(const Plugin& plugin, const PluginDescription& d, std::vector<std::string>& texts,
                        std::string& renderer)
{
    std::unique_ptr<kxhost::HeadlessGL> gl;
    Status s = openContext(gl);
    if (!s.ok())
        return s;
    renderer = printable(gl->renderer());
    kxhost::Framebuffer framebuffer;
    std::string error;
    if (!framebuffer.create(kInfoFrameSize, kInfoFrameSize, error))
        return Status::failed("cannot create the host framebuffer: " + error);
    framebuffer.bind();
    PluginInstance instance(plugin);
    s = instance.create(kInfoFrameSize, kInfoFrameSize);
    if (!s.ok())
        return s;
    texts.assign(d.parameters.size(), "-");
    for (std::size_t i = 0; i < d.parameters.size(); ++i) {
        if (d.parameters[i].type == FF_TYPE_BUFFER)
            continue;
        s = instance.parameterDisplay(d.parameters[i].index, texts[i]);
        if (!s.ok())
            return s;
        texts[i] = printable(texts[i]);
    }
    return instance.destroy();
}

} // namespace

Status runInfo(const Options& options, std::string& report, RunReport& facts)
{
    report.clear();
    facts.plugins.assign(1, ReportPlugin());
    ReportPlugin& fact = facts.plugins[0];
    fact.file = options.pluginPath;
    std::unique_ptr<Plugin> plugin;
    Status s = Plugin::open(options.pluginPath, plugin);
    PluginDescription d;
    if (s.ok())
        s = describe(*plugin, d);
    if (s.ok()) {
        fact.name = printable(d.name);
        fact.uniqueId = printable(d.uniqueId);
        fact.type = d.type;
        s = checkOpenGL(d, options.pluginPath);
    }
    std::vector<std::string> displays;
    if (s.ok())
        s = readDisplayTexts(*plugin, d, displays, facts.renderer);
    if (s.ok())
        s = plugin->deInitialise();
    if (!s.ok())
        return s;
    fact.described = true;
    fact.description = d;
    fact.displays = displays;

    const Capabilities& c = d.caps;
    char number[64];
    field(report, "name", printable(d.name));
    field(report, "unique ID", printable(d.uniqueId));
    field(report, "type", pluginTypeName(d.type));
    field(report, "file", options.pluginPath);
    std::snprintf(number, sizeof number, "%u.%03u", d.apiMajor, d.apiMinor);
    field(report, "FFGL API", number);
    std::snprintf(number, sizeof number, "%u.%u", d.versionMajor, d.versionMinor);
    field(report, "version", number);
    field(report, "description", printable(d.description));
    field(report, "about", printable(d.about));
    field(report, "capabilities", "OpenGL processing " + yesNo(c.openGL) + ", set time " + yesNo(c.setTime) +
                                      ", input frames " + std::to_string(c.minInputs) + ".." +
                                      std::to_string(c.maxInputs));
    field(report, "", "CPU video 16/24/32-bit " + yesNo(c.cpuVideo16) + "/" + yesNo(c.cpuVideo24) + "/" +
                          yesNo(c.cpuVideo32) + ", CPU frame copy " + yesNo(c.cpuFrameCopy));
    field(report, "parameters", std::to_string(d.parameters.size()));
    if (!d.parameters.empty())
        report += "  " + pad("index", kIndexWidth) + pad("name", kNameWidth) + pad("type", kTypeWidth) +
                  pad("default", kDefaultColumnWidth) + "display\n";
    for (std::size_t i = 0; i < d.parameters.size(); ++i) {
        const ParameterInfo& p = d.parameters[i];
        report += "  " + pad(std::to_string(p.index), kIndexWidth) + pad(printable(p.name), kNameWidth) +
                  pad(parameterTypeName(p.type), kTypeWidth) + pad(defaultText(p), kDefaultColumnWidth) + displays[i] +
                  "\n";
    }
    return Status();
}

} // namespace ffglhost
