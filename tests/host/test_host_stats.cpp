// The frame-time summary the render command prints: median and nearest-rank 95th percentile.
#include "frame/Stats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using ffglhost::summarize;

TEST(HostStats, MedianOfOddAndEvenCounts)
{
    EXPECT_DOUBLE_EQ(summarize({5.0, 1.0, 3.0}).medianMs, 3.0);
    EXPECT_DOUBLE_EQ(summarize({4.0, 1.0, 3.0, 2.0}).medianMs, 2.5);
    EXPECT_DOUBLE_EQ(summarize({7.0}).medianMs, 7.0);
}

TEST(HostStats, NinetyFifthPercentileIsNearestRank)
{
    std::vector<double> hundred;
    for (int i = 1; i <= 100; ++i)
        hundred.push_back(i);
    std::shuffle(hundred.begin(), hundred.end(), std::mt19937(7));
    const auto t = summarize(hundred);
    EXPECT_DOUBLE_EQ(t.p95Ms, 95.0);
    EXPECT_DOUBLE_EQ(t.minMs, 1.0);
    EXPECT_DOUBLE_EQ(t.maxMs, 100.0);
    EXPECT_EQ(t.count, 100u);

    // 120 frames (the default): rank ceil(0.95 * 120) = 114.
    std::vector<double> frames;
    for (int i = 1; i <= 120; ++i)
        frames.push_back(i * 0.5);
    EXPECT_DOUBLE_EQ(summarize(frames).p95Ms, 57.0);

    // Few samples: the percentile is the largest, never past the end.
    EXPECT_DOUBLE_EQ(summarize({1.0, 9.0}).p95Ms, 9.0);
    EXPECT_DOUBLE_EQ(summarize({2.0}).p95Ms, 2.0);
}

TEST(HostStats, NoSamplesGiveZeros)
{
    const auto t = summarize({});
    EXPECT_EQ(t.count, 0u);
    EXPECT_EQ(t.medianMs, 0.0);
    EXPECT_EQ(t.p95Ms, 0.0);
}
