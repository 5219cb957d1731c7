// Scene objects: mesh groups with their materials and vertex buffers, motions, the bone
// links that deform them, and an optional effect attached to a null object.
#pragma once

#include <cstdint>

#include "loading/motion.h"
#include "math/camera.h"

class Scene;
class SceneBone;
class ParticleSystem;

// One weight map of a group: one weight per vertex, in vertex order.
struct WeightEntry {
  std::uint16_t valueCount;
  char name[64];
  float* values;  // owned
};

// One material's share of a mesh.
struct MeshGroup {
  std::int32_t weightCount;
  std::int32_t vertexCount;
  std::int32_t triangleCount;
  std::int32_t materialIndex;  // scene material
  std::uint16_t* indices;      // owned, 3 per triangle
  WeightEntry* weights;        // owned, weightCount entries
  std::int32_t vertexBuffer;   // scene vertex buffer
};

// A bone that deforms the object, with its weight for every vertex of every group.
struct BoneLink {
  SceneBone* bone;
  std::uint16_t groupCount;
  std::uint16_t* groupNumbers;  // owned: 0, 1, 2, ...
  float** weights;              // owned: per group, one weight per vertex
};

class SceneObject {
 public:
  explicit SceneObject(Scene* scene);
  // Releases everything the object owns.
  ~SceneObject();
  SceneObject(const SceneObject&) = delete;
  SceneObject& operator=(const SceneObject&) = delete;

  bool addMotion(std::int32_t sceneIndex, Motion* motion);

  // Draws the groups of this pass (0 opaque, 1 translucent) at time, deformed by the
  // bones when it has any, and animates the effect. Does nothing without motion `slot`.
  void drawObject(Camera* frameCamera, int slot, float time, int pass);
  // Whether group g's material sends it to the translucent pass.
  bool groupIsTranslucent(int g) const;

  // Frees meshes (when owned), motions, bone links, rest vertices and the effect.
  void release();

  std::int32_t ownsMesh;
  std::int32_t layer;
  std::int32_t groupCount;
  std::int32_t motionCount;
  ParticleSystem* effect;
  std::int32_t boneLinkCount;
  BoneLink* boneLinks;
  float** restVertices;  // per group: six floats (position, normal) per vertex
  const void* identity;
  MeshGroup* groups;
  MotionSlot* motions;
  char* fileName;
  Scene* scene;

 private:
  void deform(int slot, float time);
};
