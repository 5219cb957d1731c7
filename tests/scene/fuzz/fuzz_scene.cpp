// Fuzz target for the scene loader on a whole scene file. The input is the scene text; after
// each line "#3DX" the bytes up to the next such line are an object file, served as o0.3dx,
// o1.3dx, ... so the scene can name them ("LoadObjectLayer 1 o0.lwo"). The scene is loaded
// (an odd-sized input loads it twice into one scene, as a second scene file) and rendered at
// ordinary and hostile times (0, a huge, a negative time and NaN) on a driver that checks
// every draw against its vertex buffer instead of drawing.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz_files.h"
#include "headless/memory_graphics_driver.h"
#include "math/camera.h"
#include "scene/scene.h"

namespace {

constexpr int kMaxObjects = 4;
const char kObjectMarker[] = "\n#3DX\n";

const float kTimes[] = {0.0f, 2.5f, 1e30f, -4.0f, std::numeric_limits<float>::quiet_NaN()};

// Vertices in memory; draws only check that they stay inside the buffer.
class CheckingVertexBuffer : public MemoryVertexBuffer {
 public:
  void draw(int, int startVertex, int count) override {
    if (startVertex < 0 || count < 0 || static_cast<std::uint64_t>(startVertex) + count > vertexCount) __builtin_trap();
  }
  void drawIndexed(int, int startVertex, int count, const std::uint16_t* indices, int indexCount) override {
    if (indexCount < 0 || (indexCount > 0 && indices == nullptr)) __builtin_trap();
    (void)count;
    // Every index, counted from the first vertex, must name a vertex of the buffer.
    for (int i = 0; i < indexCount; ++i)
      if (startVertex < 0 || static_cast<std::uint64_t>(startVertex) + indices[i] >= vertexCount) __builtin_trap();
  }
};

// A driver that keeps vertex buffers in memory and draws nothing.
class QuietDriver : public MemoryGraphicsDriver {
 public:
  QuietDriver() : MemoryGraphicsDriver("fuzz") { active = true; }

 protected:
  MemoryVertexBuffer* makeVertexBuffer() override { return new CheckingVertexBuffer(); }
};

// Where the next marker starts at or after `from`; size when there is none.
size_t findMarker(const uint8_t* data, size_t size, size_t from) {
  const size_t n = sizeof kObjectMarker - 1;
  for (size_t i = from; i + n <= size; ++i)
    if (std::memcmp(data + i, kObjectMarker, n) == 0) return i;
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  scene_fuzz::WorkFolder& folder = scene_fuzz::folder();
  const size_t markerLength = sizeof kObjectMarker - 1;
  size_t end = findMarker(data, size, 0);
  folder.write("scene.lws", data, end);
  int objects = 0;
  while (end < size && objects < kMaxObjects) {
    const size_t start = end + markerLength;
    end = findMarker(data, size, start);
    folder.write("o" + std::to_string(objects++) + ".3dx", data + start, end - start);
  }
  for (int i = objects; i < kMaxObjects; ++i) folder.remove("o" + std::to_string(i) + ".3dx");

  QuietDriver driver;
  {
    Scene scene(&driver);
    if (scene.loadScene("scene.lws")) {
      if ((size & 1) != 0) scene.loadScene("scene.lws");
      // The first camera, or the second for inputs whose size is a multiple of four.
      scene.setActiveCamera((size & 3) == 0 ? 1 : 0);
      Camera frameCamera;
      for (float t : kTimes) {
        scene.render(&frameCamera, t);
        scene.detachLights();
      }
    }
  }
  return 0;
}
