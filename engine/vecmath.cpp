// Vectors and 3x4 affine matrices. Sums of products are formed in double and rounded once when
// stored, so chained operations do not pile up float rounding.
#include "engine/vecmath.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/result_codes.h"

namespace engine {

namespace {

double lengthOf(Vec3 a) {
    return std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
}

// Writing to standard output is the only thing here that can fail; the program cannot go on
// sensibly without its output, so a failed write ends it.
void checkedPrint(int written) {
    if (written < 0) {
        std::perror("engine print");
        std::exit(EXIT_FAILURE);
    }
}

} // namespace

void vecZero(Vec3& out) { out = {0, 0, 0}; }
void vecMake(Vec3& out, float x, float y, float z) { out = {x, y, z}; }
void vecCopy(Vec3& out, Vec3 a) { out = a; }
void vecAdd(Vec3& out, Vec3 a, Vec3 b) { out = {a.x + b.x, a.y + b.y, a.z + b.z}; }
void vecSub(Vec3& out, Vec3 a, Vec3 b) { out = {a.x - b.x, a.y - b.y, a.z - b.z}; }
void vecMulComponents(Vec3& out, Vec3 a, Vec3 b) { out = {a.x * b.x, a.y * b.y, a.z * b.z}; }
void vecScale(Vec3& out, Vec3 a, float s) { out = {a.x * s, a.y * s, a.z * s}; }
void vecNegate(Vec3& out, Vec3 a) { out = {-a.x, -a.y, -a.z}; }

float vecLength(Vec3 a) {
    double length = lengthOf(a);
    return length == 0 ? 1.0f : float(length);
}

float vecDistance(Vec3 a, Vec3 b) {
    Vec3 d;
    vecSub(d, a, b);
    return vecLength(d);
}

float vecDot(Vec3 a, Vec3 b) { return float(double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z); }

float vecCosAngle(Vec3 a, Vec3 b) {
    // vecLength never returns 0, so a zero vector gives a zero dot product over a length of 1.
    return float(double(vecDot(a, b)) / (double(vecLength(a)) * vecLength(b)));
}

void vecCross(Vec3& out, Vec3 a, Vec3 b) {
    out = {float(double(a.y) * b.z - double(a.z) * b.y), float(double(a.z) * b.x - double(a.x) * b.z),
           float(double(a.x) * b.y - double(a.y) * b.x)};
}

void vecNormalize(Vec3& out, Vec3 a) { vecSetLength(out, a, 1.0f); }

void vecSetLength(Vec3& out, Vec3 a, float s) {
    double length = lengthOf(a);
    if (length == 0) {
        out = {0, 0, 0};
        return;
    }
    double k = s / length;
    out = {float(a.x * k), float(a.y * k), float(a.z * k)};
}

void vecMidpoint(Vec3& out, Vec3 a, Vec3 b) {
    out = {float((double(a.x) + b.x) * 0.5), float((double(a.y) + b.y) * 0.5), float((double(a.z) + b.z) * 0.5)};
}

void vecLerp(Vec3& out, Vec3 a, Vec3 b, float t) {
    out = {float(a.x + (double(b.x) - a.x) * t), float(a.y + (double(b.y) - a.y) * t),
           float(a.z + (double(b.z) - a.z) * t)};
}

void vecCombine(Vec3& out, Vec3 a, Vec3 b, float s, float t) {
    out = {float(double(a.x) * s + double(b.x) * t), float(double(a.y) * s + double(b.y) * t),
           float(double(a.z) * s + double(b.z) * t)};
}

bool vecEqual(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

void vecPrint(Vec3 a) { checkedPrint(std::printf(" x: %9.3f y: %9.3f z: %9.3f\n", a.x, a.y, a.z)); }

void matZero(Mat34& out) { out = Mat34{}; }

void matIdentity(Mat34& out) { out = Mat34{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}}; }

void matCopy(Mat34& out, const Mat34& a) { out = a; }

void matAdd(Mat34& out, const Mat34& a, const Mat34& b) {
    Mat34 d;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) d.m[r][c] = a.m[r][c] + b.m[r][c];
    out = d;
}

void matSub(Mat34& out, const Mat34& a, const Mat34& b) {
    Mat34 d;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) d.m[r][c] = a.m[r][c] - b.m[r][c];
    out = d;
}

void matMul(Mat34& out, const Mat34& a, const Mat34& b) {
    Mat34 d;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = double(a.m[r][0]) * b.m[0][c] + double(a.m[r][1]) * b.m[1][c] +
                         double(a.m[r][2]) * b.m[2][c];
            if (c == 3) sum += a.m[r][3];
            d.m[r][c] = float(sum);
        }
    }
    out = d;
}

void matTransformPoint(Vec3& out, Vec3 v, const Mat34& a) {
    float p[3];
    for (int r = 0; r < 3; ++r)
        p[r] = float(double(a.m[r][0]) * v.x + double(a.m[r][1]) * v.y + double(a.m[r][2]) * v.z + a.m[r][3]);
    out = {p[0], p[1], p[2]};
}

void matRotateVector(Vec3& out, Vec3 v, const Mat34& a) {
    float p[3];
    for (int r = 0; r < 3; ++r)
        p[r] = float(double(a.m[r][0]) * v.x + double(a.m[r][1]) * v.y + double(a.m[r][2]) * v.z);
    out = {p[0], p[1], p[2]};
}

void matApplyTranslation(Mat34& out, const Mat34& a, Vec3 v) {
    Mat34 d = a;
    for (int r = 0; r < 3; ++r)
        d.m[r][3] = float(double(a.m[r][0]) * v.x + double(a.m[r][1]) * v.y + double(a.m[r][2]) * v.z + a.m[r][3]);
    out = d;
}

void matTranslation(Mat34& out, Vec3 v) {
    matIdentity(out);
    out.m[0][3] = v.x;
    out.m[1][3] = v.y;
    out.m[2][3] = v.z;
}

void matScaling(Mat34& out, Vec3 v) {
    matIdentity(out);
    out.m[0][0] = v.x;
    out.m[1][1] = v.y;
    out.m[2][2] = v.z;
}

void matRotationX(Mat34& out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    matIdentity(out);
    out.m[1][1] = c;
    out.m[1][2] = s;
    out.m[2][1] = -s;
    out.m[2][2] = c;
}

void matRotationY(Mat34& out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    matIdentity(out);
    out.m[0][0] = c;
    out.m[0][2] = -s;
    out.m[2][0] = s;
    out.m[2][2] = c;
}

void matRotationZ(Mat34& out, float angle) {
    float c = std::cos(angle), s = std::sin(angle);
    matIdentity(out);
    out.m[0][0] = c;
    out.m[0][1] = s;
    out.m[1][0] = -s;
    out.m[1][1] = c;
}

void matNormalizeRows(Mat34& out, const Mat34& a) {
    Mat34 d = a;
    for (int r = 0; r < 3; ++r) {
        double length = lengthOf({a.m[r][0], a.m[r][1], a.m[r][2]});
        if (length == 0) continue;
        for (int c = 0; c < 3; ++c) d.m[r][c] = float(a.m[r][c] / length);
    }
    out = d;
}

void matTranspose(Mat34& out, const Mat34& a) {
    Mat34 d = a;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) d.m[r][c] = a.m[c][r];
    out = d;
}

namespace {

// The transposed linear part with row i divided by the squared length of a's row i; false when a
// row is zero.
bool invertLinearPart(Mat34& d, const Mat34& a) {
    double squared[3];
    for (int i = 0; i < 3; ++i) {
        squared[i] = double(a.m[i][0]) * a.m[i][0] + double(a.m[i][1]) * a.m[i][1] + double(a.m[i][2]) * a.m[i][2];
        if (squared[i] == 0) return false;
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) d.m[i][j] = float(a.m[j][i] / squared[i]);
    return true;
}

} // namespace

ResultCode matInverse(Mat34& out, const Mat34& a) {
    Mat34 d;
    if (!invertLinearPart(d, a)) {
        matIdentity(out);
        return ERR_SINGULAR_MATRIX;
    }
    for (int i = 0; i < 3; ++i)
        d.m[i][3] = float(-(double(d.m[i][0]) * a.m[0][3] + double(d.m[i][1]) * a.m[1][3] +
                            double(d.m[i][2]) * a.m[2][3]));
    out = d;
    return ERR_OK;
}

ResultCode matInverseRotation(Mat34& out, const Mat34& a) {
    Mat34 d;
    if (!invertLinearPart(d, a)) {
        matIdentity(out);
        return ERR_SINGULAR_MATRIX;
    }
    for (int i = 0; i < 3; ++i) d.m[i][3] = a.m[i][3];
    out = d;
    return ERR_OK;
}

void matToEuler(Vec3& out, const Mat34& a) {
    // Rz(z) Ry(y) Rx(x) with the builders above has row 2 = (sin y, -cos y sin x, cos y cos x) and
    // column 0 = (cos z cos y, -sin z cos y, sin y).
    double sy = std::clamp(double(a.m[2][0]), -1.0, 1.0);
    double y = std::asin(sy);
    double x, z;
    if (std::cos(y) > 1e-6) {
        x = std::atan2(-double(a.m[2][1]), double(a.m[2][2]));
        z = std::atan2(-double(a.m[1][0]), double(a.m[0][0]));
    } else {
        // Gimbal lock: only x - z (or x + z) is defined; put it all into x.
        z = 0;
        x = std::atan2(double(a.m[1][2]), double(a.m[1][1]));
    }
    out = {float(x), float(y), float(z)};
}

void matPrint(const Mat34& a) {
    static const char* const labels[3][4] = {
        {"xx", "xy", "xz", "xw"}, {"yx", "yy", "yz", "yw"}, {"zx", "zy", "zz", "zw"}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) checkedPrint(std::printf(" %s: %E", labels[r][c], a.m[r][c]));
        checkedPrint(std::printf("\n"));
    }
}

} // namespace engine
