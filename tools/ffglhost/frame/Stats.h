// Summary statistics of the per-frame times the render command measures. Plain values; any
// thread.
#pragma once

#include <cstddef>
#include <vector>

namespace ffglhost {

struct TimingSummary {
    std::size_t count = 0;
    double medianMs = 0.0; // mean of the two middle samples for an even count
    double p95Ms = 0.0;    // nearest rank: the smallest sample not below 95 % of all samples
    double minMs = 0.0;
    double maxMs = 0.0;
};

// All zero for no samples.
TimingSummary summarize(std::vector<double> samplesMs);

// The nearest-rank percentile `p` (0 < p <= 100) of `sorted` (ascending, not empty).
double percentile(const std::vector<double>& sorted, double p);

} // namespace ffglhost
