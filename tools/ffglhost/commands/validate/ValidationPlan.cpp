// The validator's checks and steps (see ValidationPlan.h).
#include "commands/validate/ValidationPlan.h"

#include "commands/validate/InstanceChecks.h"

#include "FFGLPluginSDK.h"

namespace ffglhost {

namespace {

// The steps cover the checks in order, each exactly once.
constexpr bool stepsCoverChecks()
{
    int next = 0;
    for (const StepPlan& s : kSteps) {
        if (static_cast<int>(s.first) != next || s.checks < 1)
            return false;
        next += s.checks;
    }
    return next == kCheckCount;
}
static_assert(stepsCoverChecks(), "every check belongs to exactly one step, in order");
static_assert(kSteps[kInstanceStep].first == CheckId::Cycles, "the shared instance is made by the cycles step");

} // namespace

std::string checkName(CheckId check)
{
    switch (check) {
    case CheckId::Info: return "information record (code 0) is well-formed";
    case CheckId::Extended: return "extended information (code 13) is well-formed";
    case CheckId::Initialise: return "initialise and de-initialise (codes 1, 2) succeed, also again";
    case CheckId::Capabilities: return "capabilities (code 10) answer 0 or 1, input frames min <= max";
    case CheckId::Table: return "parameter table (codes 4, 5, 15, 6) reads completely";
    case CheckId::Defaults: return "parameter defaults lie within 0..1";
    case CheckId::Consistent: return "identity, capabilities and parameter table answer the same on every call";
    case CheckId::Cycles:
        return "instances created and destroyed " + std::to_string(kInstanceCycles) +
               " times (codes 18, 19) leave no GL error or state change";
    case CheckId::PastTable: return "parameter indices past the table are refused (codes 5, 6, 15, 8, 9)";
    case CheckId::NewDefaults: return "a new instance reads back the defaults (code 9)";
    case CheckId::Values: return "values set (code 8) read back (code 9) as set, within 0..1";
    case CheckId::Display:
        return "display texts (code 7) are present and terminated within " + std::to_string(FF_DISPLAY_VALUE_SIZE) +
               " bytes";
    case CheckId::Frames: return "frames (code 17) succeed and leave no GL error pending";
    case CheckId::Transform: return "frames keep the host's matrices, matrix mode and stack depths";
    case CheckId::Attributes: return "frames keep the host's GL attributes, texture and framebuffer bindings";
    case CheckId::InputsKept:
        return "frames keep the host's input textures: not deleted, same size, format, content and sampling";
    case CheckId::Flood: return "a flood of extreme values (NaN, +-inf, +-3e38, -0.5) leaves the plug-in working";
    case CheckId::SideBySide:
        return std::to_string(kSideBySideInstances) +
               " instances rendering alternately keep their own values and the host's state";
    case CheckId::InputCounts:
        return "every input count from the minimum to the maximum renders, and code 16 (get input status) agrees";
    case CheckId::PaddedInputs:
        return "inputs padded to powers of two (hardware size in the record) render like exact ones";
    case CheckId::UsesInputs: return "the effect shows every input: another picture in one slot gives another frame";
    case CheckId::Destroy: return "the instance the checks shared is destroyed cleanly at the end (code 19)";
    case CheckId::Deinitialise: return "de-initialise (code 2) succeeds at the end and the library unloads";
    }
    return "unknown check";
}

const char* checkId(CheckId check)
{
    switch (check) {
    case CheckId::Info: return "info-record";
    case CheckId::Extended: return "extended-info";
    case CheckId::Initialise: return "initialise";
    case CheckId::Capabilities: return "capabilities";
    case CheckId::Table: return "parameter-table";
    case CheckId::Defaults: return "parameter-defaults";
    case CheckId::Consistent: return "consistency";
    case CheckId::Cycles: return "instance-cycles";
    case CheckId::PastTable: return "indices-past-table";
    case CheckId::NewDefaults: return "new-instance-defaults";
    case CheckId::Values: return "values-read-back";
    case CheckId::Display: return "display-texts";
    case CheckId::Frames: return "frames";
    case CheckId::Transform: return "transform-state";
    case CheckId::Attributes: return "attributes-kept";
    case CheckId::InputsKept: return "input-textures-kept";
    case CheckId::Flood: return "flood";
    case CheckId::SideBySide: return "side-by-side";
    case CheckId::InputCounts: return "input-counts";
    case CheckId::PaddedInputs: return "padded-inputs";
    case CheckId::UsesInputs: return "every-input-shows";
    case CheckId::Destroy: return "destroy";
    case CheckId::Deinitialise: return "deinitialise";
    }
    return "unknown";
}

int stepOf(int check)
{
    for (int s = 0; s < kStepCount; ++s) {
        const int first = static_cast<int>(kSteps[s].first);
        if (check >= first && check < first + kSteps[s].checks)
            return s;
    }
    return -1;
}

bool forEffectsOnly(int check)
{
    switch (static_cast<CheckId>(check)) {
    case CheckId::InputsKept:
    case CheckId::InputCounts:
    case CheckId::PaddedInputs:
    case CheckId::UsesInputs: return true;
    default: return false;
    }
}

bool stepApplies(int step, bool effect)
{
    const int first = static_cast<int>(kSteps[step].first);
    for (int c = first; c < first + kSteps[step].checks; ++c)
        if (effect || !forEffectsOnly(c))
            return true;
    return false;
}

} // namespace ffglhost
