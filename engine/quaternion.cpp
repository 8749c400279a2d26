// Quaternions. Products and sums are formed in double and rounded when stored. The inverse
// trigonometric functions clamp their arguments, and the divisions that a zero quaternion or a
// half-turn would make unbounded fall back to finite values, because keyframe data from a file
// can produce both.
#include "engine/quaternion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace engine {

namespace {

constexpr double HALF_PI = 1.5707963705062866;  // the float nearest pi/2
constexpr double SPIN_PI = 3.1415926536;         // one spin of quatSlerp
constexpr double NEARLY_EQUAL = double(1e-6f);   // below this 1 - cos takes the linear blend

double norm(Quat a) {
    return std::sqrt(double(a.w) * a.w + double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
}

double vectorNorm(Quat a) { return std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z); }

// arccos as pi/2 - arcsin, which keeps the precision of arcsin near 0; clamped so that rounding
// past +-1 cannot produce a NaN.
double arcCos(double c) { return M_PI / 2 - std::asin(std::clamp(c, -1.0, 1.0)); }

Quat blend(Quat a, Quat b, double k0, double k1) {
    return {float(k0 * a.x + k1 * b.x), float(k0 * a.y + k1 * b.y), float(k0 * a.z + k1 * b.z),
            float(k0 * a.w + k1 * b.w)};
}

// The weights of a spherical blend over the angle theta, turning through phi in all.
// sin(theta) is only near 0 for opposite quaternions on the long path; the linear blend stands in
// there rather than dividing by (almost) nothing.
void sphericalWeights(double c, double phi, double t, double& k0, double& k1) {
    double theta = arcCos(c);
    double s = std::sin(theta);
    if (std::fabs(s) < NEARLY_EQUAL) {
        k0 = 1 - t;
        k1 = t;
        return;
    }
    k0 = std::sin(theta - t * phi) / s;
    k1 = std::sin(t * phi) / s;
}

void checkedPrint(int written) {
    if (written < 0) {
        std::perror("engine print");
        std::exit(EXIT_FAILURE);
    }
}

} // namespace

void quatZero(Quat& out) { out = {0, 0, 0, 0}; }
void quatIdentity(Quat& out) { out = {0, 0, 0, 1}; }
void quatMake(Quat& out, float w, float x, float y, float z) { out = {x, y, z, w}; }
void quatCopy(Quat& out, Quat a) { out = a; }

void quatFromAngleAxis(Quat& out, float angle, float ax, float ay, float az) {
    double h = double(angle) * 0.5;
    double s = std::sin(h);
    out = {float(ax * s), float(ay * s), float(az * s), float(std::cos(h))};
}

void quatAdd(Quat& out, Quat a, Quat b) { out = {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w}; }
void quatSub(Quat& out, Quat a, Quat b) { out = {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w}; }

void quatMul(Quat& out, Quat a, Quat b) {
    double w = double(a.w) * b.w - double(a.x) * b.x - double(a.y) * b.y - double(a.z) * b.z;
    double x = double(a.w) * b.x + double(a.x) * b.w + double(a.y) * b.z - double(a.z) * b.y;
    double y = double(a.w) * b.y + double(a.y) * b.w + double(a.z) * b.x - double(a.x) * b.z;
    double z = double(a.w) * b.z + double(a.z) * b.w + double(a.x) * b.y - double(a.y) * b.x;
    out = {float(x), float(y), float(z), float(w)};
}

void quatSquare(Quat& out, Quat a) {
    double w2 = 2.0 * a.w;
    out = {float(w2 * a.x), float(w2 * a.y), float(w2 * a.z),
           float(double(a.w) * a.w - double(a.x) * a.x - double(a.y) * a.y - double(a.z) * a.z)};
}

void quatScale(Quat& out, Quat a, float s) { out = {s * a.x, s * a.y, s * a.z, s * a.w}; }

float quatLength(Quat a) { return float(norm(a)); }

float quatDot(Quat a, Quat b) {
    return float(double(a.w) * b.w + double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z);
}

float quatCosAngle(Quat a, Quat b) {
    double n = norm(a) * norm(b);
    return n == 0 ? 0.0f : float(quatDot(a, b) / n);
}

void quatNormalize(Quat& out, Quat a) {
    double n = norm(a);
    if (n == 0) {
        out = {0, 0, 0, 0};
        return;
    }
    out = blend(a, a, 1 / n, 0);
}

void quatSetLength(Quat& out, Quat a, float s) {
    double n = norm(a);
    if (n == 0) {
        quatIdentity(out);
        return;
    }
    out = blend(a, a, s / n, 0);
}

void quatInverse(Quat& out, Quat a) {
    double n = double(a.w) * a.w + double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z;
    double k = n == 0 ? 1.0 : 1.0 / n;
    out = {float(-k * a.x), float(-k * a.y), float(-k * a.z), float(k * a.w)};
}

void quatUnitInverse(Quat& out, Quat a) {
    Quat n;
    quatNormalize(n, a);
    out = {-n.x, -n.y, -n.z, n.w};
}

bool quatEqual(Quat a, Quat b) { return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w; }

void quatExp(Quat& out, Quat a) {
    double theta = vectorNorm(a);
    double k = theta > 0 ? std::sin(theta) / theta : 1.0;
    out = {float(k * a.x), float(k * a.y), float(k * a.z), float(std::cos(theta))};
}

void quatLog(Quat& out, Quat a) {
    double s = vectorNorm(a);
    // The one-argument arc tangent: a negative w gives a negative angle.
    double alpha = a.w != 0 ? std::atan(s / a.w) : HALF_PI;
    if (s != 0) alpha /= s;
    out = {float(alpha * a.x), float(alpha * a.y), float(alpha * a.z), 0.0f};
}

void quatLogDiff(Quat& out, Quat a, Quat b) {
    Quat inverse, d;
    quatInverse(inverse, a);
    quatMul(d, inverse, b);
    double s = vectorNorm(d);
    double c = quatCosAngle(a, b);
    double alpha = c != 0 ? std::atan(s / c) : HALF_PI;
    if (s != 0) alpha /= s;
    out = {float(alpha * d.x), float(alpha * d.y), float(alpha * d.z), 0.0f};
}

void quatSlerp(Quat& out, Quat a, Quat b, float spin, float t) {
    double c = quatDot(a, b);
    double sign = 1;
    if (c < 0) {
        c = -c;
        sign = -1;
    }
    double k0 = 1 - double(t), k1 = t;
    if (1 - c >= NEARLY_EQUAL) sphericalWeights(c, arcCos(c) + spin * SPIN_PI, t, k0, k1);
    out = blend(a, b, k0, k1 * sign);
}

void quatSlerpLong(Quat& out, Quat a, Quat b, float /*spin*/, float t) {
    double c = quatDot(a, b);
    double k0 = 1 - double(t), k1 = t;
    if (1 - c >= NEARLY_EQUAL) sphericalWeights(c, arcCos(c), t, k0, k1);
    out = blend(a, b, k0, k1);
}

void quatToMatrix(Mat34& out, Quat a) {
    double xs = double(a.x) + a.x, ys = double(a.y) + a.y, zs = double(a.z) + a.z;
    double wx = a.w * xs, wy = a.w * ys, wz = a.w * zs;
    double xx = a.x * xs, xy = a.x * ys, xz = a.x * zs;
    double yy = a.y * ys, yz = a.y * zs, zz = a.z * zs;
    out = Mat34{{{float(1 - yy - zz), float(xy - wz), float(xz + wy), 0},
                 {float(xy + wz), float(1 - xx - zz), float(yz - wx), 0},
                 {float(xz - wy), float(yz + wx), float(1 - xx - yy), 0}}};
}

void quatToMatrixTransposed(Mat34& out, Quat a) {
    Mat34 r;
    quatToMatrix(r, a);
    matTranspose(out, r);
}

void matToQuat(Quat& out, const Mat34& a) {
    // a holds the transposed rotation; r(i, j) reads the rotation itself.
    auto r = [&a](int i, int j) { return double(a.m[j][i]); };
    double trace = r(0, 0) + r(1, 1) + r(2, 2);
    if (trace > 0) {
        double root = std::sqrt(trace + 1);
        double s = 0.5 / root;
        out = {float((r(2, 1) - r(1, 2)) * s), float((r(0, 2) - r(2, 0)) * s), float((r(1, 0) - r(0, 1)) * s),
               float(root / 2)};
        return;
    }
    // Start from the largest diagonal element, the earlier one on ties: its component is the
    // largest, so the divisions below are by at least 1/2.
    int i = 0;
    if (r(1, 1) > r(i, i)) i = 1;
    if (r(2, 2) > r(i, i)) i = 2;
    int j = (i + 1) % 3, k = (i + 2) % 3;
    double root = std::sqrt(std::max(0.0, 1 + r(i, i) - r(j, j) - r(k, k)));
    double v[3];
    double w = 0;
    v[i] = root / 2;
    if (root > 0) {
        double s = 0.5 / root;
        w = (r(k, j) - r(j, k)) * s;
        v[j] = (r(j, i) + r(i, j)) * s;
        v[k] = (r(k, i) + r(i, k)) * s;
    } else {
        v[j] = v[k] = 0;
    }
    out = {float(v[0]), float(v[1]), float(v[2]), float(w)};
}

void quatToAngleAxis(Quat a, float& angle, float& ax, float& ay, float& az) {
    Quat n;
    quatNormalize(n, a);
    double theta = arcCos(n.w);
    angle = float(2 * theta);
    double s = std::sin(theta);
    if (std::fabs(s) > 1e-6) {
        ax = float(n.x / s);
        ay = float(n.y / s);
        az = float(n.z / s);
    } else {
        ax = ay = az = 0;
    }
}

void quatPrint(Quat a) {
    checkedPrint(std::printf(" w: %9.3f x: %9.3f y: %9.3f z: %9.3f\n", a.w, a.x, a.y, a.z));
}

} // namespace engine
