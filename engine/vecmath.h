// The engine's small linear algebra: three-float vectors and 3x4 affine matrices.
// Every operation writes its result through its first parameter (or returns a float or bool) and
// takes its inputs by value or copies them on entry, so the result may be one of the inputs.
// Degenerate inputs are guarded only where noted; elsewhere callers must pass sensible values.
#pragma once
#include <cstdint>

#include "engine/result_codes.h"

namespace engine {

struct Vec3 {
    float x, y, z;
};

// Row-major, three rows of four: m[0] = (xx xy xz xw), m[1] = (yx yy yz yw), m[2] = (zx zy zz zw).
// Columns 0-2 are the linear part, column 3 the translation; a point p maps to row_r . (p, 1).
struct Mat34 {
    float m[3][4];
};

void vecZero(Vec3& out);
void vecMake(Vec3& out, float x, float y, float z);
void vecCopy(Vec3& out, Vec3 a);
void vecAdd(Vec3& out, Vec3 a, Vec3 b);
void vecSub(Vec3& out, Vec3 a, Vec3 b);
void vecMulComponents(Vec3& out, Vec3 a, Vec3 b);
void vecScale(Vec3& out, Vec3 a, float s);
void vecNegate(Vec3& out, Vec3 a);
float vecLength(Vec3 a);                 // a length of exactly 0 is returned as 1.0
float vecDistance(Vec3 a, Vec3 b);       // vecLength(a - b): equal points are 1.0 apart
float vecDot(Vec3 a, Vec3 b);
float vecCosAngle(Vec3 a, Vec3 b);       // 0 when either vector is zero
void vecCross(Vec3& out, Vec3 a, Vec3 b);
void vecNormalize(Vec3& out, Vec3 a);    // zero vector stays zero
void vecSetLength(Vec3& out, Vec3 a, float s);  // zero vector stays zero
void vecMidpoint(Vec3& out, Vec3 a, Vec3 b);
void vecLerp(Vec3& out, Vec3 a, Vec3 b, float t);
void vecCombine(Vec3& out, Vec3 a, Vec3 b, float s, float t);  // a*s + b*t
bool vecEqual(Vec3 a, Vec3 b);
void vecPrint(Vec3 a);                   // " x: ... y: ... z: ..." on standard output

void matZero(Mat34& out);
void matIdentity(Mat34& out);
void matCopy(Mat34& out, const Mat34& a);
void matAdd(Mat34& out, const Mat34& a, const Mat34& b);
void matSub(Mat34& out, const Mat34& a, const Mat34& b);
void matMul(Mat34& out, const Mat34& a, const Mat34& b);  // b applied first, then a
void matTransformPoint(Vec3& out, Vec3 v, const Mat34& a);
void matRotateVector(Vec3& out, Vec3 v, const Mat34& a);  // linear part only
// a with its translation replaced by a's transform of v: matMul(a, matTranslation(v)).
void matApplyTranslation(Mat34& out, const Mat34& a, Vec3 v);
void matTranslation(Mat34& out, Vec3 v);
void matScaling(Mat34& out, Vec3 v);
// These three turn by minus the angle for column vectors (+sin above the diagonal for X and Z).
void matRotationX(Mat34& out, float angle);
void matRotationY(Mat34& out, float angle);
void matRotationZ(Mat34& out, float angle);
void matNormalizeRows(Mat34& out, const Mat34& a);  // zero rows are left as they are
void matTranspose(Mat34& out, const Mat34& a);      // linear part only, translation kept
// Inverse of a matrix with mutually orthogonal rows (rotation times scale). A zero row gives the
// identity and ERR_SINGULAR_MATRIX (13).
ResultCode matInverse(Mat34& out, const Mat34& a);
// The same for the linear part only; the translation column is kept.
ResultCode matInverseRotation(Mat34& out, const Mat34& a);
// Angles (x, y, z) such that matRotationZ(z) * matRotationY(y) * matRotationX(x) has a's linear
// part, for a pure rotation.
void matToEuler(Vec3& out, const Mat34& a);
void matPrint(const Mat34& a);           // three lines " xx: ... xw: ..." on standard output

} // namespace engine
