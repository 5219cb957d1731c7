// Bone links and vertex weights of objects, and deformation at render time: a two-bone
// arm that stays in place in its rest pose and bends as worked out by hand.
#include "scene/bone_weights.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

constexpr float kQuarter = 1.5707964f;

// Vertices: v0 on the upper bone, v1 on the lower bone, v2 at distance 1 from both.
void writeArm(const std::string& path, bool withMaps) {
  Scene3dxWriter w;
  w.object(1, 1);
  w.material({});
  w.vertices({{0, 0, 0.5f}, {0, 0, 1.5f}, {0, 1, 1}});
  w.triangles({{0, 1, 2}});
  if (withMaps) w.weights({{"upper", {1, 1, 0}}, {"other", {0, 0, 0}}});
  ASSERT_TRUE(w.save(path));
}

std::string bone(const std::string& name, float z, const std::string& parent, const std::string& extra,
                 float pitchAtOne = 0.0f) {
  std::string text = "BoneName " + name + "\nBoneActive 1\nBoneRestPosition 0 0 " + std::to_string(z) +
                     "\nBoneRestDirection 0 0 0\nBoneRestLength 1\nBoneStrength 1\n" + extra;
  std::vector<std::vector<SceneKey>> channels = {{{0, 0}}, {{0, 0}}, {{z, 0}}, {{0, 0}}, {{0, 0}, {pitchAtOne, 1}},
                                                 {{0, 0}}, {{1, 0}}, {{1, 0}}, {{1, 0}}};
  return text + sceneKeyedMotionText("BoneMotion", channels) + "ParentItem " + parent + "\n";
}

class BoneWeightsTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};
  Camera frameCamera;

  bool loadArm(const std::string& bones, bool withMaps = false) {
    writeArm(dir.file("arm.3dx"), withMaps);
    std::string text = "LWSC\n3\nLoadObjectLayer 1 arm.lwo\n" + sceneItemMotionText("ObjectMotion", 0, 0, 0) +
                       "BoneFalloffType 2\n" + bones;
    return scene.loadScene(dir.writeText("arm.lws", text).c_str());
  }
  SceneObject* arm() { return scene.objects[0]; }
  float weight(int link, int vertex) { return arm()->boneLinks[link].weights[0][vertex]; }
  // Position (and normal) of vertex v as the buffer holds it now.
  const float* vertex(int v) {
    const float* data = static_cast<const float*>(scene.lockVertexBuffer(arm()->groups[0].vertexBuffer));
    scene.unlockVertexBuffer(arm()->groups[0].vertexBuffer);
    return data + 6 * v;
  }
};

TEST_F(BoneWeightsTest, TwoBonesWeighByDistanceAndSumToOne) {
  ASSERT_TRUE(loadArm(bone("Upper", 0, "10000000", "") + bone("Lower", 1, "40000000", "", kQuarter)));
  ASSERT_EQ(arm()->boneLinkCount, 2);
  EXPECT_EQ(arm()->boneLinks[0].bone, scene.bones[0]);
  EXPECT_EQ(arm()->boneLinks[0].groupCount, 1);
  // v0: on the upper bone (100), 0.5 from the lower (2); v2: 1 from both.
  EXPECT_NEAR(weight(0, 0), 100.0f / 102.0f, 1e-5f);
  EXPECT_NEAR(weight(1, 0), 2.0f / 102.0f, 1e-5f);
  EXPECT_NEAR(weight(0, 1), 2.0f / 102.0f, 1e-5f);
  EXPECT_NEAR(weight(0, 2), 0.5f, 1e-6f);
  EXPECT_NEAR(weight(1, 2), 0.5f, 1e-6f);
  ASSERT_NE(arm()->restVertices, nullptr);
  EXPECT_FLOAT_EQ(arm()->restVertices[0][6 + 2], 1.5f);  // z of v1 as loaded
}

TEST_F(BoneWeightsTest, RestPoseKeepsVerticesAndBentPoseMovesThem) {
  ASSERT_TRUE(loadArm(bone("Upper", 0, "10000000", "") + bone("Lower", 1, "40000000", "", kQuarter)));
  scene.render(&frameCamera, 0.0f);
  const float rest[3][3] = {{0, 0, 0.5f}, {0, 0, 1.5f}, {0, 1, 1}};
  for (int v = 0; v < 3; ++v)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(vertex(v)[c], rest[v][c], 1e-5f) << v << "," << c;
  EXPECT_NEAR(std::fabs(vertex(0)[3]), 1.0f, 1e-5f);  // the normal stays along x

  // At time 1 the lower bone is pitched 90 degrees about its root (0, 0, 1): alone it would
  // take v1 to (0, -0.5, 1), v0 to (0, 0.5, 1) and v2 to (0, 0, 2).
  scene.render(&frameCamera, 1.0f);
  const float a = 100.0f / 102.0f, b = 2.0f / 102.0f;
  EXPECT_NEAR(vertex(0)[1], 0.5f * b, 1e-5f);
  EXPECT_NEAR(vertex(0)[2], 0.5f * a + 1.0f * b, 1e-5f);
  EXPECT_NEAR(vertex(1)[1], -0.5f * a, 1e-5f);
  EXPECT_NEAR(vertex(1)[2], 1.5f * b + 1.0f * a, 1e-5f);
  EXPECT_NEAR(vertex(2)[0], 0.0f, 1e-5f);
  EXPECT_NEAR(vertex(2)[1], 0.5f, 1e-5f);
  EXPECT_NEAR(vertex(2)[2], 1.5f, 1e-5f);
  EXPECT_NEAR(std::fabs(vertex(1)[3]), 1.0f, 1e-5f);  // pitch turns about x: the normal stays

  // Back at time 0 the rest pose returns: deformation always starts from the rest vertices.
  scene.render(&frameCamera, 0.0f);
  EXPECT_NEAR(vertex(1)[1], 0.0f, 1e-5f);
  EXPECT_NEAR(vertex(1)[2], 1.5f, 1e-5f);
  // Deformed objects draw with the identity world matrix.
  auto world = driver.callsOf("setWorldMatrix");
  ASSERT_FALSE(world.empty());
  EXPECT_FLOAT_EQ(world.back().matrix[0], 1.0f);
}

TEST_F(BoneWeightsTest, ASecondSceneFileLeavesEarlierBonesAlone) {
  std::string bones = bone("Upper", 0, "10000000", "") + bone("Lower", 1, "40000000", "", kQuarter);
  ASSERT_TRUE(loadArm(bones));
  Matrix4 firstRest = scene.bones[1]->motions[0].motion->restMatrix;
  // The second file's bones belong to its own object (index 1).
  std::string text = "LWSC\n3\nLoadObjectLayer 1 arm.lwo\n" + sceneItemMotionText("ObjectMotion", 5, 0, 0) +
                     "BoneFalloffType 2\n" + bone("Upper", 0, "10000001", "") +
                     bone("Lower", 1, "40000001", "", kQuarter);
  ASSERT_TRUE(scene.loadScene(dir.writeText("second.lws", text).c_str()));
  ASSERT_EQ(scene.boneCount, 4);
  EXPECT_EQ(scene.bones[1]->motionCount, 1);  // no motion for the second file: its rest step is skipped
  for (int i = 0; i < 16; ++i) EXPECT_EQ(scene.bones[1]->motions[0].motion->restMatrix[i], firstRest[i]);
  EXPECT_EQ(scene.objects[0]->boneLinkCount, 2);
  EXPECT_EQ(scene.objects[1]->boneLinkCount, 2);
  EXPECT_EQ(scene.objects[1]->boneLinks[0].bone, scene.bones[2]);
  EXPECT_EQ(scene.bones[3]->motions[0].sceneIndex, 1);
}

TEST_F(BoneWeightsTest, InactiveOrForeignBonesLeaveTheObjectRigid) {
  std::string inactive = "BoneName Idle\nBoneRestLength 1\nBoneStrength 1\n" +
                         sceneItemMotionText("BoneMotion", 0, 0, 0) + "BoneActive 1\n" +
                         sceneItemMotionText("BoneMotion", 0, 0, 0);
  ASSERT_TRUE(loadArm(inactive));
  EXPECT_EQ(scene.bones[0]->properties[1].active, 1);  // set only for its second motion
  EXPECT_EQ(arm()->boneLinkCount, 0);
  EXPECT_EQ(arm()->restVertices, nullptr);
}

TEST_F(BoneWeightsTest, WeightMapsScaleABonesWeights) {
  ASSERT_TRUE(loadArm(bone("Upper", 0, "10000000", "BoneWeightMapName upper\n") +
                          bone("Lower", 1, "40000000", "BoneWeightMapName nowhere\n"),
                      true));
  ASSERT_EQ(arm()->boneLinkCount, 2);
  EXPECT_EQ(weight(0, 2), 0.0f);           // map value 0: the upper bone gives nothing at v2
  EXPECT_NEAR(weight(1, 2), 1.0f, 1e-6f);  // an unknown map name counts as 1.0
  EXPECT_NEAR(weight(0, 0), 100.0f / 102.0f, 1e-5f);

  EXPECT_EQ(findWeightMap(arm(), "other", 0), &arm()->groups[0].weights[1]);
  EXPECT_EQ(findWeightMap(arm(), "Other", 0), nullptr);
  EXPECT_EQ(findWeightMap(arm(), "other", 1), nullptr);
}

TEST_F(BoneWeightsTest, LimitedRangeTestsTheInverseRootOfTheDistance) {
  // Falloff 1: E = d^-1/2. Range [0.5, 2]: v0 and v1 (distances 0 and 0.5: E 100 and 1.41)
  // against the upper bone; v0 is out (E = 100), v1 keeps its weight.
  std::string limited = "BoneLimitedRange 1\nBoneMinRange 0.5\nBoneMaxRange 2\n";
  ASSERT_TRUE(loadArm("BoneFalloffType 1\n" + bone("Upper", 0, "10000000", limited)));
  ASSERT_EQ(arm()->boneLinkCount, 1);
  EXPECT_EQ(weight(0, 0), 0.0f);
  EXPECT_FLOAT_EQ(weight(0, 1), 1.0f);  // one bone: any non-zero weight normalises to 1
}

}  // namespace
