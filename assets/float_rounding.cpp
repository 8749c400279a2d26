// Sine and cosine in double, fast, for the float shortcuts of float_rounding.h: Cody-Waite
// reduction by pi/2 and minimax polynomials on [-pi/4, pi/4]. Arguments beyond 2^20 (and NaN)
// go to the C library.
//
// The reduction constants, the polynomial coefficients and the cosine's tail (the rounding error
// of 1 - z/2 carried into the sum) are those of fdlibm, as distributed in FreeBSD's msun
// (k_sin.c, k_cos.c, e_rem_pio2.c), which carry this notice:
//
// ====================================================
// Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
// Developed at SunPro, a Sun Microsystems, Inc. business.
// Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice
// is preserved.
// ====================================================
#include "assets/float_rounding.h"

#include <cstdint>

namespace assets {

namespace {

// pi/2 split so that n * halfPiHigh is exact for |n| < 2^20 (it has 33 significant bits), with the
// next 53 bits in halfPiLow: together good to about 2^-85.
constexpr double TWO_OVER_PI = 6.36619772367581382433e-01;
constexpr double HALF_PI_HIGH = 1.57079632673412561417e+00;
constexpr double HALF_PI_LOW = 6.07710050650619224932e-11;

// Minimax polynomials of sin and cos on [-pi/4, pi/4], each within an ulp of the exact value.
double kernelSine(double x) {
    const double z = x * x;
    const double r = 8.33333333332248946124e-03 +
                     z * (-1.98412698298579493134e-04 +
                          z * (2.75573137070700676789e-06 +
                               z * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10)));
    return x + z * x * (-1.66666666666666324348e-01 + z * r);
}

double kernelCosine(double x) {
    const double z = x * x;
    const double w = z * z;
    const double r = z * (4.16666666666666019037e-02 + z * (-1.38888888888741095749e-03 + z * 2.48015872894767294178e-05)) +
                     w * w * (-2.75573143513906633035e-07 + z * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11));
    const double half = 0.5 * z;
    const double one = 1.0 - half;
    return one + (((1.0 - one) - half) + z * r);
}

// x - n pi/2 with n the nearest whole number to x / (pi/2), returned with n mod 4. The first
// product is exact and the difference too (the two are close), so the only roundings are those
// of the small correction and of the result.
double reduce(double x, int& quadrant) {
    const double n = std::nearbyint(x * TWO_OVER_PI);
    quadrant = int(int64_t(n) & 3);
    return (x - n * HALF_PI_HIGH) - n * HALF_PI_LOW;
}

} // namespace

SineCosine quickSineCosine(double x) {
    if (!(std::fabs(x) <= 0x1p20)) return {std::sin(x), std::cos(x)};
    int quadrant;
    const double y = reduce(x, quadrant);
    const double s = kernelSine(y), c = kernelCosine(y);
    switch (quadrant) {
    case 0: return {s, c};
    case 1: return {c, -s};
    case 2: return {-s, -c};
    default: return {-c, s};
    }
}

double quickSine(double x) {
    if (!(std::fabs(x) <= 0x1p20)) return std::sin(x);
    int quadrant;
    const double y = reduce(x, quadrant);
    const double value = quadrant & 1 ? kernelCosine(y) : kernelSine(y);
    return quadrant & 2 ? -value : value;
}

void floatSineCosine(long double x, float& sine, float& cosine) {
    const SineCosine quick = quickSineCosine(double(x));
    const double bound = 0x1p-50 * (std::fabs(double(x)) + 1);
    sine = roundsToSameFloat(quick.sine, bound) ? float(quick.sine) : float(std::sin(x));
    cosine = roundsToSameFloat(quick.cosine, bound) ? float(quick.cosine) : float(std::cos(x));
}

} // namespace assets
