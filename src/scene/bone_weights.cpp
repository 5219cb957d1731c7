// Bone rest matrices and per-vertex bone weights of scene objects.
#include "scene/bone_weights.h"

#include <cstring>

#include "loading/bones.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_object.h"
#include "shell/memory_tracker.h"

void computeBoneRest(SceneBone* bone, std::int32_t sceneIndex) {
  // Bones of earlier scene files have no motion for this file and are skipped.
  for (std::int32_t i = 0; i < bone->motionCount; ++i) {
    if (bone->motions[i].sceneIndex != sceneIndex || bone->motions[i].motion == nullptr) continue;
    const BoneProperties& p = bone->properties[i];
    bone->motions[i].motion->restMatrix = boneRestMatrix(p.restPosition, p.restDirection);
    return;
  }
}

WeightEntry* findWeightMap(SceneObject* object, const char* name, int group) {
  if (name == nullptr || group < 0 || group >= object->groupCount) return nullptr;
  MeshGroup& g = object->groups[group];
  for (std::int32_t i = 0; i < g.weightCount; ++i)
    if (std::strcmp(g.weights[i].name, name) == 0) return &g.weights[i];
  return nullptr;
}

void computeVertexWeights(SceneObject* object) {
  Scene* scene = object->scene;
  // The deforming bones: active in their first property copy and owned by this object.
  auto deforms = [object](const SceneBone* bone) {
    return bone->motionCount > 0 && bone->motions[0].motion != nullptr && bone->properties[0].active &&
           bone->objectIdentity == object->identity;
  };
  std::int32_t count = 0;
  for (std::int32_t b = 0; b < scene->boneCount; ++b)
    if (deforms(scene->bones[b])) ++count;
  if (count == 0 || object->boneLinkCount != 0) return;

  const std::int32_t groupCount = object->groupCount;
  BoneLink* links = TRACKED_NEW BoneLink[count];
  std::int32_t next = 0;
  for (std::int32_t b = 0; b < scene->boneCount; ++b) {
    if (!deforms(scene->bones[b])) continue;
    BoneLink& link = links[next++];
    link.bone = scene->bones[b];
    link.groupCount = static_cast<std::uint16_t>(groupCount);
    link.groupNumbers = TRACKED_NEW std::uint16_t[groupCount > 0 ? groupCount : 1];
    link.weights = TRACKED_NEW float * [groupCount > 0 ? groupCount : 1];
    for (std::int32_t g = 0; g < groupCount; ++g) {
      link.groupNumbers[g] = static_cast<std::uint16_t>(g);
      std::int32_t vertices = object->groups[g].vertexCount;
      link.weights[g] = TRACKED_NEW float[vertices > 0 ? vertices : 1]();
    }
  }
  float** rest = TRACKED_NEW float * [groupCount > 0 ? groupCount : 1];
  for (std::int32_t g = 0; g < groupCount; ++g) {
    std::int32_t vertices = object->groups[g].vertexCount;
    rest[g] = TRACKED_NEW float[6 * static_cast<std::size_t>(vertices > 0 ? vertices : 1)]();
  }

  for (std::int32_t i = 0; i < count; ++i) {
    const BoneProperties& p = links[i].bone->properties[0];
    const Motion* motion = links[i].bone->motions[0].motion;
    BoneInfluence influence;
    influence.strength = p.scaleStrength == 1 ? p.strength * p.restLength : p.strength;
    influence.falloffType = p.falloffType;
    influence.limitedRange = p.limitedRange == 1;
    influence.minRange = p.minRange;
    influence.maxRange = p.maxRange;
    Vector3 a = transformPoint(Vector3{0.0f, 0.0f, 0.0f}, motion->restMatrix);
    Vector3 b = transformPoint(Vector3{0.0f, 0.0f, p.restLength}, motion->restMatrix);

    for (std::int32_t g = 0; g < groupCount; ++g) {
      const MeshGroup& group = object->groups[g];
      const WeightEntry* map = p.weightMapName ? findWeightMap(object, p.weightMapName, g) : nullptr;
      auto* data = static_cast<unsigned char*>(scene->lockVertexBuffer(group.vertexBuffer));
      int stride = scene->vertexStride(group.vertexBuffer);
      if (data != nullptr && stride >= 24) {
        for (std::int32_t v = 0; v < group.vertexCount; ++v) {
          const float* vertex = reinterpret_cast<const float*>(data + static_cast<std::size_t>(stride) * v);
          if (i == 0) std::memcpy(rest[g] + 6 * static_cast<std::size_t>(v), vertex, 6 * sizeof(float));
          float d = segmentDistance(a, b, Vector3{vertex[0], vertex[1], vertex[2]});
          float m = map != nullptr && v < map->valueCount ? map->values[v] : 1.0f;
          links[i].weights[g][v] = boneRawWeight(influence, d, m);
        }
      }
      scene->unlockVertexBuffer(group.vertexBuffer);
    }
  }

  float** perLink = TRACKED_NEW float* [count];
  for (std::int32_t g = 0; g < groupCount; ++g) {
    for (std::int32_t i = 0; i < count; ++i) perLink[i] = links[i].weights[g];
    normalizeBoneWeights(perLink, count, object->groups[g].vertexCount);
  }
  delete[] perLink;

  object->boneLinks = links;
  object->boneLinkCount = count;
  object->restVertices = rest;
}
