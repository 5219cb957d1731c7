// Reading a LightWave scene file into a scene: items through the scene's factories,
// their motions and envelopes, parent and target links, then bone rest poses and weights.
#include <cstdint>
#include <cstring>

#include "gfx/heap_array.h"
#include "loading/data_file.h"
#include "loading/motion_evaluation.h"
#include "loading/scene_parser.h"
#include "scene/bone_weights.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shell/memory_tracker.h"

namespace {

template <typename T>
T* lastOf(T** list, std::int32_t count) {
  return count > 0 ? list[count - 1] : nullptr;
}

template <typename T>
Motion* motionFor(T* item, std::int32_t sceneIndex) {
  MotionSlot* slot = item ? findMotionSlot(item, sceneIndex) : nullptr;
  return slot ? slot->motion : nullptr;
}

// Stores a motion into a slot of a light's colour or intensity list (or the scene's
// ambient list), replacing (and deleting) what an earlier line of the same file put there.
void storeMotion(MotionSlot& slot, std::int32_t sceneIndex, Motion* motion) {
  delete slot.motion;
  slot = MotionSlot{sceneIndex, motion};
}

// True when making `parent` the parent of `child` would close a loop in the parent chain.
bool formsLoop(const Motion* child, const Motion* parent) {
  for (const Motion* m = parent; m != nullptr; m = m->parent)
    if (m == child) return true;
  return false;
}

template <typename T>
void linkParents(Scene& scene, T** items, std::int32_t count, const SceneLinkTable& table, std::int32_t sceneIndex) {
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t entry = table.get(i);
    if (entry == -1) continue;
    MotionSlot* parent = scene.resolveItem(static_cast<std::uint32_t>(entry), sceneIndex);
    Motion* own = motionFor(items[i], sceneIndex);
    if (parent == nullptr || parent->motion == nullptr || own == nullptr) continue;
    if (formsLoop(own, parent->motion)) continue;
    own->parent = parent->motion;
  }
}

template <typename T>
void linkTargets(Scene& scene, T** items, std::int32_t count, const SceneLinkTable& table, std::int32_t sceneIndex) {
  for (std::int32_t i = 0; i < count; ++i) {
    std::int32_t entry = table.get(i);
    // A number beyond the object list names no object, like an unset target.
    if (entry < 0 || entry >= scene.objectCount) continue;
    Motion* target = motionFor(scene.objects[entry], sceneIndex);
    Motion* own = motionFor(items[i], sceneIndex);
    if (target != nullptr && own != nullptr) own->target = target;
  }
}

}  // namespace

MotionSlot* Scene::resolveItem(std::uint32_t id, std::int32_t sceneIndex) {
  SceneItemId item = decodeSceneItemId(id);
  switch (item.kind) {
    case SceneItemKind::object:
      return item.index < static_cast<std::uint32_t>(objectCount) ? findMotionSlot(objects[item.index], sceneIndex)
                                                                  : nullptr;
    case SceneItemKind::light:
      return item.index < static_cast<std::uint32_t>(lightCount) ? findMotionSlot(lights[item.index], sceneIndex)
                                                                 : nullptr;
    case SceneItemKind::camera:
      return item.index < static_cast<std::uint32_t>(cameraCount) ? findMotionSlot(cameras[item.index], sceneIndex)
                                                                  : nullptr;
    case SceneItemKind::bone: {
      if (item.boneNumber >= static_cast<std::uint32_t>(boneCount) ||
          item.index >= static_cast<std::uint32_t>(objectCount))
        return nullptr;
      const void* owner = objects[item.index]->identity;
      SceneBone* found = nullptr;
      std::uint32_t counted = 0;
      for (std::int32_t b = 0; b < boneCount && found == nullptr; ++b) {
        if (bones[b]->objectIdentity != owner) continue;
        if (counted == item.boneNumber) found = bones[b];
        ++counted;
      }
      if (found == nullptr) found = bones[item.boneNumber];
      return findMotionSlot(found, sceneIndex);
    }
    default:
      return nullptr;
  }
}

void Scene::resolveLinks(SceneLinkTables& links, std::int32_t sceneIndex) {
  linkParents(*this, objects, objectCount, links.objectParents, sceneIndex);
  linkParents(*this, cameras, cameraCount, links.cameraParents, sceneIndex);
  linkParents(*this, lights, lightCount, links.lightParents, sceneIndex);
  linkParents(*this, bones, boneCount, links.boneParents, sceneIndex);
  linkTargets(*this, cameras, cameraCount, links.cameraTargets, sceneIndex);
  linkTargets(*this, lights, lightCount, links.lightTargets, sceneIndex);
}

bool Scene::loadScene(const char* path) {
  DataFile file;
  if (path == nullptr || !file.open(path, 1)) return false;
  // Files older than version 3 are laid out differently: refuse them rather than misread.
  const int version = readSceneFileVersion(file);
  if (version < kSceneFileDefaultVersion) return false;
  const bool itemIds = version >= kSceneFileItemIdVersion;

  const std::int32_t sceneIndex = sceneFileCount;
  const std::size_t grown = static_cast<std::size_t>(sceneIndex) + 1;
  if (!resizeHeapArray(ambientColors, grown)) return false;
  if (!resizeHeapArray(ambientIntensities, grown)) {
    resizeHeapArray(ambientColors, static_cast<std::size_t>(sceneIndex));
    return false;
  }
  ambientColors[sceneIndex] = MotionSlot{sceneIndex, nullptr};
  ambientIntensities[sceneIndex] = MotionSlot{sceneIndex, nullptr};

  SceneLinkTables* links = TRACKED_NEW SceneLinkTables();
  gridSize = 1.0f;
  SceneItemKind kind = SceneItemKind::none;
  std::uint8_t falloffType = 0;  // bones named before any "BoneFalloffType"
  char token[512];
  char mapName[256];

  auto is = [&token](const char* keyword) { return std::strcmp(token, keyword) == 0; };
  auto lastIndex = [this](SceneItemKind k) -> int {
    switch (k) {
      case SceneItemKind::object:
        return objectCount - 1;
      case SceneItemKind::light:
        return lightCount - 1;
      case SceneItemKind::camera:
        return cameraCount - 1;
      case SceneItemKind::bone:
        return boneCount - 1;
      default:
        return -1;
    }
  };

  while (file.position + 1 < file.size) {
    file.readToken(token, sizeof(token));
    if (is("GridSize")) gridSize = static_cast<float>(file.readReal());
    if (is("LoadObjectLayer")) {
      int layer = file.readInt();
      if (itemIds) file.readHex();
      file.readToken(token, sizeof(token));
      kind = SceneItemKind::object;
      loadObjectLayer(token, layer);
    }
    if (is("AddNullObject")) {
      if (itemIds) file.readHex();
      file.readToken(token, sizeof(token));
      kind = SceneItemKind::object;
      addNullObject(token);
    }
    if (itemIds && (is("AddLight") || is("AddCamera") || is("AddBone"))) file.readHex();
    if (is("CameraName")) {
      file.readToken(token, sizeof(token));
      kind = SceneItemKind::camera;
      addCamera(token);
    }
    if (is("LightName")) {
      file.readToken(token, sizeof(token));
      kind = SceneItemKind::light;
      addLight(token);
    }
    if (is("BoneName")) {
      file.readToken(token, sizeof(token));
      kind = SceneItemKind::bone;
      addBone(token, falloffType);
    }
    if (is("BoneFalloffType")) falloffType = static_cast<std::uint8_t>(file.readInt());
    // Motions for items that do not exist are read and dropped.
    if (is("ObjectMotion")) addObjectMotion(lastOf(objects, objectCount), file);
    if (is("CameraMotion")) addCameraMotion(lastOf(cameras, cameraCount), file);
    if (is("LightMotion")) addLightMotion(lastOf(lights, lightCount), file);
    if (is("BoneMotion")) addBoneMotion(lastOf(bones, boneCount), file);
    if (is("ParentItem") && kind != SceneItemKind::none) {
      std::uint32_t id = file.readHex();
      links->parentsOf(kind)->set(lastIndex(kind), static_cast<std::int32_t>(id));
    }
    if (is("TargetObject") && (kind == SceneItemKind::camera || kind == SceneItemKind::light)) {
      // Counted from 1; the lowest integer has no predecessor and names no object.
      const std::int32_t number = file.readInt();
      if (number != INT32_MIN) links->targetsOf(kind)->set(lastIndex(kind), number - 1);
    }
    if (is("PivotPosition") && (kind == SceneItemKind::object || kind == SceneItemKind::bone)) {
      float pivot[3];
      for (float& v : pivot) v = static_cast<float>(file.readReal());
      if (Motion* m = motionFor(lastOf(objects, objectCount), sceneIndex))
        for (int i = 0; i < 3; ++i) m->pivot[i] = pivot[i];
    }

    SceneLight* light = kind == SceneItemKind::light ? lastOf(lights, lightCount) : nullptr;
    if (light != nullptr) {
      if (is("LightType")) {
        switch (file.readInt() & 0xFF) {
          case 0:
            light->parameters.setType(LightParameters::kDirectional);
            break;
          case 1:
            light->parameters.setType(LightParameters::kPoint);
            break;
          case 2:
            light->parameters.setType(LightParameters::kSpot);
            break;
          default:
            break;
        }
      }
      // Colour and intensity belong to the light's motion of this file; without one they are dropped.
      const int newest = light->motionCount - 1;
      const bool hasMotion = newest >= 0 && light->motions[newest].sceneIndex == sceneIndex;
      if (is("LightColor")) {
        Motion* m = readValueEnvelope(file, MotionColor);
        if (hasMotion)
          storeMotion(light->colors[newest], sceneIndex, m);
        else
          delete m;
      }
      if (is("LightIntensity")) {
        Motion* m = readValueEnvelope(file, MotionScalar);
        if (hasMotion)
          storeMotion(light->intensities[newest], sceneIndex, m);
        else
          delete m;
      }
    }

    SceneBone* bone = kind == SceneItemKind::bone ? lastOf(bones, boneCount) : nullptr;
    if (bone != nullptr) {
      BoneProperties& p = bone->current;
      if (is("BoneActive") && file.readInt() != 0) p.active = 1;
      if (is("ScaleBoneStrength") && file.readInt() != 0) p.scaleStrength = 1;
      if (is("BoneWeightMapOnly") && file.readInt() != 0) p.weightMapOnly = 1;
      if (is("BoneNormalization") && file.readInt() != 0) p.normalization = 1;
      if (is("BoneLimitedRange") && file.readInt() != 0) p.limitedRange = 1;
      if (is("BoneRestPosition"))
        for (float& v : p.restPosition) v = static_cast<float>(file.readReal());
      if (is("BoneRestDirection"))
        for (float& v : p.restDirection) v = static_cast<float>(file.readReal());
      if (is("BoneRestLength")) p.restLength = static_cast<float>(file.readReal());
      if (is("BoneMinRange")) p.minRange = static_cast<float>(file.readReal());
      if (is("BoneMaxRange")) p.maxRange = static_cast<float>(file.readReal());
      if (is("BoneStrength")) p.strength = static_cast<float>(file.readReal());
      if (is("BoneWeightMapName")) {
        file.readToken(mapName, sizeof(mapName));
        bone->setWeightMapName(mapName);
      }
    }

    if (is("AmbientColor")) storeMotion(ambientColors[sceneIndex], sceneIndex, readValueEnvelope(file, MotionColor));
    if (is("AmbientIntensity"))
      storeMotion(ambientIntensities[sceneIndex], sceneIndex, readValueEnvelope(file, MotionScalar));
  }

  resolveLinks(*links, sceneIndex);
  delete links;
  for (std::int32_t b = 0; b < boneCount; ++b) computeBoneRest(bones[b], sceneIndex);
  for (std::int32_t b = 0; b < boneCount; ++b)
    if (Motion* m = motionFor(bones[b], sceneIndex)) evaluateMotion(m, 0.0f, false);
  for (std::int32_t o = 0; o < objectCount; ++o) computeVertexWeights(objects[o]);
  file.close();
  ++sceneFileCount;
  return true;
}
