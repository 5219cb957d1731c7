// Scene lights: flare and marker materials, motion filing and the per-frame light update.
#include "scene/scene_light.h"

#include "gfx/heap_array.h"
#include "gfx/material.h"
#include "loading/motion_evaluation.h"
#include "scene/scene.h"
#include "scene/scene_names.h"
#include "shell/memory_tracker.h"

SceneLight::SceneLight(Scene* owner, const char* lightName)
    : name(nullptr),
      motionCount(0),
      flareMaterial(0),
      markerMaterial(0),
      motions(nullptr),
      intensities(nullptr),
      colors(nullptr),
      scene(owner) {
  name = copySceneName(lightName);

  Material* flare = TRACKED_NEW Material();
  flare->setCullMode(0);
  flare->setDepthWrite(false);
  flare->setDepthFunction(8);
  flare->addLayer("lensflare.jpg(lensflarea.jpg)", 0, kBlendAdd, kAddressWrap, kAddressWrap, nullptr);
  flareMaterial = scene->addMaterial(flare);

  Material* marker = TRACKED_NEW Material();
  marker->setCullMode(0);
  marker->setDiffuse(0xFFFF00FFu);
  markerMaterial = scene->addMaterial(marker);
}

SceneLight::~SceneLight() {
  delete[] name;
  name = nullptr;
  for (std::int32_t i = 0; i < motionCount; ++i) {
    delete motions[i].motion;
    delete colors[i].motion;
    delete intensities[i].motion;
  }
  freeHeapArray(motions);
  freeHeapArray(colors);
  freeHeapArray(intensities);
  motionCount = 0;
}

bool SceneLight::addMotion(std::int32_t sceneIndex, Motion* motion) {
  std::size_t grown = static_cast<std::size_t>(motionCount) + 1;
  // The three lists keep one length: a list that has grown stays one entry too long until
  // the next addition, which is harmless since motionCount is what counts.
  if (!resizeHeapArray(motions, grown) || !resizeHeapArray(colors, grown) || !resizeHeapArray(intensities, grown))
    return false;
  motions[motionCount] = MotionSlot{sceneIndex, motion};
  colors[motionCount] = MotionSlot{sceneIndex, nullptr};
  intensities[motionCount] = MotionSlot{sceneIndex, nullptr};
  ++motionCount;
  return true;
}

bool SceneLight::updateLight(int slot, float time) {
  if (slot < 0 || slot >= motionCount || motions[slot].motion == nullptr) return false;
  Motion* motion = motions[slot].motion;
  Motion* colour = colors[slot].motion;
  Motion* intensity = intensities[slot].motion;
  evaluateMotion(motion, time, false);
  if (colour != nullptr) evaluateMotion(colour, time, false);
  if (intensity != nullptr) evaluateMotion(intensity, time, false);

  const Matrix4& m = motion->matrix;
  Vector3 direction{m[8] + m[12], m[9] + m[13], m[10] + m[14]};
  Vector3 position{motion->position[0], motion->position[1], motion->position[2]};
  float r = colour ? colour->color[0] : 1.0f;
  float g = colour ? colour->color[1] : 1.0f;
  float b = colour ? colour->color[2] : 1.0f;

  parameters.setAttenuation(1.0f, 1.0f, 0.0f);
  parameters.setRange(8.0f);
  parameters.setPosition(position);
  parameters.setDirection(direction);
  parameters.setDiffuse(r, g, b, 1.0f);
  parameters.setAmbient(r, g, b, 1.0f);
  parameters.setSpecular(r, g, b, 1.0f);
  parameters.setIntensity(intensity ? intensity->value : 1.0f);
  scene->attachLight(&parameters);
  return true;
}
