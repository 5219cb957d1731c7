// Camera view and projection matrices.
#include "math/camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

Vector3 transformPoint(const Matrix4& m, const Vector3& p) {
  return Vector3{p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                 p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                 p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
}

}  // namespace

TEST(CameraTest, DefaultMatrices) {
  Camera camera;
  EXPECT_FALSE(camera.viewDirty);
  EXPECT_FALSE(camera.projectionDirty);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(camera.view.m[i], (i % 5 == 0) ? 1.0f : 0.0f);
  const Matrix4& p = camera.projection;
  EXPECT_NEAR(p.m[0], 2.4142135f, 1e-5f);
  EXPECT_NEAR(p.m[5], 3.2708524f, 1e-5f);
  EXPECT_NEAR(p.m[10], 100.0f / 99.99f, 1e-6f);
  EXPECT_NEAR(p.m[14], -0.01f * 100.0f / 99.99f, 1e-7f);
  EXPECT_EQ(p.m[11], 1.0f);
  EXPECT_EQ(p.m[15], 0.0f);
}

TEST(CameraTest, ViewMovesThenTurnsHeadingPitchBank) {
  Camera camera;
  camera.setPosition(1.0f, 2.0f, 3.0f);
  camera.setRotation(static_cast<float>(M_PI / 2), 0.0f, 0.0f);
  EXPECT_TRUE(camera.viewDirty);
  camera.update();
  EXPECT_FALSE(camera.viewDirty);
  // The eye itself maps to the origin; a point one unit along +Z from it turns with heading.
  const Vector3 eye = transformPoint(camera.view, Vector3{1.0f, 2.0f, 3.0f});
  EXPECT_NEAR(eye.x, 0.0f, 1e-5f);
  EXPECT_NEAR(eye.y, 0.0f, 1e-5f);
  EXPECT_NEAR(eye.z, 0.0f, 1e-5f);
  const Vector3 ahead = transformPoint(camera.view, Vector3{1.0f, 2.0f, 4.0f});
  EXPECT_NEAR(ahead.x, 1.0f, 1e-5f);  // row 2 of Ry(90) is (1, 0, 0)
  EXPECT_NEAR(ahead.z, 0.0f, 1e-5f);
}

TEST(CameraTest, LookAtPutsTargetOnViewAxisAndRollTurnsImage) {
  Camera camera;
  camera.setPosition(0.0f, 1.0f, -3.0f);
  camera.lookAt(Vector3{0.0f, 0.0f, 0.0f}, 0.0f);
  EXPECT_FALSE(camera.viewDirty);
  const Vector3 target = transformPoint(camera.view, Vector3{0.0f, 0.0f, 0.0f});
  EXPECT_NEAR(target.x, 0.0f, 1e-5f);
  EXPECT_NEAR(target.y, 0.0f, 1e-5f);
  EXPECT_NEAR(target.z, std::sqrt(10.0f), 1e-5f);
  // A point above the target appears above the centre.
  const Vector3 above = transformPoint(camera.view, Vector3{0.0f, 1.0f, 0.0f});
  EXPECT_GT(above.y, 0.0f);
  EXPECT_NEAR(above.x, 0.0f, 1e-5f);

  // With a roll of 90 degrees, "up" in the world turns sideways in the image, the
  // viewing axis stays.
  Camera rolled;
  rolled.setPosition(0.0f, 1.0f, -3.0f);
  rolled.lookAt(Vector3{0.0f, 0.0f, 0.0f}, static_cast<float>(M_PI / 2));
  const Vector3 t2 = transformPoint(rolled.view, Vector3{0.0f, 0.0f, 0.0f});
  EXPECT_NEAR(t2.z, std::sqrt(10.0f), 1e-5f);
  const Vector3 above2 = transformPoint(rolled.view, Vector3{0.0f, 1.0f, 0.0f});
  EXPECT_NEAR(above2.y, 0.0f, 1e-5f);
  EXPECT_NEAR(std::fabs(above2.x), std::fabs(above.y), 1e-5f);
}

TEST(CameraTest, DegenerateLookAtDoesNotFail) {
  Camera same;
  same.setPosition(1.0f, 1.0f, 1.0f);
  same.lookAt(Vector3{1.0f, 1.0f, 1.0f}, 0.0f);
  Camera above;
  above.lookAt(Vector3{0.0f, 5.0f, 0.0f}, 0.0f);
  for (int i = 0; i < 16; ++i) {
    EXPECT_FALSE(std::isnan(same.view.m[i]));
    EXPECT_FALSE(std::isnan(above.view.m[i]));
  }
  // Looking straight up leaves no up vector: the right and up columns are zero.
  EXPECT_EQ(above.view.m[0], 0.0f);
  EXPECT_EQ(above.view.m[1], 0.0f);
}
