// Simplex noise (see KXPerlin.h).
//
// The formulation is the single-precision one with integer-hash gradients: the gradient of a
// corner is chosen by bit tests on a hash read from a doubled permutation table, each corner adds
// (kernel^2)^2 * gradient, and the sum is scaled per dimension. Every expression below keeps the
// reference operation order; do not regroup them, or results stop being bit-identical.
#include "KXPerlin.h"

#include <array>
#include <cfloat>
#include <cstdint>

// Each float operation must round to float on its own. x87 code (gcc's 32-bit x86 default)
// keeps intermediates in extended precision and gives other results; build such targets with
// SSE2 arithmetic (-msse2 -mfpmath=sse, see cmake/i386-linux-gnu.cmake).
static_assert(FLT_EVAL_METHOD == 0, "the noise needs float expressions evaluated in float (FLT_EVAL_METHOD 0)");

namespace KXMath {

namespace {

// Ken Perlin's reference permutation of 0..255 (improved noise).
constexpr std::uint8_t kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225,
    140, 36,  103, 30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148,
    247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203, 117, 35,  11,  32,
    57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175,
    74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122,
    60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143, 54,
    65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169,
    200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,
    52,  217, 226, 250, 124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212,
    207, 206, 59,  227, 47,  16,  58,  17,  182, 189, 28,  42,  223, 183, 170, 213,
    119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104,
    218, 246, 97,  228, 251, 34,  242, 193, 238, 210, 144, 12,  191, 179, 162, 241,
    81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,  181, 199, 106, 157,
    184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,
    222, 114, 67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

// The permutation twice over, so perm[a + perm[b]] with a, b in 0..256 needs no second wrap
// (the largest index formed is 511).
constexpr std::array<std::uint8_t, 512> makeDoubledPerm()
{
    std::array<std::uint8_t, 512> table{};
    for (int i = 0; i < 512; ++i)
        table[static_cast<std::size_t>(i)] = kPermutation[i & 255];
    return table;
}
constexpr std::array<std::uint8_t, 512> perm = makeDoubledPerm();

// Lattice cells must be representable as int: this holds for every finite v in (-2^31, 2^31).
// False for NaN and infinities too.
inline bool cellFits(float v)
{
    return v > -2147483648.0f && v < 2147483648.0f;
}

// Cell index: truncation for v > 0, truncation minus one otherwise (one below floor at zero and
// at negative whole numbers). Cheaper than a library floor.
inline int cellIndex(float v)
{
    return v > 0.0f ? static_cast<int>(v) : static_cast<int>(v) - 1;
}

inline int wrap(int cell)
{
    return cell & 255;
}

// Sum of cell indices as float, without int overflow for large cells.
inline float cellSum(int a, int b)
{
    return static_cast<float>(static_cast<std::int64_t>(a) + b);
}

inline float cellSum(int a, int b, int c)
{
    return static_cast<float>(static_cast<std::int64_t>(a) + b + c);
}

float grad1(int hash, float x)
{
    const int h = hash & 15;
    float g = 1.0f + static_cast<float>(h & 7); // 1.0 .. 8.0
    if (h & 8)
        g = -g;
    return g * x;
}

float grad2(int hash, float x, float y)
{
    const int h = hash & 7;
    const float u = h < 4 ? x : y;
    const float v = h < 4 ? y : x;
    return ((h & 1) ? -u : u) + ((h & 2) ? -2.0f * v : 2.0f * v);
}

float grad3(int hash, float x, float y, float z)
{
    const int h = hash & 15;
    const float u = h < 8 ? x : y;
    const float v = h < 4 ? y : (h == 12 || h == 14) ? x : z;
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

float _slang_library_noise1(float x)
{
    if (!cellFits(x))
        return 0.0f;
    const int i0 = cellIndex(x);
    const int i1 = i0 + 1;
    const float x0 = x - static_cast<float>(i0);
    const float x1 = x0 - 1.0f;

    float t0 = 1.0f - x0 * x0;
    t0 *= t0;
    const float n0 = t0 * t0 * grad1(perm[wrap(i0)], x0);

    float t1 = 1.0f - x1 * x1;
    t1 *= t1;
    const float n1 = t1 * t1 * grad1(perm[wrap(i1)], x1);

    return 0.25f * (n0 + n1);
}

constexpr float F2 = 0.3660254f;  // (sqrt(3) - 1) / 2
constexpr float G2 = 0.21132487f; // (3 - sqrt(3)) / 6

float _slang_library_noise2(float x, float y)
{
    // Skew into the lattice of simplex cells.
    const float s = (x + y) * F2;
    const float xs = x + s;
    const float ys = y + s;
    if (!cellFits(xs) || !cellFits(ys))
        return 0.0f;
    const int i = cellIndex(xs);
    const int j = cellIndex(ys);

    // Unskew the cell origin and take the offsets from it.
    const float t = cellSum(i, j) * G2;
    const float X0 = static_cast<float>(i) - t;
    const float Y0 = static_cast<float>(j) - t;
    const float x0 = x - X0;
    const float y0 = y - Y0;

    // Which triangle of the cell: the middle corner.
    int i1, j1;
    if (x0 > y0) {
        i1 = 1;
        j1 = 0;
    } else {
        i1 = 0;
        j1 = 1;
    }

    const float x1 = x0 - static_cast<float>(i1) + G2;
    const float y1 = y0 - static_cast<float>(j1) + G2;
    const float x2 = x0 - 1.0f + 2.0f * G2;
    const float y2 = y0 - 1.0f + 2.0f * G2;

    const int ii = wrap(i);
    const int jj = wrap(j);

    float n0, n1, n2;
    float t0 = 0.5f - x0 * x0 - y0 * y0;
    if (t0 < 0.0f) {
        n0 = 0.0f;
    } else {
        t0 *= t0;
        n0 = t0 * t0 * grad2(perm[ii + perm[jj]], x0, y0);
    }
    float t1 = 0.5f - x1 * x1 - y1 * y1;
    if (t1 < 0.0f) {
        n1 = 0.0f;
    } else {
        t1 *= t1;
        n1 = t1 * t1 * grad2(perm[ii + i1 + perm[jj + j1]], x1, y1);
    }
    float t2 = 0.5f - x2 * x2 - y2 * y2;
    if (t2 < 0.0f) {
        n2 = 0.0f;
    } else {
        t2 *= t2;
        n2 = t2 * t2 * grad2(perm[ii + 1 + perm[jj + 1]], x2, y2);
    }
    return 40.0f * (n0 + n1 + n2);
}

constexpr float F3 = 0.33333334f; // 1 / 3
constexpr float G3 = 0.16666667f; // 1 / 6

float _slang_library_noise3(float x, float y, float z)
{
    const float s = (x + y + z) * F3;
    const float xs = x + s;
    const float ys = y + s;
    const float zs = z + s;
    if (!cellFits(xs) || !cellFits(ys) || !cellFits(zs))
        return 0.0f;
    const int i = cellIndex(xs);
    const int j = cellIndex(ys);
    const int k = cellIndex(zs);

    const float t = cellSum(i, j, k) * G3;
    const float X0 = static_cast<float>(i) - t;
    const float Y0 = static_cast<float>(j) - t;
    const float Z0 = static_cast<float>(k) - t;
    const float x0 = x - X0;
    const float y0 = y - Y0;
    const float z0 = z - Z0;

    // Which tetrahedron of the cell: the second and third corners by the order of the offsets.
    int i1, j1, k1, i2, j2, k2;
    if (x0 >= y0) {
        if (y0 >= z0) {
            i1 = 1; j1 = 0; k1 = 0; i2 = 1; j2 = 1; k2 = 0; // x y z
        } else if (x0 >= z0) {
            i1 = 1; j1 = 0; k1 = 0; i2 = 1; j2 = 0; k2 = 1; // x z y
        } else {
            i1 = 0; j1 = 0; k1 = 1; i2 = 1; j2 = 0; k2 = 1; // z x y
        }
    } else {
        if (y0 < z0) {
            i1 = 0; j1 = 0; k1 = 1; i2 = 0; j2 = 1; k2 = 1; // z y x
        } else if (x0 < z0) {
            i1 = 0; j1 = 1; k1 = 0; i2 = 0; j2 = 1; k2 = 1; // y z x
        } else {
            i1 = 0; j1 = 1; k1 = 0; i2 = 1; j2 = 1; k2 = 0; // y x z
        }
    }

    const float x1 = x0 - static_cast<float>(i1) + G3;
    const float y1 = y0 - static_cast<float>(j1) + G3;
    const float z1 = z0 - static_cast<float>(k1) + G3;
    const float x2 = x0 - static_cast<float>(i2) + 2.0f * G3;
    const float y2 = y0 - static_cast<float>(j2) + 2.0f * G3;
    const float z2 = z0 - static_cast<float>(k2) + 2.0f * G3;
    const float x3 = x0 - 1.0f + 0.5f;
    const float y3 = y0 - 1.0f + 0.5f;
    const float z3 = z0 - 1.0f + 0.5f;

    const int ii = wrap(i);
    const int jj = wrap(j);
    const int kk = wrap(k);

    float n0, n1, n2, n3;
    float t0 = 0.6f - x0 * x0 - y0 * y0 - z0 * z0;
    if (t0 < 0.0f) {
        n0 = 0.0f;
    } else {
        t0 *= t0;
        n0 = t0 * t0 * grad3(perm[ii + perm[jj + perm[kk]]], x0, y0, z0);
    }
    float t1 = 0.6f - x1 * x1 - y1 * y1 - z1 * z1;
    if (t1 < 0.0f) {
        n1 = 0.0f;
    } else {
        t1 *= t1;
        n1 = t1 * t1 * grad3(perm[ii + i1 + perm[jj + j1 + perm[kk + k1]]], x1, y1, z1);
    }
    float t2 = 0.6f - x2 * x2 - y2 * y2 - z2 * z2;
    if (t2 < 0.0f) {
        n2 = 0.0f;
    } else {
        t2 *= t2;
        n2 = t2 * t2 * grad3(perm[ii + i2 + perm[jj + j2 + perm[kk + k2]]], x2, y2, z2);
    }
    float t3 = 0.6f - x3 * x3 - y3 * y3 - z3 * z3;
    if (t3 < 0.0f) {
        n3 = 0.0f;
    } else {
        t3 *= t3;
        n3 = t3 * t3 * grad3(perm[ii + 1 + perm[jj + 1 + perm[kk + 1]]], x3, y3, z3);
    }
    return 32.0f * (n0 + n1 + n2 + n3);
}

} // namespace

double noise1(double x)
{
    return static_cast<double>(_slang_library_noise1(static_cast<float>(x)));
}

double noise2(double x, double y)
{
    return static_cast<double>(
        _slang_library_noise2(static_cast<float>(x), static_cast<float>(y)));
}

double noise3(double x, double y, double z)
{
    return static_cast<double>(_slang_library_noise3(
        static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
}

double noise1o(double x, int octaves, double falloff, double lacunarity)
{
    double sum = 0.0;
    double divisor = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        const double n = _slang_library_noise1(static_cast<float>(x));
        sum = n / divisor + sum;
        divisor = divisor * falloff;
        x *= lacunarity;
    }
    return sum;
}

double noise2o(double x, double y, int octaves, double falloff, double lacunarity)
{
    double sum = 0.0;
    double divisor = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        const double n = _slang_library_noise2(static_cast<float>(x), static_cast<float>(y));
        sum = n / divisor + sum;
        divisor = divisor * falloff;
        x *= lacunarity;
        y *= lacunarity;
    }
    return sum;
}

double noise3o(double x, double y, double z, int octaves, double falloff, double lacunarity)
{
    double sum = 0.0;
    double divisor = 1.0;
    for (int octave = 0; octave < octaves; ++octave) {
        const double n = _slang_library_noise3(
            static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        sum = n / divisor + sum;
        divisor = divisor * falloff;
        x *= lacunarity;
        y *= lacunarity;
        z *= lacunarity;
    }
    return sum;
}

} // namespace KXMath
