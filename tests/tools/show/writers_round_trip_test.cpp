// The shared writers against the engine's own readers: what the 3DX, scene text and JPEG
// writers write is what the object loader, the scene parser and the picture decoder read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "font_outline.h"
#include "gfx/material.h"
#include "image/image_loader.h"
#include "loading/envelope.h"
#include "loading/motion.h"
#include "recipe_file.h"
#include "scene/scene.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shapes.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"
#include "writers/jpeg_writer.h"
#include "writers/mesh.h"
#include "writers/scene_text_writer.h"

namespace {

class WritersRoundTrip : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};

  const float* vertex(const MeshGroup& g, int i) {
    auto* base = static_cast<const std::uint8_t*>(scene.lockVertexBuffer(g.vertexBuffer));
    const float* v =
        reinterpret_cast<const float*>(base + std::size_t(i) * std::size_t(scene.vertexStride(g.vertexBuffer)));
    scene.unlockVertexBuffer(g.vertexBuffer);
    return v;
  }
};

TEST_F(WritersRoundTrip, MeshGroupsComeBackWithTheirVerticesTrianglesMapsAndWeights) {
  ObjectWriter w;
  w.object(2, 1);
  ObjectWriter::Material plain;
  plain.diffuse = 0xFF204080;
  const Mesh box = meshBox({1, 2, 3});
  writeMeshGroup(w, box, plain, meshTextureSets(plain));
  ObjectWriter::Material layered;
  layered.textures = {"a.jpg", "b.jpg", "(none)", "(none)", "(none)"};
  layered.transparency = 0.25f;
  layered.doubleSided = 1;
  const Mesh tube = meshLathe(0.5f, 6, 2, 1.0f);
  std::vector<float> ramp;
  for (const MeshVec3& p : tube.pos) ramp.push_back(p[1]);
  writeMeshGroup(w, tube, layered, meshTextureSets(layered), {1, 3}, {{"Ramp", ramp}});
  ASSERT_TRUE(w.save(dir.file("thing.3dx")));

  ASSERT_TRUE(scene.loadObjectLayer("thing.lwo", 1));
  const SceneObject* o = scene.objects[0];
  ASSERT_EQ(o->groupCount, 2);
  const MeshGroup& g0 = o->groups[0];
  EXPECT_EQ(g0.vertexCount, int(box.pos.size()));
  ASSERT_EQ(g0.triangleCount, int(box.tris.size()));
  EXPECT_EQ(0, std::memcmp(g0.indices, box.tris.data(), box.tris.size() * 6));
  EXPECT_EQ(scene.material(g0.materialIndex)->diffuse, 0xFF204080u);
  EXPECT_EQ(scene.material(g0.materialIndex)->layerCount, 0);

  const MeshGroup& g1 = o->groups[1];
  EXPECT_EQ(scene.vertexStride(g1.vertexBuffer), 24 + 2 * 8);  // two texture sets
  const Material* m1 = scene.material(g1.materialIndex);
  EXPECT_FLOAT_EQ(m1->transparency, 0.25f);
  ASSERT_EQ(m1->layerCount, 2);
  EXPECT_STREQ(m1->layers[0].textureName, "a.jpg");
  EXPECT_STREQ(m1->layers[1].textureName, "b.jpg");
  ASSERT_EQ(g1.weightCount, 1);
  EXPECT_STREQ(g1.weights[0].name, "Ramp");
  ASSERT_EQ(int(g1.weights[0].valueCount), int(ramp.size()));
  for (std::size_t i = 0; i < ramp.size(); ++i) EXPECT_FLOAT_EQ(g1.weights[0].values[i], ramp[i]);
  // The second set carries the mesh's coordinates times its scale.
  const float* v = vertex(g1, 3);
  EXPECT_FLOAT_EQ(v[8], tube.uv[3][0] * 3);
  EXPECT_FLOAT_EQ(v[9], tube.uv[3][1] * 3);
}

TEST_F(WritersRoundTrip, PrimitiveShapesGetOutwardNormalsFromTheLoader) {
  // The loader derives normals from the winding: inside-out shapes would be lit from behind.
  ObjectWriter w;
  w.object(3, 1);
  ObjectWriter::Material m;
  const Mesh shapes[3] = {meshBox({1, 1, 1}), meshLathe(1, 10, 8), meshRevolve({{0, -1}, {1, 0}, {0, 1}}, 8)};
  for (const Mesh& s : shapes) writeMeshGroup(w, s, m, 1);
  ASSERT_TRUE(w.save(dir.file("shapes.3dx")));
  ASSERT_TRUE(scene.loadObjectLayer("shapes.lwo", 1));
  const SceneObject* o = scene.objects[0];
  ASSERT_EQ(o->groupCount, 3);
  for (int g = 0; g < 3; ++g) {
    int inward = 0;
    for (int i = 0; i < o->groups[g].vertexCount; ++i) {
      const float* v = vertex(o->groups[g], i);
      if (v[0] * v[3] + v[1] * v[4] + v[2] * v[5] <= 0) ++inward;
    }
    EXPECT_EQ(inward, 0) << "shape " << g;
  }
  // Flat plates face up, or towards a viewer at −z when upright.
  ObjectWriter p;
  p.object(2, 1);
  writeMeshGroup(p, meshPlate(2, 2, false, 1, 3), m, 1);
  writeMeshGroup(p, meshPlate(2, 2, true, 1, 2), m, 1);
  ASSERT_TRUE(p.save(dir.file("plates.3dx")));
  ASSERT_TRUE(scene.loadObjectLayer("plates.lwo", 1));
  const SceneObject* q = scene.objects[1];
  EXPECT_NEAR(vertex(q->groups[0], 5)[4], 1.0f, 1e-5f);
  EXPECT_NEAR(vertex(q->groups[1], 4)[5], -1.0f, 1e-5f);
}

TEST_F(WritersRoundTrip, RecipeShapesAreTurnedAboutTheUprightAxisThenPlaced) {
  // An upright plate faces a viewer at -z; turned 90 degrees it faces -x, then moves to at=.
  auto recipe = readRecipeFile(dir.writeText("meshes.txt",
                                             "mesh turned.3dx\n"
                                             "  group plate w=2 h=4 upright=1 turn=90 at=3,0,1\n"
                                             "  group plate w=2 h=4 upright=1 at=3,0,1\n"));
  ASSERT_TRUE(recipe.has_value());
  FontOutline noFont("");
  ASSERT_TRUE(makeMeshes(*recipe, dir.file(""), noFont));
  ASSERT_TRUE(scene.loadObjectLayer("turned.lwo", 1));
  const SceneObject* o = scene.objects[0];
  ASSERT_EQ(o->groupCount, 2);
  float turnedZ[2] = {1e9f, -1e9f}, plainX[2] = {1e9f, -1e9f};
  for (int i = 0; i < o->groups[0].vertexCount; ++i) {
    const float* v = vertex(o->groups[0], i);
    EXPECT_NEAR(v[0], 3.0f, 1e-5f);
    EXPECT_NEAR(v[3], -1.0f, 1e-5f);  // the normal, from the winding: the turn keeps it outward
    turnedZ[0] = std::min(turnedZ[0], v[2]);
    turnedZ[1] = std::max(turnedZ[1], v[2]);
  }
  for (int i = 0; i < o->groups[1].vertexCount; ++i) {
    const float* v = vertex(o->groups[1], i);
    EXPECT_NEAR(v[2], 1.0f, 1e-5f);
    EXPECT_NEAR(v[5], -1.0f, 1e-5f);
    plainX[0] = std::min(plainX[0], v[0]);
    plainX[1] = std::max(plainX[1], v[0]);
  }
  // The plate's width now runs along z about its place.
  EXPECT_NEAR(turnedZ[0], 0.0f, 1e-5f);
  EXPECT_NEAR(turnedZ[1], 2.0f, 1e-5f);
  EXPECT_NEAR(plainX[0], 2.0f, 1e-5f);
  EXPECT_NEAR(plainX[1], 4.0f, 1e-5f);
}

TEST_F(WritersRoundTrip, SceneTextKeepsEveryKeyParameterBehaviourAndParent) {
  SceneChannel x{{{1, 0, 0, 0.5f, -0.25f, 0.75f}, {3, 2, 3}, {5, 4, 4}}, 2, 4};
  std::vector<SceneChannel> channels(9, SceneChannel{{{0, 0}}, 1, 1});
  channels[0] = x;
  std::string text = "AddNullObject Root\n" +
                     sceneMotionBlock("ObjectMotion", std::vector<SceneChannel>(9, SceneChannel{{{0, 0}}, 1, 1})) +
                     "AddNullObject Child\n" + sceneMotionBlock("ObjectMotion", channels) + "ParentItem " +
                     sceneItemId(1, 0) + "\n" + "LightName Lamp\n" +
                     sceneMotionBlock("LightMotion", std::vector<SceneChannel>(9, SceneChannel{{{0, 0}}, 1, 1})) +
                     sceneValueOrEnvelope("LightColor", {SceneChannel{{{1, 0}}, 1, 1}, SceneChannel{{{0.5f, 0}}, 1, 1},
                                                         SceneChannel{{{0, 0}, {1, 2}}, 3, 5}}) +
                     sceneValueOrEnvelope("LightIntensity", {SceneChannel{{{0.8f, 0}}, 1, 1}});
  ASSERT_TRUE(scene.loadScene(dir.writeText("s.lws", text).c_str()));
  ASSERT_EQ(scene.objectCount, 2);
  const Motion* child = scene.objects[1]->motions[0].motion;
  EXPECT_EQ(child->parent, scene.objects[0]->motions[0].motion);
  const Envelope* e = child->channels[0];
  ASSERT_EQ(e->keyCount, 3);
  EXPECT_EQ(e->preBehavior, 2);
  EXPECT_EQ(e->postBehavior, 4);
  EXPECT_EQ(e->keys[0].shape, 0);
  EXPECT_FLOAT_EQ(e->keys[0].tension, 0.5f);
  EXPECT_FLOAT_EQ(e->keys[0].continuity, -0.25f);
  EXPECT_FLOAT_EQ(e->keys[0].bias, 0.75f);
  EXPECT_EQ(e->keys[1].shape, 3);
  EXPECT_EQ(e->keys[2].shape, 4);
  EXPECT_FLOAT_EQ(e->keys[2].time, 4.0f);
  EXPECT_FLOAT_EQ(e->keys[2].value, 5.0f);
  const SceneLight* lamp = scene.lights[0];
  const Motion* colour = lamp->colors[0].motion;
  ASSERT_EQ(colour->channelCount, 3);
  EXPECT_EQ(colour->channels[2]->keyCount, 2);  // one keyed channel turns the line into envelopes
  EXPECT_EQ(colour->channels[2]->postBehavior, 5);
  EXPECT_FLOAT_EQ(colour->channels[1]->keys[0].value, 0.5f);
  EXPECT_FLOAT_EQ(lamp->intensities[0].motion->channels[0]->keys[0].value, 0.8f);
}

TEST(JpegWriterRoundTrip, TheDecoderReadsBackSizeAndColoursInEveryPixelOrder) {
  SceneTempDir dir;
  const int w = 24, h = 16;
  std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3), bgr(rgb.size()), grey(std::size_t(w) * h);
  for (int i = 0; i < w * h; ++i) {
    rgb[std::size_t(i) * 3] = 220, rgb[std::size_t(i) * 3 + 1] = 40, rgb[std::size_t(i) * 3 + 2] = 90;
    bgr[std::size_t(i) * 3] = 90, bgr[std::size_t(i) * 3 + 1] = 40, bgr[std::size_t(i) * 3 + 2] = 220;
    grey[std::size_t(i)] = std::uint8_t(i % w * 10);
  }
  struct Case {
    const std::uint8_t* pixels;
    JpegPixels layout;
  } cases[] = {{rgb.data(), JpegPixels::kRgb}, {bgr.data(), JpegPixels::kBgr}, {grey.data(), JpegPixels::kGrey}};
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> jpeg = encodeJpeg(c.pixels, w, h, c.layout, JpegSettings{95, false, true});
    ASSERT_FALSE(jpeg.empty());
    std::int32_t dw = 0, dh = 0;
    unsigned char* out = decodeJpeg(jpeg.data(), jpeg.size(), &dw, &dh);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(dw, w);
    EXPECT_EQ(dh, h);
    if (c.layout == JpegPixels::kGrey) {  // decoded blue-green-red: grey in all three
      EXPECT_NEAR(out[5 * 3], 50, 6);
      EXPECT_NEAR(out[5 * 3 + 2], 50, 6);
    } else {  // decoded blue, green, red
      EXPECT_NEAR(out[0], 90, 6);
      EXPECT_NEAR(out[1], 40, 6);
      EXPECT_NEAR(out[2], 220, 6);
    }
    std::free(out);
  }
  EXPECT_TRUE(encodeJpeg(nullptr, w, h, JpegPixels::kRgb).empty());
  EXPECT_FALSE(saveBytes(dir.file("no/such/folder/x.jpg"), {1, 2, 3}));
}

}  // namespace
