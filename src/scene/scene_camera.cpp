// Scene cameras: motion filing and applying the camera's view and projection.
#include "scene/scene_camera.h"

#include "gfx/heap_array.h"
#include "loading/motion_evaluation.h"
#include "scene/scene.h"
#include "scene/scene_names.h"

SceneCamera::SceneCamera(Scene* owner, const char* cameraName)
    : name(copySceneName(cameraName)), motionCount(0), motions(nullptr), scene(owner) {}

SceneCamera::~SceneCamera() {
  delete[] name;
  name = nullptr;
  for (std::int32_t i = 0; i < motionCount; ++i) delete motions[i].motion;
  freeHeapArray(motions);
  motionCount = 0;
}

bool SceneCamera::addMotion(std::int32_t sceneIndex, Motion* motion) {
  if (!resizeHeapArray(motions, static_cast<std::size_t>(motionCount) + 1)) return false;
  motions[motionCount++] = MotionSlot{sceneIndex, motion};
  return true;
}

bool SceneCamera::applyCamera(int slot, float time) {
  if (slot < 0 || slot >= motionCount || motions[slot].motion == nullptr) return false;
  Motion* motion = motions[slot].motion;
  evaluateMotion(motion, time, false);  // leaves the view matrix in the motion's matrix
  camera.setProjection(0.7853982f, 0.5934120f, scene->gridSize * 0.1f, scene->gridSize * 1500.0f);
  camera.viewDirty = false;
  camera.view = motion->matrix;
  scene->setCamera(&camera);
  return true;
}
