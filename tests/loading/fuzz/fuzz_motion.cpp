// Fuzz target for the motion and envelope readers: the first byte picks the reader (motion
// block of an object, light, camera or bone; scalar or colour value-or-envelope), the rest is
// the scene text after the keyword. Whatever is read is evaluated at ordinary and hostile
// times, whole and channel by channel.
#include <cmath>
#include <limits>

#include "fuzz_data_file.h"
#include "loading/motion_evaluation.h"
#include "loading/motion_reader.h"

namespace {

const float kTimes[] = {0.0f,
                        0.25f,
                        1.0f,
                        33.3f,
                        1e30f,
                        -1e30f,
                        -7.5f,
                        std::numeric_limits<float>::quiet_NaN(),
                        std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(),
                        1e-40f};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t choice = data[0];
  DataFile file;
  if (!loading_fuzz::serve(file, data + 1, size - 1)) return 0;
  Motion* motion = nullptr;
  switch (choice % 6) {
    case 4:
      motion = readValueEnvelope(file, MotionScalar);
      break;
    case 5:
      motion = readValueEnvelope(file, MotionColor);
      break;
    default:
      motion = readMotion(file, static_cast<int16_t>(1 + choice % 6));
      break;
  }
  loading_fuzz::require(file.position <= file.size);
  if (motion == nullptr) return 0;
  // A parent of its own kind, to reach the parent and target paths.
  Motion* parent = readMotion(file, MotionObject);
  motion->parent = parent;
  if ((choice & 0x40) != 0) motion->target = parent;
  for (float t : kTimes) {
    evaluateMotion(motion, t, (choice & 0x80) != 0);
    for (int32_t c = 0; c < motion->channelCount; ++c) motion->channels[c]->valueAt(t);
  }
  delete parent;
  delete motion;
  return 0;
}
