// The validator's input sources (see ValidationInputs.h).
#include "commands/validate/ValidationInputs.h"

#include "inputs/PatternInput.h"

namespace ffglhost {

namespace {

// Still pictures that differ from each other in colour and layout.
const Pattern kDefaultPatterns[] = {Pattern::Card, Pattern::Bars, Pattern::Grey};
constexpr std::size_t kDefaultPatternCount = sizeof kDefaultPatterns / sizeof kDefaultPatterns[0];

} // namespace

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
