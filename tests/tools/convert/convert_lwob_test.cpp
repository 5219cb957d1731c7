// LightWave 5 objects (LWOB), read by the converter itself, checked against the same
// geometry written as a LightWave 6 object (LWO2), which the import library reads.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "convert_test_files.h"
#include "support/scene_files.h"

namespace {

using namespace convert_test;

const std::vector<std::array<float, 3>> kPoints = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {2, 0, 1}, {2, 1, 1}};
// Clockwise seen from -z, LightWave's front: a square of surface 1, a triangle of surface 2,
// a line (two corners) that the object file cannot hold.
const std::vector<std::vector<unsigned>> kPolygons = {{0, 1, 2, 3}, {3, 2, 5}, {4, 5}};

Bytes points() {
  Bytes d;
  for (const auto& p : kPoints)
    for (float c : p) beFloat(d, c);
  return d;
}

// A LightWave 5 surface: colour, flags, a transparency level, and for the first a planar
// colour map along z, 2 x 1 units around (1, 0.5, 0).
Bytes lwobSurface(const std::string& name, unsigned r, unsigned g, unsigned b, unsigned flags, unsigned transparency,
                  bool textured) {
  Bytes d;
  s0(d, name);
  Bytes sub = {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 0};
  subchunk(d, "COLR", sub);
  sub.clear();
  be16(sub, flags);
  subchunk(d, "FLAG", sub);
  sub.clear();
  be16(sub, transparency);
  subchunk(d, "TRAN", sub);
  if (textured) {
    sub.clear();
    s0(sub, "Planar Image Map");
    subchunk(d, "CTEX", sub);
    sub.clear();
    s0(sub, "Images\\wood.jpg (sequence)");
    subchunk(d, "TIMG", sub);
    sub.clear();
    be16(sub, 4);  // z axis
    subchunk(d, "TFLG", sub);
    sub.clear();
    for (float f : {2.0f, 1.0f, 1.0f}) beFloat(sub, f);
    subchunk(d, "TSIZ", sub);
    sub.clear();
    for (float f : {1.0f, 0.5f, 0.0f}) beFloat(sub, f);
    subchunk(d, "TCTR", sub);
    sub.clear();
    s0(sub, "Fractal Bumps");
    subchunk(d, "BTEX", sub);
  }
  return d;
}

Bytes lwobObject() {
  Bytes c;
  chunk(c, "PNTS", points());
  Bytes names;
  s0(names, "Wood");
  s0(names, "Glass");
  chunk(c, "SRFS", names);
  Bytes pols;
  for (std::size_t p = 0; p < kPolygons.size(); ++p) {
    be16(pols, static_cast<unsigned>(kPolygons[p].size()));
    for (unsigned i : kPolygons[p]) be16(pols, i);
    be16(pols, p == 1 ? 2 : 1);
  }
  chunk(c, "POLS", pols);
  chunk(c, "SURF", lwobSurface("Wood", 255, 128, 0, 4, 0, true));          // smoothing
  chunk(c, "SURF", lwobSurface("Glass", 0, 0, 255, 256 | 4, 128, false));  // double-sided, half clear
  return form("LWOB", c);
}

// The same points and polygons as a LightWave 6 object without surfaces' details.
Bytes lwo2Object() {
  Bytes c;
  Bytes tags;
  s0(tags, "Wood");
  s0(tags, "Glass");
  chunk(c, "TAGS", tags);
  Bytes layer;
  be16(layer, 0);
  be16(layer, 0);
  for (int k = 0; k < 3; ++k) beFloat(layer, 0.0f);
  s0(layer, "");
  chunk(c, "LAYR", layer);
  chunk(c, "PNTS", points());
  Bytes pols;
  id4(pols, "FACE");
  for (std::size_t p = 0; p < 2; ++p) {
    be16(pols, static_cast<unsigned>(kPolygons[p].size()));
    for (unsigned i : kPolygons[p]) be16(pols, i);
  }
  chunk(c, "POLS", pols);
  Bytes ptag;
  id4(ptag, "SURF");
  for (unsigned p = 0; p < 2; ++p) {
    be16(ptag, p);
    be16(ptag, p);
  }
  chunk(c, "PTAG", ptag);
  for (const char* name : {"Wood", "Glass"}) {
    Bytes s;
    s0(s, name);
    s0(s, "");
    chunk(c, "SURF", s);
  }
  return form("LWO2", c);
}

// The triangles of a layer as corner positions, in the order the file gives them.
std::vector<std::array<float, 9>> triangles(const ObjectFileLayer& layer) {
  std::vector<std::array<float, 9>> out;
  for (const ObjectFileGroup& g : layer.groups)
    for (int t = 0; t < g.triangleCount; ++t) {
      std::array<float, 9> corners{};
      for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c) corners[3 * k + c] = g.vertex(g.indices[3 * t + k])[c];
      out.push_back(corners);
    }
  return out;
}

// Equal up to which corner comes first.
bool sameTriangle(const std::array<float, 9>& a, const std::array<float, 9>& b) {
  for (int shift = 0; shift < 3; ++shift) {
    bool same = true;
    for (int k = 0; k < 9; ++k) same = same && std::fabs(a[k] - b[(k + 3 * shift) % 9]) < 1e-5f;
    if (same) return true;
  }
  return false;
}

class ConvertLwobTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
};

TEST_F(ConvertLwobTest, LightWave5ObjectsKeepGeometrySurfacesAndMapNames) {
  ASSERT_TRUE(saveFile(dir.file("old.lwo"), lwobObject()));
  ASSERT_TRUE(saveFile(dir.file("new.lwo"), lwo2Object()));
  dir.writeText("wood.jpg", "not really a picture");
  ToolRun run = convert(dir.file("old.lwo") + " " + dir.file("old.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_TRUE(contains(run, "1 points and lines were left out")) << run.messages;
  EXPECT_TRUE(contains(run, "surface Wood: its bump texture is not carried")) << run.messages;
  const ToolRun reference = convert(dir.file("new.lwo") + " " + dir.file("new.3dx"));
  ASSERT_EQ(reference.status, 0) << reference.messages;

  const ObjectFileLayer layer = readLayer(dir.file("old.3dx"));
  ASSERT_EQ(layer.groups.size(), 2u);
  // The same triangles, corners in the same turning order, as the LightWave 6 object gives.
  const auto ours = triangles(layer);
  const auto theirs = triangles(readLayer(dir.file("new.3dx")));
  ASSERT_EQ(ours.size(), 3u);
  ASSERT_EQ(theirs.size(), 3u);
  for (const auto& t : ours) {
    bool found = false;
    for (const auto& u : theirs) found = found || sameTriangle(t, u);
    EXPECT_TRUE(found) << "triangle at " << t[0] << "," << t[1] << "," << t[2] << " not in the LightWave 6 result";
  }

  const ObjectFileGroup& wood = layer.groups[0];
  EXPECT_EQ(wood.material.diffuse & 0xFFFFFFu, 0xFF8000u);
  EXPECT_EQ(wood.material.doubleSided, 0);
  EXPECT_FLOAT_EQ(wood.material.transparency, 0.0f);
  EXPECT_EQ(std::string(wood.material.textures[0]), "wood.jpg");
  ASSERT_EQ(wood.texSetCount, 1);
  // Planar along z, 2 x 1 around (1, 0.5): the corner (0, 1) is the picture's top left,
  // (1, 0) the middle of its bottom edge.
  const int topLeft = vertexAt(wood, 0, 1, 0);
  const int bottomMiddle = vertexAt(wood, 1, 0, 0);
  ASSERT_TRUE(topLeft >= 0 && bottomMiddle >= 0);
  EXPECT_NEAR(wood.vertex(topLeft)[6], 0.0f, 1e-5f);
  EXPECT_NEAR(wood.vertex(topLeft)[7], 0.0f, 1e-5f);
  EXPECT_NEAR(wood.vertex(bottomMiddle)[6], 0.5f, 1e-5f);
  EXPECT_NEAR(wood.vertex(bottomMiddle)[7], 1.0f, 1e-5f);

  const ObjectFileGroup& glass = layer.groups[1];
  EXPECT_EQ(glass.material.diffuse & 0xFFFFFFu, 0x0000FFu);
  EXPECT_NE(glass.material.doubleSided, 0);
  EXPECT_FLOAT_EQ(glass.material.transparency, 0.5f);
}

TEST_F(ConvertLwobTest, DamagedLightWave5ObjectsAreRefused) {
  Bytes file = lwobObject();
  file.resize(file.size() - 10);
  ASSERT_TRUE(saveFile(dir.file("cut.lwo"), file));
  const ToolRun run = convert(dir.file("cut.lwo") + " " + dir.file("cut.3dx"));
  EXPECT_EQ(run.status, 2) << run.messages;
  EXPECT_TRUE(contains(run, "runs past")) << run.messages;
}

}  // namespace
