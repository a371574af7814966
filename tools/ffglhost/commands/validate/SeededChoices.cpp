// Seeded choices of the validator (see SeededChoices.h).
#include "commands/validate/SeededChoices.h"

#include <random>

namespace ffglhost {

namespace {

// What a stream of choices is for: part of its generator's seed.
enum Purpose : uint32_t { kUnitValues = 1, kOutsideValues = 2 };

std::vector<uint32_t> words(uint32_t seed, uint32_t purpose, uint32_t index, std::size_t count)
{
    std::seed_seq sequence{seed, purpose, index};
    std::mt19937 generator(sequence);
    std::vector<uint32_t> out(count);
    for (uint32_t& w : out)
        w = static_cast<uint32_t>(generator());
    return out;
}

} // namespace

std::vector<float> SeededChoices::unitValues(uint32_t index, std::size_t count) const
{
    std::vector<float> out;
    for (uint32_t w : words(seed_, kUnitValues, index, count))
        out.push_back(static_cast<float>(w % 1023u + 1u) / 1024.f); // 1/1024 .. 1023/1024
    return out;
}

std::vector<float> SeededChoices::outsideValues(std::size_t count) const
{
    std::vector<float> out;
    std::size_t i = 0;
    for (uint32_t w : words(seed_, kOutsideValues, 0, count)) {
        const float step = static_cast<float>(w % 4096u + 1u) / 16.f; // 1/16 .. 256
        out.push_back(i++ % 2 == 0 ? 1.f + step : -step);
    }
    return out;
}

} // namespace ffglhost
