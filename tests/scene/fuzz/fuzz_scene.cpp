// Fuzz target for the scene loader on a whole scene file. The input is the scene text; after
// each line "#3DX" the bytes up to the next such line are an object file, served as o0.3dx,
// o1.3dx, ... so the scene can name them ("LoadObjectLayer 1 o0.lwo"). The scene is loaded
// (an odd-sized input loads it twice into one scene, as a second scene file) and rendered at
// ordinary and hostile times on a driver that records instead of drawing.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz_files.h"
#include "math/camera.h"
#include "scene/scene.h"
#include "support/gfx_recording_driver.h"

namespace {

constexpr int kMaxObjects = 4;
const char kObjectMarker[] = "\n#3DX\n";

const float kTimes[] = {0.0f, 1.0f / 30.0f, 2.5f, 1e30f, -1e30f, -4.0f, std::numeric_limits<float>::quiet_NaN(),
                        std::numeric_limits<float>::infinity()};

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

  RecordingGraphicsDriver driver;
  {
    Scene scene(&driver);
    if (scene.loadScene("scene.lws")) {
      if ((size & 1) != 0) scene.loadScene("scene.lws");
      for (int camera = 0; camera < 2; ++camera) {
        scene.setActiveCamera(camera);
        Camera frameCamera;
        for (float t : kTimes) {
          scene.render(&frameCamera, t);
          scene.detachLights();
          driver.calls.clear();
        }
      }
    }
  }
  return 0;
}
