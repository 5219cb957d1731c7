// The scene: item lists and factories, motion filing, render pass and destruction.
#include "scene/scene.h"

#include <cstring>

#include "gfx/heap_array.h"
#include "loading/motion_evaluation.h"
#include "loading/motion_reader.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shell/memory_tracker.h"

namespace {

// Appends item to a list that grows by one; false (list unchanged) when it cannot grow.
template <typename T>
bool appendItem(T**& list, std::int32_t& count, T* item) {
  if (!resizeHeapArray(list, static_cast<std::size_t>(count) + 1)) return false;
  list[count++] = item;
  return true;
}

}  // namespace

Scene::Scene(GraphicsDriver* driver)
    : RenderNode(nullptr),
      activeCamera(-1),
      sceneFileCount(0),
      objectCount(0),
      cameraCount(0),
      lightCount(0),
      boneCount(0),
      objects(nullptr),
      cameras(nullptr),
      lights(nullptr),
      bones(nullptr),
      ambientColors(nullptr),
      ambientIntensities(nullptr),
      gridSize(1.0f) {
  addDriver(driver);
}

Scene::~Scene() {
  for (std::int32_t i = 0; i < objectCount; ++i) {
    objects[i]->release();
    delete objects[i];
  }
  freeHeapArray(objects);
  for (std::int32_t i = 0; i < cameraCount; ++i) delete cameras[i];
  freeHeapArray(cameras);
  for (std::int32_t i = 0; i < lightCount; ++i) delete lights[i];
  freeHeapArray(lights);
  for (std::int32_t i = 0; i < boneCount; ++i) delete bones[i];
  freeHeapArray(bones);
  for (std::int32_t i = 0; i < sceneFileCount; ++i) {
    delete ambientColors[i].motion;
    delete ambientIntensities[i].motion;
  }
  freeHeapArray(ambientColors);
  freeHeapArray(ambientIntensities);
  objectCount = cameraCount = lightCount = boneCount = 0;
}

SceneObject* Scene::findObject(const char* fileName, int layer) {
  if (fileName == nullptr) return nullptr;
  for (std::int32_t i = 0; i < objectCount; ++i) {
    SceneObject* o = objects[i];
    if (o->fileName != nullptr && std::strcmp(o->fileName, fileName) == 0 && o->layer == layer) return o;
  }
  return nullptr;
}

int Scene::detachLights() {
  for (std::int32_t i = 0; i < lightCount; ++i) detachLight(&lights[i]->parameters);
  return driverCount;
}

bool Scene::appendObject(SceneObject* object) {
  if (appendItem(objects, objectCount, object)) return true;
  delete object;
  return false;
}

bool Scene::loadObjectLayer(const char* fileName, int layer) {
  SceneObject* object = TRACKED_NEW SceneObject(this);
  if (!appendObject(object)) return false;
  return loadObject(object, fileName, layer, false);
}

bool Scene::addNullObject(const char* name) {
  SceneObject* object = TRACKED_NEW SceneObject(this);
  if (!appendObject(object)) return false;
  return loadObject(object, name, 0, true);
}

SceneCamera* Scene::addCamera(const char* name) {
  SceneCamera* camera = TRACKED_NEW SceneCamera(this, name);
  if (appendItem(cameras, cameraCount, camera)) return camera;
  delete camera;
  return nullptr;
}

SceneLight* Scene::addLight(const char* name) {
  SceneLight* light = TRACKED_NEW SceneLight(this, name);
  if (appendItem(lights, lightCount, light)) return light;
  delete light;
  return nullptr;
}

void Scene::addBone(const char* name, std::uint8_t falloffType) {
  const void* owner = objectCount > 0 ? objects[objectCount - 1]->identity : nullptr;
  SceneBone* bone = TRACKED_NEW SceneBone(this, name, owner);
  bone->current.falloffType = falloffType;
  if (!appendItem(bones, boneCount, bone)) delete bone;
}

Motion* Scene::readMotion(DataFile& file, int type) { return ::readMotion(file, static_cast<std::int16_t>(type)); }

Motion* Scene::readValueEnvelope(DataFile& file, int kind) { return ::readValueEnvelope(file, kind); }

void Scene::addObjectMotion(SceneObject* object, DataFile& file) {
  Motion* motion = readMotion(file, MotionObject);
  if (motion != nullptr && (object == nullptr || !object->addMotion(sceneFileCount, motion))) delete motion;
}

void Scene::addCameraMotion(SceneCamera* camera, DataFile& file) {
  Motion* motion = readMotion(file, MotionCamera);
  if (motion != nullptr && (camera == nullptr || !camera->addMotion(sceneFileCount, motion))) delete motion;
}

void Scene::addLightMotion(SceneLight* light, DataFile& file) {
  Motion* motion = readMotion(file, MotionLight);
  if (motion != nullptr && (light == nullptr || !light->addMotion(sceneFileCount, motion))) delete motion;
}

void Scene::addBoneMotion(SceneBone* bone, DataFile& file) {
  Motion* motion = readMotion(file, MotionBone);
  if (motion != nullptr && (bone == nullptr || !bone->addMotion(sceneFileCount, motion))) delete motion;
}

int Scene::render(Camera* frameCamera, float time) {
  // An index outside the camera list keeps the frame camera the shell set.
  if (activeCamera >= 0 && activeCamera < cameraCount) cameras[activeCamera]->applyCamera(0, time);
  enableLighting();

  if (sceneFileCount > 0) {
    // Without "AmbientColor" the colour is white; without "AmbientIntensity" there is no ambient light.
    float colour[3] = {1.0f, 1.0f, 1.0f};
    float intensity = 0.0f;
    if (Motion* c = ambientColors[0].motion) {
      evaluateMotion(c, time, false);
      for (int i = 0; i < 3; ++i) colour[i] = c->color[i];
    }
    if (Motion* v = ambientIntensities[0].motion) {
      evaluateMotion(v, time, false);
      intensity = v->value;
    }
    setAmbientLight(colour[0] * intensity * 10.0f, colour[1] * intensity * 10.0f, colour[2] * intensity * 10.0f, 0.0f);
  }

  for (std::int32_t i = 0; i < lightCount; ++i) lights[i]->updateLight(0, time);
  for (std::int32_t i = 0; i < boneCount; ++i)
    if (bones[i]->motionCount > 0) evaluateMotion(bones[i]->motions[0].motion, time, false);
  for (int pass = 0; pass < 2; ++pass)
    for (std::int32_t i = 0; i < objectCount; ++i) objects[i]->drawObject(frameCamera, 0, time, pass);
  return driverCount;
}

int Scene::setActiveCamera(int index) {
  activeCamera = index;
  return index;
}
