// Vector and matrix operations: products in the row-vector convention, aliasing, inverses.
#include "math/matrix4.h"
#include "math/vector3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Matrix4 sample(float base) {
  Matrix4 a;
  for (int i = 0; i < 16; ++i) a.m[i] = base + static_cast<float>(i * i % 7) - 0.5f * static_cast<float>(i);
  return a;
}

Matrix4 product(const Matrix4& left, const Matrix4& right) {
  Matrix4 out;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += left.m[4 * r + k] * right.m[4 * k + c];
      out.m[4 * r + c] = s;
    }
  return out;
}

void expectNear(const Matrix4& a, const Matrix4& b, float eps = 1e-4f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

}  // namespace

TEST(Vector3Test, OperationsAndZeroNormalize) {
  const Vector3 a{1.0f, 2.0f, 3.0f};
  const Vector3 b{4.0f, -5.0f, 6.0f};
  Vector3 out;
  a.subtract(b, out);
  EXPECT_EQ(out.x, -3.0f);
  EXPECT_EQ(out.y, 7.0f);
  EXPECT_EQ(out.z, -3.0f);
  a.cross(b, out);
  EXPECT_EQ(out.x, 2.0f * 6.0f - 3.0f * -5.0f);
  EXPECT_EQ(out.y, 3.0f * 4.0f - 1.0f * 6.0f);
  EXPECT_EQ(out.z, 1.0f * -5.0f - 2.0f * 4.0f);
  Vector3 c = a;
  c.cross(b, c);  // out aliasing this
  EXPECT_EQ(c.x, out.x);
  EXPECT_EQ(c.z, out.z);

  Vector3 zero{0.0f, 0.0f, 0.0f};
  zero.normalize();
  EXPECT_EQ(zero.x, 0.0f);
  EXPECT_FALSE(std::isnan(zero.y));
  Vector3 v{3.0f, 0.0f, 4.0f};
  v.normalize();
  EXPECT_FLOAT_EQ(v.x, 0.6f);
  EXPECT_FLOAT_EQ(v.z, 0.8f);
}

TEST(Matrix4Test, MultiplyTakesArgumentAsLeftFactorAndAllowsAliasing) {
  const Matrix4 a = sample(1.0f);
  const Matrix4 b = sample(-2.0f);
  Matrix4 out;
  b.multiply(a, out);
  expectNear(out, product(a, b));

  Matrix4 self = b;
  self.multiply(a, self);  // out is this
  expectNear(self, product(a, b));

  Matrix4 left = a;
  b.multiply(left, left);  // out is other
  expectNear(left, product(a, b));

  Matrix4 pre = b;
  pre.preMultiply(a);
  expectNear(pre, product(a, b));
}

TEST(Matrix4Test, RotationsMoveRowVectors) {
  Matrix4 ry;
  ry.setRotationY(static_cast<float>(M_PI / 2));
  // (0, 0, 1) * Ry(90 degrees) lands on +X: row 2 is (1, 0, 0).
  EXPECT_NEAR(ry.m[8], 1.0f, 1e-6f);
  EXPECT_NEAR(ry.m[10], 0.0f, 1e-6f);
  Matrix4 rz;
  rz.setRotationZ(static_cast<float>(M_PI / 2));
  // (1, 0, 0) lands on +Y.
  EXPECT_NEAR(rz.m[1], 1.0f, 1e-6f);
  EXPECT_NEAR(rz.m[0], 0.0f, 1e-6f);
}

TEST(Matrix4Test, InvertRigidAndGeneralInverse) {
  Matrix4 rot;
  rot.setRotationY(0.7f);
  Matrix4 z;
  z.setRotationZ(-0.3f);
  rot.preMultiply(z);
  rot.m[12] = 3.0f;
  rot.m[13] = -1.0f;
  rot.m[14] = 2.5f;
  Matrix4 inv = rot;
  inv.invertRigid();
  Matrix4 id;
  id.setIdentity();
  expectNear(product(rot, inv), id);

  Matrix4 copy = rot;
  Matrix4 general;
  ASSERT_TRUE(copy.invertMatrix(general));
  expectNear(general, inv);
  expectNear(copy, id);  // the source is reduced to the identity

  // Zero on the diagonal but invertible: succeeds through the row swap.
  Matrix4 perm;
  perm.setIdentity();
  perm.m[0] = 0.0f;
  perm.m[1] = 2.0f;
  perm.m[4] = 3.0f;
  perm.m[5] = 0.0f;
  Matrix4 permCopy = perm;
  Matrix4 permInv;
  ASSERT_TRUE(permCopy.invertMatrix(permInv));
  expectNear(product(perm, permInv), id);

  Matrix4 singular = sample(0.0f);
  for (int r = 0; r < 4; ++r) singular.m[4 * r + 2] = 0.0f;  // column 2 all zero
  Matrix4 none;
  EXPECT_FALSE(singular.invertMatrix(none));
}
