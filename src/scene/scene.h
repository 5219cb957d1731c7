// The scene: everything one LightWave scene file describes (cameras, lights, objects,
// bones, ambient light), owner of its items' buffers and materials, and its render pass.
#pragma once

#include <cstdint>

#include "loading/motion.h"
#include "math/camera.h"
#include "scene/render_node.h"

class DataFile;
class SceneObject;
class SceneCamera;
class SceneLight;
class SceneBone;
struct SceneLinkTables;

class Scene : public RenderNode {
 public:
  explicit Scene(GraphicsDriver* driver);
  // Releases objects, cameras, lights, bones and ambient motions, then the node's part.
  ~Scene() override;

  // First object loaded from exactly this file name and layer, or null.
  virtual SceneObject* findObject(const char* fileName, int layer);
  // Makes every driver remove every light of the scene.
  virtual int detachLights();
  // Object factories: append an object and load its mesh (or attach its effect).
  virtual bool loadObjectLayer(const char* fileName, int layer);
  virtual bool addNullObject(const char* name);
  virtual SceneCamera* addCamera(const char* name);
  virtual SceneLight* addLight(const char* name);
  // Appends a bone owned by the most recently added object (by none before any object).
  virtual void addBone(const char* name, std::uint8_t falloffType);
  virtual Motion* readMotion(DataFile& file, int type);
  virtual Motion* readValueEnvelope(DataFile& file, int kind);
  // Read a motion block and file it under sceneFileCount with the item.
  virtual void addObjectMotion(SceneObject* object, DataFile& file);
  virtual void addCameraMotion(SceneCamera* camera, DataFile& file);
  virtual void addLightMotion(SceneLight* light, DataFile& file);
  virtual void addBoneMotion(SceneBone* bone, DataFile& file);
  // Draws the scene at its own time: camera, lighting, ambient, lights, bones, then the
  // objects' opaque groups and after them their translucent groups.
  virtual int render(Camera* frameCamera, float time);
  // Stores the camera used by render (unchecked; render ignores indices outside the list).
  virtual int setActiveCamera(int index);

  // Reads a LightWave scene file into the scene; the objects are loaded from the
  // current directory. False (scene unchanged) when the file cannot be read, its version
  // is below 3, or the ambient lists cannot grow.
  bool loadScene(const char* path);
  // The slot, for scene file sceneIndex, of the item an id names; null when none.
  MotionSlot* resolveItem(std::uint32_t id, std::int32_t sceneIndex);
  // Loads a mesh (or, asNull, attaches an effect) into an object of this scene.
  bool loadObject(SceneObject* object, const char* name, int layer, bool asNull);

  std::int32_t activeCamera;
  std::int32_t sceneFileCount;
  std::int32_t objectCount;
  std::int32_t cameraCount;
  std::int32_t lightCount;
  std::int32_t boneCount;
  SceneObject** objects;
  SceneCamera** cameras;
  SceneLight** lights;
  SceneBone** bones;
  MotionSlot* ambientColors;
  MotionSlot* ambientIntensities;
  float gridSize;

 private:
  bool appendObject(SceneObject* object);
  void resolveLinks(SceneLinkTables& links, std::int32_t sceneIndex);
};
