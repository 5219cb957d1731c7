// Bones: the influence settings a scene file gives a bone, and the bone item with one
// property copy per motion. Bones deform their object's meshes and are never drawn.
#pragma once

#include <cstdint>

#include "loading/motion.h"

class Scene;

struct BoneProperties {
  std::uint8_t active = 0;
  std::uint8_t scaleStrength = 0;
  std::uint8_t weightMapOnly = 0;  // kept; plays no part in the weights
  std::uint8_t normalization = 0;  // kept; weights are always normalised
  std::uint8_t limitedRange = 0;
  float minRange = 0.0f;
  float maxRange = 0.0f;
  float restLength = 0.0f;
  float strength = 0.0f;
  std::uint8_t falloffType = 0;
  char* weightMapName = nullptr;                // owned
  float restDirection[3] = {0.0f, 0.0f, 0.0f};  // heading, pitch, bank in degrees
  float restPosition[3] = {0.0f, 0.0f, 0.0f};
};

class SceneBone {
 public:
  // object: the identity of the object the bone belongs to (null for none).
  SceneBone(Scene* scene, const char* name, const void* object);
  ~SceneBone();
  SceneBone(const SceneBone&) = delete;
  SceneBone& operator=(const SceneBone&) = delete;

  // Appends the slot and a copy of `current` (which then owns the weight map name), then
  // clears weightMapName, active, weightMapOnly and normalization in `current`. False
  // when a list cannot grow (nothing kept; the motion stays the caller's).
  bool addMotion(std::int32_t sceneIndex, Motion* motion);
  // Replaces the weight map name of `current` by a copy.
  void setWeightMapName(const char* mapName);

  const void* objectIdentity;
  char* name;
  std::int32_t motionCount;
  BoneProperties current;
  BoneProperties* properties;
  MotionSlot* motions;
  Scene* scene;
};
