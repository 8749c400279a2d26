// Storing an extended-precision result as a float, faster: evaluate in double, and keep that float
// only where the double lies so far from a rounding boundary that the extended-precision value,
// within a known error of it, must round to the same float. Callers fall back to the
// extended-precision evaluation otherwise, so the stored float never differs.
#pragma once
#include <bit>
#include <cmath>
#include <cstdint>

namespace assets {

// True when every real within `bound` of `value` rounds to the float nearest `value`: rounding is
// monotonic, so it suffices that both ends of the interval round to the same float (compared bit
// for bit, so that -0 and +0 count as different). The ends are themselves rounded to double, which
// the callers' bounds leave ample room for.
inline bool roundsToSameFloat(double value, double bound) {
    const float low = float(value - bound), high = float(value + bound);
    return std::bit_cast<uint32_t>(low) == std::bit_cast<uint32_t>(high) && std::isfinite(low);
}

// Sine and cosine of x in double, each within 2^-52 of the exact value: an argument reduction by
// pi/2 good to far below that for |x| up to 2^20, and minimax polynomials on [-pi/4, pi/4]. Several
// times faster than the library's, which the sphere's boiling surface takes 40000 times a frame.
struct SineCosine {
    double sine, cosine;
};
SineCosine quickSineCosine(double x);
double quickSine(double x);

// float(sinl(x)) and float(cosl(x)): quickSineCosine of x rounded to double is within
// |x| 2^-53 + 2^-52 of the exact values.
void floatSineCosine(long double x, float& sine, float& cosine);

} // namespace assets
