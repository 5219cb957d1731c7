// Polygons that are bent or cross themselves keep every corner; scenes of LightWave's later
// versions name their objects after an item id.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "convert_test_files.h"
#include "support/scene_files.h"

namespace {

using namespace convert_test;
namespace fs = std::filesystem;

class ConvertPolygonSceneTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
};

int triangleCount(const ObjectFileLayer& layer) {
  int n = 0;
  for (const ObjectFileGroup& g : layer.groups) n += g.triangleCount;
  return n;
}

// An 18-corner ring whose corners rise and fall (a saddle), and a 14-corner star drawn in
// one stroke (every corner joined to the one five further on), which crosses itself.
TEST_F(ConvertPolygonSceneTest, BentAndTangledPolygonsKeepAllTheirCorners) {
  std::string obj;
  const double pi = std::acos(-1.0);
  for (int k = 0; k < 18; ++k) {
    const double a = 2 * pi * k / 18;
    obj += "v " + std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " " +
           std::to_string(0.9 * std::cos(3 * a)) + "\n";
  }
  obj += "f";
  for (int k = 1; k <= 18; ++k) obj += " " + std::to_string(k);
  obj += "\n";
  dir.writeText("saddle.obj", obj);
  ToolRun run = convert(dir.file("saddle.obj") + " " + dir.file("saddle.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_EQ(triangleCount(readLayer(dir.file("saddle.3dx"))), 16) << run.messages;

  obj.clear();
  for (int k = 0; k < 14; ++k) {
    const double a = 2 * pi * ((5 * k) % 14) / 14;
    obj += "v " + std::to_string(std::cos(a)) + " " + std::to_string(std::sin(a)) + " 0\n";
  }
  obj += "f";
  for (int k = 1; k <= 14; ++k) obj += " " + std::to_string(k);
  obj += "\n";
  dir.writeText("star.obj", obj);
  run = convert(dir.file("star.obj") + " " + dir.file("star.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  EXPECT_EQ(triangleCount(readLayer(dir.file("star.3dx"))), 12) << run.messages;
  EXPECT_TRUE(contains(run, "1 polygons are not flat or cross themselves")) << run.messages;

  // A flat polygon with a notch is cut along its outline, with no note.
  dir.writeText("notch.obj", "v 0 0 0\nv 4 0 0\nv 4 4 0\nv 2 1 0\nv 0 4 0\nf 1 2 3 4 5\n");
  run = convert(dir.file("notch.obj") + " " + dir.file("notch.3dx"));
  ASSERT_EQ(run.status, 0) << run.messages;
  const ObjectFileLayer notch = readLayer(dir.file("notch.3dx"));
  EXPECT_EQ(triangleCount(notch), 3);
  EXPECT_FALSE(contains(run, "cross themselves")) << run.messages;
  // No triangle covers the notch: the point (2, 3) lies outside the polygon.
  const ObjectFileGroup& g = notch.groups[0];
  for (int t = 0; t < g.triangleCount; ++t) {
    const float* a = g.vertex(g.indices[3 * t]);
    const float* b = g.vertex(g.indices[3 * t + 1]);
    const float* c = g.vertex(g.indices[3 * t + 2]);
    auto side = [](const float* p, const float* q, float x, float y) {
      return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0]);
    };
    const float s1 = side(a, b, 2, 3), s2 = side(b, c, 2, 3), s3 = side(c, a, 2, 3);
    EXPECT_FALSE((s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0)) << "triangle " << t;
  }
}

TEST_F(ConvertPolygonSceneTest, LaterSceneVersionsNameObjectsAfterTheirItemIds) {
  // A LightWave 6 object of one triangle.
  Bytes c;
  Bytes layer;
  be16(layer, 0);
  be16(layer, 0);
  for (int k = 0; k < 3; ++k) beFloat(layer, 0.0f);
  s0(layer, "");
  chunk(c, "LAYR", layer);
  Bytes points;
  for (float f : {0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 1.f, 0.f, 0.f}) beFloat(points, f);
  chunk(c, "PNTS", points);
  Bytes pols;
  id4(pols, "FACE");
  for (unsigned v : {3u, 0u, 1u, 2u}) be16(pols, v);
  chunk(c, "POLS", pols);
  ASSERT_TRUE(saveFile(dir.file("box.lwo"), form("LWO2", c)));
  dir.writeText("late.lws",
                "LWSC\n5\n\nFirstFrame 1\nLoadObjectLayer 1 10000000 box.lwo\nChangeObject 0\n"
                "ObjectMotion\nNumChannels 9\n");
  ToolRun run = convert("--scene " + dir.file("late.lws"));
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_TRUE(contains(run, "converted 1 of 1 objects")) << run.messages;
  EXPECT_TRUE(fs::exists(dir.file("box.3dx")));

  // Version 3 has no ids: the token after the layer is the name.
  dir.writeText("early.lws", "LWSC\n3\n\nLoadObjectLayer 1 box.lwo\n");
  run = convert("--scene " + dir.file("early.lws"));
  EXPECT_EQ(run.status, 0) << run.messages;
  EXPECT_TRUE(contains(run, "converted 1 of 1 objects")) << run.messages;

  // A scene whose object the program would not load does not end as a success.
  dir.writeText("odd.lws", "LWSC\n3\n\nLoadObjectLayer 1 box.obj\n");
  run = convert("--scene " + dir.file("odd.lws"));
  EXPECT_EQ(run.status, 2) << run.messages;
  EXPECT_TRUE(contains(run, "converted 0 of 1 objects")) << run.messages;
}

}  // namespace
