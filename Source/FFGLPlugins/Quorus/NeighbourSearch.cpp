// Neighbour search of the Quorus network (see NeighbourSearch.h).
#include "NeighbourSearch.h"

#include <cmath>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Particles measured together: one SSE register of floats. The columns are padded to whole blocks.
constexpr int kBlock = 4;

int wholeBlocks(int n) { return (n + kBlock - 1) / kBlock * kBlock; }

// Records that particles i and j lie d apart. Rows are handled in ascending i and, within a row,
// ascending j > i, so every array ends up in ascending index order: first the partners found in
// earlier rows (all below its own index), then those of its own row.
inline void link(std::vector<Ball>& balls, int i, int j, float d)
{
    balls[static_cast<std::size_t>(i)].neighbours.emplace_back(d, j);
    balls[static_cast<std::size_t>(j)].neighbours.emplace_back(d, i);
}

} // namespace

void NeighbourSearch::reserve(int capacity)
{
    const std::size_t size = static_cast<std::size_t>(wholeBlocks(capacity > 0 ? capacity : 0));
    if (x_.size() < size) {
        x_.resize(size);
        y_.resize(size);
        z_.resize(size);
    }
}

void NeighbourSearch::find(std::vector<Ball>& balls, int count, float reach)
{
    if (count > static_cast<int>(balls.size()))
        count = static_cast<int>(balls.size());
    for (int i = 0; i < count; ++i)
        balls[static_cast<std::size_t>(i)].neighbours.clear(); // keeps storage
    if (count < 2)
        return;
    reserve(count);

    // Columns of the positions; the padding is NaN, which is never within reach.
    const int padded = wholeBlocks(count);
    for (int j = 0; j < padded; ++j) {
        const bool real = j < count;
        const KXMath::Vec3 p = real ? balls[static_cast<std::size_t>(j)].position : KXMath::Vec3();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        x_[static_cast<std::size_t>(j)] = real ? p.x : nan;
        y_[static_cast<std::size_t>(j)] = real ? p.y : nan;
        z_[static_cast<std::size_t>(j)] = real ? p.z : nan;
    }
    const float* xs = x_.data();
    const float* ys = y_.data();
    const float* zs = z_.data();

    for (int i = 0; i + 1 < count; ++i) {
        const int first = i + 1;
#if defined(__SSE2__)
        const __m128 xi = _mm_set1_ps(xs[i]);
        const __m128 yi = _mm_set1_ps(ys[i]);
        const __m128 zi = _mm_set1_ps(zs[i]);
        const __m128 limit = _mm_set1_ps(reach);
        for (int block = first / kBlock * kBlock; block < padded; block += kBlock) {
            const __m128 dx = _mm_sub_ps(xi, _mm_loadu_ps(xs + block));
            const __m128 dy = _mm_sub_ps(yi, _mm_loadu_ps(ys + block));
            const __m128 dz = _mm_sub_ps(zi, _mm_loadu_ps(zs + block));
            const __m128 sum = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
            const __m128 d = _mm_sqrt_ps(sum);
            // Lanes j <= i of the first block are not this row's.
            unsigned inReach = static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(d, limit)));
            if (block < first)
                inReach &= ~0u << (first - block);
            if (inReach == 0)
                continue;
            alignas(16) float ds[kBlock];
            _mm_store_ps(ds, d);
            for (; inReach != 0; inReach &= inReach - 1) {
                const int lane = __builtin_ctz(inReach);
                link(balls, i, block + lane, ds[lane]);
            }
        }
#else
        for (int j = first; j < count; ++j) {
            const float dx = xs[i] - xs[j];
            const float dy = ys[i] - ys[j];
            const float dz = zs[i] - zs[j];
            const float d = std::sqrt((dx * dx + dy * dy) + dz * dz);
            if (d < reach)
                link(balls, i, j, d);
        }
#endif
    }
}

std::array<Ball::Neighbour, 3> nearestThree(const std::vector<Ball::Neighbour>& neighbours)
{
    using N = Ball::Neighbour;
    N a = neighbours[0], b = neighbours[1], c = neighbours[2];
    if (b < a)
        std::swap(a, b);
    if (c < b) {
        std::swap(b, c);
        if (b < a)
            std::swap(a, b);
    }
    for (std::size_t k = 3; k < neighbours.size(); ++k) {
        const N& n = neighbours[k];
        if (!(n < c))
            continue;
        if (n < b) {
            c = b;
            if (n < a) {
                b = a;
                a = n;
            } else {
                b = n;
            }
        } else {
            c = n;
        }
    }
    return {a, b, c};
}
