// Quaternions for the keyframer's rotations: composition, logarithm and exponential for the
// rotation spline, spherical interpolation, and conversion to and from matrices.
// Same conventions as vecmath.h: the result goes through the first parameter, inputs are copied.
#pragma once
#include "engine/vecmath.h"

namespace engine {

// Stored x, y, z, w; w is the scalar part. The identity is (0, 0, 0, 1); the all-zero quaternion is
// a distinct value (a new object's rotation is zero, and quatToMatrix turns it into the identity).
struct Quat {
    float x, y, z, w;
};

void quatZero(Quat& out);
void quatIdentity(Quat& out);
void quatMake(Quat& out, float w, float x, float y, float z);  // note: scalar first
void quatCopy(Quat& out, Quat a);
void quatFromAngleAxis(Quat& out, float angle, float ax, float ay, float az);  // axis not normalised
void quatAdd(Quat& out, Quat a, Quat b);
void quatSub(Quat& out, Quat a, Quat b);
void quatMul(Quat& out, Quat a, Quat b);   // Hamilton product a*b
void quatSquare(Quat& out, Quat a);
void quatScale(Quat& out, Quat a, float s);
float quatLength(Quat a);
float quatDot(Quat a, Quat b);
float quatCosAngle(Quat a, Quat b);        // 0 when either quaternion is zero
void quatNormalize(Quat& out, Quat a);     // zero stays zero
void quatSetLength(Quat& out, Quat a, float s);  // zero gives the identity
void quatInverse(Quat& out, Quat a);       // zero gives zero
void quatUnitInverse(Quat& out, Quat a);   // normalised, vector part negated
bool quatEqual(Quat a, Quat b);
void quatExp(Quat& out, Quat a);           // exponential of the pure quaternion (a.x, a.y, a.z, 0)
void quatLog(Quat& out, Quat a);           // logarithm of a unit quaternion, w of the result 0
void quatLogDiff(Quat& out, Quat a, Quat b);  // logarithm of the rotation from a to b
// Spherical interpolation on the shorter arc, adding spin half-turns to the angle between a and b.
void quatSlerp(Quat& out, Quat a, Quat b, float spin, float t);
// The same without choosing the shorter arc; spin is accepted and ignored.
void quatSlerpLong(Quat& out, Quat a, Quat b, float spin, float t);
void quatToMatrix(Mat34& out, Quat a);     // rotation by a unit quaternion, translation 0
void quatToMatrixTransposed(Mat34& out, Quat a);  // the inverse rotation
void matToQuat(Quat& out, const Mat34& a); // inverts quatToMatrixTransposed for unit quaternions
void quatToAngleAxis(Quat a, float& angle, float& ax, float& ay, float& az);
void quatPrint(Quat a);                    // " w: ... x: ... y: ... z: ..." on standard output

} // namespace engine
