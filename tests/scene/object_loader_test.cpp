// Object factories: names to 3DX files, shared meshes, materials from "MATR", vertex
// buffers, the fire null, and files that are rejected whole.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/material.h"
#include "scene/fire_effect.h"
#include "scene/scene.h"
#include "scene/scene_object.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

using Writer = Scene3dxWriter;

void writeTriangleFile(const std::string& path, const Writer::Material& m = {}, int layer = 1) {
  Writer w;
  w.object(1, layer);
  w.material(m);
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 1, {0, 0, 1, 0, 0, 1});
  w.triangles({{0, 1, 2}});
  ASSERT_TRUE(w.save(path));
}

class ObjectLoaderTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};

  SceneObject* last() { return scene.objects[scene.objectCount - 1]; }
  Material* materialOf(int group) { return scene.material(last()->groups[group].materialIndex); }
};

TEST_F(ObjectLoaderTest, NameRulesPickTheFileFromTheCurrentFolder) {
  writeTriangleFile(dir.file("ship.3dx"));
  EXPECT_TRUE(scene.loadObjectLayer("Objects\\ship.lwo", 1));
  EXPECT_EQ(last()->groupCount, 1);
  EXPECT_STREQ(last()->fileName, "Objects\\ship.lwo");
  EXPECT_TRUE(scene.loadObjectLayer("C:/models/ship.LWO", 1));
  EXPECT_EQ(last()->groupCount, 1);
  EXPECT_FALSE(scene.loadObjectLayer("ship.Lwo", 1));
  EXPECT_EQ(last()->groupCount, 0);
  EXPECT_FALSE(scene.loadObjectLayer("ship", 1));
  // A scene file named as an object is refused by its extension, not loaded.
  EXPECT_FALSE(scene.loadObjectLayer("self.lws", 1));
  EXPECT_FALSE(scene.loadObjectLayer("missing.lwo", 1));
  // A leading '.' that is the only one leaves no extension; a '.' after a folder counts.
  writeTriangleFile(dir.file(".3dx"));
  EXPECT_FALSE(scene.loadObjectLayer(".lwo", 1));
  EXPECT_TRUE(scene.loadObjectLayer("Objects/.lwo", 1));
  EXPECT_EQ(last()->groupCount, 1);
  EXPECT_EQ(scene.objectCount, 8);  // failed objects stay in the list without groups
}

TEST_F(ObjectLoaderTest, SameFileAndLayerShareOneMesh) {
  writeTriangleFile(dir.file("ship.3dx"));
  ASSERT_TRUE(scene.loadObjectLayer("ship.lwo", 1));
  ASSERT_TRUE(scene.loadObjectLayer("ship.lwo", 1));
  EXPECT_EQ(driver.count("createVertexBuffer"), 1);
  SceneObject* first = scene.objects[0];
  SceneObject* second = scene.objects[1];
  EXPECT_EQ(second->ownsMesh, 0);
  EXPECT_EQ(second->groups, first->groups);
  EXPECT_EQ(second->fileName, first->fileName);
  EXPECT_EQ(scene.findObject("ship.lwo", 1), first);
  EXPECT_EQ(scene.findObject("ship.lwo", 2), nullptr);  // same file, another layer
}

TEST_F(ObjectLoaderTest, VerticesGoToABufferOfTheRightTypeWithNormals) {
  writeTriangleFile(dir.file("tri.3dx"));
  ASSERT_TRUE(scene.loadObjectLayer("tri.lwo", 1));
  const MeshGroup& g = last()->groups[0];
  auto calls = driver.callsOf("createVertexBuffer");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ints[0], 10);  // position, normal, one texture set
  EXPECT_EQ(calls[0].ints[1], 3);
  EXPECT_EQ(calls[0].ints[2], 1);
  EXPECT_EQ(scene.vertexStride(g.vertexBuffer), 32);
  const float* v = static_cast<const float*>(scene.lockVertexBuffer(g.vertexBuffer));
  ASSERT_NE(v, nullptr);
  const float* second = v + 8;
  EXPECT_FLOAT_EQ(second[0], 1.0f);
  // (P0 - P1) x (P0 - P2) = (-1,0,0) x (0,-1,0) = (0, 0, 1)
  EXPECT_FLOAT_EQ(second[5], 1.0f);
  EXPECT_FLOAT_EQ(second[6], 1.0f);  // u
  scene.unlockVertexBuffer(g.vertexBuffer);
  EXPECT_EQ(g.triangleCount, 1);
  EXPECT_EQ(g.indices[2], 2);
}

TEST_F(ObjectLoaderTest, MalformedFileLeavesNothingToDraw) {
  Writer w;
  w.object(2, 1);
  w.material({});
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.triangles({{0, 1, 7}});
  ASSERT_TRUE(w.save(dir.file("bad.3dx")));
  EXPECT_FALSE(scene.loadObjectLayer("bad.lwo", 1));
  EXPECT_EQ(last()->groupCount, 0);
  EXPECT_EQ(last()->groups, nullptr);
  EXPECT_EQ(driver.count("createVertexBuffer"), 0);
  EXPECT_EQ(scene.materialCount, 0);
}

// A group with no triangles and an empty weight map is well formed: it loads and draws
// nothing (the sanitizer build checks that no copy is made from an empty source).
TEST_F(ObjectLoaderTest, EmptyGroupsAndWeightMapsLoad) {
  Writer w;
  w.object(2, 1);
  w.material({});
  w.vertices({});
  w.triangles({});
  w.weights({{"none", {}}});
  w.material({});
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  w.triangles({});
  ASSERT_TRUE(w.save(dir.file("empty.3dx")));
  ASSERT_TRUE(scene.loadObjectLayer("empty.lwo", 1));
  ASSERT_EQ(last()->groupCount, 2);
  EXPECT_EQ(last()->groups[0].triangleCount, 0);
  EXPECT_EQ(last()->groups[0].weightCount, 1);
  EXPECT_EQ(last()->groups[0].weights[0].valueCount, 0);
  EXPECT_EQ(last()->groups[1].vertexCount, 3);
  EXPECT_EQ(last()->groups[1].triangleCount, 0);
}

TEST_F(ObjectLoaderTest, MaterialsFollowTheTextureRules) {
  Writer::Material plain;
  plain.diffuse = 0xFF102030;
  plain.transparency = 0.25f;
  plain.doubleSided = 1;
  writeTriangleFile(dir.file("plain.3dx"), plain);
  ASSERT_TRUE(scene.loadObjectLayer("plain.lwo", 1));
  Material* m = materialOf(0);
  EXPECT_EQ(m->diffuse, 0xFF102030u);
  EXPECT_FLOAT_EQ(m->transparency, 0.25f);
  EXPECT_EQ(m->cullMode, 0);
  EXPECT_EQ(m->layerCount, 0);

  Writer::Material alpha;
  alpha.textures = {"a.jpg", "(none)", "(none)", "b.jpg", "(none)"};
  writeTriangleFile(dir.file("alpha.3dx"), alpha);
  ASSERT_TRUE(scene.loadObjectLayer("alpha.lwo", 1));
  m = materialOf(0);
  EXPECT_EQ(m->cullMode, 1);
  EXPECT_FALSE(m->depthWrite);
  EXPECT_FLOAT_EQ(m->transparency, 0.99f);
  ASSERT_EQ(m->layerCount, 2);
  EXPECT_STREQ(m->layers[0].textureName, "a.jpg(b.jpg)");
  EXPECT_EQ(m->layers[0].blendMode, kBlendBase);
  EXPECT_EQ(m->layers[0].texCoordSource, 0);
  EXPECT_STREQ(m->layers[1].textureName, "b.jpg");
  EXPECT_EQ(m->layers[1].blendMode, kBlendBoundOnly);
  EXPECT_EQ(m->layers[1].texCoordSource, 1);

  Writer::Material all;
  all.textures = {"c.jpg", "add.jpg", "env.jpg", "(none)", "base.jpg"};
  writeTriangleFile(dir.file("all.3dx"), all);
  ASSERT_TRUE(scene.loadObjectLayer("all.lwo", 1));
  m = materialOf(0);
  ASSERT_EQ(m->layerCount, 4);
  EXPECT_STREQ(m->layers[0].textureName, "base.jpg");
  EXPECT_EQ(m->layers[0].texCoordSource, 3);  // sets: c 0, add 1, env skips 2, base 3
  EXPECT_STREQ(m->layers[1].textureName, "env.jpg");
  EXPECT_EQ(m->layers[1].blendMode, kBlendDotProduct);
  EXPECT_EQ(m->layers[1].texCoordSource, kTexCoordCameraNormal);
  EXPECT_EQ(m->layers[1].addressU, kAddressClamp);
  ASSERT_TRUE(m->layers[1].hasMatrix);
  const float sphere[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(m->layers[1].matrix[i], sphere[i]) << i;
  EXPECT_STREQ(m->layers[2].textureName, "c.jpg");
  EXPECT_EQ(m->layers[2].blendMode, kBlendMultiply);
  EXPECT_STREQ(m->layers[3].textureName, "add.jpg");
  EXPECT_EQ(m->layers[3].blendMode, kBlendAdd);
  EXPECT_EQ(m->layers[3].texCoordSource, 1);

  // Registering a material loads its textures on the driver.
  bool loadedBase = false;
  for (const GfxCall& c : driver.callsOf("loadTexture")) loadedBase = loadedBase || c.text == "base.jpg";
  EXPECT_TRUE(loadedBase);
}

TEST_F(ObjectLoaderTest, FireNullGetsAnEffectOnTheFirstDriverTwice) {
  EXPECT_TRUE(scene.addNullObject("fire"));
  SceneObject* fire = last();
  ASSERT_NE(fire->effect, nullptr);
  EXPECT_EQ(fire->layer, 0);
  EXPECT_EQ(fire->groupCount, 0);
  EXPECT_EQ(fire->effect->driverCount, 2);
  EXPECT_EQ(fire->effect->bindings[1].driver, &driver);
  EXPECT_EQ(fire->effect->particleCount, 45);

  EXPECT_TRUE(scene.addNullObject("Fire"));
  EXPECT_EQ(last()->effect, nullptr);
  EXPECT_TRUE(scene.addNullObject("Null"));
  EXPECT_EQ(last()->effect, nullptr);
}

}  // namespace
