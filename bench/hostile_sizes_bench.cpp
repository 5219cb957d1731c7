// Loading scene files far larger than any show needs: tens of thousands of items, and one
// channel with tens of thousands of keys. Both must load in time linear in their size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gfx/graphics_driver.h"
#include "scene/scene.h"
#include "support/scene_files.h"

namespace {

// A driver that draws nothing (null objects and lights need no vertex buffers).
class QuietDriver : public GraphicsDriver {
 public:
  QuietDriver() : GraphicsDriver("bench") { active = true; }
};

// count items, a quarter each of null objects (every 100th a fire), more null objects with
// a parent, lights and cameras, each with a one-key motion.
std::string manyItemsScene(int count) {
  std::string text = "LWSC\n3\n";
  text.reserve(static_cast<std::size_t>(count) * 220);
  const std::string motion = sceneItemMotionText("ObjectMotion", 1, 2, 3);
  for (int i = 0; i < count; ++i) {
    switch (i % 4) {
      case 0:
        text += "AddNullObject " + std::string(i % 400 == 0 ? "fire" : "N" + std::to_string(i)) + "\n" + motion;
        break;
      case 1:
        text += "AddNullObject P" + std::to_string(i) + "\n" + motion + "ParentItem 10000000\n";
        break;
      case 2:
        text += "LightName L" + std::to_string(i) + "\n" + sceneItemMotionText("LightMotion", 0, 1, 0) +
                "LightColor 1 1 1\nLightIntensity 0.5\n";
        break;
      default:
        text += "CameraName C" + std::to_string(i) + "\n" + sceneItemMotionText("CameraMotion", 0, 0, -5) +
                "TargetObject 1\n";
        break;
    }
  }
  return text;
}

void BM_LoadSceneOfManyItems(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  SceneTempDir dir;
  const std::string path = dir.writeText("many.lws", manyItemsScene(count));
  for (auto _ : state) {
    QuietDriver driver;
    auto* scene = new Scene(&driver);
    bool loaded = scene->loadScene(path.c_str());
    state.PauseTiming();  // the load alone is measured
    bool complete = loaded && scene->objectCount + scene->lightCount + scene->cameraCount == count;
    delete scene;
    state.ResumeTiming();
    if (!complete) {
      state.SkipWithError("the scene did not load every item");
      return;
    }
  }
  state.counters["items"] = count;
}
BENCHMARK(BM_LoadSceneOfManyItems)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LoadEnvelopeOfManyKeys(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::vector<std::vector<SceneKey>> channels(9, std::vector<SceneKey>{{0.0f, 0.0f}});
  channels[0].clear();
  for (int k = 0; k < count; ++k) channels[0].push_back(SceneKey{static_cast<float>(k % 7), 0.01f * k, k % 2 ? 0 : 3});
  SceneTempDir dir;
  const std::string path =
      dir.writeText("keys.lws", "LWSC\n3\nAddNullObject Keyed\n" + sceneKeyedMotionText("ObjectMotion", channels));
  for (auto _ : state) {
    QuietDriver driver;
    Scene scene(&driver);
    if (!scene.loadScene(path.c_str())) {
      state.SkipWithError("the scene did not load");
      return;
    }
  }
  state.counters["keys"] = count;
}
BENCHMARK(BM_LoadEnvelopeOfManyKeys)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
