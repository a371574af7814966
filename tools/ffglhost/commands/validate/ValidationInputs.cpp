// The validator's input sources (see ValidationInputs.h).
#include "commands/validate/ValidationInputs.h"

#include "frame/Stage.h"
#include "inputs/InputFactory.h"
#include "inputs/PatternInput.h"

namespace ffglhost {

namespace {

// Still pictures that differ from each other in colour and layout.
const Pattern kDefaultPatterns[] = {Pattern::Card, Pattern::Bars, Pattern::Grey};
constexpr std::size_t kDefaultPatternCount = sizeof kDefaultPatterns / sizeof kDefaultPatterns[0];

} // namespace

Status inputFactories(const std::vector<std::string>& sources, InputSourceFactories& out)
{
    out.clear();
    for (std::size_t slot = 0; slot < sources.size(); ++slot) {
        const std::string& source = sources[slot];
        InputKind kind = InputKind::Pattern;
        const Status s = classifyInput(source, kind);
        if (!s.ok())
            return s;
        if (kind == InputKind::Plugin) {
            out.push_back([source, slot] {
                StagePlan plan;
                plan.role = StageRole::Input;
                plan.path = source;
                return std::make_unique<Stage>(std::move(plan), nullptr, "input " + std::to_string(slot));
            });
        } else {
            out.push_back([source, kind] {
                std::unique_ptr<InputSource> made;
                return makeInputSource(source, kind, made).ok() ? std::move(made) : nullptr;
            });
        }
    }
    return Status();
}

InputSourceFactories slotSources(const InputSourceFactories& given, std::size_t slots)
{
    InputSourceFactories out;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        if (slot < given.size() && given[slot]) {
            out.push_back(given[slot]);
        } else {
            const Pattern p = kDefaultPatterns[slot % kDefaultPatternCount];
            out.push_back([p] { return std::make_unique<PatternInput>(p); });
        }
    }
    return out;
}

} // namespace ffglhost
