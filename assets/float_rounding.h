// Storing an extended-precision result as a float, faster: evaluate in double, and keep that float
// only where the double lies so far from a rounding boundary that the extended-precision value,
// within a known error of it, must round to the same float. Callers fall back to the
// extended-precision evaluation otherwise, so the stored float never differs.
#pragma once
#include <cmath>

namespace assets {

// True when every real within `bound` of `value` rounds to the float nearest `value`. The
// midpoints between neighbouring floats are exact in double, so the test itself does not round.
inline bool roundsToSameFloat(double value, double bound) {
    const float nearest = float(value);
    if (!std::isfinite(nearest)) return false;
    const double below = (double(nearest) + std::nextafter(nearest, -INFINITY)) / 2;
    const double above = (double(nearest) + std::nextafter(nearest, INFINITY)) / 2;
    return value - bound > below && value + bound < above;
}

} // namespace assets
