// Bone geometry and influence: segment distances, rest matrices and raw weights.
#include "loading/bones.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(SegmentDistance, MeasuresToTheSegmentOrItsNearestEnd) {
  Vector3 a{0, 0, 0}, b{0, 0, 2};
  EXPECT_FLOAT_EQ(segmentDistance(a, b, Vector3{3, 0, 1}), 3.0f);   // beside the segment
  EXPECT_FLOAT_EQ(segmentDistance(a, b, Vector3{0, 4, 5}), 5.0f);   // beyond B: to B
  EXPECT_FLOAT_EQ(segmentDistance(a, b, Vector3{0, 3, -4}), 5.0f);  // behind A: to A
  EXPECT_FLOAT_EQ(segmentDistance(a, b, Vector3{0, 0, 1}), 0.0f);   // on the segment
}

TEST(SegmentDistance, ZeroLengthSegmentMeasuresToA) {
  Vector3 a{1, 1, 1};
  float d = segmentDistance(a, a, Vector3{1, 4, 5});
  EXPECT_FALSE(std::isnan(d));
  EXPECT_FLOAT_EQ(d, 5.0f);
}

TEST(BoneRestMatrix, TurnsThenMoves) {
  const float position[3] = {1, 2, 3};
  const float direction[3] = {90, 0, 0};  // heading 90 degrees turns +Z onto +X
  Matrix4 m = boneRestMatrix(position, direction);
  Vector3 tip = transformPoint(Vector3{0, 0, 1}, m);
  EXPECT_NEAR(tip.x, 2.0f, 1e-5f);
  EXPECT_NEAR(tip.y, 2.0f, 1e-5f);
  EXPECT_NEAR(tip.z, 3.0f, 1e-5f);

  // Bank, then pitch, then heading: pitch 90 tips +Z down onto -Y.
  const float pitched[3] = {0, 90, 0};
  Vector3 down = transformDirection(Vector3{0, 0, 1}, boneRestMatrix(position, pitched));
  EXPECT_NEAR(down.x, 0.0f, 1e-5f);
  EXPECT_NEAR(down.y, -1.0f, 1e-5f);
  EXPECT_NEAR(down.z, 0.0f, 1e-5f);
}

TEST(BoneRawWeight, FalloffTypesPowerTheDistance) {
  BoneInfluence inf;
  inf.strength = 1.0f;
  const float expected[6] = {0.5f, 0.5f, 0.25f, 1.0f / 16, 1.0f / 256, 1.0f / 65536};
  for (int type = 0; type <= 5; ++type) {
    inf.falloffType = static_cast<std::uint8_t>(type);
    EXPECT_FLOAT_EQ(boneRawWeight(inf, 4.0f, 1.0f), expected[type]) << "falloff " << type;
  }
}

TEST(BoneRawWeight, TwoBonesNormaliseByDistance) {
  BoneInfluence inf;
  inf.strength = 2.0f;
  inf.falloffType = 2;
  float near = boneRawWeight(inf, 1.0f, 1.0f);
  float far = boneRawWeight(inf, 3.0f, 1.0f);
  EXPECT_FLOAT_EQ(near, 2.0f);
  EXPECT_FLOAT_EQ(far, 2.0f / 3.0f);
  float first[2] = {near, 0.0f};
  float second[2] = {far, 0.0f};
  float* links[2] = {first, second};
  normalizeBoneWeights(links, 2, 2);
  EXPECT_FLOAT_EQ(first[0], 0.75f);
  EXPECT_FLOAT_EQ(second[0], 0.25f);
  EXPECT_EQ(first[1], 0.0f);  // all-zero vertex keeps zeros
  EXPECT_EQ(second[1], 0.0f);
}

TEST(BoneRawWeight, ZeroDistanceMapAndRange) {
  BoneInfluence inf;
  inf.strength = 3.0f;
  inf.falloffType = 2;
  EXPECT_NEAR(boneRawWeight(inf, 0.0f, 1.0f), 300.0f, 1e-2f);  // sqrt(1 / 0.0001) x strength
  EXPECT_EQ(boneRawWeight(inf, 1.0f, 0.0f), 0.0f);             // map value 0

  inf.strength = 1.0f;
  inf.falloffType = 1;
  inf.limitedRange = true;
  inf.minRange = 0.5f;
  inf.maxRange = 2.0f;
  EXPECT_FLOAT_EQ(boneRawWeight(inf, 4.0f, 1.0f), 0.5f);  // E = 0.5, inside
  EXPECT_EQ(boneRawWeight(inf, 0.1f, 1.0f), 0.0f);        // E ~ 3.16, outside
}

}  // namespace
