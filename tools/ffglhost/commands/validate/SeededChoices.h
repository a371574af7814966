// The validator's choices that come from its seed (validate --seed): the values in 0..1 the
// values check tries on each parameter besides its fixed ones, and the values outside 0..1 the
// flood sends besides its fixed extremes. Nothing else the validator does is left to chance.
//
// Every choice is a function of the seed, of what it is for and of the parameter alone, never of
// the choices made before it, so that a fresh worker that starts in the middle of a validation
// (after a crash) chooses what the first one would have. std::seed_seq and std::mt19937 are
// defined bit for bit by the C++ standard, and the values are made from the generator's raw
// words, so a seed gives the same values with every compiler and on every platform. The values
// are multiples of 1/1024 (1/16 outside 0..1): exact in a float and short in messages.
//
// Plain value type; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ffglhost {

class SeededChoices {
public:
    explicit SeededChoices(uint32_t seed) : seed_(seed) {}

    uint32_t seed() const { return seed_; }
    // `count` values strictly between 0 and 1 for parameter `index` (values check).
    std::vector<float> unitValues(uint32_t index, std::size_t count) const;
    // `count` finite values outside 0..1, from -256 to 257, each sign in turn (flood).
    std::vector<float> outsideValues(std::size_t count) const;

private:
    uint32_t seed_;
};

} // namespace ffglhost
