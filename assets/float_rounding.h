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

// float(sinl(x)) and float(cosl(x)). The double functions are within an ulp of the exact value of
// their (double) argument, which lies within |x| 2^-53 of x.
inline float floatSin(long double x) {
    const double quick = std::sin(double(x));
    if (roundsToSameFloat(quick, 0x1p-50 * (std::fabs(double(x)) + 1))) return float(quick);
    return float(std::sin(x));
}

inline float floatCos(long double x) {
    const double quick = std::cos(double(x));
    if (roundsToSameFloat(quick, 0x1p-50 * (std::fabs(double(x)) + 1))) return float(quick);
    return float(std::cos(x));
}

} // namespace assets
