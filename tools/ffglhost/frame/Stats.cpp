// Frame-time statistics (see Stats.h).
#include "frame/Stats.h"

#include <algorithm>
#include <cmath>

namespace ffglhost {

double percentile(const std::vector<double>& sorted, double p)
{
    const double rank = std::ceil(p / 100.0 * static_cast<double>(sorted.size()));
    const std::size_t i = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
    return sorted[std::min(i, sorted.size() - 1)];
}

TimingSummary summarize(std::vector<double> samplesMs)
{
    TimingSummary t;
    if (samplesMs.empty())
        return t;
    std::sort(samplesMs.begin(), samplesMs.end());
    const std::size_t n = samplesMs.size();
    t.count = n;
    t.medianMs = n % 2 == 1 ? samplesMs[n / 2] : (samplesMs[n / 2 - 1] + samplesMs[n / 2]) / 2.0;
    t.p95Ms = percentile(samplesMs, 95.0);
    t.minMs = samplesMs.front();
    t.maxMs = samplesMs.back();
    return t;
}

} // namespace ffglhost
