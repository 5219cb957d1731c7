// A scene light: its motions with parallel colour and intensity motions, the light
// description handed to the drivers, and the flare and marker materials it registers.
#pragma once

#include <cstdint>

#include "gfx/light_parameters.h"
#include "loading/motion.h"

class Scene;

class SceneLight {
 public:
  // Registers the flare and marker materials with the scene.
  SceneLight(Scene* scene, const char* name);
  // Frees the name and every motion, colour motion and intensity motion.
  ~SceneLight();
  SceneLight(const SceneLight&) = delete;
  SceneLight& operator=(const SceneLight&) = delete;

  // Appends {sceneIndex, motion} with empty colour and intensity entries; false when a
  // list cannot grow (then nothing is kept and the motion stays the caller's).
  bool addMotion(std::int32_t sceneIndex, Motion* motion);

  // Evaluates motion, colour and intensity of slot `slot` and describes the light to the
  // drivers (attaches it). A missing colour counts as white, a missing intensity as 1.
  // False (nothing attached) without that slot.
  bool updateLight(int slot, float time);

  char* name;
  std::int32_t motionCount;
  std::int32_t flareMaterial;
  std::int32_t markerMaterial;
  MotionSlot* motions;
  MotionSlot* intensities;
  MotionSlot* colors;
  Scene* scene;
  LightParameters parameters;
};
