// What ffglhost reports for machines: validate over a folder of plug-ins that pass, warn, fail,
// crash, hang and cannot be loaded, in its text, its JSON report and its JUnit XML, both files
// checked against their published schemas with the standard tools (python3 -m jsonschema,
// xmllint --schema); --strict, --seed and --repeat; the JSON reports of info and render, also
// when the plug-in crashes; and report texts that are no valid UTF-8 or XML.
#include "HeadlessGL.h"
#include "HostRun.h"
#include "report/JsonReport.h"
#include "report/JunitReport.h"

#include <nlohmann/json.hpp>
#include <tinyxml.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using hostrun::Result;
using Json = nlohmann::json;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// The output of a tool and whether it exited 0.
bool runTool(const std::string& command, std::string& output)
{
    output.clear();
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr)
        return false;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        output.append(buf, n);
    return pclose(p) == 0;
}

void expectValidJson(const fs::path& file)
{
    std::string out;
    EXPECT_TRUE(runTool(hostrun::quote(KX_PYTHON3) + " -m jsonschema -i " + hostrun::quote(file.string()) + " " +
                            hostrun::quote(REPORT_SCHEMA),
                        out))
        << file << " against " << REPORT_SCHEMA << " (needs python3-jsonschema):\n" << out;
}

void expectValidJunit(const fs::path& file)
{
    std::string out;
    EXPECT_TRUE(runTool(hostrun::quote(KX_XMLLINT) + " --noout --schema " + hostrun::quote(JUNIT_XSD) + " " +
                            hostrun::quote(file.string()),
                        out))
        << file << " against " << JUNIT_XSD << " (needs libxml2-utils):\n" << out;
}

Json readJson(const fs::path& file)
{
    const Json j = Json::parse(hostrun::readFile(file), nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << file << " is no JSON";
    return j;
}

// The test suites of a JUnit file by plug-in file.
std::map<std::string, const TiXmlElement*> suitesByFile(const TiXmlDocument& doc)
{
    std::map<std::string, const TiXmlElement*> out;
    const TiXmlElement* root = doc.RootElement();
    for (const TiXmlElement* s = root ? root->FirstChildElement("testsuite") : nullptr; s != nullptr;
         s = s->NextSiblingElement("testsuite"))
        for (const TiXmlElement* p = s->FirstChildElement("properties")->FirstChildElement("property"); p != nullptr;
             p = p->NextSiblingElement("property"))
            if (std::string(p->Attribute("name")) == "file")
                out[fs::path(p->Attribute("value")).stem().string()] = s;
    return out;
}

// The first <failure>, <error> or <skipped> of the test case named `id` in `suite`, or null.
const TiXmlElement* problemOf(const TiXmlElement& suite, const std::string& id)
{
    for (const TiXmlElement* t = suite.FirstChildElement("testcase"); t != nullptr; t = t->NextSiblingElement("testcase"))
        if (id == t->Attribute("name"))
            return t->FirstChildElement();
    return nullptr;
}

class Reports : public hostrun::HostTest {
protected:
    // A folder in inputs() holding copies of the test plug-ins `names` (sub/Name puts one below).
    fs::path folderOf(const std::vector<std::string>& names) const
    {
        const fs::path dir = inputs() / "plugins";
        for (const std::string& n : names) {
            const fs::path to = dir / (n + ".so");
            fs::create_directories(to.parent_path());
            fs::copy_file(kPlugins + "/" + fs::path(n).filename().string() + ".so", to);
        }
        return dir;
    }
};

TEST_F(Reports, MixedFolderIsReportedInTextJsonAndJunit)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const fs::path dir =
        folderOf({"ClearGen", "InvertSampling", "ClearGenLeaveGLError", "CrashFrame", "HangFrame", "NotAPlugin"});
    std::ofstream(dir / "notes.txt") << "not a plug-in, passed over\n";
    const Result r = host({"validate", dir.string(), "--size", "64x36", "--timeout", "1", "--report", "r.json",
                           "--junit", "out/j.xml"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "ffglhost: error: 4 of 6 plug-ins failed (1 could not be validated)\n")) << r.err;

    // The text: each plug-in under its header in sorted order, then the table.
    const auto out = hostrun::lines(r.out);
    std::vector<std::string> headers;
    for (const std::string& line : out)
        if (line.rfind("validating ", 0) == 0 || line.rfind("ERROR ", 0) == 0)
            headers.push_back(line.substr(0, line.find(".so") + 3));
    const std::string d = dir.string() + "/";
    EXPECT_EQ(headers, (std::vector<std::string>{
                           "validating ClearGen (" + d + "ClearGen.so", "validating ClearGen (" + d + "ClearGenLeaveGLError.so",
                           "validating CrashFrame (" + d + "CrashFrame.so", "validating HangFrame (" + d + "HangFrame.so",
                           "validating InvertSampling (" + d + "InvertSampling.so", "ERROR " + d + "NotAPlugin.so"}))
        << r.out;
    const std::map<std::string, std::string> results = {
        {"ClearGen.so", "PASS  "},  {"InvertSampling.so", "WARN  "}, {"ClearGenLeaveGLError.so", "FAIL  "},
        {"CrashFrame.so", "FAIL  "}, {"HangFrame.so", "FAIL  "},      {"NotAPlugin.so", "ERROR "}};
    for (const auto& [file, result] : results) {
        bool found = false;
        for (const std::string& line : out)
            found = found || (contains(line, d + file + " ") && contains(line, " " + result));
        EXPECT_TRUE(found) << file << " " << result << " in the table:\n" << r.out;
    }
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), "6 plug-ins: 1 passed, 1 warned, 3 failed, 1 could not be validated");

    // The JSON report.
    expectValidJson(work() / "r.json");
    const Json j = readJson(work() / "r.json");
    EXPECT_EQ(j["command"], "validate");
    EXPECT_EQ(j["exitStatus"], 1);
    EXPECT_EQ(j["settings"]["seed"], 1);
    std::map<std::string, Json> plugins;
    for (const Json& p : j["plugins"])
        plugins[fs::path(p["file"].get<std::string>()).stem().string()] = p;
    ASSERT_EQ(plugins.size(), 6u) << j.dump(1);
    EXPECT_EQ(plugins["ClearGen"]["result"], "pass");
    EXPECT_EQ(plugins["InvertSampling"]["result"], "warn");
    EXPECT_EQ(plugins["ClearGenLeaveGLError"]["result"], "fail");
    EXPECT_EQ(plugins["NotAPlugin"]["result"], "error");
    EXPECT_TRUE(contains(plugins["NotAPlugin"]["message"].get<std::string>(), "exports no plugMain"));
    EXPECT_EQ(plugins["InvertSampling"]["type"], "effect");
    EXPECT_EQ(plugins["InvertSampling"]["inputs"], Json::array({"pattern:card"}));
    // Check IDs are unique, and a source's are an effect's without the four about inputs.
    std::set<std::string> sourceIds, effectIds;
    for (const Json& c : plugins["ClearGen"]["checks"])
        sourceIds.insert(c["id"].get<std::string>());
    for (const Json& c : plugins["InvertSampling"]["checks"])
        effectIds.insert(c["id"].get<std::string>());
    EXPECT_EQ(sourceIds.size(), 19u);
    EXPECT_EQ(effectIds.size(), 23u);
    EXPECT_TRUE(effectIds.count("input-textures-kept") && !sourceIds.count("input-textures-kept"));
    for (const Json& c : plugins["InvertSampling"]["checks"])
        if (c["id"] == "input-textures-kept") {
            EXPECT_EQ(c["outcome"], "warn");
            EXPECT_TRUE(contains(c["message"].get<std::string>(), "has min filter GL_NEAREST")) << c;
        }
    struct Fault {
        const char* plugin;
        const char* kind;
        Json signal;
        int frame;
    };
    for (const Fault& f : {Fault{"CrashFrame", "crash", "SIGSEGV", 3}, Fault{"HangFrame", "hang", nullptr, 2}}) {
        const Json& p = plugins[f.plugin];
        EXPECT_EQ(p["result"], "fail");
        const Json* frames = nullptr;
        for (const Json& c : p["checks"])
            if (c["id"] == "frames")
                frames = &c;
        ASSERT_NE(frames, nullptr);
        EXPECT_EQ((*frames)["outcome"], "fail");
        EXPECT_EQ((*frames)["fault"]["kind"], f.kind) << *frames;
        EXPECT_EQ((*frames)["fault"]["code"], 17);
        EXPECT_EQ((*frames)["fault"]["frame"], f.frame);
        EXPECT_EQ((*frames)["fault"]["signal"], f.signal);
    }

    // The JUnit XML.
    expectValidJunit(work() / "out" / "j.xml");
    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile((work() / "out" / "j.xml").string().c_str())) << doc.ErrorDesc();
    auto suites = suitesByFile(doc);
    ASSERT_EQ(suites.size(), 6u);
    int failures = -1;
    for (const auto& [plugin, expected] : std::map<std::string, int>{
             {"ClearGen", 0}, {"InvertSampling", 0}, {"ClearGenLeaveGLError", 3}, {"CrashFrame", 3}}) {
        suites[plugin]->QueryIntAttribute("failures", &failures);
        EXPECT_EQ(failures, expected) << plugin;
    }
    const TiXmlElement* crash = problemOf(*suites["CrashFrame"], "frames");
    ASSERT_NE(crash, nullptr);
    EXPECT_EQ(std::string(crash->Value()) + " " + crash->Attribute("type"), "failure crash");
    EXPECT_TRUE(contains(crash->Attribute("message"), "crashed (SIGSEGV) in code 17"));
    EXPECT_STREQ(problemOf(*suites["CrashFrame"], "transform-state")->Value(), "skipped");
    EXPECT_STREQ(problemOf(*suites["NotAPlugin"], "load")->Value(), "error");
    // A warning is seen (a property, the output), not a failure.
    EXPECT_EQ(problemOf(*suites["InvertSampling"], "input-textures-kept"), nullptr);
    // (TinyXML reads runs of spaces as one.)
    EXPECT_TRUE(contains(suites["InvertSampling"]->FirstChildElement("system-out")->GetText(),
                         "WARN frames keep the host's input textures"));
    EXPECT_EQ(written(), (std::vector<std::string>{"out/j.xml", "r.json"})) << "no temporary file left";
}

// Warnings pass unless --strict; several plug-ins share --input sources as far as each takes
// inputs; folders are searched below with --recursive, hidden files passed over.
TEST_F(Reports, StrictMakesWarningsFailAndSeveralPluginsShareInputs)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const fs::path dir = folderOf({"InvertSampling", "sub/ClearGen"});
    fs::copy_file(kPlugins + "/CrashFrame.so", dir / ".Hidden.so");
    Result r = host({"validate", dir.string(), "--recursive", "--size", "32x18", "--input", "pattern:bars"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "with 0 input texture(s) on ")) << r.out;
    EXPECT_TRUE(contains(r.out, "with 1 input texture(s) (pattern:bars) on ")) << r.out;
    EXPECT_TRUE(contains(r.out, "\n2 plug-ins: 1 passed, 1 warned\n")) << r.out;

    r = host({"validate", (dir / "InvertSampling.so").string(), "--size", "32x18", "--strict", "--junit", "j.xml",
              "--report", "r.json"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "ffglhost: error: 1 of 23 checks warned (--strict)\n")) << r.err;
    expectValidJunit(work() / "j.xml");
    TiXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile((work() / "j.xml").string().c_str()));
    const TiXmlElement* warning = problemOf(*suitesByFile(doc)["InvertSampling"], "input-textures-kept");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(std::string(warning->Value()) + " " + warning->Attribute("type"), "failure WARN");
    expectValidJson(work() / "r.json");
    EXPECT_EQ(readJson(work() / "r.json")["plugins"][0]["result"], "fail");
}

TEST_F(Reports, SeedIsPrintedAndReportedAndRepeatStopsAtTheFirstFailingRound)
{
    HOSTRUN_REQUIRE_DISPLAY();
    Result r = host({"validate", kPlugins + "/ClearGen.so", "--size", "16x16", "--seed", "41", "--repeat", "3",
                     "--report", "r.json"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (const char* seed : {", seed 41\n", ", seed 42\n", ", seed 43\n"})
        EXPECT_TRUE(contains(r.out, seed)) << seed << " in\n" << r.out;
    EXPECT_TRUE(contains(r.out, "round 3 of 3\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nall 3 rounds passed\n")) << r.out;
    const Json j = readJson(work() / "r.json");
    EXPECT_EQ(j["settings"]["seed"], 41);
    EXPECT_EQ(j["plugins"][0]["rounds"], 3);

    r = host({"validate", kPlugins + "/ClearGenFailFrame.so", "--size", "16x16", "--seed", "7", "--repeat", "3",
              "--report", "r.json"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_FALSE(contains(r.out, "round 2 of 3")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nround 1 of 3 failed: replay it with --seed 7\n")) << r.out;
    const Json failed = readJson(work() / "r.json")["plugins"][0];
    EXPECT_EQ(failed["round"], 1);
    EXPECT_EQ(failed["seed"], 7);
}

TEST_F(Reports, InfoAndRenderReportWhatTheyFoundAndFaults)
{
    HOSTRUN_REQUIRE_DISPLAY();
    Result r = host({"info", kPlugins + "/ClearGen.so", "--report", "info.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    expectValidJson(work() / "info.json");
    Json j = readJson(work() / "info.json");
    EXPECT_EQ(j["plugins"][0]["id"], "CLRG");
    EXPECT_EQ(j["plugins"][0]["info"]["parameters"][0],
              Json::parse(R"({"index": 0, "name": "Red", "type": "standard", "default": 0.25, "display": "0.25"})"));

    r = host({"render", kPlugins + "/ClearGen.so", "--size", "16x16", "--frames", "3", "--out", "a.png", "--report",
              "render.json"});
    EXPECT_EQ(r.status, 0) << r.err;
    expectValidJson(work() / "render.json");
    j = readJson(work() / "render.json");
    EXPECT_EQ(j["render"]["frames"], 3);
    EXPECT_EQ(j["render"]["files"], Json::array({"a.png"}));
    EXPECT_GT(j["render"]["frameTime"]["medianMs"].get<double>(), 0.0);

    // The worker died: the host writes the report.
    r = host({"render", kPlugins + "/CrashFrame.so", "--size", "16x16", "--frames", "4", "--out", "c.png", "--report",
              "crash.json"});
    EXPECT_EQ(r.status, 1) << r.err;
    expectValidJson(work() / "crash.json");
    j = readJson(work() / "crash.json");
    EXPECT_EQ(j["result"], "fail");
    EXPECT_EQ(j["fault"]["signal"], "SIGSEGV");
    EXPECT_EQ(j["fault"]["frame"], 3);

    // A report path that cannot be written is refused before anything runs.
    fs::create_directories(work() / "taken.json");
    r = host({"info", kPlugins + "/ClearGen.so", "--report", "taken.json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, "--report taken.json is a folder")) << r.err;
}

// Plug-in texts and output reach the reports raw: bytes that are not UTF-8, control characters
// and markup must still give a valid document that keeps the rest of the text.
TEST_F(Reports, TextsThatAreNoValidUtf8OrXmlStayValid)
{
    using namespace ffglhost;
    const std::string nasty = std::string("bad \xff\xfe byte, \x01 control, <tag> & \"]]>\", caf\xc3\xa9");
    RunReport report;
    report.command = Command::Validate;
    ReportPlugin p;
    p.file = "odd \xff.so";
    p.name = "Odd\x02";
    p.validated = true;
    p.result = Verdict::Fail;
    p.checks.push_back(ReportCheck{"frames", "frames", Outcome::Fail, nasty, 0.5, std::nullopt});
    report.plugins.push_back(p);

    std::string text;
    ASSERT_TRUE(junitReport(report, text).ok());
    std::ofstream(work() / "j.xml") << text;
    expectValidJunit(work() / "j.xml");
    TiXmlDocument doc;
    doc.Parse(text.c_str());
    const TiXmlElement* failure = problemOf(*doc.RootElement()->FirstChildElement("testsuite"), "frames");
    ASSERT_NE(failure, nullptr);
    EXPECT_STREQ(failure->Attribute("message"), "bad ?? byte, ? control, <tag> & \"]]>\", caf\xc3\xa9");

    ASSERT_TRUE(jsonReport(report, text).ok());
    const Json j = Json::parse(text, nullptr, false);
    ASSERT_FALSE(j.is_discarded()) << text;
    EXPECT_TRUE(contains(j["plugins"][0]["checks"][0]["message"].get<std::string>(), "<tag> & \"]]>\", caf\xc3\xa9"));
}

} // namespace
