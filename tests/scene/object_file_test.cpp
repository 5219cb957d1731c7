// The 3DX reader: layers, groups, weight maps, normals, and the files it rejects.
#include "scene/object_file.h"

#include <gtest/gtest.h>

#include "support/scene_files.h"

namespace {

using Writer = Scene3dxWriter;

// One square (two triangles) in the z = 0 plane with one texture set.
void writeSquareGroup(Writer& w, const Writer::Material& m = {}) {
  w.material(m);
  w.vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, 1, {0, 0, 1, 0, 1, 1, 0, 1});
  w.triangles({{0, 1, 2}, {0, 2, 3}});
}

TEST(ObjectFile, ReadsTheRequestedLayerOnly) {
  SceneTempDir dir;
  Writer w;
  w.object(1, 1);
  writeSquareGroup(w);
  w.object(2, 2);
  writeSquareGroup(w);
  w.chunk("SURF", {1, 2, 3});  // unknown chunks are skipped
  w.material({});
  w.vertices({{0, 0, 0}, {0, 0, 1}, {0, 1, 0}});
  w.triangles({{0, 1, 2}});
  w.weights({{"arm", {0.5f, 1.0f, 0.0f}}});
  ASSERT_TRUE(w.save(dir.file("two.3dx")));

  ObjectFileLayer layer;
  ASSERT_EQ(readObjectFile(dir.file("two.3dx").c_str(), 2, layer), ObjectFileStatus::ok);
  ASSERT_TRUE(layer.found);
  ASSERT_EQ(layer.groups.size(), 2u);
  EXPECT_EQ(layer.groups[0].vertexCount, 4);
  EXPECT_EQ(layer.groups[0].texSetCount, 1);
  EXPECT_FLOAT_EQ(layer.groups[0].vertex(2)[6], 1.0f);  // u of vertex 2
  EXPECT_EQ(layer.groups[1].vertexCount, 3);
  EXPECT_EQ(layer.groups[1].triangleCount, 1);
  ASSERT_EQ(layer.groups[1].weightMaps.size(), 1u);
  EXPECT_STREQ(layer.groups[1].weightMaps[0].name, "arm");
  EXPECT_FLOAT_EQ(layer.groups[1].weightMaps[0].values[0], 0.5f);

  ObjectFileLayer missing;
  EXPECT_EQ(readObjectFile(dir.file("two.3dx").c_str(), 3, missing), ObjectFileStatus::ok);
  EXPECT_FALSE(missing.found);
}

TEST(ObjectFile, NormalsAreTheMeanOfTheFaceNormals) {
  SceneTempDir dir;
  Writer w;
  w.object(1, 1);
  w.material({});
  // Two faces folded along the x axis: one in the z = 0 plane, one in the y = 0 plane.
  w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 5, 5}, {2, 2, 2}});
  w.triangles({{0, 2, 1}, {0, 1, 3}, {5, 5, 5}});  // the last one has three equal corners
  ASSERT_TRUE(w.save(dir.file("fold.3dx")));
  ObjectFileLayer layer;
  ASSERT_EQ(readObjectFile(dir.file("fold.3dx").c_str(), 1, layer), ObjectFileStatus::ok);
  const ObjectFileGroup& g = layer.groups[0];
  // (P0 - P2) x (P0 - P1) = (0,-1,0) x (-1,0,0) = (0, 0, -1); (P0 - P1) x (P0 - P3) = (0, -1, 0).
  const float* shared = g.vertex(0) + 3;
  EXPECT_FLOAT_EQ(shared[0], 0.0f);
  EXPECT_FLOAT_EQ(shared[1], -0.5f);
  EXPECT_FLOAT_EQ(shared[2], -0.5f);
  const float* single = g.vertex(2) + 3;
  EXPECT_FLOAT_EQ(single[2], -1.0f);
  const float* unused = g.vertex(4) + 3;  // used by no triangle
  EXPECT_FLOAT_EQ(unused[0], 0.0f);
  EXPECT_FLOAT_EQ(unused[2], 1.0f);
  const float* degenerate = g.vertex(5) + 3;  // zero normal, length taken as 1
  EXPECT_FLOAT_EQ(degenerate[0], 0.0f);
  EXPECT_FLOAT_EQ(degenerate[1], 0.0f);
  EXPECT_FLOAT_EQ(degenerate[2], 0.0f);
}

TEST(ObjectFile, RejectsMissingFilesAndWrongMagic) {
  SceneTempDir dir;
  ObjectFileLayer layer;
  EXPECT_EQ(readObjectFile(dir.file("none.3dx").c_str(), 1, layer), ObjectFileStatus::cannotOpen);
  std::string path = dir.writeText("bad.3dx", "LWO2....");
  EXPECT_EQ(readObjectFile(path.c_str(), 1, layer), ObjectFileStatus::badMagic);
}

TEST(ObjectFile, RejectsMalformedLayersWhole) {
  SceneTempDir dir;
  struct Case {
    const char* what;
    void (*build)(Writer&);
  };
  const Case cases[] = {
      {"texture set count 9",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, 9);
         w.triangles({{0, 1, 2}});
       }},
      {"more MATR than groups",
       [](Writer& w) {
         w.object(1, 1);
         writeSquareGroup(w);
         writeSquareGroup(w);
       }},
      {"fewer MATR than groups",
       [](Writer& w) {
         w.object(2, 1);
         writeSquareGroup(w);
       }},
      {"VERT before MATR",
       [](Writer& w) {
         w.object(1, 1);
         w.vertices({{0, 0, 0}});
         writeSquareGroup(w);
       }},
      {"POLY before MATR",
       [](Writer& w) {
         w.object(1, 1);
         w.triangles({{0, 0, 0}});
         writeSquareGroup(w);
       }},
      {"WGHT before MATR",
       [](Writer& w) {
         w.object(1, 1);
         w.weights({{"a", {}}});
         writeSquareGroup(w);
       }},
      {"group without POLY",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         w.vertices({{0, 0, 0}});
       }},
      {"vertex number too large",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         w.vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
         w.triangles({{0, 1, 3}});
       }},
      {"weight map of another length",
       [](Writer& w) {
         w.object(1, 1);
         writeSquareGroup(w);
         w.weights({{"a", {1, 1, 1}}});
       }},
      {"vertex count beyond the chunk",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         std::vector<std::uint8_t> d;
         sceneAppendU16(d, 100);  // 100 vertices announced, one given
         sceneAppendU8(d, 0);
         for (int i = 0; i < 3; ++i) sceneAppendFloat(d, 0.0f);
         w.chunk("VERT", d);
         w.triangles({});
       }},
      {"chunk longer than the file",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         std::vector<std::uint8_t> d;
         sceneAppendU16(d, 0);
         w.chunkWithLength("POLY", 5000, d);
       }},
      {"negative triangle count",
       [](Writer& w) {
         w.object(1, 1);
         w.material({});
         w.vertices({{0, 0, 0}});
         std::vector<std::uint8_t> d;
         sceneAppendU16(d, 0xFFFF);
         w.chunk("POLY", d);
       }},
  };
  for (const Case& c : cases) {
    Writer w;
    c.build(w);
    ASSERT_TRUE(w.save(dir.file("bad.3dx")));
    ObjectFileLayer layer;
    EXPECT_EQ(readObjectFile(dir.file("bad.3dx").c_str(), 1, layer), ObjectFileStatus::malformed) << c.what;
    EXPECT_TRUE(layer.groups.empty()) << c.what;
  }
}

}  // namespace
