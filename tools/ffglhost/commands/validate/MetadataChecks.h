// The validator's checks that need no GL context: the plug-in's identity records (codes 0 and
// 13), initialisation (codes 1 and 2), capabilities (code 10), the parameter table (codes 4,
// 5, 15 and 6) and its defaults, and whether all of these answer the same on every call. They
// read the plug-in's answers raw, through its entry point, so that a text without terminator
// or a stray byte is seen before any copy tidies it up.
//
// One thread; no GL context needed.
#pragma once

#include "commands/validate/Check.h"
#include "plugin/PluginLoader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ffglhost {

// Most input frames the validator hands an effect.
constexpr uint32_t kMaxValidatedInputs = 4;

// One row of the parameter table as the checks read it.
struct ParameterEntry {
    uint32_t index = 0;
    std::string label;        // "parameter 2 (Blue)", printable
    uint32_t type = 0;
    float defaultValue = 0.f; // types with a float default
    std::string defaultText;  // text parameters
    bool usable = false;      // name, type and default all read back well
};

// What the metadata checks learnt, for the checks that follow.
struct ValidatedMetadata {
    std::string name; // printable
    std::string uniqueId; // printable
    uint32_t type = 0;
    uint32_t minInputs = 0;
    uint32_t maxInputs = 0;
    bool tableRead = false; // code 4 gave a count the host accepts
    std::vector<ParameterEntry> parameters;
};

// The checks, one function per check (the table and its defaults are read together), in the
// order the validator runs them. Each notes what it finds in its Check; those given
// ValidatedMetadata fill it for the checks that follow.
void checkInfoRecord(const Plugin& plugin, Check& c);
void checkExtendedInfo(const Plugin& plugin, Check& c);
// Codes 1, 2 and 1 again: the plug-in is left initialised when it can be.
void checkInitialise(Plugin& plugin, Check& c);
void checkCapabilities(const Plugin& plugin, Check& c, ValidatedMetadata& out);
void checkTable(const Plugin& plugin, Check& c, ValidatedMetadata& out);
void checkDefaults(const ValidatedMetadata& m, Check& c);
// Every instance-less answer twice, then again after codes 2 and 1.
void checkConsistency(Plugin& plugin, Check& c);

// The FFGL 1.5 parameter types: boolean, event, red, green, blue, x and y position, standard,
// option, buffer and text.
bool isKnownParameterType(uint32_t type);
// An answer of capability 10 or 11 as a count of input frames: failure counts as none.
uint32_t inputFrames(FFWord answer);
// Types whose value travels as a float in 0..1 (all but option, buffer and text).
bool takesUnitValue(uint32_t type);
// Types whose default and value are texts.
inline bool isTextType(uint32_t type) { return type == FF_TYPE_TEXT; }

} // namespace ffglhost
