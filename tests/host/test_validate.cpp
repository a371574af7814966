// `ffglhost validate` as plug-in developers meet it: the raw ClearGen generator passes every
// check, and variants of it that each break one rule of the host interface are caught, the fault
// named on the line of the check it breaks, with exit status 1. Files that are no FFGL plug-in
// are bad input (exit status 2) and get no checks at all.
#include "HeadlessGL.h"
#include "HostRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

using hostrun::Result;

const std::string kPlugins = HOST_TEST_PLUGIN_DIR;

bool startsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

// The lines of a report that are check results.
std::vector<std::string> checkLines(const std::string& out)
{
    std::vector<std::string> found;
    for (const std::string& line : hostrun::lines(out))
        for (const char* tag : {"PASS  ", "WARN  ", "FAIL  ", "SKIP  "})
            if (startsWith(line, tag))
                found.push_back(line);
    return found;
}

// The line of the check whose name starts with `check`, or "".
std::string lineOf(const std::vector<std::string>& checks, const std::string& check)
{
    for (const std::string& line : checks)
        if (line.find(check) == 6)
            return line;
    return "";
}

class Validate : public hostrun::HostTest {};

TEST_F(Validate, SoundPluginsPassEveryCheck)
{
    HOSTRUN_REQUIRE_DISPLAY();
    // Plug-ins that take no input (ClearGenEffect announces itself an effect but takes none)
    // keep the report they always had; an effect gets the checks about its inputs besides, fed a
    // pattern or another plug-in.
    struct Sound {
        const char* plugin;
        const char* header; // the start of the header line, and a part of it
        std::string inputs;
        std::size_t checks;
        std::string input; // an --input, if any
    };
    const std::string clearGen = kPlugins + "/ClearGen.so";
    for (const Sound& p : {Sound{"ClearGen", "validating ClearGen (", " with 0 input texture(s) on ", 19, ""},
                           Sound{"ClearGenEffect", "validating ClearGen (", " with 0 input texture(s) on ", 19, ""},
                           Sound{"Invert", "validating Invert (", " with 1 input texture(s) (pattern:card) on ", 23, ""},
                           Sound{"Invert", "validating Invert (", " with 1 input texture(s) (" + clearGen + ") on ", 23,
                                 clearGen}}) {
        std::vector<std::string> args = {"validate", kPlugins + "/" + p.plugin + ".so", "--size", "64x36"};
        if (!p.input.empty())
            args.insert(args.end(), {"--input", p.input});
        const Result r = host(args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.err, "");
        const auto checks = checkLines(r.out);
        ASSERT_EQ(checks.size(), p.checks) << r.out;
        for (const std::string& line : checks)
            EXPECT_TRUE(startsWith(line, "PASS  ")) << line;
        const auto all = hostrun::lines(r.out);
        ASSERT_EQ(all.size(), checks.size() + 2) << "a header, the checks and the summary:\n" << r.out;
        EXPECT_TRUE(startsWith(all.front(), p.header)) << all.front();
        EXPECT_NE(all.front().find(" at 64x36" + p.inputs), std::string::npos) << all.front();
        EXPECT_EQ(all.back(), std::to_string(checks.size()) + " checks, " + std::to_string(checks.size()) + " passed");
    }
    EXPECT_TRUE(written().empty());
}

// A plug-in that breaks one rule, the check that must fail and what its line must say.
struct Fault {
    const char* plugin;
    const char* check;   // start of the failing check's name
    const char* problem; // part of its line
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.plugin; }

class ValidateFault : public hostrun::HostTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(ValidateFault, IsNamedOnItsCheckAndExitsOne)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Fault& f = GetParam();
    const Result r = host({"validate", kPlugins + "/" + f.plugin + ".so", "--size", "32x32"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const auto checks = checkLines(r.out);
    EXPECT_GE(checks.size(), 15u) << "every check is still reported:\n" << r.out;
    const std::string line = lineOf(checks, f.check);
    EXPECT_TRUE(startsWith(line, "FAIL  ")) << r.out;
    EXPECT_NE(line.find(f.problem), std::string::npos) << line;
    const auto out = hostrun::lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out.back().find(" failed"), std::string::npos) << out.back();
    const auto err = hostrun::lines(r.err);
    ASSERT_EQ(err.size(), 1u) << r.err;
    EXPECT_TRUE(startsWith(err[0], "ffglhost: error: ")) << err[0];
    EXPECT_NE(err[0].find("checks failed"), std::string::npos) << err[0];
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ValidateFault,
    ::testing::Values(
        Fault{"ClearGenLeaveMatrixMode", "frames keep the host's matrices",
              "frame 1 leaves matrix mode GL_PROJECTION (was GL_MODELVIEW)"},
        Fault{"ClearGenLeaveGLError", "frames (code 17) succeed", "frame 1 leaves GL error GL_INVALID_ENUM pending"},
        Fault{"ClearGenUnbindFramebuffer", "frames keep the host's GL attributes",
              "frame 1 leaves draw framebuffer 0 (was "},
        Fault{"ClearGenFailFrame", "frames (code 17) succeed", "frame 3: code 17 (process OpenGL) returned failure"},
        Fault{"ClearGenFailSetParameter", "values set (code 8)",
              "parameter 0 (Red): code 8 (set parameter) returned failure for 0"},
        Fault{"ClearGenFailParameterCount", "parameter table", "code 4 (get parameter count) returned failure"},
        Fault{"ClearGenDefaultOutOfRange", "parameter defaults lie within 0..1",
              "parameter 2 (Blue) default 1.5 is outside 0..1"},
        Fault{"InvertWrites", "frames keep the host's input textures",
              "frame 1: input 0 (texture 2) content changed in 4 of 32 rows, first at row 0 from the bottom"},
        Fault{"InvertDeletes", "frames keep the host's input textures", "frame 1: input 0 (texture 2) was deleted"},
        Fault{"InvertBadStatus", "every input count from the minimum to the maximum renders",
              "code 16 (get input status) answers failure for input 2, below the maximum 3"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.plugin); });

// Malformed records are each named on their own check, and the checks after them still run.
TEST_F(Validate, MalformedRecordsFailTheirChecks)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = host({"validate", kPlugins + "/ClearGenBadRecords.so", "--size", "32x32"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const auto checks = checkLines(r.out);
    EXPECT_EQ(checks.size(), 19u) << r.out;
    for (const auto& [check, problem] :
         {std::pair<const char*, const char*>{"information record",
                                              "the unique ID holds the byte 0x01, which is no printable ASCII"},
          {"extended information", "code 13 (get extended info) returned a null pointer"},
          {"parameter table", "parameter 1 (Gr?een): the name holds the control byte 0x07; parameter 2 (Blue) has "
                              "type 42, which is no FFGL 1.5 parameter type"}}) {
        const std::string line = lineOf(checks, check);
        EXPECT_TRUE(startsWith(line, "FAIL  ")) << line;
        EXPECT_NE(line.find(problem), std::string::npos) << line;
    }
    EXPECT_EQ(hostrun::lines(r.out).back(), "19 checks, 16 passed, 3 failed");
}

// What the checks about inputs find in effects that break no rule: each finding is on its check,
// warnings leave the exit status 0.
TEST_F(Validate, EffectsInputFindingsAreNamedOnTheirChecks)
{
    HOSTRUN_REQUIRE_DISPLAY();
    struct Finding {
        const char* check;   // start of the check's name
        const char* outcome; // "PASS  ", "WARN  "
        const char* problem; // part of its line
    };
    struct Case {
        const char* plugin;
        std::vector<Finding> findings;
    };
    const std::vector<Case> cases = {
        {"InvertSampling",
         {{"frames keep the host's input textures", "WARN  ",
           ": frame 1: input 0 (texture 2) has min filter GL_NEAREST (was GL_LINEAR)"}}},
        {"IgnoreInput",
         {{"the effect shows every input", "WARN  ",
           ": the effect ignores its input 0: pattern:card and its negative there give the same frame"}}},
        {"IgnorePadding",
         {{"inputs padded to powers of two", "WARN  ",
           ": with 64x36 pictures in 64x64 textures, "}}},
        // It takes up to three inputs and draws the first.
        {"InvertUpTo3",
         {{"every input count from the minimum to the maximum", "PASS  ", ""},
          {"the effect shows every input", "WARN  ", "ignores its input 1: pattern:bars and"},
          {"inputs padded to powers of two", "PASS  ", ""}}},
    };
    for (const Case& k : cases) {
        const Result r = host({"validate", kPlugins + "/" + k.plugin + ".so", "--size", "64x36"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const auto checks = checkLines(r.out);
        for (const Finding& f : k.findings) {
            const std::string line = lineOf(checks, f.check);
            EXPECT_TRUE(startsWith(line, f.outcome)) << k.plugin << ": " << line;
            EXPECT_NE(line.find(f.problem), std::string::npos) << k.plugin << ": " << line;
        }
        const auto all = hostrun::lines(r.out);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(all.back(), "23 checks, 22 passed, 1 warned") << k.plugin << ":\n" << r.out;
    }
}

TEST_F(Validate, ChecksNeedingTheParameterTableAreSkippedWithoutIt)
{
    HOSTRUN_REQUIRE_DISPLAY();
    const Result r = host({"validate", kPlugins + "/ClearGenFailParameterCount.so", "--size", "16x16"});
    EXPECT_EQ(r.status, 1);
    const auto checks = checkLines(r.out);
    EXPECT_TRUE(startsWith(lineOf(checks, "parameter defaults"), "SKIP  ")) << r.out;
    EXPECT_TRUE(startsWith(lineOf(checks, "values set"), "SKIP  ")) << r.out;
    // Rendering does not depend on the table.
    EXPECT_TRUE(startsWith(lineOf(checks, "frames (code 17)"), "PASS  ")) << r.out;
    const auto out = hostrun::lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_NE(out.back().find(" skipped"), std::string::npos) << out.back();
}

TEST_F(Validate, FilesThatAreNoFfglPluginAreBadInput)
{
    const std::vector<std::vector<std::string>> cases = {
        {"validate", "missing.so"},
        {"validate", kPlugins + "/NotAPlugin.so"},
        {"validate", kPlugins + "/ClearGenNoGL.so"},
        {"validate", kPlugins + "/ClearGen.so", "--size", "0x4"},
    };
    for (const auto& args : cases) {
        const Result r = host(args);
        EXPECT_EQ(r.status, 2) << args[1] << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "") << args[1];
        EXPECT_EQ(hostrun::lines(r.err).size(), 1u) << r.err;
    }
    const Result usage = host({"validate", kPlugins + "/ClearGen.so", "--frames", "3"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage: ffglhost"), std::string::npos) << usage.err;
    EXPECT_TRUE(written().empty());
}

} // namespace
