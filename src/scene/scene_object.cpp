// Scene objects: drawing by pass, deformation by bones, the attached effect, release.
#include "scene/scene_object.h"

#include "gfx/heap_array.h"
#include "gfx/material.h"
#include "loading/bones.h"
#include "loading/motion_evaluation.h"
#include "scene/particle_system.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"

namespace {
constexpr int kTriangleList = 4;
}

SceneObject::SceneObject(Scene* owner)
    : ownsMesh(1),
      layer(0),
      groupCount(0),
      motionCount(0),
      effect(nullptr),
      boneLinkCount(0),
      boneLinks(nullptr),
      restVertices(nullptr),
      identity(this),
      groups(nullptr),
      motions(nullptr),
      fileName(nullptr),
      scene(owner) {}

SceneObject::~SceneObject() { release(); }

bool SceneObject::addMotion(std::int32_t sceneIndex, Motion* motion) {
  if (!resizeHeapArray(motions, static_cast<std::size_t>(motionCount) + 1)) return false;
  motions[motionCount++] = MotionSlot{sceneIndex, motion};
  return true;
}

void SceneObject::release() {
  if (ownsMesh) {
    for (std::int32_t g = 0; g < groupCount; ++g) {
      for (std::int32_t w = 0; w < groups[g].weightCount; ++w) delete[] groups[g].weights[w].values;
      delete[] groups[g].weights;
      delete[] groups[g].indices;
    }
    delete[] groups;
    delete[] fileName;
  }
  groups = nullptr;
  fileName = nullptr;
  for (std::int32_t i = 0; i < motionCount; ++i) delete motions[i].motion;
  freeHeapArray(motions);
  for (std::int32_t i = 0; i < boneLinkCount; ++i) {
    for (int g = 0; g < boneLinks[i].groupCount; ++g) delete[] boneLinks[i].weights[g];
    delete[] boneLinks[i].weights;
    delete[] boneLinks[i].groupNumbers;
  }
  delete[] boneLinks;
  boneLinks = nullptr;
  boneLinkCount = 0;
  if (restVertices != nullptr) {
    for (std::int32_t g = 0; g < groupCount; ++g) delete[] restVertices[g];
    delete[] restVertices;
    restVertices = nullptr;
  }
  motionCount = 0;
  groupCount = 0;
  layer = 0;
  delete effect;
  effect = nullptr;
}

bool SceneObject::groupIsTranslucent(int g) const {
  const Material* m = scene->material(groups[g].materialIndex);
  if (m == nullptr) return false;
  if (m->transparency != 0.0f) return true;
  for (int l = 0; l < m->layerCount; ++l)
    if (m->layers[l].hasAlpha) return true;
  return false;
}

void SceneObject::drawObject(Camera* frameCamera, int slot, float time, int pass) {
  if (slot < 0 || slot >= motionCount || motions[slot].motion == nullptr) return;
  Motion* motion = motions[slot].motion;
  evaluateMotion(motion, time, false);
  if (boneLinkCount == 0) {
    scene->setWorldMatrix(motion->matrix);
  } else {
    Matrix4 identityMatrix;
    identityMatrix.setIdentity();
    scene->setWorldMatrix(identityMatrix);
    deform(slot, time);  // deformed vertices are in world space
  }
  for (std::int32_t g = 0; g < groupCount; ++g) {
    const MeshGroup& group = groups[g];
    if (static_cast<int>(groupIsTranslucent(g)) != pass) continue;
    scene->selectMaterial(group.materialIndex);
    scene->drawIndexed(group.vertexBuffer, kTriangleList, 0, group.vertexCount, group.indices, 3 * group.triangleCount);
  }
  if (effect != nullptr) {
    const Matrix4& m = motion->matrix;
    effect->setPosition(Vector3{m[12], m[13], m[14]});
    effect->size = motion->scale[0];
    effect->animate(time, frameCamera);
  }
}

void SceneObject::deform(int slot, float time) {
  // A bone without a motion for this slot leaves its share of the vertices at rest.
  for (std::int32_t i = 0; i < boneLinkCount; ++i) {
    MotionSlot* s = findMotionSlot(boneLinks[i].bone, slot);
    if (s != nullptr && s->motion != nullptr) evaluateMotion(s->motion, time, false);
  }
  for (std::int32_t i = 0; i < boneLinkCount; ++i) {
    const BoneLink& link = boneLinks[i];
    Matrix4 skin;
    skin.setIdentity();
    MotionSlot* s = findMotionSlot(link.bone, slot);
    if (s != nullptr && s->motion != nullptr) s->motion->matrix.multiply(s->motion->inverseRestMatrix, skin);
    for (std::int32_t g = 0; g < groupCount && g < link.groupCount; ++g) {
      const MeshGroup& group = groups[g];
      auto* data = static_cast<unsigned char*>(scene->lockVertexBuffer(group.vertexBuffer));
      int stride = scene->vertexStride(group.vertexBuffer);
      if (data == nullptr || stride < 24) {
        scene->unlockVertexBuffer(group.vertexBuffer);
        continue;
      }
      const float* rest = restVertices[g];
      const float* weights = link.weights[g];
      for (std::int32_t v = 0; v < group.vertexCount; ++v) {
        float* out = reinterpret_cast<float*>(data + static_cast<std::size_t>(stride) * v);
        const float* r = rest + 6 * static_cast<std::size_t>(v);
        float w = weights[v];
        Vector3 p = transformPoint(Vector3{r[0], r[1], r[2]}, skin);
        Vector3 n = transformDirection(Vector3{r[3], r[4], r[5]}, skin);
        float values[6] = {w * p.x, w * p.y, w * p.z, w * n.x, w * n.y, w * n.z};
        for (int k = 0; k < 6; ++k) out[k] = i == 0 ? values[k] : out[k] + values[k];
      }
      scene->unlockVertexBuffer(group.vertexBuffer);
    }
  }
}
