// Reading LightWave scene files: keywords, item ids and links, later file versions, and
// the lines that are skipped because what they need does not exist.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "gfx/heap_array.h"
#include "gfx/light_parameters.h"
#include "loading/motion_evaluation.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

std::string objectMotion(float x = 0, float y = 0, float z = 0, float h = 0) {
  return sceneItemMotionText("ObjectMotion", x, y, z, h);
}

class SceneLoaderTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};

  bool load(const std::string& text, const std::string& name = "test.lws") {
    return scene.loadScene(dir.writeText(name, text).c_str());
  }
  Motion* objectMotionOf(int i, int slot = 0) { return scene.objects[i]->motions[slot].motion; }
};

TEST_F(SceneLoaderTest, RefusesUnreadableOldAndUngrowableFilesLeavingTheSceneAlone) {
  EXPECT_FALSE(scene.loadScene(dir.file("none.lws").c_str()));
  EXPECT_FALSE(load("LWSC\n2\nAddNullObject A\n"));  // older than version 3
  EXPECT_EQ(scene.sceneFileCount, 0);
  EXPECT_EQ(scene.objectCount, 0);
  EXPECT_EQ(scene.ambientColors, nullptr);

  // Ambient lists that cannot grow (either of the two) refuse the file.
  const std::string ambient = dir.writeText("ambient.lws", "AddNullObject A\nAmbientIntensity 1\n");
  for (int successes = 0; successes < 2; ++successes) {
    failHeapArrayGrowthAfter(successes);
    EXPECT_FALSE(scene.loadScene(ambient.c_str()));
    failHeapArrayGrowthAfter(-1);
    EXPECT_EQ(scene.sceneFileCount, 0);
    EXPECT_EQ(scene.objectCount, 0);
    EXPECT_EQ(scene.ambientColors, nullptr);
    EXPECT_EQ(scene.ambientIntensities, nullptr);
  }

  EXPECT_TRUE(load("LWSC\n3\nAddNullObject A\n"));
  EXPECT_FLOAT_EQ(scene.gridSize, 1.0f);
  EXPECT_TRUE(load("LWSC\n3\nGridSize 2.5\n"));
  EXPECT_FLOAT_EQ(scene.gridSize, 2.5f);
  // Names are single tokens: a blank cuts the file name, and the rest is skipped.
  EXPECT_TRUE(load("LWSC\n3\nLoadObjectLayer 1 my ship.lwo\n"));
  EXPECT_STREQ(scene.objects[1]->fileName, "my");
  EXPECT_EQ(scene.objectCount, 2);
  EXPECT_TRUE(load(""));  // an empty file loads nothing and ends
  EXPECT_EQ(scene.sceneFileCount, 4);
}

TEST_F(SceneLoaderTest, ParentIdsNameObjectsAndBonesOfObjects) {
  std::string text = "LWSC\n3\n";
  for (int i = 0; i < 3; ++i) text += "AddNullObject N" + std::to_string(i) + "\n" + objectMotion();
  text += "BoneName B0\n" + sceneItemMotionText("BoneMotion", 0, 0, 0);
  text += "BoneName B1\n" + sceneItemMotionText("BoneMotion", 0, 0, 0);
  text += "AddNullObject Child\n" + objectMotion() + "ParentItem 10000000\n";
  text += "AddNullObject OnBone\n" + objectMotion() + "ParentItem 40010002\n";
  text += "AddNullObject Orphan\n" + objectMotion() + "ParentItem FFFFFFFF\n";
  text += "AddNullObject Far\n" + objectMotion() + "ParentItem 10000063\n";  // object 99 does not exist
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene.objectCount, 7);
  ASSERT_EQ(scene.boneCount, 2);
  EXPECT_EQ(scene.bones[1]->objectIdentity, scene.objects[2]->identity);
  EXPECT_EQ(objectMotionOf(3)->parent, objectMotionOf(0));
  EXPECT_EQ(objectMotionOf(4)->parent, scene.bones[1]->motions[0].motion);
  EXPECT_EQ(objectMotionOf(5)->parent, nullptr);
  EXPECT_EQ(objectMotionOf(6)->parent, nullptr);
  EXPECT_EQ(scene.resolveItem(0x40010002u, 0), &scene.bones[1]->motions[0]);
  EXPECT_EQ(scene.resolveItem(0x40020002u, 0), nullptr);  // bone number beyond the bone count
}

TEST_F(SceneLoaderTest, ParentLoopsAreNotLinked) {
  ASSERT_TRUE(load("LWSC\n3\nAddNullObject A\n" + objectMotion() + "ParentItem 10000001\n" + "AddNullObject B\n" +
                   objectMotion() + "ParentItem 10000000\nAddNullObject C\n" + objectMotion() +
                   "ParentItem 10000002\n"));
  EXPECT_EQ(objectMotionOf(0)->parent, objectMotionOf(1));
  EXPECT_EQ(objectMotionOf(1)->parent, nullptr);  // would close A -> B -> A
  EXPECT_EQ(objectMotionOf(2)->parent, nullptr);  // itself
  EXPECT_TRUE(evaluateMotion(objectMotionOf(0), 0.5f, false));
}

TEST_F(SceneLoaderTest, TargetsAimCamerasAndLightsAtObjects) {
  std::string text = "LWSC\n3\nAddNullObject Goal\n" + objectMotion(0, 0, 5) + "TargetObject 1\n";
  text += "CameraName Aimed\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) + "TargetObject 1\n";
  text += "CameraName Free\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) + "TargetObject 0\n";
  text += "CameraName Lost\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) + "TargetObject 7\n";
  text += "LightName Spot\n" + sceneItemMotionText("LightMotion", 0, 0, 0) + "TargetObject 1\n";
  text += "CameraName Lowest\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) + "TargetObject -2147483648\n";
  ASSERT_TRUE(load(text));
  EXPECT_EQ(scene.cameras[3]->motions[0].motion->target, nullptr);
  EXPECT_EQ(objectMotionOf(0)->target, nullptr);  // skipped in an object block
  EXPECT_EQ(scene.cameras[0]->motions[0].motion->target, objectMotionOf(0));
  EXPECT_EQ(scene.cameras[1]->motions[0].motion->target, nullptr);
  EXPECT_EQ(scene.cameras[2]->motions[0].motion->target, nullptr);
  EXPECT_EQ(scene.lights[0]->motions[0].motion->target, objectMotionOf(0));
}

TEST_F(SceneLoaderTest, LightTypeColourAndIntensity) {
  std::string text = "LWSC\n3\nLightColor 1 0 0\nCameraName C\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) +
                     "LightColor 0 1 0\nLightIntensity 0.3\n";
  const char* types[] = {"0", "1", "2", "3"};
  for (const char* t : types) {
    text += std::string("LightName L") + t + "\n" + sceneItemMotionText("LightMotion", 0, 0, 0) +
            "LightColor 1 0.5 0\nLightIntensity 0.8\nLightType " + t + "\n";
  }
  text += "LightName NoMotion\nLightIntensity 0.5\n";  // before its motion: dropped
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene.lightCount, 5);
  EXPECT_EQ(scene.lights[0]->parameters.type, LightParameters::kDirectional);
  EXPECT_EQ(scene.lights[1]->parameters.type, LightParameters::kPoint);
  EXPECT_EQ(scene.lights[2]->parameters.type, LightParameters::kSpot);
  EXPECT_EQ(scene.lights[3]->parameters.type, LightParameters::kDirectional);  // unchanged default
  EXPECT_EQ(scene.lights[4]->motionCount, 0);
  Motion* colour = scene.lights[0]->colors[0].motion;
  ASSERT_NE(colour, nullptr);
  evaluateMotion(colour, 0.0f, false);
  EXPECT_FLOAT_EQ(colour->color[1], 0.5f);
  ASSERT_NE(scene.lights[0]->intensities[0].motion, nullptr);
  EXPECT_EQ(scene.lights[0]->colors[0].sceneIndex, 0);
}

TEST_F(SceneLoaderTest, BonePropertiesFalloffAndFlags) {
  std::string text = "LWSC\n3\nLoadObjectLayer 1 none.lwo\n" + objectMotion() +
                     "BoneName Early\nBoneActive 1\nBoneActive 0\nBoneRestLength 2\nBoneWeightMapName Map A\n" +
                     sceneItemMotionText("BoneMotion", 0, 0, 0) +
                     "BoneFalloffType 2\nBoneName Second\nScaleBoneStrength 1\nBoneLimitedRange 1\nBoneMinRange 0.5\n"
                     "BoneMaxRange 2\nBoneStrength 3\nBoneRestPosition 1 2 3\nBoneRestDirection 90 0 0\n" +
                     sceneItemMotionText("BoneMotion", 0, 0, 0) + "BoneActive 1\n" +
                     sceneItemMotionText("BoneMotion", 0, 0, 0) + "BoneName Third\n" +
                     sceneItemMotionText("BoneMotion", 0, 0, 0);
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene.boneCount, 3);
  const BoneProperties& early = scene.bones[0]->properties[0];
  EXPECT_EQ(early.falloffType, 0);  // named before any "BoneFalloffType"
  EXPECT_EQ(early.active, 1);       // "BoneActive 0" does not clear it
  EXPECT_FLOAT_EQ(early.restLength, 2.0f);
  ASSERT_NE(early.weightMapName, nullptr);
  EXPECT_STREQ(early.weightMapName, "Map");  // names are single tokens
  const SceneBone* second = scene.bones[1];
  ASSERT_EQ(second->motionCount, 2);
  EXPECT_EQ(second->properties[0].falloffType, 2);
  EXPECT_EQ(second->properties[0].active, 0);
  EXPECT_EQ(second->properties[1].active, 1);
  EXPECT_EQ(second->properties[1].scaleStrength, 1);  // carries over to the next motion
  EXPECT_FLOAT_EQ(second->properties[1].strength, 3.0f);
  EXPECT_FLOAT_EQ(second->properties[0].restPosition[2], 3.0f);
  EXPECT_FLOAT_EQ(second->properties[0].restDirection[0], 90.0f);
  EXPECT_EQ(scene.bones[2]->properties[0].falloffType, 2);  // inherited
  // The rest matrix of the second bone: heading 90, then (1, 2, 3).
  const Matrix4& rest = second->motions[0].motion->restMatrix;
  EXPECT_NEAR(rest[8], 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(rest[12], 1.0f);
  EXPECT_FLOAT_EQ(rest[14], 3.0f);
}

TEST_F(SceneLoaderTest, SecondLoadFilesUnderTheNextSceneIndex) {
  std::string text = "LWSC\n3\nAddNullObject A\n" + objectMotion() + "AmbientColor 1 1 1\nAmbientIntensity 0.5\n";
  ASSERT_TRUE(load(text, "one.lws"));
  ASSERT_TRUE(load(text, "two.lws"));
  EXPECT_EQ(scene.sceneFileCount, 2);
  ASSERT_EQ(scene.objectCount, 2);
  EXPECT_EQ(scene.objects[1]->motions[0].sceneIndex, 1);
  EXPECT_EQ(scene.ambientColors[1].sceneIndex, 1);
  ASSERT_NE(scene.ambientIntensities[1].motion, nullptr);
}

TEST_F(SceneLoaderTest, LinesForMissingItemsAreSkipped) {
  std::string text = "LWSC\n3\n" + objectMotion(1, 2, 3) + sceneItemMotionText("LightMotion", 0, 0, 0) +
                     "ParentItem 10000000\nPivotPosition 1 1 1\nBoneActive 1\nLightType 1\n"
                     "AddNullObject A\nPivotPosition 4 5 6\n" +
                     objectMotion() + "TargetObject 1\nAmbientIntensity 0.25\n";
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene.objectCount, 1);
  ASSERT_EQ(scene.objects[0]->motionCount, 1);
  EXPECT_FLOAT_EQ(objectMotionOf(0)->pivot[0], 0.0f);  // the pivot came before the motion
  evaluateMotion(objectMotionOf(0), 0.0f, false);
  EXPECT_FLOAT_EQ(objectMotionOf(0)->position[0], 0.0f);  // its own motion, not the dropped one
  ASSERT_NE(scene.ambientIntensities[0].motion, nullptr);
}

TEST_F(SceneLoaderTest, LinkTablesHoldOnly4096ItemsOfAKind) {
  std::string text = "LWSC\n3\n";
  for (int i = 0; i < 4100; ++i) text += "AddNullObject N\nParentItem 10000000\nTargetObject 1\n";
  text += "AddNullObject Last\n" + objectMotion() + "ParentItem 10000000\n";
  ASSERT_TRUE(load(text));
  EXPECT_EQ(scene.objectCount, 4101);
  EXPECT_EQ(objectMotionOf(4100)->parent, nullptr);  // beyond the table: not recorded
}

TEST_F(SceneLoaderTest, LaterVersionsSkipTheItemIds) {
  Scene3dxWriter w;
  w.object(1, 1);
  w.material({});
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.triangles({{0, 1, 2}});
  ASSERT_TRUE(w.save(dir.file("cube.3dx")));
  std::string text = "LWSC\n5\n\nFirstFrame 1\nLoadObjectLayer 1 10000000 Objects/cube.lwo\n" + objectMotion() +
                     "AddBone 40000000\nBoneName Bone\n" + sceneItemMotionText("BoneMotion", 0, 0, 0) +
                     "AddNullObject 10000001 Null\n" + objectMotion() + "ParentItem 10000000\n" +
                     "AddLight 20000000\nLightName Light\n" + sceneItemMotionText("LightMotion", 0, 0, 0) +
                     "AddCamera 30000000\nCameraName Camera\n" + sceneItemMotionText("CameraMotion", 0, 0, 0) +
                     "TargetObject 2\n";
  ASSERT_TRUE(load(text));
  ASSERT_EQ(scene.objectCount, 2);
  EXPECT_EQ(scene.objects[0]->groupCount, 1);
  EXPECT_EQ(scene.objects[0]->layer, 1);
  EXPECT_STREQ(scene.objects[0]->fileName, "Objects/cube.lwo");
  EXPECT_EQ(scene.objects[1]->fileName, nullptr);
  EXPECT_EQ(objectMotionOf(1)->parent, objectMotionOf(0));
  ASSERT_EQ(scene.boneCount, 1);
  EXPECT_STREQ(scene.bones[0]->name, "Bone");
  ASSERT_EQ(scene.lightCount, 1);
  EXPECT_STREQ(scene.lights[0]->name, "Light");
  ASSERT_EQ(scene.cameraCount, 1);
  EXPECT_STREQ(scene.cameras[0]->name, "Camera");
  EXPECT_EQ(scene.cameras[0]->motions[0].motion->target, objectMotionOf(1));
}

TEST_F(SceneLoaderTest, ChildrenFollowTheirParentsPivotFrames) {
  // Parent at (1, 0, 0), pivot (0, 1, 0), heading 90 degrees; child at (0, 0, 1) under it,
  // grandchild at (0, 0, 1) under the child.
  const float quarter = 1.5707964f;
  std::string text = "LWSC\n3\nAddNullObject Parent\n" + objectMotion(1, 0, 0, quarter) + "PivotPosition 0 1 0\n" +
                     "AddNullObject Child\n" + objectMotion(0, 0, 1) + "ParentItem 10000000\n" +
                     "AddNullObject Grandchild\n" + objectMotion(0, 0, 1) + "ParentItem 10000001\n";
  ASSERT_TRUE(load(text));
  Motion* grandchild = objectMotionOf(2);
  ASSERT_TRUE(evaluateMotion(grandchild, 0.0f, false));
  const Matrix4& child = objectMotionOf(1)->matrix;
  // (0, 0, 1) - pivot = (0, -1, 1); heading 90 turns +Z onto +X: (1, -1, 0); + (1, 0, 0).
  EXPECT_NEAR(child[12], 2.0f, 1e-5f);
  EXPECT_NEAR(child[13], -1.0f, 1e-5f);
  EXPECT_NEAR(child[14], 0.0f, 1e-5f);
  // (0, 0, 2) - pivot = (0, -1, 2) turned: (2, -1, 0); + (1, 0, 0).
  EXPECT_NEAR(grandchild->matrix[12], 3.0f, 1e-5f);
  EXPECT_NEAR(grandchild->matrix[13], -1.0f, 1e-5f);
  EXPECT_NEAR(grandchild->matrix[14], 0.0f, 1e-5f);
}

}  // namespace
