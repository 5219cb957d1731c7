// Quaternion table and operations.
#include "math/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expectQuatNear(const Quaternion& a, const Quaternion& b, float eps = 1e-5f) {
  EXPECT_NEAR(a.w, b.w, eps);
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// q and -q describe the same rotation.
void expectSameRotation(const Quaternion& a, const Quaternion& b) {
  const float d = std::fabs(a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z);
  EXPECT_NEAR(d, 1.0f, 1e-5f);
}

}  // namespace

TEST(QuaternionTest, InstallFillsEveryEntry) {
  installQuaternionOperations();
  const QuaternionOperations& ops = quaternionOperations;
  EXPECT_EQ(ops.quatNormalize, &quatNormalizePlain);
  EXPECT_EQ(ops.quatAdd, &quatAddPlain);
  EXPECT_EQ(ops.quatFromMatrix, &quatFromMatrixPlain);
  EXPECT_EQ(ops.quatRotateVector, &quatRotateVectorPlain);
  EXPECT_EQ(ops.quatToAxisAngle, &quatToAxisAnglePlain);
  EXPECT_EQ(ops.quatSlerp, &quatSlerpPlain);
  EXPECT_EQ(ops.quatDot, &quatDotPlain);
  EXPECT_EQ(ops.quatFromAxisAngle, &quatFromAxisAnglePlain);
  EXPECT_EQ(ops.quatMultiply, &quatMultiplyPlain);
  EXPECT_EQ(ops.quatSubtract, &quatSubtractPlain);
  EXPECT_EQ(ops.quatToMatrix, &quatToMatrixPlain);
}

TEST(QuaternionTest, MultiplyAndRotateAgree) {
  // Two quarter turns about Y make a half turn; rotating (1, 0, 0) by it gives (-1, 0, 0).
  const AxisAngle quarter{0.0f, 1.0f, 0.0f, 90.0f};
  Quaternion q;
  quatFromAxisAnglePlain(&q, &quarter);
  Quaternion half = q;
  quatMultiplyPlain(&half, &half, &q);  // out aliasing p
  const AxisAngle halfTurn{0.0f, 1.0f, 0.0f, 180.0f};
  Quaternion expected;
  quatFromAxisAnglePlain(&expected, &halfTurn);
  expectQuatNear(half, expected);
  EXPECT_NEAR(expected.w, 0.0f, 1e-6f);
  EXPECT_FLOAT_EQ(expected.y, 1.0f);

  const Vector3 v{1.0f, 0.0f, 0.0f};
  Vector3 r;
  quatRotateVectorPlain(&r, &v, &half);
  EXPECT_NEAR(r.x, -1.0f, 1e-5f);
  EXPECT_NEAR(r.y, 0.0f, 1e-5f);
  EXPECT_NEAR(r.z, 0.0f, 1e-5f);

  AxisAngle back;
  quatToAxisAnglePlain(&back, &q);
  EXPECT_NEAR(back.angle, 90.0f, 1e-3f);
  EXPECT_NEAR(back.y, 1.0f, 1e-5f);

  Quaternion sum;
  quatAddPlain(&sum, &q, &half);
  Quaternion diff;
  quatSubtractPlain(&diff, &sum, &half);
  expectQuatNear(diff, q);
  const Quaternion big{2.0f, 0.0f, 0.0f, 0.0f};
  Quaternion unit;
  quatNormalizePlain(&unit, &big);
  EXPECT_FLOAT_EQ(unit.w, 1.0f);
}

TEST(QuaternionTest, SlerpEndsShortArcAndEqualInputs) {
  const AxisAngle aa{0.0f, 0.0f, 1.0f, 60.0f};
  Quaternion a;
  quatFromAxisAnglePlain(&a, &aa);
  const AxisAngle bb{1.0f, 0.0f, 0.0f, 120.0f};
  Quaternion b;
  quatFromAxisAnglePlain(&b, &bb);
  Quaternion out;
  quatSlerpPlain(&out, &a, &b, 0.0f);
  expectQuatNear(out, a);
  quatSlerpPlain(&out, &a, &b, 1.0f);
  expectQuatNear(out, b);

  const Quaternion negB{-b.w, -b.x, -b.y, -b.z};
  quatSlerpPlain(&out, &a, &negB, 1.0f);  // negative dot: the shorter arc ends at b
  expectQuatNear(out, b);

  quatSlerpPlain(&out, &a, &a, 0.3f);
  expectQuatNear(out, a);

  quatSlerpPlain(&out, &a, &b, 0.5f);
  EXPECT_NEAR(quatDotPlain(&out, &out), 1.0f, 1e-5f);
}

TEST(QuaternionTest, MatrixRoundTripInAllBranches) {
  // Each rotation makes a different diagonal entry (or the trace) dominate.
  const AxisAngle cases[] = {
      {0.0f, 1.0f, 0.0f, 30.0f},   // trace > 0
      {1.0f, 0.0f, 0.0f, 170.0f},  // x largest
      {0.0f, 1.0f, 0.0f, 170.0f},  // y largest
      {0.0f, 0.0f, 1.0f, 170.0f},  // z largest
      {0.6f, 0.0f, 0.8f, 180.0f},  // half turn off the axes
  };
  for (const AxisAngle& aa : cases) {
    Quaternion q;
    quatFromAxisAnglePlain(&q, &aa);
    Matrix4 m;
    quatToMatrixPlain(&m, &q);
    Quaternion back;
    quatFromMatrixPlain(&back, &m);
    expectSameRotation(back, q);
  }
}
