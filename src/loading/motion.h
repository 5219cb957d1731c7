// Motion: the channels (envelopes) of one scene item for one scene file, with what was
// last evaluated from them; MotionSlot ties a motion to the scene file it came from.
#pragma once

#include "loading/envelope.h"
#include "math/matrix4.h"

#include <cstdint>

// Stored in 16 bits.
enum MotionType : int16_t {
  MotionObject = 1,  // position, rotation and scale channels
  MotionLight = 2,
  MotionCamera = 3,
  MotionBone = 4,
  MotionScalar = 5,  // one channel
  MotionColor = 6,   // red, green, blue channels
};

class Motion {
 public:
  // Creates channelCount channels, each an envelope with constant behaviours. When the
  // channel array cannot be had (or the count is not positive), channelCount is 0.
  Motion(int32_t channelCount, int16_t type);
  ~Motion();
  Motion(const Motion&) = delete;
  Motion& operator=(const Motion&) = delete;

  float value;           // scalar result
  float color[3];        // red, green, blue, nominally 0..1
  uint32_t packedColor;  // (R << 16) + (G << 8) + B of the colour times 255
  float pivot[3];        // "PivotPosition"
  float position[3];     // channels 0, 1, 2
  float rotation[3];     // channels 3, 4, 5: heading, pitch, bank in radians
  float scale[3];        // channels 6, 7, 8
  int16_t type;          // MotionType
  int32_t channelCount;
  Envelope** channels;        // owned
  uint8_t restReady;          // bones: rest matrices prepared
  float cachedTime;           // time of the last evaluation
  Matrix4 matrix;             // the item's matrix as last evaluated
  Matrix4 restMatrix;         // bones: rest matrix
  Matrix4 inverseRestMatrix;  // bones: inverse of restMatrix
  Motion* parent;             // not owned; parent item's motion in the same scene file
  Motion* target;             // not owned; what a camera or light aims at
};

// cachedTime before the first evaluation (bit pattern 0xC49AA2A0).
constexpr float kMotionUnevaluatedTime = -1237.08203125f;

struct MotionSlot {
  int32_t sceneIndex;  // scene file number within its scene, from 0 in load order
  Motion* motion;
};

// First slot of the list with that sceneIndex; null when absent or the list is empty.
MotionSlot* findMotionSlot(MotionSlot* slots, int32_t slotCount, int32_t sceneIndex);

// The same for a scene item: any record with `motions` (slot array) and `motionCount`.
template <class Item>
MotionSlot* findMotionSlot(Item* item, int32_t sceneIndex) {
  return item ? findMotionSlot(item->motions, item->motionCount, sceneIndex) : nullptr;
}
template <class Item>
MotionSlot* findMotionSlot(Item& item, int32_t sceneIndex) {
  return findMotionSlot(item.motions, item.motionCount, sceneIndex);
}
