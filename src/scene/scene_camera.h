// A scene camera: named, animated by one motion per scene file, and at render time the
// source of the drivers' view and projection.
#pragma once

#include <cstdint>

#include "loading/motion.h"
#include "math/camera.h"

class Scene;

class SceneCamera {
 public:
  SceneCamera(Scene* scene, const char* name);
  // Frees the name and every motion.
  ~SceneCamera();
  SceneCamera(const SceneCamera&) = delete;
  SceneCamera& operator=(const SceneCamera&) = delete;

  // Appends {sceneIndex, motion}; false (nothing kept, the motion stays the caller's) when
  // the list cannot grow.
  bool addMotion(std::int32_t sceneIndex, Motion* motion);

  // Evaluates the motion of slot `slot` at time and makes it the drivers' view, with
  // clipping planes from the scene's grid size. False (nothing applied) without that slot.
  bool applyCamera(int slot, float time);

  char* name;
  std::int32_t motionCount;
  MotionSlot* motions;
  Scene* scene;
  Camera camera;
};
