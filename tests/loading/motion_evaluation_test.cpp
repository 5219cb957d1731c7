// Motion evaluation: object, bone, light and camera matrices, the parent chain, the
// time cache, scalar and colour motions.
#include "loading/motion_evaluation.h"
#include "math/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr float kQuarter = static_cast<float>(M_PI / 2);

// Sets channel i to a constant (one linear key at time 0).
void setChannel(Motion& motion, int i, float value) {
  EnvelopeKey key{};
  key.shape = ShapeLinear;
  key.value = value;
  Envelope* fresh = new Envelope(EndConstant, EndConstant);
  fresh->addKey(key);
  delete motion.channels[i];
  motion.channels[i] = fresh;
}

// Sets channel i to a ramp from 0 at time 0 to value at time 1 (constant after).
void setRamp(Motion& motion, int i, float value) {
  setChannel(motion, i, 0.0f);
  EnvelopeKey key{};
  key.shape = ShapeLinear;
  key.time = 1.0f;
  key.value = value;
  motion.channels[i]->addKey(key);
}

// position, heading/pitch/bank, scale.
void place(Motion& motion, Vector3 p, Vector3 hpb = {0, 0, 0}, Vector3 s = {1, 1, 1}) {
  const float values[9] = {p.x, p.y, p.z, hpb.x, hpb.y, hpb.z, s.x, s.y, s.z};
  for (int i = 0; i < motion.channelCount && i < 9; ++i) setChannel(motion, i, values[i]);
}

Vector3 transformPoint(const Matrix4& m, const Vector3& p) {
  return Vector3{p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
                 p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
                 p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
}

void expectPoint(const Vector3& got, float x, float y, float z, float eps = 1e-4f) {
  EXPECT_NEAR(got.x, x, eps);
  EXPECT_NEAR(got.y, y, eps);
  EXPECT_NEAR(got.z, z, eps);
}

void expectMatrix(const Matrix4& a, const Matrix4& b, float eps = 1e-4f) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b.m[i], eps) << "element " << i;
}

uint32_t bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

}  // namespace

TEST(MotionEvaluationTest, ObjectMatrixAppliesPivotRotationsScaleAndPosition) {
  Motion object(9, MotionObject);
  object.pivot[0] = 1.0f;
  place(object, {0, 0, 5}, {kQuarter, 0, 0}, {2, 2, 2});
  EXPECT_TRUE(evaluateMotion(&object, 0.0f, false));
  // (2, 0, 0): minus pivot (1, 0, 0), heading 90 degrees turns +X to -Z, scale 2, then +5 in z.
  expectPoint(transformPoint(object.matrix, {2, 0, 0}), 0, 0, 3);
  // The pivot itself lands on the position.
  expectPoint(transformPoint(object.matrix, {1, 0, 0}), 0, 0, 5);

  // Bank then pitch then heading: (1, 0, 0) banked 90 goes to +Y, pitched 90 to +Z.
  Motion turned(9, MotionObject);
  place(turned, {0, 0, 0}, {0, kQuarter, kQuarter});
  evaluateMotion(&turned, 0.0f, false);
  expectPoint(transformPoint(turned.matrix, {1, 0, 0}), 0, 0, 1);
}

TEST(MotionEvaluationTest, CacheHitsReturnFalseAndChangeNothing) {
  Motion object(9, MotionObject);
  place(object, {1, 2, 3});
  setRamp(object, 0, 10.0f);
  EXPECT_TRUE(evaluateMotion(&object, 0.5f, false));
  EXPECT_EQ(object.position[0], 5.0f);
  const Matrix4 before = object.matrix;
  object.position[0] = 99.0f;
  EXPECT_FALSE(evaluateMotion(&object, 0.5f, false));
  EXPECT_EQ(object.position[0], 99.0f);
  EXPECT_EQ(std::memcmp(&before, &object.matrix, sizeof before), 0);
  EXPECT_TRUE(evaluateMotion(&object, 0.75f, false));
  EXPECT_EQ(object.position[0], 7.5f);

  Motion unknown(1, 9);
  EXPECT_FALSE(evaluateMotion(&unknown, 1.0f, false));
  EXPECT_FALSE(evaluateMotion(nullptr, 1.0f, false));
}

TEST(MotionEvaluationTest, ChildFollowsParentAndItsScale) {
  Motion parent(9, MotionObject);
  place(parent, {0, 0, 10}, {kQuarter, 0, 0}, {2, 1, 1});
  setRamp(parent, 2, 10.0f);
  Motion child(9, MotionObject);
  place(child, {1, 0, 0}, {0, 0, 0}, {3, 3, 3});
  child.parent = &parent;

  EXPECT_TRUE(evaluateMotion(&child, 1.0f, false));
  EXPECT_EQ(parent.cachedTime, 1.0f);  // the parent was evaluated first
  // Child origin: (1, 0, 0) in the parent's frame, headed to -Z, scaled (x only: no
  // effect), moved to z = 10.
  expectPoint(transformPoint(child.matrix, {0, 0, 0}), 0, 0, 9);
  EXPECT_EQ(child.scale[0], 6.0f);
  EXPECT_EQ(child.scale[1], 3.0f);

  EXPECT_FALSE(evaluateMotion(&child, 1.0f, false));
  // The parent changes at the same time (its cache cleared): the child follows.
  parent.cachedTime = -1.0f;
  EXPECT_TRUE(evaluateMotion(&child, 1.0f, false));

  // A new time re-evaluates the parent before the child.
  EXPECT_TRUE(evaluateMotion(&child, 0.5f, false));
  EXPECT_EQ(parent.cachedTime, 0.5f);
  expectPoint(transformPoint(child.matrix, {0, 0, 0}), 0, 0, 4);
}

TEST(MotionEvaluationTest, ParentCycleDoesNotRecurseForever) {
  Motion a(9, MotionObject), b(9, MotionObject);
  place(a, {1, 0, 0});
  place(b, {0, 1, 0});
  a.parent = &b;
  b.parent = &a;
  evaluateMotion(&a, 1.0f, false);
  EXPECT_EQ(a.cachedTime, 1.0f);
}

TEST(MotionEvaluationTest, CameraWithoutTargetGetsItsViewMatrix) {
  Motion camera(9, MotionCamera);
  place(camera, {1, 2, 3}, {0.3f, -0.2f, 0.1f});
  EXPECT_TRUE(evaluateMotion(&camera, 0.0f, false));
  // The same view as a Camera turned by the negated angles.
  Camera reference;
  reference.setPosition(1, 2, 3);
  reference.setRotation(-0.3f, 0.2f, -0.1f);
  reference.update();
  expectMatrix(camera.matrix, reference.view);
  expectPoint(transformPoint(camera.matrix, {1, 2, 3}), 0, 0, 0);
  EXPECT_FALSE(evaluateMotion(&camera, 0.0f, false));

  // As a parent, even at the time just evaluated: its placement, and the stale marker so
  // that the next ordinary evaluation at the same time recomputes the view.
  EXPECT_TRUE(evaluateMotion(&camera, 0.0f, true));
  EXPECT_EQ(bits(camera.cachedTime), 0xC2F78937u);
  expectPoint(transformPoint(camera.matrix, {0, 0, 0}), 1, 2, 3);
  EXPECT_TRUE(evaluateMotion(&camera, 0.0f, false));
  expectMatrix(camera.matrix, reference.view);
}

TEST(MotionEvaluationTest, CameraAimsAtTargetOrigin) {
  Motion target(9, MotionObject);
  target.pivot[0] = 4.0f;  // the pivot does not move the aim point
  place(target, {0, 0, 10});
  Motion camera(9, MotionCamera);
  place(camera, {0, 0, 0}, {0, 0, 0.5f});
  camera.target = &target;
  EXPECT_TRUE(evaluateMotion(&camera, 2.0f, false));
  EXPECT_EQ(target.cachedTime, 2.0f);
  expectPoint(transformPoint(camera.matrix, {0, 0, 10}), 0, 0, 10);

  Camera reference;
  reference.lookAt(Vector3{0, 0, 10}, 0.5f);
  expectMatrix(camera.matrix, reference.view);

  // Target moved off the axis: it stays on the viewing axis.
  place(target, {3, 0, 4});
  EXPECT_TRUE(evaluateMotion(&camera, 3.0f, false));
  expectPoint(transformPoint(camera.matrix, {3, 0, 4}), 0, 0, 5);
}

TEST(MotionEvaluationTest, CameraUnderParentIsInverseOfPlacement) {
  Motion parent(9, MotionObject);
  place(parent, {0, 0, 5}, {kQuarter, 0, 0});
  Motion camera(9, MotionCamera);
  place(camera, {1, 0, 0});
  camera.parent = &parent;
  EXPECT_TRUE(evaluateMotion(&camera, 0.0f, false));
  // The camera sits at (1, 0, 0) in the parent's frame: world (0, 0, 4).
  expectPoint(transformPoint(camera.matrix, {0, 0, 4}), 0, 0, 0);
  // Looking along the parent's +Z (world +X).
  expectPoint(transformPoint(camera.matrix, {1, 0, 4}), 0, 0, 1);
  const Matrix4 first = camera.matrix;
  // No feedback from the previous frame.
  EXPECT_TRUE(evaluateMotion(&camera, 1.0f, false));
  EXPECT_TRUE(evaluateMotion(&camera, 2.0f, false));
  expectMatrix(camera.matrix, first);
}

TEST(MotionEvaluationTest, LightDirectionRows) {
  Motion light(9, MotionLight);
  place(light, {5, 6, 7}, {kQuarter, 0, 0});
  EXPECT_TRUE(evaluateMotion(&light, 0.0f, false));
  // Row 2 is the direction: heading 90 degrees points +Z to +X; no translation.
  expectPoint(Vector3{light.matrix.m[8], light.matrix.m[9], light.matrix.m[10]}, 1, 0, 0);
  EXPECT_EQ(light.matrix.m[12], 0.0f);
  EXPECT_EQ(light.matrix.m[13], 0.0f);
  EXPECT_EQ(light.matrix.m[14], 0.0f);
  EXPECT_FALSE(evaluateMotion(&light, 0.0f, false));

  // A light turns by heading before pitch (Rz x Ry x Rx): +Z goes to +X, which pitch
  // leaves alone. Pitch alone points it down.
  Motion tilted(9, MotionLight);
  place(tilted, {0, 0, 0}, {kQuarter, kQuarter, 0});
  evaluateMotion(&tilted, 0.0f, false);
  expectPoint(Vector3{tilted.matrix.m[8], tilted.matrix.m[9], tilted.matrix.m[10]}, 1, 0, 0);
  Motion down(9, MotionLight);
  place(down, {0, 0, 0}, {0, kQuarter, 0});
  evaluateMotion(&down, 0.0f, false);
  expectPoint(Vector3{down.matrix.m[8], down.matrix.m[9], down.matrix.m[10]}, 0, -1, 0);

  // As a parent: full placement with translation, and the stale marker.
  EXPECT_TRUE(evaluateMotion(&light, 0.0f, true));
  EXPECT_EQ(bits(light.cachedTime), 0xC2F78937u);
  expectPoint(transformPoint(light.matrix, {0, 0, 0}), 5, 6, 7);
  EXPECT_TRUE(evaluateMotion(&light, 0.0f, false));
}

TEST(MotionEvaluationTest, LightWithTargetIsAimedAtIt) {
  Motion target(9, MotionObject);
  place(target, {3, 1, 4});
  Motion light(9, MotionLight);
  place(light, {0, 1, 0}, {1.0f, 0.5f, 0});  // the angles give way to the aim
  light.target = &target;
  EXPECT_TRUE(evaluateMotion(&light, 0.0f, false));
  expectPoint(Vector3{light.matrix.m[8], light.matrix.m[9], light.matrix.m[10]}, 0.6f, 0, 0.8f);
  EXPECT_EQ(light.matrix.m[14], 0.0f);
  // The rows stay orthonormal.
  const float* m = light.matrix.m;
  EXPECT_NEAR(m[0] * m[8] + m[1] * m[9] + m[2] * m[10], 0.0f, 1e-5f);
  EXPECT_NEAR(m[4] * m[4] + m[5] * m[5] + m[6] * m[6], 1.0f, 1e-5f);

  // The target moving follows at the next time.
  setRamp(target, 1, 5.0f);  // y from 0 to 5 over one second
  EXPECT_TRUE(evaluateMotion(&light, 1.0f, false));
  EXPECT_NEAR(light.matrix.m[9], 4.0f / std::sqrt(9.0f + 16.0f + 16.0f), 1e-5f);
}

TEST(MotionEvaluationTest, BoneRestIsPreparedOnceAlongTheChain) {
  Motion object(9, MotionObject);
  place(object, {0, 0, 0});
  Motion root(9, MotionBone);
  place(root, {0, 0, 1});
  root.parent = &object;
  root.restMatrix.setIdentity();
  root.restMatrix.m[14] = 1.0f;
  Motion child(9, MotionBone);
  place(child, {0, 0, 2});
  child.parent = &root;
  child.restMatrix.setIdentity();
  child.restMatrix.m[14] = 2.0f;

  EXPECT_TRUE(evaluateMotion(&child, 0.0f, false));
  EXPECT_EQ(root.restReady, 1);
  EXPECT_EQ(child.restReady, 1);
  EXPECT_FLOAT_EQ(child.restMatrix.m[14], 3.0f);  // accumulated from the root down
  EXPECT_FLOAT_EQ(child.inverseRestMatrix.m[14], -3.0f);
  EXPECT_FLOAT_EQ(root.inverseRestMatrix.m[14], -1.0f);
  // At rest the skin matrix inverseRest x matrix is the identity.
  Matrix4 skin;
  child.matrix.multiply(child.inverseRestMatrix, skin);
  Matrix4 identity;
  identity.setIdentity();
  expectMatrix(skin, identity);

  EXPECT_TRUE(evaluateMotion(&child, 1.0f, false));
  EXPECT_FLOAT_EQ(child.restMatrix.m[14], 3.0f);  // not multiplied again
}

TEST(MotionEvaluationTest, ScalarAndColorMotions) {
  Motion intensity(1, MotionScalar);
  setRamp(intensity, 0, 2.0f);
  EXPECT_TRUE(evaluateMotion(&intensity, 0.25f, false));
  EXPECT_EQ(intensity.value, 0.5f);
  EXPECT_FALSE(evaluateMotion(&intensity, 0.25f, false));

  Motion color(3, MotionColor);
  setChannel(color, 0, 1.0f);
  setChannel(color, 1, 0.5f);
  setChannel(color, 2, 0.0f);
  EXPECT_TRUE(evaluateMotion(&color, 0.0f, false));
  EXPECT_EQ(color.packedColor, 0x00FF7F00u);
  EXPECT_FALSE(evaluateMotion(&color, 0.0f, false));
  // No clamping: components above 1 carry into the next byte, far-off values stay defined.
  setChannel(color, 2, 2.0f);
  EXPECT_TRUE(evaluateMotion(&color, 1.0f, false));
  EXPECT_EQ(color.packedColor, 0x00FF7F00u + 510u);
  setChannel(color, 0, 1e30f);
  EXPECT_TRUE(evaluateMotion(&color, 2.0f, false));
}
