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

void expectQuat(Quat q, float x, float y, float z, float w, float tol = 1e-6f) {
    EXPECT_NEAR(q.x, x, tol);
    EXPECT_NEAR(q.y, y, tol);
    EXPECT_NEAR(q.z, z, tol);
    EXPECT_NEAR(q.w, w, tol);
}

void expectMatNear(const Mat34& a, const Mat34& b, float tol = 1e-5f) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "element " << r << "," << c;
}

Mat34 someAffine() { return Mat34{{{1, 2, 3, 4}, {-5, 6, 7, 8}, {9, -10, 11, 12}}}; }

} // namespace

TEST(VectorMath, ZeroVectorsHaveLengthOneAndNormaliseToZero) {
    EXPECT_EQ(vecLength({0, 0, 0}), 1.0f);
    EXPECT_EQ(vecLength({3, 4, 0}), 5.0f);
    EXPECT_EQ(vecDistance({2, 2, 2}, {2, 2, 2}), 1.0f);
    Vec3 n{9, 9, 9};
    vecNormalize(n, {0, 0, 0});
    expectVec(n, 0, 0, 0, 0);
    vecSetLength(n, {0, 0, 0}, 5);
    expectVec(n, 0, 0, 0, 0);
    EXPECT_EQ(vecCosAngle({0, 0, 0}, {1, 0, 0}), 0.0f);
    vecSetLength(n, {0, 3, 4}, 10);
    expectVec(n, 0, 6, 8);
}

TEST(VectorMath, CrossProductIsRightHandedAndMayOverwriteItsInput) {
    Vec3 a{1, 0, 0};
    vecCross(a, a, {0, 1, 0});
    expectVec(a, 0, 0, 1, 0);
    Vec3 v{1, 2, 3};
    vecCombine(v, v, {10, 20, 30}, 2, 0.5f);
    expectVec(v, 7, 14, 21);
    vecLerp(v, {0, 0, 0}, {10, -10, 4}, 0.25f);
    expectVec(v, 2.5f, -2.5f, 1);
}

TEST(MatrixMath, IdentityIsNeutralAndProductsApplyTheRightOperandFirst) {
    Mat34 id, a = someAffine(), r;
    matIdentity(id);
    matMul(r, a, id);
    expectMatNear(r, a, 0);
    matMul(r, id, a);
    expectMatNear(r, a, 0);

    Mat34 t, s, ts;
    matTranslation(t, {1, 2, 3});
    matScaling(s, {2, 3, 4});
    matMul(ts, t, s);
    Vec3 p;
    matTransformPoint(p, {1, 1, 1}, ts);
    expectVec(p, 3, 5, 7);
    matTransformPoint(p, {0, 0, 0}, a);
    expectVec(p, 4, 8, 12);
    matRotateVector(p, {0, 0, 0}, a);
    expectVec(p, 0, 0, 0);
}

TEST(MatrixMath, ProductWrittenIntoAnOperandMatchesAFreshResult) {
    Mat34 a = someAffine(), b, fresh;
    matRotationZ(b, 0.3f);
    b.m[1][3] = 5;
    matMul(fresh, a, b);
    matMul(a, a, b);
    expectMatNear(a, fresh, 0);
    Mat34 c = someAffine();
    matApplyTranslation(c, c, {1, -1, 2});
    Mat34 t, viaMul;
    matTranslation(t, {1, -1, 2});
    matMul(viaMul, someAffine(), t);
    expectMatNear(c, viaMul, 0);
}

TEST(Quaternions, ProductComposesRotationsAboutOneAxis) {
    Quat a, b, ab, expected, id, r;
    quatFromAngleAxis(a, 0.4f, 0, 0, 1);
    quatFromAngleAxis(b, 1.1f, 0, 0, 1);
    quatMul(ab, a, b);
    quatFromAngleAxis(expected, 1.5f, 0, 0, 1);
    expectQuat(ab, expected.x, expected.y, expected.z, expected.w);
    quatIdentity(id);
    quatMul(r, id, ab);
    EXPECT_TRUE(quatEqual(r, ab));
    quatMul(r, ab, id);
    EXPECT_TRUE(quatEqual(r, ab));
    // Non-commutative order check: x then y differs from y then x.
    Quat qx, qy, xy, yx;
    quatFromAngleAxis(qx, 1, 1, 0, 0);
    quatFromAngleAxis(qy, 1, 0, 1, 0);
    quatMul(xy, qx, qy);
    quatMul(yx, qy, qx);
    EXPECT_NEAR(xy.z, -yx.z, 1e-6f);
    EXPECT_GT(std::fabs(xy.z), 0.1f);
}

TEST(Quaternions, AngleAxisKeepsAnUnnormalisedAxis) {
    Quat q;
    quatFromAngleAxis(q, 0, 3, 4, 5);
    expectQuat(q, 0, 0, 0, 1);
    quatFromAngleAxis(q, float(M_PI / 2), 0, 0, 2);
    EXPECT_NEAR(q.z, 2 * std::sin(M_PI / 4), 1e-6);
}

TEST(Quaternions, MatrixRotatesColumnVectorsAndZeroGivesIdentity) {
    Mat34 m, id;
    Quat q;
    quatFromAngleAxis(q, float(M_PI / 2), 0, 0, 1);
    quatToMatrix(m, q);
    Vec3 p;
    matTransformPoint(p, {1, 0, 0}, m);
    expectVec(p, 0, 1, 0);
    matIdentity(id);
    quatZero(q);
    quatToMatrix(m, q);
    expectMatNear(m, id, 0);
}

TEST(Quaternions, ExpAndLogAreInverseForUnitQuaternions) {
    Quat q, r;
    quatExp(q, {0, 0, 0, 5});
    expectQuat(q, 0, 0, 0, 1);
    quatIdentity(q);
    quatLog(r, q);
    expectQuat(r, 0, 0, 0, 0, 0);
    quatLog(r, {0, 0, 1, 0});
    expectQuat(r, 0, 0, float(M_PI / 2), 0);
    quatFromAngleAxis(q, 1.3f, 0.48f, 0.6f, 0.64f);
    quatLog(r, q);
    Quat back;
    quatExp(back, r);
    expectQuat(back, q.x, q.y, q.z, q.w, 1e-6f);
    // The log of the turn from a to b, exponentiated and applied to a, gives b.
    Quat a, b, d, e, ae;
    quatFromAngleAxis(a, 0.3f, 1, 0, 0);
    quatFromAngleAxis(b, 0.9f, 0, 1, 0);
    quatLogDiff(d, a, b);
    quatExp(e, d);
    quatMul(ae, a, e);
    expectQuat(ae, b.x, b.y, b.z, b.w, 1e-5f);
}

TEST(Quaternions, SlerpEndpointsAndBranches) {
    Quat a, b, r;
    quatFromAngleAxis(a, 0.2f, 0, 1, 0);
    quatFromAngleAxis(b, 1.4f, 0, 1, 0);
    quatSlerp(r, a, b, 0, 0);
    expectQuat(r, a.x, a.y, a.z, a.w);
    quatSlerp(r, a, b, 0, 1);
    expectQuat(r, b.x, b.y, b.z, b.w);
    quatSlerp(r, a, b, 0, 0.5f);
    Quat mid;
    quatFromAngleAxis(mid, 0.8f, 0, 1, 0);
    expectQuat(r, mid.x, mid.y, mid.z, mid.w, 1e-6f);
    // Equal and opposite quaternions take the linear branch and give a back.
    for (float t : {0.0f, 0.3f, 1.0f}) {
        quatSlerp(r, a, a, 0, t);
        expectQuat(r, a.x, a.y, a.z, a.w);
    }
    Quat negA;
    quatScale(negA, a, -1);
    quatSlerp(r, a, negA, 0, 0.5f);
    expectQuat(r, a.x, a.y, a.z, a.w);
    // One spin adds a half turn to the angle travelled: halfway lands on the far side.
    quatSlerp(r, a, b, 1, 0.5f);
    EXPECT_NEAR(std::fabs(quatDot(r, mid)), 0.0f, 1e-5f);
}

TEST(Quaternions, LongSlerpBlendsWithoutFlippingSign) {
    Quat a, b, r;
    quatFromAngleAxis(a, 0.2f, 0, 0, 1);
    quatFromAngleAxis(b, 1.0f, 0, 0, 1);
    quatScale(b, b, -1);  // dot(a, b) < 0
    quatSlerpLong(r, a, b, 5, 1);
    expectQuat(r, b.x, b.y, b.z, b.w, 1e-5f);
    quatSlerpLong(r, a, b, 0, 0.5f);
    // Halfway along the long arc: the normalised sum of a and b, not of a and -b.
    Quat sum;
    quatAdd(sum, a, b);
    quatNormalize(sum, sum);
    expectQuat(r, sum.x, sum.y, sum.z, sum.w, 1e-5f);
    // Exactly opposite inputs stay finite.
    Quat negA;
    quatScale(negA, a, -1);
    quatSlerpLong(r, a, negA, 0, 0.25f);
    EXPECT_TRUE(std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z) && std::isfinite(r.w));
}

// Helpers the show never calls: one known answer each.
TEST(UnusedHelpers, EachGivesOneKnownAnswer) {
    Mat34 rx, ry, rz, tmp, m, inv, id;
    Vec3 p;
    matRotationX(rx, 1.1f);
    matRotationY(ry, -0.4f);
    matRotationZ(rz, float(M_PI / 2));
    matTransformPoint(p, {1, 0, 0}, rz);  // minus the angle for column vectors
    expectVec(p, 0, -1, 0);
    matRotationZ(rz, 0.3f);
    matMul(tmp, ry, rx);
    matMul(m, rz, tmp);
    matToEuler(p, m);
    expectVec(p, 1.1f, -0.4f, 0.3f, 1e-5f);

    m.m[0][3] = 3;
    ASSERT_EQ(matInverse(inv, m), ERR_OK);
    matMul(tmp, inv, m);
    matIdentity(id);
    expectMatNear(tmp, id);
    ASSERT_EQ(matInverseRotation(inv, m), ERR_OK);
    EXPECT_EQ(inv.m[0][3], 3.0f);
    m.m[1][0] = m.m[1][1] = m.m[1][2] = 0;
    EXPECT_EQ(matInverse(inv, m), ERR_SINGULAR_MATRIX);
    expectMatNear(inv, id, 0);

    Quat q, back;
    quatFromAngleAxis(q, 3.0f, 0.6f, 0, 0.8f);  // a negative trace
    quatToMatrixTransposed(m, q);
    matToQuat(back, m);
    expectQuat(back, q.x, q.y, q.z, q.w, 1e-5f);
    float angle, ax, ay, az;
    quatToAngleAxis(q, angle, ax, ay, az);
    EXPECT_NEAR(angle, 3.0f, 1e-5f);
    expectVec({ax, ay, az}, 0.6f, 0, 0.8f, 1e-5f);
}
