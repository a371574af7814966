// Noise and vector tests: exact known values, the lattice properties, octave sums, and a wide
// bit-for-bit comparison with a plain re-derivation of the float formulas written here.
#include "KXPerlin.h"
#include "KXVec3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <type_traits>
#include <vector>

namespace {

// ---- Reference evaluation ---------------------------------------------------------------------
// Deliberately written differently from the library: the plain 256-entry table with explicit
// modulo instead of the doubled table, gradient values from case tables, and the 3-D corner order
// from ranks instead of the comparison tree. Float operations keep the same order.

const int kRefPerm[256] = {
    151, 160, 137, 91, 90, 15, 131, 13, 201, 95, 96, 53, 194, 233, 7, 225, 140, 36, 103, 30, 69,
    142, 8, 99, 37, 240, 21, 10, 23, 190, 6, 148, 247, 120, 234, 75, 0, 26, 197, 62, 94, 252, 219,
    203, 117, 35, 11, 32, 57, 177, 33, 88, 237, 149, 56, 87, 174, 20, 125, 136, 171, 168, 68, 175,
    74, 165, 71, 134, 139, 48, 27, 166, 77, 146, 158, 231, 83, 111, 229, 122, 60, 211, 133, 230,
    220, 105, 92, 41, 55, 46, 245, 40, 244, 102, 143, 54, 65, 25, 63, 161, 1, 216, 80, 73, 209,
    76, 132, 187, 208, 89, 18, 169, 200, 196, 135, 130, 116, 188, 159, 86, 164, 100, 109, 198,
    173, 186, 3, 64, 52, 217, 226, 250, 124, 123, 5, 202, 38, 147, 118, 126, 255, 82, 85, 212,
    207, 206, 59, 227, 47, 16, 58, 17, 182, 189, 28, 42, 223, 183, 170, 213, 119, 248, 152, 2,
    44, 154, 163, 70, 221, 153, 101, 155, 167, 43, 172, 9, 129, 22, 39, 253, 19, 98, 108, 110,
    79, 113, 224, 232, 178, 185, 112, 104, 218, 246, 97, 228, 251, 34, 242, 193, 238, 210, 144,
    12, 191, 179, 162, 241, 81, 51, 145, 235, 249, 14, 239, 107, 49, 192, 214, 31, 181, 199, 106,
    157, 184, 84, 204, 176, 115, 121, 50, 45, 127, 4, 150, 254, 138, 236, 205, 93, 222, 114, 67,
    29, 24, 72, 243, 141, 128, 195, 78, 66, 215, 61, 156, 180};

int P(int i) { return kRefPerm[((i % 256) + 256) % 256]; }

int refCell(float v)
{
    const long long t = static_cast<long long>(v); // truncation toward zero
    return static_cast<int>(v > 0.0f ? t : t - 1);
}

float refGrad1(int hash, float x)
{
    static const float g[16] = {1, 2, 3, 4, 5, 6, 7, 8, -1, -2, -3, -4, -5, -6, -7, -8};
    return g[hash % 16] * x;
}

float refGrad2(int hash, float x, float y)
{
    // Per case: first term from x (else y), its sign, sign of the doubled second term.
    static const int useX[8] = {1, 1, 1, 1, 0, 0, 0, 0};
    static const float su[8] = {1, -1, 1, -1, 1, -1, 1, -1};
    static const float sv[8] = {2, 2, -2, -2, 2, 2, -2, -2};
    const int h = hash % 8;
    const float u = useX[h] ? x : y;
    const float v = useX[h] ? y : x;
    return su[h] * u + sv[h] * v;
}

float refGrad3(int hash, float x, float y, float z)
{
    // Axis of each term (0 x, 1 y, 2 z) and its sign, per case.
    static const int ua[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    static const int va[16] = {1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 0, 2, 0, 2};
    static const float su[16] = {1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1};
    static const float sv[16] = {1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1};
    const float c[3] = {x, y, z};
    const int h = hash % 16;
    return su[h] * c[ua[h]] + sv[h] * c[va[h]];
}

float pow4(float t)
{
    const float sq = t * t;
    return sq * sq;
}

float refNoise1(float x)
{
    const int i0 = refCell(x);
    const float x0 = x - static_cast<float>(i0);
    const float x1 = x0 - 1.0f;
    const float a0 = pow4(1.0f - x0 * x0) * refGrad1(P(i0), x0);
    const float a1 = pow4(1.0f - x1 * x1) * refGrad1(P(i0 + 1), x1);
    return 0.25f * (a0 + a1);
}

float refNoise2(float x, float y)
{
    const float F2 = 0.3660254f, G2 = 0.21132487f;
    const float s = (x + y) * F2;
    const int i = refCell(x + s), j = refCell(y + s);
    const float t = static_cast<float>(i + j) * G2;
    const float x0 = x - (static_cast<float>(i) - t), y0 = y - (static_cast<float>(j) - t);
    const int i1 = x0 > y0 ? 1 : 0, j1 = 1 - i1;
    const float cx[3] = {x0, x0 - static_cast<float>(i1) + G2, x0 - 1.0f + 0.42264974f};
    const float cy[3] = {y0, y0 - static_cast<float>(j1) + G2, y0 - 1.0f + 0.42264974f};
    const int di[3] = {0, i1, 1}, dj[3] = {0, j1, 1};
    float a[3];
    for (int m = 0; m < 3; ++m) {
        const float tm = 0.5f - cx[m] * cx[m] - cy[m] * cy[m];
        const int h = P(i + di[m] + P(j + dj[m]));
        a[m] = tm < 0.0f ? 0.0f : pow4(tm) * refGrad2(h, cx[m], cy[m]);
    }
    return 40.0f * (a[0] + a[1] + a[2]);
}

float refNoise3(float x, float y, float z)
{
    const float F3 = 0.33333334f, G3 = 0.16666667f;
    const float s = (x + y + z) * F3;
    const int c[3] = {refCell(x + s), refCell(y + s), refCell(z + s)};
    const float t = static_cast<float>(c[0] + c[1] + c[2]) * G3;
    const float p[3] = {x, y, z};
    float o0[3];
    for (int a = 0; a < 3; ++a)
        o0[a] = p[a] - (static_cast<float>(c[a]) - t);
    // Rank of each axis by its offset; ties go to the earlier axis (x before y before z).
    int rank[3] = {0, 0, 0};
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            if (a != b && (o0[a] > o0[b] || (o0[a] == o0[b] && a < b)))
                ++rank[a];
    const float add[4] = {0.0f, G3, 0.33333334f, 0.5f};
    float sum = 0.0f;
    for (int m = 0; m < 4; ++m) {
        int d[3];
        float o[3];
        for (int a = 0; a < 3; ++a) {
            d[a] = m == 0 ? 0 : m == 3 ? 1 : rank[a] >= 3 - m ? 1 : 0;
            o[a] = m == 0 ? o0[a] : o0[a] - static_cast<float>(d[a]) + add[m];
        }
        const float tm = 0.6f - o[0] * o[0] - o[1] * o[1] - o[2] * o[2];
        const int h = P(c[0] + d[0] + P(c[1] + d[1] + P(c[2] + d[2])));
        const float am = tm < 0.0f ? 0.0f : pow4(tm) * refGrad3(h, o[0], o[1], o[2]);
        sum = m == 0 ? am : sum + am;
    }
    return 32.0f * sum;
}

std::uint64_t bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Sample coordinates: random reals over several scales and both signs, plus lattice-aligned
// values (whole and half numbers, negative whole numbers) where the cell rule differs from floor.
std::vector<float> sampleCoordinates(std::mt19937& rng, int count)
{
    const float scales[] = {1.5f, 10.0f, 300.0f, 5000.0f, 1.0e6f};
    std::vector<float> out;
    for (int n = 0; n < count; ++n) {
        const float unit = static_cast<float>(rng() % 2000001) / 1000000.0f - 1.0f; // -1..1
        switch (n % 7) {
        case 0: out.push_back(static_cast<float>(static_cast<int>(rng() % 1025) - 512)); break;
        case 1: out.push_back(static_cast<float>(static_cast<int>(rng() % 2049) - 1024) * 0.25f); break;
        default: out.push_back(unit * scales[n % 5]); break;
        }
    }
    return out;
}

} // namespace

TEST(NoiseReference, TableIsTheReferencePermutation)
{
    std::vector<int> sorted(kRefPerm, kRefPerm + 256);
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(sorted[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(kRefPerm[0], 151);
    EXPECT_EQ(kRefPerm[5], 15);
    EXPECT_EQ(kRefPerm[252], 215);
    EXPECT_EQ(kRefPerm[255], 180);
}

TEST(Noise1, KnownValuesZerosBoundAndPeriod)
{
    EXPECT_EQ(KXMath::noise1(0.5), 0.27685546875);
    EXPECT_EQ(KXMath::noise1(-0.5), -0.11865234375);
    for (double x : {156.5, -99.5, 412.5})
        EXPECT_EQ(KXMath::noise1(x), -0.6328125) << x;

    for (int n = -1000; n <= 1000; ++n)
        ASSERT_EQ(KXMath::noise1(n), 0.0) << n;

    // Quarter points are represented exactly and keep x - i0 exact, so the period is exact.
    for (int q = -4096; q <= 4096; ++q) {
        const double x = q * 0.25;
        const double v = KXMath::noise1(x);
        ASSERT_LE(std::fabs(v), 0.6328125) << x;
        ASSERT_EQ(KXMath::noise1(x + 256.0), v) << x;
        ASSERT_EQ(KXMath::noise1(x - 512.0), v) << x;
    }
}

TEST(NoiseND, OriginAndNegativeCoordinates)
{
    EXPECT_EQ(KXMath::noise2(0.0, 0.0), 0.0);
    // Far negative points wrap their cells by the low 8 bits, like positive ones.
    for (int n = 0; n < 200; ++n) {
        const double x = -70000.3 + n * 13.7, y = -123456.9 + n * 3.1;
        const double v2 = KXMath::noise2(x, y), v3 = KXMath::noise3(x, y, -x * 0.5);
        ASSERT_TRUE(std::fabs(v2) <= 1.0 && std::fabs(v3) <= 1.0) << x << " " << y;
    }
}

TEST(Noise, CoordinatesWithoutAnIntCellGiveZero)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double big : {3.0e9, -3.0e9, 1.0e300, inf, -inf, nan}) {
        EXPECT_EQ(KXMath::noise1(big), 0.0) << big;
        EXPECT_EQ(KXMath::noise2(big, 1.0), 0.0) << big;
        EXPECT_EQ(KXMath::noise3(1.0, 2.0, big), 0.0) << big;
    }
    // Largest cells that still fit: defined and finite.
    EXPECT_TRUE(std::isfinite(KXMath::noise1(2147483520.0)));
    EXPECT_TRUE(std::isfinite(KXMath::noise3(1.0e9, 1.0e9, 1.0e8)));
}

TEST(NoiseOctaves, ZeroOneAndSeveralOctaves)
{
    EXPECT_EQ(KXMath::noise1o(0.5, 0, 2.0, 2.0), 0.0);
    EXPECT_EQ(KXMath::noise2o(0.3, 0.7, -4, 2.0, 2.0), 0.0);
    EXPECT_EQ(KXMath::noise3o(0.3, 0.7, 1.1, 0, 2.0, 2.0), 0.0);
    EXPECT_EQ(KXMath::noise1o(0.5, 1, 2.0, 2.0), KXMath::noise1(0.5));
    EXPECT_EQ(KXMath::noise2o(0.3, 0.7, 1, 3.0, 5.0), KXMath::noise2(0.3, 0.7));
    EXPECT_EQ(KXMath::noise3o(0.3, 0.7, 1.1, 1, 3.0, 5.0), KXMath::noise3(0.3, 0.7, 1.1));

    const double x = 1.37, y = -2.11, z = 0.29;
    double s1 = 0.0, s2 = 0.0, s3 = 0.0, div = 1.0, k = 1.0;
    for (int o = 0; o < 4; ++o) {
        s1 = KXMath::noise1(x * k) / div + s1;
        s2 = KXMath::noise2(x * k, y * k) / div + s2;
        s3 = KXMath::noise3(x * k, y * k, z * k) / div + s3;
        div *= 1.7;
        k *= 2.3;
    }
    EXPECT_EQ(KXMath::noise1o(x, 4, 1.7, 2.3), s1);
    EXPECT_EQ(KXMath::noise2o(x, y, 4, 1.7, 2.3), s2);
    EXPECT_EQ(KXMath::noise3o(x, y, z, 4, 1.7, 2.3), s3);
}

TEST(NoiseReference, MatchesBitForBitOnAWideSample)
{
    std::mt19937 rng(20240611u);
    const std::vector<float> a = sampleCoordinates(rng, 6000);
    const std::vector<float> b = sampleCoordinates(rng, 6000);
    const std::vector<float> c = sampleCoordinates(rng, 6000);
    int mismatches = 0;
    for (std::size_t n = 0; n < a.size() && mismatches < 10; ++n) {
        const float x = a[n], y = b[n], z = c[n];
        if (bits(KXMath::noise1(x)) != bits(refNoise1(x))) {
            ++mismatches;
            ADD_FAILURE() << "noise1(" << x << ")";
        }
        if (bits(KXMath::noise2(x, y)) != bits(refNoise2(x, y))) {
            ++mismatches;
            ADD_FAILURE() << "noise2(" << x << ", " << y << ")";
        }
        if (bits(KXMath::noise3(x, y, z)) != bits(refNoise3(x, y, z))) {
            ++mismatches;
            ADD_FAILURE() << "noise3(" << x << ", " << y << ", " << z << ")";
        }
    }
    // Lattice-aligned 2-D and 3-D points whose skewed coordinates are whole numbers, zero and
    // negative ones included: here the truncation rule picks another cell than floor would.
    for (int u = -20; u <= 20 && mismatches < 10; ++u) {
        for (int v = -20; v <= 20; ++v) {
            const float fu = static_cast<float>(u), fv = static_cast<float>(v);
            if (bits(KXMath::noise2(fu, -fu)) != bits(refNoise2(fu, -fu)) ||
                bits(KXMath::noise3(fu, fv, -fu - fv)) != bits(refNoise3(fu, fv, -fu - fv)) ||
                bits(KXMath::noise3(fu * 0.5f, fv, fu)) != bits(refNoise3(fu * 0.5f, fv, fu))) {
                ++mismatches;
                ADD_FAILURE() << "lattice point " << u << ", " << v;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Values of the strict evaluation (each float operation rounded on its own). The reference
// comparison above runs under the same compiler flags as the library, so it cannot see a build
// that fuses multiply-adds; these fixed values can.
TEST(Noise, FixedValuesOfTheStrictFloatEvaluation)
{
    struct Point {
        float x, y, z;
        double n1, n2, n3;
    };
    const Point points[] = {
        {-0x1.f3fe4p+9f, -0x1.2bfe2p+8f, -0x1.38ef34p-6f, 0x1.4fbf26p-6, -0x1.9c040cp-3, 0x1.36337p-4},
        {-0x1.f3fc7ep+9f, -0x1.2bfc42p+8f, -0x1.38ef34p-5f, 0x1.4fb8f6p-5, -0x1.8c82bap-3, 0x1.338baep-3},
        {-0x1.f2a308p+9f, -0x1.2a8b9ap+8f, -0x1.e683e4p+1f, 0x1.a30fd6p-3, 0x1.976e6ep-3, 0x1.ad6a4p-2},
        {-0x1.f14612p+9f, -0x1.291732p+8f, -0x1.e683e4p+2f, -0x1.181cc6p-1, -0x1.2792c4p-2, -0x1.5c9138p-6},
    };
    for (const Point& p : points) {
        EXPECT_EQ(KXMath::noise1(p.x), p.n1) << p.x;
        EXPECT_EQ(KXMath::noise2(p.x, p.y), p.n2) << p.x << ", " << p.y;
        EXPECT_EQ(KXMath::noise3(p.x, p.y, p.z), p.n3) << p.x << ", " << p.y << ", " << p.z;
    }
}

TEST(Vec3, PlainValueOfThreeFloats)
{
    static_assert(sizeof(KXMath::Vec3) == 3 * sizeof(float), "three floats, no padding");
    static_assert(std::is_standard_layout<KXMath::Vec3>::value, "plain layout");
    static_assert(std::is_trivially_copyable<KXMath::Vec3>::value, "copied by value");
    const KXMath::Vec3 zero;
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    KXMath::Vec3 v(1.5f, -2.0f, 3.25f);
    const KXMath::Vec3 copy = v;
    v.x = 9.0f;
    EXPECT_EQ(copy.x, 1.5f);
    EXPECT_EQ(copy.y, -2.0f);
    EXPECT_EQ(copy.z, 3.25f);
}
