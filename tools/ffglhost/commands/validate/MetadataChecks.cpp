// The validator's checks without GL (see MetadataChecks.h).
#include "commands/validate/MetadataChecks.h"

#include "Status.h"
#include "plugin/PluginDescription.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace ffglhost {

namespace {

// FFGL 1.5 parameter types beyond those the record header names.
constexpr uint32_t kTypeRed = 2;
constexpr uint32_t kTypeYPosition = 6;
// Capabilities answered yes (1) or no (0).
constexpr uint32_t kYesNoCapabilities[] = {FF_CAP_16BITVIDEO, FF_CAP_24BITVIDEO, FF_CAP_32BITVIDEO,
                                           FF_CAP_PROCESSFRAMECOPY, FF_CAP_PROCESSOPENGL, FF_CAP_SETTIME};
// Capabilities recorded for the consistency check: every code up to "copy or in place".
constexpr uint32_t kLastCapability = FF_CAP_COPYORINPLACE;
// Longest plug-in text quoted in a message.
constexpr std::size_t kQuotedTextLength = 40;

bool isNullPointer(FFWord w) { return w == 0 || w == FF_FAIL; }

std::string floatText(float v)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
    return buf;
}

std::string wordText(FFWord w) { return w == FF_FAIL ? std::string("failure") : std::to_string(w); }

// A plug-in text for a message: printable, quoted, and cut when long.
std::string quoted(const std::string& text)
{
    const std::string p = printable(text);
    return "\"" + (p.size() > kQuotedTextLength ? p.substr(0, kQuotedTextLength) + "..." : p) + "\"";
}

// The text at `p`, read no further than `capacity` bytes; `terminated` tells whether a NUL came
// within them.
std::string boundedText(const char* p, std::size_t capacity, bool& terminated)
{
    const std::size_t n = strnlen(p, capacity);
    terminated = n < capacity;
    return std::string(p, n);
}

// The first byte of `text` that is a control character, or -1.
int controlByte(const std::string& text)
{
    for (char ch : text) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u == 0x7F)
            return u;
    }
    return -1;
}

std::string byteText(int b)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

std::string parameterLabel(uint32_t index, const std::string& name)
{
    return "parameter " + std::to_string(index) + (name.empty() ? "" : " (" + printable(name) + ")");
}

// Every answer of the instance-less codes, as (what was asked, what came back) in asking order,
// for comparing the answers of separate rounds.
using Facts = std::vector<std::pair<std::string, std::string>>;

Facts gatherFacts(const Plugin& plugin)
{
    Facts f;
    bool terminated = false;
    const FFWord info = plugin.call(FF_GETINFO, 0, 0);
    if (isNullPointer(info)) {
        f.emplace_back("code 0 (get info)", "a null pointer");
    } else {
        PluginInfoStructTag r;
        std::memcpy(&r, reinterpret_cast<const void*>(info), sizeof r);
        f.emplace_back("code 0 (get info)",
                       "API " + std::to_string(r.APIMajorVersion) + "." + std::to_string(r.APIMinorVersion) + ", ID " +
                           quoted(std::string(r.PluginUniqueID, strnlen(r.PluginUniqueID, FF_UNIQUE_ID_SIZE))) +
                           ", name " + quoted(std::string(r.PluginName, strnlen(r.PluginName, FF_PLUGIN_NAME_SIZE))) +
                           ", type " + std::to_string(r.PluginType));
    }
    const FFWord ext = plugin.call(FF_GETEXTENDEDINFO, 0, 0);
    if (isNullPointer(ext)) {
        f.emplace_back("code 13 (get extended info)", "a null pointer");
    } else {
        PluginExtendedInfoStructTag r;
        std::memcpy(&r, reinterpret_cast<const void*>(ext), sizeof r);
        const std::string description =
            r.Description != nullptr ? quoted(boundedText(r.Description, kMaxPluginTextLength, terminated)) : "null";
        const std::string about =
            r.About != nullptr ? quoted(boundedText(r.About, kMaxPluginTextLength, terminated)) : "null";
        f.emplace_back("code 13 (get extended info)",
                       "version " + std::to_string(r.PluginMajorVersion) + "." + std::to_string(r.PluginMinorVersion) +
                           ", description " + description + ", about " + about + ", data size " +
                           std::to_string(r.FreeFrameExtendedDataSize));
    }
    for (uint32_t cap = 0; cap <= kLastCapability; ++cap)
        f.emplace_back("capability " + std::to_string(cap), wordText(plugin.capability(cap)));

    const FFWord count = plugin.call(FF_GETNUMPARAMETERS, 0, 0);
    f.emplace_back("code 4 (get parameter count)", wordText(count));
    if (count == FF_FAIL || count > kMaxParameters)
        return f;
    for (uint32_t i = 0; i < static_cast<uint32_t>(count); ++i) {
        const std::string who = " of parameter " + std::to_string(i);
        const FFWord name = plugin.call(FF_GETPARAMETERNAME, i, 0);
        f.emplace_back("code 5 (name)" + who,
                       isNullPointer(name)
                           ? std::string("a null pointer")
                           : quoted(boundedText(reinterpret_cast<const char*>(name), FF_PARAM_NAME_SIZE, terminated)));
        const FFWord type = plugin.call(FF_GETPARAMETERTYPE, i, 0);
        f.emplace_back("code 15 (type)" + who, wordText(type));
        if (type == FF_TYPE_BUFFER)
            continue;
        const FFWord def = plugin.call(FF_GETPARAMETERDEFAULT, i, 0);
        if (type == FF_TYPE_TEXT)
            f.emplace_back("code 6 (default)" + who,
                           isNullPointer(def) ? std::string("a null pointer")
                                              : quoted(boundedText(reinterpret_cast<const char*>(def),
                                                                   kMaxPluginTextLength, terminated)));
        else
            f.emplace_back("code 6 (default)" + who, def == FF_FAIL ? "failure" : floatText(floatOfWord(def)));
    }
    return f;
}

// Failures for every answer that differs between two rounds.
void compareFacts(const Facts& first, const Facts& again, const std::string& when, Check& c)
{
    const std::size_t n = first.size() < again.size() ? first.size() : again.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (first[i].first != again[i].first) {
            c.fail("the answers stop matching at " + again[i].first + " " + when);
            return;
        }
        if (first[i].second != again[i].second)
            c.fail(first[i].first + " answered " + first[i].second + ", then " + again[i].second + " " + when);
    }
    if (first.size() != again.size())
        c.fail("the table has " + std::to_string(first.size()) + " answers, then " + std::to_string(again.size()) +
               " " + when);
}

void checkText(const char* text, const char* what, Check& c)
{
    if (text == nullptr) {
        c.warn(std::string("the ") + what + " is a null pointer, not a text");
        return;
    }
    bool terminated = false;
    (void)boundedText(text, kMaxPluginTextLength, terminated);
    if (!terminated)
        c.fail(std::string("the ") + what + " is not terminated within " + std::to_string(kMaxPluginTextLength) +
               " bytes");
}

void readEntry(const Plugin& plugin, uint32_t i, ParameterEntry& e, Check& c)
{
    e.index = i;
    e.label = parameterLabel(i, "");
    const FFWord name = plugin.call(FF_GETPARAMETERNAME, i, 0);
    if (isNullPointer(name)) {
        c.fail(e.label + ": code 5 (get parameter name) returned a null pointer");
        return;
    }
    bool terminated = false;
    const std::string text = boundedText(reinterpret_cast<const char*>(name), FF_PARAM_NAME_SIZE, terminated);
    if (text.empty()) {
        c.fail(e.label + " has an empty name");
        return;
    }
    e.label = parameterLabel(i, text);
    if (const int b = controlByte(text); b >= 0) {
        c.fail(e.label + ": the name holds the control byte " + byteText(b));
        return;
    }
    const FFWord type = plugin.call(FF_GETPARAMETERTYPE, i, 0);
    if (type == FF_FAIL) {
        c.fail(e.label + ": code 15 (get parameter type) returned failure");
        return;
    }
    if (!isKnownParameterType(static_cast<uint32_t>(type))) {
        c.fail(e.label + " has type " + std::to_string(type) + ", which is no FFGL 1.5 parameter type");
        return;
    }
    e.type = static_cast<uint32_t>(type);
    if (e.type != FF_TYPE_BUFFER) {
        const FFWord def = plugin.call(FF_GETPARAMETERDEFAULT, i, 0);
        if (e.type == FF_TYPE_TEXT) {
            if (isNullPointer(def)) {
                c.fail(e.label + ": code 6 (get parameter default) returned a null pointer for its default text");
                return;
            }
            e.defaultText = boundedText(reinterpret_cast<const char*>(def), kMaxPluginTextLength, terminated);
            if (!terminated) {
                c.fail(e.label + ": the default text is not terminated within " +
                       std::to_string(kMaxPluginTextLength) + " bytes");
                return;
            }
        } else if (def == FF_FAIL) {
            c.fail(e.label + ": code 6 (get parameter default) returned failure");
            return;
        } else {
            e.defaultValue = floatOfWord(def);
        }
    }
    e.usable = true;
}

} // namespace

bool isKnownParameterType(uint32_t type)
{
    return type == FF_TYPE_BOOLEAN || type == FF_TYPE_EVENT || (type >= kTypeRed && type <= kTypeYPosition) ||
           type == FF_TYPE_STANDARD || type == FF_TYPE_OPTION || type == FF_TYPE_BUFFER || type == FF_TYPE_TEXT;
}

uint32_t inputFrames(FFWord answer)
{
    if (answer == FF_FAIL)
        return 0;
    return answer > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(answer);
}

bool takesUnitValue(uint32_t type)
{
    return isKnownParameterType(type) && type != FF_TYPE_OPTION && type != FF_TYPE_BUFFER && type != FF_TYPE_TEXT;
}

void checkInfoRecord(const Plugin& plugin, Check& c)
{
    const FFWord w = plugin.call(FF_GETINFO, 0, 0);
    if (isNullPointer(w)) {
        c.fail("code 0 (get info) returned a null pointer");
        return;
    }
    PluginInfoStructTag r;
    std::memcpy(&r, reinterpret_cast<const void*>(w), sizeof r);
    if (r.APIMajorVersion != 1)
        c.fail("FFGL API " + std::to_string(r.APIMajorVersion) + "." + std::to_string(r.APIMinorVersion) +
               " is not 1.x");
    const std::string id(r.PluginUniqueID, strnlen(r.PluginUniqueID, FF_UNIQUE_ID_SIZE));
    if (id.empty())
        c.fail("the unique ID is empty");
    for (char ch : id) {
        const unsigned char u = static_cast<unsigned char>(ch);
        if (u < 0x20 || u > 0x7E) {
            c.fail("the unique ID holds the byte " + byteText(u) + ", which is no printable ASCII character");
            break;
        }
    }
    const std::size_t nameLength = strnlen(r.PluginName, FF_PLUGIN_NAME_SIZE);
    const std::string name(r.PluginName, nameLength);
    if (name.empty())
        c.fail("the plug-in name is empty");
    if (const int b = controlByte(name); b >= 0)
        c.fail("the plug-in name holds the control byte " + byteText(b));
    for (std::size_t i = nameLength; i < static_cast<std::size_t>(FF_PLUGIN_NAME_SIZE); ++i) {
        if (r.PluginName[i] != '\0') {
            c.warn("the plug-in name field is not NUL-padded after the name");
            break;
        }
    }
    if (r.PluginType != FF_EFFECT && r.PluginType != FF_SOURCE)
        c.fail("plug-in type " + std::to_string(r.PluginType) + " is neither effect (0) nor source (1)");
}


void checkExtendedInfo(const Plugin& plugin, Check& c)
{
    const FFWord w = plugin.call(FF_GETEXTENDEDINFO, 0, 0);
    if (isNullPointer(w)) {
        c.fail("code 13 (get extended info) returned a null pointer");
        return;
    }
    PluginExtendedInfoStructTag r;
    std::memcpy(&r, reinterpret_cast<const void*>(w), sizeof r);
    checkText(r.Description, "description", c);
    checkText(r.About, "about text", c);
    if (r.FreeFrameExtendedDataSize > 0 && r.FreeFrameExtendedDataBlock == nullptr)
        c.fail("the extended data size is " + std::to_string(r.FreeFrameExtendedDataSize) +
               " bytes but the data block is a null pointer");
}

void checkInitialise(Plugin& plugin, Check& c)
{
    const char* const rounds[] = {"", " (after code 2)"};
    for (const char* round : rounds) {
        if (!plugin.initialise().ok()) {
            c.fail(std::string("code 1 (initialise) returned failure") + round);
            return;
        }
        if (*round == '\0' && !plugin.deInitialise().ok())
            c.fail("code 2 (de-initialise) returned failure");
    }
}

void checkCapabilities(const Plugin& plugin, Check& c, ValidatedMetadata& out)
{
    for (uint32_t cap : kYesNoCapabilities) {
        const FFWord a = plugin.capability(cap);
        if (a != 0 && a != 1)
            c.fail("capability " + std::to_string(cap) + " answers " + wordText(a) + " (expected 0 or 1)");
    }
    const uint32_t codes[2] = {FF_CAP_MINIMUMINPUTFRAMES, FF_CAP_MAXIMUMINPUTFRAMES};
    uint32_t counts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const FFWord a = plugin.capability(codes[i]);
        if (a == FF_FAIL)
            c.warn("capability " + std::to_string(codes[i]) + " (input frames) answers failure, counted as 0");
        counts[i] = inputFrames(a);
    }
    out.minInputs = counts[0];
    out.maxInputs = counts[1];
    if (out.minInputs > out.maxInputs)
        c.fail("the minimum of " + std::to_string(out.minInputs) + " input frames is more than the maximum of " +
               std::to_string(out.maxInputs));
    if (out.minInputs > kMaxValidatedInputs)
        c.fail("it needs " + std::to_string(out.minInputs) + " input frames; this host supplies at most " +
               std::to_string(kMaxValidatedInputs));
}


void checkTable(const Plugin& plugin, Check& c, ValidatedMetadata& out)
{
    const FFWord count = plugin.call(FF_GETNUMPARAMETERS, 0, 0);
    if (count == FF_FAIL) {
        c.fail("code 4 (get parameter count) returned failure");
        return;
    }
    if (count > kMaxParameters) {
        c.fail("code 4 (get parameter count) answers " + std::to_string(count) + ", more than the " +
               std::to_string(kMaxParameters) + " a host accepts");
        return;
    }
    out.tableRead = true;
    out.parameters.resize(static_cast<std::size_t>(count));
    for (uint32_t i = 0; i < static_cast<uint32_t>(count); ++i)
        readEntry(plugin, i, out.parameters[i], c);
}

void checkDefaults(const ValidatedMetadata& m, Check& c)
{
    if (!m.tableRead) {
        c.skip("the parameter table could not be read");
        return;
    }
    for (const ParameterEntry& e : m.parameters) {
        if (!e.usable || !takesUnitValue(e.type))
            continue;
        if (!(e.defaultValue >= 0.f && e.defaultValue <= 1.f))
            c.fail(e.label + " default " + floatText(e.defaultValue) + " is outside 0..1");
    }
}

void checkConsistency(Plugin& plugin, Check& c)
{
    const Facts first = gatherFacts(plugin);
    compareFacts(first, gatherFacts(plugin), "when asked again", c);
    if (!plugin.deInitialise().ok())
        c.fail("code 2 (de-initialise) returned failure");
    else if (!plugin.initialise().ok())
        c.fail("code 1 (initialise) returned failure after code 2");
    else
        compareFacts(first, gatherFacts(plugin), "after codes 2 and 1", c);
}

} // namespace ffglhost
