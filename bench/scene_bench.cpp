// Scene benchmarks: loading a large scene file with its objects, and the CPU side of
// rendering a scene with two skinned objects.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "headless/memory_graphics_driver.h"
#include "scene/scene.h"
#include "scene/scene_object.h"
#include "support/scene_files.h"

namespace {

// A driver with vertex buffers in memory that draws nothing.
class BenchDriver : public MemoryGraphicsDriver {
 public:
  BenchDriver() : MemoryGraphicsDriver("bench") { active = true; }
};

// A grid of columns x rows vertices in the x-z plane, from z = 0 to z = length.
void writeGrid(const std::string& path, int columns, int rows, float length) {
  std::vector<std::array<float, 3>> vertices;
  std::vector<float> uv;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      vertices.push_back({static_cast<float>(c) / columns, 0.0f, length * r / (rows - 1)});
      uv.push_back(static_cast<float>(c) / columns);
      uv.push_back(static_cast<float>(r) / rows);
    }
  std::vector<std::array<std::uint16_t, 3>> triangles;
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < columns; ++c) {
      auto at = [columns](int row, int column) { return static_cast<std::uint16_t>(row * columns + column); };
      triangles.push_back({at(r, c), at(r + 1, c), at(r, c + 1)});
      triangles.push_back({at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)});
    }
  Scene3dxWriter w;
  w.object(1, 1);
  Scene3dxWriter::Material m;
  m.textures = {"skin.jpg", "(none)", "(none)", "(none)", "(none)"};
  w.material(m);
  w.vertices(vertices, 1, uv);
  w.triangles(triangles);
  w.save(path);
}

// Nine channels of `keys` keys each, keyed once a second.
std::string keyedMotion(const std::string& keyword, int keys, float base) {
  std::vector<std::vector<SceneKey>> channels(9);
  for (int c = 0; c < 9; ++c)
    for (int k = 0; k < keys; ++k) {
      float value = c >= 6 ? 1.0f : base + std::sin(0.3f * k + c);
      channels[c].push_back(SceneKey{value, static_cast<float>(k), k % 2 == 0 ? 0 : 3});
    }
  return sceneKeyedMotionText(keyword, channels);
}

void BM_LoadLargeScene(benchmark::State& state) {
  SceneTempDir dir;
  std::string text = "LWSC\n3\n";
  for (int i = 0; i < 10; ++i) {
    std::string name = "mesh" + std::to_string(i);
    writeGrid(dir.file(name + ".3dx"), 100, 100, 10.0f);
    text += "LoadObjectLayer 1 " + name + ".lwo\n" + keyedMotion("ObjectMotion", 20, i);
  }
  for (int i = 0; i < 150; ++i)
    text += "AddNullObject N" + std::to_string(i) + "\n" + keyedMotion("ObjectMotion", 20, i) + "ParentItem 10000000\n";
  for (int i = 0; i < 20; ++i)
    text += "LightName L" + std::to_string(i) + "\n" + keyedMotion("LightMotion", 20, i) +
            "LightColor 1 1 1\nLightIntensity 0.5\n";
  for (int i = 0; i < 20; ++i)
    text += "CameraName C" + std::to_string(i) + "\n" + keyedMotion("CameraMotion", 20, i) + "TargetObject 1\n";
  std::string path = dir.writeText("large.lws", text);
  for (auto _ : state) {
    BenchDriver driver;
    Scene scene(&driver);
    bool loaded = scene.loadScene(path.c_str());
    benchmark::DoNotOptimize(loaded);
  }
  state.counters["items"] = 200;
}
BENCHMARK(BM_LoadLargeScene)->Unit(benchmark::kMillisecond);

void BM_RenderSkinnedObjects(benchmark::State& state) {
  SceneTempDir dir;
  writeGrid(dir.file("limb0.3dx"), 50, 100, 4.0f);
  writeGrid(dir.file("limb1.3dx"), 50, 100, 4.0f);
  std::string text = "LWSC\n3\nAmbientColor 1 1 1\nAmbientIntensity 0.1\nLightName Sun\n" +
                     keyedMotion("LightMotion", 4, 0) + "LightColor 1 1 1\nLightIntensity 1\n";
  for (int o = 0; o < 2; ++o) {
    text += "LoadObjectLayer 1 limb" + std::to_string(o) + ".lwo\n" +
            sceneItemMotionText("ObjectMotion", 2.0f * o, 0, 0) + "BoneFalloffType 2\n";
    for (int b = 0; b < 4; ++b) {
      std::vector<std::vector<SceneKey>> channels = {
          {{0, 0}}, {{0, 0}}, {{b == 0 ? 0.0f : 1.0f, 0}}, {{0, 0}}, {{0, 0}, {0.5f, 1}, {0, 2}}, {{0, 0}}, {{1, 0}},
          {{1, 0}}, {{1, 0}}};
      std::string parent =
          b == 0 ? "1000000" + std::to_string(o) : "400" + std::to_string(b - 1) + "000" + std::to_string(o);
      text += "BoneName B" + std::to_string(b) + "\nBoneActive 1\nBoneRestPosition 0 0 " +
              std::to_string(b == 0 ? 0 : 1) + "\nBoneRestDirection 0 0 0\nBoneRestLength 1\nBoneStrength 1\n" +
              sceneKeyedMotionText("BoneMotion", channels) + "ParentItem " + parent + "\n";
    }
  }
  std::string path = dir.writeText("skinned.lws", text);
  BenchDriver driver;
  Scene scene(&driver);
  if (!scene.loadScene(path.c_str()) || scene.objects[1]->boneLinkCount != 4) {
    state.SkipWithError("scene did not load as expected");
    return;
  }
  scene.setActiveCamera(0);
  Camera frameCamera;
  float time = 0.0f;
  for (auto _ : state) {
    time += 1.0f / 60.0f;
    scene.render(&frameCamera, time);
    scene.detachLights();
  }
  state.counters["vertices"] = 2 * 5000;
}
BENCHMARK(BM_RenderSkinnedObjects)->Unit(benchmark::kMillisecond);

}  // namespace
