// The Quorus neighbour search against the plain definition it must reproduce exactly: for each
// particle i, every other particle j in ascending order, the single-precision distance
// sqrt((dx^2 + dy^2) + dz^2) with dx = x_i - x_j, kept when strictly below the reach; and the
// three nearest as sorting the whole array would give them, ties in ascending index.
// No GL: only the particles' positions and neighbour arrays are used.
#include "../../Source/FFGLPlugins/Quorus/Ball.cpp"
#include "../../Source/FFGLPlugins/Quorus/NeighbourSearch.cpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using Neighbours = std::vector<Ball::Neighbour>;

std::vector<Ball> fieldOf(const std::vector<KXMath::Vec3>& positions)
{
    std::vector<Ball> balls;
    for (const KXMath::Vec3& p : positions)
        balls.emplace_back(p, 0.1f, 0u);
    return balls;
}

// The definition, one particle at a time.
Neighbours plainSearch(const std::vector<Ball>& balls, int i, int count, float reach)
{
    Neighbours found;
    const KXMath::Vec3 a = balls[i].position;
    for (int j = 0; j < count; ++j) {
        if (j == i)
            continue;
        const KXMath::Vec3 b = balls[j].position;
        const float dx = a.x - b.x;
        const float dy = a.y - b.y;
        const float dz = a.z - b.z;
        const float d = std::sqrt((dx * dx + dy * dy) + dz * dz);
        if (d < reach)
            found.emplace_back(d, j);
    }
    return found;
}

// Same pairs, the distances compared bit for bit.
bool sameBits(const Neighbours& a, const Neighbours& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k].second != b[k].second || std::memcmp(&a[k].first, &b[k].first, sizeof(float)) != 0)
            return false;
    return true;
}

void expectSameAsPlain(std::vector<Ball>& balls, int count, float reach, const char* what)
{
    NeighbourSearch search;
    search.find(balls, count, reach);
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(sameBits(balls[i].neighbours, plainSearch(balls, i, count, reach)))
            << what << ": particle " << i << " of " << count << ", reach " << reach << ", "
            << balls[i].neighbours.size() << " found";
}

TEST(NeighbourSearch, MatchesThePlainSearchOnRandomFields)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> plane(-45.0f, 45.0f);
    std::uniform_real_distribution<float> depth(0.0f, 100.0f);
    // Counts around the block size and up to the whole field; reaches from none to most pairs.
    for (int count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 150, 399, 400}) {
        std::vector<KXMath::Vec3> positions;
        for (int k = 0; k < count + 3; ++k) // a few inactive particles beyond the count
            positions.emplace_back(plane(rng), plane(rng) * 0.56f, depth(rng));
        for (float reach : {0.0f, 10.0f, 40.0f, 1000.0f}) {
            std::vector<Ball> balls = fieldOf(positions);
            expectSameAsPlain(balls, count, reach, "random");
            for (std::size_t k = static_cast<std::size_t>(count); k < balls.size(); ++k)
                EXPECT_TRUE(balls[k].neighbours.empty()) << "inactive particle " << k;
        }
    }
}

// Whole-number positions give equal distances and coinciding particles (distance 0).
TEST(NeighbourSearch, TiesAndCoincidingParticles)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> cell(-3, 3);
    std::vector<KXMath::Vec3> positions;
    for (int k = 0; k < 61; ++k)
        positions.emplace_back(static_cast<float>(cell(rng)), static_cast<float>(cell(rng)),
                               static_cast<float>(cell(rng)));
    for (float reach : {1.0f, std::sqrt(2.0f), 3.0f, 5.0f}) {
        std::vector<Ball> balls = fieldOf(positions);
        expectSameAsPlain(balls, 61, reach, "lattice");
    }
    // A reach exactly at a distance excludes it: the comparison is strict.
    std::vector<Ball> pair = fieldOf({{0, 0, 0}, {3, 4, 0}, {0, 0, 5.5f}});
    NeighbourSearch search;
    search.find(pair, 3, 5.0f);
    EXPECT_TRUE(pair[0].neighbours.empty());
    search.find(pair, 3, std::nextafter(5.0f, 6.0f));
    EXPECT_EQ(pair[0].neighbours, (Neighbours{{5.0f, 1}}));
    EXPECT_EQ(pair[1].neighbours, (Neighbours{{5.0f, 0}}));
}

TEST(NeighbourSearch, UnusualReachesAndPositionsFindNothingUnreachable)
{
    std::vector<KXMath::Vec3> positions = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 3}, {1, 1, 1}};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float reach : {-1.0f, nan, inf}) {
        std::vector<Ball> balls = fieldOf(positions);
        expectSameAsPlain(balls, 5, reach, "reach");
    }
    // A particle that is not a number is within reach of nothing; an infinitely far one neither.
    positions[2] = {nan, 0, 0};
    positions[3] = {inf, 0, 0};
    std::vector<Ball> balls = fieldOf(positions);
    expectSameAsPlain(balls, 5, 100.0f, "non-finite positions");
    EXPECT_TRUE(balls[2].neighbours.empty());
    EXPECT_TRUE(balls[3].neighbours.empty());
}

TEST(NeighbourSearch, ReplacesWhatTheArraysHeldAndKeepsTheirStorage)
{
    std::vector<Ball> balls = fieldOf({{0, 0, 0}, {1, 0, 0}, {50, 0, 0}});
    for (Ball& b : balls) {
        b.neighbours.reserve(8);
        b.neighbours.emplace_back(0.5f, 9);
    }
    const Ball::Neighbour* storage = balls[0].neighbours.data();
    NeighbourSearch search;
    search.reserve(3);
    search.find(balls, 2, 10.0f);
    EXPECT_EQ(balls[0].neighbours, (Neighbours{{1.0f, 1}}));
    EXPECT_EQ(balls[1].neighbours, (Neighbours{{1.0f, 0}}));
    EXPECT_EQ(static_cast<const void*>(balls[0].neighbours.data()), static_cast<const void*>(storage));
    // Beyond the count: untouched. A count above the field is limited to it.
    EXPECT_EQ(balls[2].neighbours, (Neighbours{{0.5f, 9}}));
    search.find(balls, 10, 100.0f);
    EXPECT_EQ(balls[2].neighbours, (Neighbours{{50.0f, 0}, {49.0f, 1}}));
}

TEST(NearestThree, SameAsTheFirstThreeOfAFullSort)
{
    std::mt19937 rng(3);
    // Few distinct distances, so that most choices are decided by the index.
    std::uniform_int_distribution<int> distance(0, 4);
    for (int size : {3, 4, 5, 8, 40, 399}) {
        for (int round = 0; round < 200; ++round) {
            Neighbours n;
            for (int j = 0; j < size; ++j)
                n.emplace_back(static_cast<float>(distance(rng)) * 0.5f, j);
            if (round % 2 == 1) // not in index order either
                std::shuffle(n.begin(), n.end(), rng);
            Neighbours sorted = n;
            std::sort(sorted.begin(), sorted.end());
            const auto nearest = nearestThree(n);
            ASSERT_EQ(Neighbours(nearest.begin(), nearest.end()), Neighbours(sorted.begin(), sorted.begin() + 3))
                << "size " << size << ", round " << round;
        }
    }
    // Equal distances: the lower index first.
    const auto tied = nearestThree({{8.0f, 3}, {5.0f, 1}, {8.0f, 2}, {9.0f, 0}});
    EXPECT_EQ(Neighbours(tied.begin(), tied.end()), (Neighbours{{5.0f, 1}, {8.0f, 2}, {8.0f, 3}}));
}

} // namespace
