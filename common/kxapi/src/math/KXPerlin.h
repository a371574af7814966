// Simplex gradient noise in one, two and three dimensions, with octave (fractal) sums.
//
// All noise arithmetic is single precision in a fixed operation order, so results are
// reproducible bit for bit; the double arguments are narrowed to float on entry and the result
// is widened on return. Values lie in about -1..1 and are 0 at lattice points.
// Pure functions of their arguments and a constant table: any thread, no GL needed.
#pragma once

namespace KXMath {

// Noise at a point. A point whose (skewed) coordinate is not finite or has magnitude 2^31 or
// more has no lattice cell in an int; the noise there is 0.
double noise1(double x);
double noise2(double x, double y);
double noise3(double x, double y, double z);

// Octave sums: sum over k = 0 .. octaves-1 of noise(lacunarity^k * p) / falloff^k, computed in
// double. octaves <= 0 gives 0.
double noise1o(double x, int octaves, double falloff, double lacunarity);
double noise2o(double x, double y, int octaves, double falloff, double lacunarity);
double noise3o(double x, double y, double z, int octaves, double falloff, double lacunarity);

} // namespace KXMath
