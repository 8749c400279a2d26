// Vectors, matrices and quaternions: the degenerate-case rules callers rely on, the conventions
// (column vectors, scalar-last storage, rotation sense) and aliasing of result and input.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/quaternion.h"
#include "engine/scene.h"
#include "engine/vecmath.h"

using namespace engine;

namespace {

void expectVec(Vec3 v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void expectQuat(Quat q, Quat expected, float tol = 1e-6f) {
    EXPECT_NEAR(q.x, expected.x, tol);
    EXPECT_NEAR(q.y, expected.y, tol);
    EXPECT_NEAR(q.z, expected.z, tol);
    EXPECT_NEAR(q.w, expected.w, tol);
}

void expectMatNear(const Mat34& a, const Mat34& b, float tol = 1e-5f) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "element " << r << "," << c;
}

Quat turn(float angle, float x, float y, float z) {
    Quat q;
    quatFromAngleAxis(q, angle, x, y, z);
    return q;
}

} // namespace

TEST(VectorMath, ZeroVectorsHaveLengthOneAndNormaliseToZero) {
    EXPECT_EQ(vecLength({0, 0, 0}), 1.0f);
    EXPECT_EQ(vecLength({3, 4, 0}), 5.0f);
    Vec3 n{9, 9, 9};
    vecNormalize(n, {0, 0, 0});
    expectVec(n, 0, 0, 0, 0);
    // Worked by hand, on inputs with no two components alike.
    vecCross(n, {1, 2, 3}, {4, 5, 6});
    expectVec(n, -3, 6, -3);
    vecLerp(n, {1, 2, 3}, {5, 10, -1}, 0.25f);
    expectVec(n, 2, 4, 2);
}

TEST(MatrixMath, ProductsApplyTheRightOperandFirstAndMayOverwriteAnOperand) {
    Mat34 s, a{{{1, 2, 3, 4}, {-5, 6, 7, 8}, {9, -10, 11, 12}}}, b, fresh;
    matScaling(s, {2, 3, 4});
    matApplyTranslation(s, s, {1, 2, 3});  // scale, then move
    Vec3 p;
    matTransformPoint(p, {1, 1, 1}, s);
    expectVec(p, 4, 9, 16);
    matRotateVector(p, {1, 1, 1}, s);
    expectVec(p, 2, 3, 4);
    quatToMatrix(b, turn(0.3f, 0, 0, 1));
    b.m[1][3] = 5;
    matMul(fresh, a, b);
    matMul(a, a, b);
    expectMatNear(a, fresh, 0);
}

TEST(Quaternions, AngleAxisKeepsAnUnnormalisedAxisAndTheProductIsHamiltons) {
    expectQuat(turn(0, 3, 4, 5), {0, 0, 0, 1});
    EXPECT_NEAR(turn(float(M_PI / 2), 0, 0, 2).z, 2 * std::sin(M_PI / 4), 1e-6);
    // (v1, w1)(v2, w2) = (w1 v2 + w2 v1 + v1 x v2, w1 w2 - v1.v2), worked by hand.
    Quat ab;
    quatMul(ab, Quat{1, 2, 3, 4}, Quat{5, 6, 7, 8});
    expectQuat(ab, {24, 48, 48, -6});
    // Its matrix turns a vector as q v q* does, and turns back into q (here with a positive trace).
    Quat q, v{0.5f, -2, 3, 0}, qv, turned;
    quatNormalize(q, turn(0.7f, 1, -2, 3));
    quatMul(qv, q, v);
    quatMul(turned, qv, Quat{-q.x, -q.y, -q.z, q.w});
    Mat34 m;
    quatToMatrix(m, q);
    Vec3 p;
    matTransformPoint(p, {0.5f, -2, 3}, m);
    expectVec(p, turned.x, turned.y, turned.z, 1e-5f);
    quatToMatrixTransposed(m, q);
    matToQuat(ab, m);
    expectQuat(ab, q, 1e-5f);
}

TEST(Quaternions, SlerpTakesTheShortArcAndSpinsAddHalfTurns) {
    Quat a = turn(0.2f, 0, 1, 0), b = turn(1.4f, 0, 1, 0), mid = turn(0.8f, 0, 1, 0), r;
    quatSlerp(r, a, b, 0, 0);
    expectQuat(r, a);
    quatSlerp(r, a, b, 0, 0.5f);
    expectQuat(r, mid);
    // -b is the same turn: the short arc still passes through mid.
    quatSlerp(r, a, Quat{-b.x, -b.y, -b.z, -b.w}, 0, 0.5f);
    expectQuat(r, mid);
    // Equal and opposite quaternions take the linear branch and give a back.
    quatSlerp(r, a, a, 0, 0.3f);
    expectQuat(r, a);
    quatSlerp(r, a, Quat{-a.x, -a.y, -a.z, -a.w}, 0, 0.5f);
    expectQuat(r, a);
    // One spin adds a half turn to the angle travelled: halfway lands on the far side.
    quatSlerp(r, a, b, 1, 0.5f);
    EXPECT_NEAR(std::fabs(quatDot(r, mid)), 0.0f, 1e-5f);
}

// Helpers the show never calls: one known answer each.
TEST(UnusedHelpers, EachGivesOneKnownAnswer) {
    Mat34 rx, ry, rz, tmp, m, inv, id;
    Vec3 p;
    matRotationX(rx, 1.1f);
    matRotationY(ry, -0.4f);
    matTransformPoint(p, {1, 0, 1}, ry);  // cos 0.4 = 0.921061, sin 0.4 = 0.389418
    expectVec(p, 1.310479f, 0, 0.531643f);
    matRotationZ(rz, float(M_PI / 2));
    matTransformPoint(p, {1, 0, 0}, rz);  // minus the angle for column vectors
    expectVec(p, 0, -1, 0);
    matRotationZ(rz, 0.3f);
    matMul(tmp, ry, rx);
    matMul(m, rz, tmp);
    matToEuler(p, m);
    expectVec(p, 1.1f, -0.4f, 0.3f, 1e-5f);

    m.m[0][3] = 3;
    m.m[1][3] = -2;
    m.m[2][3] = 5;
    ASSERT_EQ(matInverse(inv, m), ERR_OK);
    matMul(tmp, inv, m);
    matIdentity(id);
    expectMatNear(tmp, id);

    Quat q = turn(3.0f, 0.6f, 0, 0.8f), back;  // a negative trace
    quatToMatrixTransposed(m, q);
    matToQuat(back, m);
    expectQuat(back, q, 1e-5f);
}
