// The validator's checks in the order they are reported, and the steps that compute them: a
// step is one or more checks computed together (the frames, the matrices and the attributes
// they leave come from the same frames). A validation runs the steps in order; when a plug-in
// takes the process down in one step, the supervisor reports that step's checks and carries on
// with the next step in a fresh process (ValidateCommand.h).
//
// Some checks are about input textures and apply to effects alone: plug-ins whose maximum input
// count (capability 11) is above 0. For any other plug-in they are neither run nor reported nor
// counted, and a step made of them alone is passed over.
//
// Constant tables; any thread.
#pragma once

#include <cstddef>
#include <string>

namespace ffglhost {

enum class CheckId : int {
    Info,
    Extended,
    Initialise,
    Capabilities,
    Table,
    Defaults,
    Consistent,
    Cycles,
    PastTable,
    NewDefaults,
    Values,
    Display,
    Frames,
    Transform,
    Attributes,
    InputsKept,
    Flood,
    SideBySide,
    InputCounts,
    PaddedInputs,
    UsesInputs,
    Destroy,
    Deinitialise,
};
constexpr int kCheckCount = static_cast<int>(CheckId::Deinitialise) + 1;

struct StepPlan {
    CheckId first;      // its checks are first .. first + checks - 1
    int checks;
    bool needsInstance; // runs on the instance the instance checks share
};

// In order; every check belongs to exactly one step.
constexpr StepPlan kSteps[] = {
    {CheckId::Info, 1, false},         {CheckId::Extended, 1, false},    {CheckId::Initialise, 1, false},
    {CheckId::Capabilities, 1, false}, {CheckId::Table, 2, false},       {CheckId::Consistent, 1, false},
    {CheckId::Cycles, 1, false},       {CheckId::PastTable, 1, true},    {CheckId::NewDefaults, 1, true},
    {CheckId::Values, 2, true},        {CheckId::Frames, 4, true},       {CheckId::Flood, 1, true},
    {CheckId::SideBySide, 1, false},   {CheckId::InputCounts, 1, false}, {CheckId::PaddedInputs, 1, false},
    {CheckId::UsesInputs, 1, false},   {CheckId::Destroy, 1, true},      {CheckId::Deinitialise, 1, false},
};
constexpr int kStepCount = static_cast<int>(sizeof kSteps / sizeof kSteps[0]);
// The step whose last part creates the instance the later instance checks share.
constexpr int kInstanceStep = 6;

// What the check makes sure of, as its line names it.
std::string checkName(CheckId check);
inline std::string checkName(int check) { return checkName(static_cast<CheckId>(check)); }
// The check's stable machine name in reports ("input-textures-kept"): lower case words joined by
// '-', unique, never changed once published (a CI server keys its history on it).
const char* checkId(CheckId check);
inline const char* checkId(int check) { return checkId(static_cast<CheckId>(check)); }
// The step a check belongs to.
int stepOf(int check);
// Whether a check is about input textures, for effects alone (see above).
bool forEffectsOnly(int check);
// Whether step `step` has a check that applies, given whether the plug-in is an effect.
bool stepApplies(int step, bool effect);

} // namespace ffglhost
