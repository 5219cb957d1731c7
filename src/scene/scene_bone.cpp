// Scene bones: property copies filed with each motion.
#include "scene/scene_bone.h"

#include "gfx/heap_array.h"
#include "scene/scene_names.h"

SceneBone::SceneBone(Scene* owner, const char* boneName, const void* object)
    : objectIdentity(object),
      name(copySceneName(boneName)),
      motionCount(0),
      properties(nullptr),
      motions(nullptr),
      scene(owner) {}

SceneBone::~SceneBone() {
  delete[] name;
  name = nullptr;
  for (std::int32_t i = 0; i < motionCount; ++i) {
    delete motions[i].motion;
    delete[] properties[i].weightMapName;
  }
  freeHeapArray(motions);
  freeHeapArray(properties);
  delete[] current.weightMapName;
  current.weightMapName = nullptr;
  motionCount = 0;
}

bool SceneBone::addMotion(std::int32_t sceneIndex, Motion* motion) {
  std::size_t grown = static_cast<std::size_t>(motionCount) + 1;
  if (!resizeHeapArray(motions, grown) || !resizeHeapArray(properties, grown)) return false;
  motions[motionCount] = MotionSlot{sceneIndex, motion};
  properties[motionCount] = current;  // the copy now owns the weight map name
  ++motionCount;
  current.weightMapName = nullptr;
  current.active = 0;
  current.weightMapOnly = 0;
  current.normalization = 0;
  return true;
}

void SceneBone::setWeightMapName(const char* mapName) {
  delete[] current.weightMapName;
  current.weightMapName = copySceneName(mapName);
}
