// Motion construction and destruction, and the slot look-up of scene items.
#include "loading/motion.h"

#include "shell/memory_tracker.h"

#include <cstdlib>

Motion::Motion(int32_t channelCount_, int16_t type_)
    : value(0.0f),
      color{0.0f, 0.0f, 0.0f},
      packedColor(0),
      pivot{0.0f, 0.0f, 0.0f},
      position{0.0f, 0.0f, 0.0f},
      rotation{0.0f, 0.0f, 0.0f},
      scale{1.0f, 1.0f, 1.0f},
      type(type_),
      channelCount(0),
      channels(nullptr),
      restReady(0),
      cachedTime(kMotionUnevaluatedTime),
      parent(nullptr),
      target(nullptr) {
  // Values and matrices get defined starting points: channels a motion lacks (and the
  // scale of lights and cameras, which children multiply by) then read as neutral.
  matrix.setIdentity();
  restMatrix.setIdentity();
  inverseRestMatrix.setIdentity();
  if (channelCount_ <= 0) return;
  channels = static_cast<Envelope**>(std::calloc(static_cast<size_t>(channelCount_), sizeof(Envelope*)));
  if (!channels) return;
  channelCount = channelCount_;
  for (int32_t i = 0; i < channelCount; ++i) {
    channels[i] = TRACKED_NEW Envelope(EndConstant, EndConstant);
  }
}

Motion::~Motion() {
  for (int32_t i = 0; i < channelCount; ++i) delete channels[i];
  std::free(channels);
  channels = nullptr;
  channelCount = 0;
  parent = nullptr;
}

MotionSlot* findMotionSlot(MotionSlot* slots, int32_t slotCount, int32_t sceneIndex) {
  if (!slots) return nullptr;
  for (int32_t i = 0; i < slotCount; ++i) {
    if (slots[i].sceneIndex == sceneIndex) return &slots[i];
  }
  return nullptr;
}
