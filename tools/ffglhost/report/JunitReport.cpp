// The JUnit XML report (see JunitReport.h).
#include "report/JunitReport.h"

#include "HostVersion.h"
#include "commands/validate/Check.h"
#include "frame/RenderSetup.h"

#include <tinyxml.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace ffglhost {

namespace {

const char kPackage[] = "ffglhost.validate";

// The length of the UTF-8 sequence at `i` that XML 1.0 can hold, or 0 for a bad one.
std::size_t validSequence(const std::string& s, std::size_t i)
{
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80)
        return b >= 0x20 || b == '\t' || b == '\n' || b == '\r' ? 1 : 0;
    std::size_t n = 0;
    uint32_t cp = 0;
    if ((b & 0xE0) == 0xC0) {
        n = 2;
        cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        cp = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const unsigned char c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    const uint32_t least[5] = {0, 0, 0x80, 0x800, 0x10000}; // shortest form only
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    const bool nonCharacter = cp == 0xFFFE || cp == 0xFFFF;
    return cp < least[n] || cp > 0x10FFFF || surrogate || nonCharacter ? 0 : n;
}

std::string hostName()
{
#ifdef _WIN32
    const char* name = std::getenv("COMPUTERNAME");
    if (name != nullptr && *name != '\0')
        return name;
#else
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0')
        return name;
#endif
    return "localhost";
}

// "2024-05-01T12:30:00", UTC, as the schema's timestamp wants it (no zone).
std::string timestamp(std::time_t t)
{
    std::tm tm{};
#ifdef _WIN32
    const std::tm* utc = std::gmtime(&t); // main thread: its static result is ours
    if (utc != nullptr)
        tm = *utc;
#else
    gmtime_r(&t, &tm);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

std::string seconds(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s > 0 ? s : 0.0);
    return buf;
}

void attribute(TiXmlElement& e, const char* name, const std::string& value)
{
    e.SetAttribute(name, xmlSafe(value).c_str());
}

TiXmlElement& child(TiXmlElement& parent, const char* name)
{
    return *parent.InsertEndChild(TiXmlElement(name))->ToElement();
}

void property(TiXmlElement& properties, const std::string& name, const std::string& value)
{
    TiXmlElement& p = child(properties, "property");
    attribute(p, "name", name);
    attribute(p, "value", value);
}

// A <failure> or <error> with the message as attribute and text.
void problem(TiXmlElement& testcase, const char* element, const std::string& type, const std::string& message)
{
    TiXmlElement& e = child(testcase, element);
    attribute(e, "type", type);
    attribute(e, "message", message);
    e.InsertEndChild(TiXmlText(xmlSafe(message).c_str()));
}

const char* outcomeTag(Outcome o)
{
    switch (o) {
    case Outcome::Pass: return "PASS  ";
    case Outcome::Warn: return "WARN  ";
    case Outcome::Fail: return "FAIL  ";
    case Outcome::Skip: break;
    }
    return "SKIP  ";
}

void suite(TiXmlElement& suites, const RunReport& r, const ReportPlugin& p, int id, const std::string& host)
{
    TiXmlElement& s = child(suites, "testsuite");
    const std::string stem = std::filesystem::path(p.file).stem().string();
    const std::string name = p.name.empty() ? stem : p.name;
    const std::string className = std::string(kPackage) + "." + fileStem(stem);
    const bool error = p.result == Verdict::Error;
    std::size_t failures = 0, skipped = 0;
    for (const ReportCheck& c : p.checks) {
        failures += c.outcome == Outcome::Fail || (r.strict && c.outcome == Outcome::Warn) ? 1 : 0;
        skipped += c.outcome == Outcome::Skip ? 1 : 0;
    }
    attribute(s, "name", name + " (" + p.file + ")");
    attribute(s, "package", kPackage);
    s.SetAttribute("id", id);
    attribute(s, "timestamp", timestamp(p.started));
    attribute(s, "hostname", host);
    s.SetAttribute("tests", error ? 1 : static_cast<int>(p.checks.size()));
    s.SetAttribute("failures", static_cast<int>(failures));
    s.SetAttribute("errors", error ? 1 : 0);
    s.SetAttribute("skipped", static_cast<int>(skipped));
    attribute(s, "time", seconds(p.seconds));

    TiXmlElement& properties = child(s, "properties");
    property(properties, "file", p.file);
    property(properties, "plugin", p.name);
    property(properties, "id", p.uniqueId);
    property(properties, "type", p.type < 0 ? std::string() : pluginTypeName(static_cast<uint32_t>(p.type)));
    property(properties, "result", verdictName(p.result));
    property(properties, "seed", std::to_string(p.seed));
    property(properties, "round", std::to_string(p.round) + " of " + std::to_string(p.rounds));
    property(properties, "strict", r.strict ? "true" : "false");
    property(properties, "ffglhost", kHostVersion);
    property(properties, "renderer", r.renderer);
    for (const ReportCheck& c : p.checks)
        if (c.outcome == Outcome::Warn)
            property(properties, "warning", c.id + ": " + c.message);

    std::string out;
    if (error) {
        TiXmlElement& t = child(s, "testcase");
        attribute(t, "name", "load");
        attribute(t, "classname", className);
        attribute(t, "time", seconds(p.seconds));
        problem(t, "error", "error", p.message);
        out = errorLine(p) + "\n";
    }
    for (const ReportCheck& c : p.checks) {
        TiXmlElement& t = child(s, "testcase");
        attribute(t, "name", c.id);
        attribute(t, "classname", className);
        attribute(t, "time", seconds(c.seconds));
        if (c.outcome == Outcome::Fail)
            problem(t, "failure", c.fault ? c.fault->kind : "FAIL", c.message);
        else if (c.outcome == Outcome::Warn && r.strict)
            problem(t, "failure", "WARN", c.message);
        else if (c.outcome == Outcome::Skip)
            attribute(child(t, "skipped"), "message", c.message);
        out += outcomeTag(c.outcome) + c.title + (c.outcome == Outcome::Pass ? "" : ": " + c.message) + "\n";
    }
    if (!p.message.empty() && !error)
        out += p.message + "\n";
    child(s, "system-out").InsertEndChild(TiXmlText(xmlSafe(out).c_str()));
    child(s, "system-err");
}

} // namespace

std::string xmlSafe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = validSequence(text, i);
        if (n == 0) {
            out += '?';
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

Status junitReport(const RunReport& report, std::string& text)
{
    TiXmlDocument doc;
    doc.InsertEndChild(TiXmlDeclaration("1.0", "UTF-8", ""));
    TiXmlElement& suites = *doc.InsertEndChild(TiXmlElement("testsuites"))->ToElement();
    const std::string host = hostName();
    int id = 0;
    for (const ReportPlugin& p : report.plugins)
        suite(suites, report, p, id++, host);
    TiXmlPrinter printer;
    printer.SetIndent("  ");
    if (!doc.Accept(&printer))
        return Status::failed("cannot make the JUnit report");
    text = printer.Str();
    return Status();
}

} // namespace ffglhost
