// The JSON report (see JsonReport.h).
#include "report/JsonReport.h"

#include "HostVersion.h"
#include "commands/validate/Check.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace ffglhost {

namespace {

// Keys in the order they are written, as the documentation shows them.
using Json = nlohmann::ordered_json;

const char* outcomeName(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return "pass";
    case Outcome::Warn: return "warn";
    case Outcome::Fail: return "fail";
    case Outcome::Skip: break;
    }
    return "skip";
}

const char* commandName(Command c)
{
    switch (c) {
    case Command::Info: return "info";
    case Command::Render: return "render";
    default: break;
    }
    return "validate";
}

// A text, or null when empty.
Json textOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// A float as the shortest decimal that reads back as the same float (0.1f is 0.1, not
// 0.100000001), or null for what JSON cannot hold (NaN, infinities).
Json number(float v)
{
    if (!std::isfinite(v))
        return nullptr;
    char buf[32];
    for (int digits = 6; digits < 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v)
            return std::strtod(buf, nullptr);
    }
    return static_cast<double>(v);
}

// Milliseconds rounded to microseconds.
double roundedMs(double ms) { return std::round(ms * 1000.0) / 1000.0; }

Json frameTime(const TimingSummary& t)
{
    return Json{{"medianMs", roundedMs(t.medianMs)}, {"p95Ms", roundedMs(t.p95Ms)}};
}

Json fault(const ReportFault& f)
{
    Json j{{"kind", f.kind}, {"plugin", textOrNull(f.plugin)}, {"during", f.during}};
    j["code"] = f.hasCode ? Json(f.code) : Json(nullptr);
    j["function"] = f.hasCode ? Json(functionName(f.code)) : Json(nullptr);
    j["frame"] = f.frame > 0 ? Json(f.frame) : Json(nullptr);
    j["signal"] = textOrNull(f.signal);
    if (!f.exception.empty())
        j["exception"] = f.exception;
    if (f.kind == "exit")
        j["exitStatus"] = f.exitStatus;
    if (f.kind == "hang")
        j["timeoutSeconds"] = f.timeoutSeconds;
    j["text"] = f.text;
    return j;
}

Json info(const ReportPlugin& p)
{
    const PluginDescription& d = p.description;
    char api[32];
    std::snprintf(api, sizeof api, "%u.%03u", d.apiMajor, d.apiMinor);
    char version[32];
    std::snprintf(version, sizeof version, "%u.%u", d.versionMajor, d.versionMinor);
    const Capabilities& c = d.caps;
    Json parameters = Json::array();
    for (std::size_t i = 0; i < d.parameters.size(); ++i) {
        const ParameterInfo& pi = d.parameters[i];
        Json def = nullptr;
        if (pi.type == FF_TYPE_TEXT)
            def = printable(pi.defaultText);
        else if (pi.type != FF_TYPE_BUFFER)
            def = number(pi.defaultValue);
        const std::string display = i < p.displays.size() ? p.displays[i] : "-";
        parameters.push_back(Json{{"index", pi.index},
                                  {"name", printable(pi.name)},
                                  {"type", parameterTypeName(pi.type)},
                                  {"default", def},
                                  {"display", pi.type == FF_TYPE_BUFFER ? Json(nullptr) : Json(display)}});
    }
    return Json{{"apiVersion", api},
                {"version", version},
                {"description", printable(d.description)},
                {"about", printable(d.about)},
                {"capabilities",
                 {{"openGL", c.openGL},
                  {"setTime", c.setTime},
                  {"minInputs", c.minInputs},
                  {"maxInputs", c.maxInputs},
                  {"cpuVideo16", c.cpuVideo16},
                  {"cpuVideo24", c.cpuVideo24},
                  {"cpuVideo32", c.cpuVideo32},
                  {"cpuFrameCopy", c.cpuFrameCopy}}},
                {"parameters", parameters}};
}

Json plugin(const ReportPlugin& p)
{
    Json j{{"file", p.file},
           {"name", textOrNull(p.name)},
           {"id", textOrNull(p.uniqueId)},
           {"type", p.type < 0 ? Json(nullptr) : Json(pluginTypeName(static_cast<uint32_t>(p.type)))},
           {"result", verdictName(p.result)}};
    if (!p.message.empty())
        j["message"] = p.message;
    if (p.fault)
        j["fault"] = fault(*p.fault);
    if (p.validated) {
        std::size_t counts[4] = {0, 0, 0, 0};
        Json checks = Json::array();
        for (const ReportCheck& c : p.checks) {
            ++counts[static_cast<int>(c.outcome)];
            Json check{{"id", c.id},
                       {"title", c.title},
                       {"outcome", outcomeName(c.outcome)},
                       {"message", c.message},
                       {"seconds", std::round(c.seconds * 1000.0) / 1000.0}};
            if (c.fault)
                check["fault"] = fault(*c.fault);
            checks.push_back(check);
        }
        j["seed"] = p.seed;
        j["round"] = p.round;
        j["rounds"] = p.rounds;
        j["seconds"] = std::round(p.seconds * 1000.0) / 1000.0;
        j["inputs"] = p.inputs;
        j["counts"] = Json{{"checks", p.checks.size()},
                           {"passed", counts[static_cast<int>(Outcome::Pass)]},
                           {"warned", counts[static_cast<int>(Outcome::Warn)]},
                           {"failed", counts[static_cast<int>(Outcome::Fail)]},
                           {"skipped", counts[static_cast<int>(Outcome::Skip)]}};
        j["checks"] = checks;
    }
    if (p.described)
        j["info"] = info(p);
    if (!p.role.empty())
        j["role"] = p.role;
    if (p.timed)
        j["frameTime"] = frameTime(p.frameTime);
    return j;
}

Json document(const RunReport& r)
{
#ifdef _WIN32
    const char* platform = "windows";
#else
    const char* platform = "linux";
#endif
    Json settings;
    if (r.command != Command::Info) {
        settings["width"] = r.width;
        settings["height"] = r.height;
    }
    settings["timeoutSeconds"] = r.timeoutSeconds;
    settings["inProcess"] = r.inProcess;
    settings["driver"] = textOrNull(r.driver);
    if (r.command == Command::Validate) {
        settings["seed"] = r.seed;
        settings["repeat"] = r.repeat;
        settings["strict"] = r.strict;
    }
    if (r.command == Command::Render)
        settings["frames"] = r.frames;

    Json j{{"schema", kReportSchema},
           {"host", {{"name", "ffglhost"}, {"version", kHostVersion}, {"platform", platform}}},
           {"command", commandName(r.command)},
           {"renderer", textOrNull(r.renderer)},
           {"result", verdictName(r.result)},
           {"exitStatus", r.exitStatus}};
    if (!r.message.empty())
        j["message"] = r.message;
    if (r.fault)
        j["fault"] = fault(*r.fault);
    j["settings"] = settings;
    Json plugins = Json::array();
    for (const ReportPlugin& p : r.plugins)
        plugins.push_back(plugin(p));
    j["plugins"] = plugins;
    if (r.rendered)
        j["render"] = Json{{"frames", r.frameTime.count},
                           {"frameTime", frameTime(r.frameTime)},
                           {"files", r.files},
                           {"video", textOrNull(r.video)}};
    return j;
}

} // namespace

Status jsonReport(const RunReport& report, std::string& text)
{
    // The library throws only when it runs out of memory here: invalid UTF-8 is replaced.
    try {
        text = document(report).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    } catch (const std::exception& e) {
        return Status::failed(std::string("cannot make the JSON report: ") + e.what());
    }
    return Status();
}

} // namespace ffglhost
