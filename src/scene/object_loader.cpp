// Object factories of the scene: object names to 3DX files, shared meshes, null objects
// and the fire effect, and the groups, materials and vertex buffers built from a file.
#include <cstdio>
#include <cstring>

#include "gfx/graphics_driver.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "scene/fire_effect.h"
#include "scene/object_file.h"
#include "scene/scene.h"
#include "scene/scene_names.h"
#include "scene/scene_object.h"
#include "shell/memory_tracker.h"

namespace {

bool hasTexture(const char* name) { return name[0] != '\0' && std::strcmp(name, "(none)") != 0; }

// Builds a group's material from its "MATR" record: colours, culling and the texture layers
// of the colour (T1), additive (T2), reflection (T3), alpha (T4) and base (T5) maps.
Material* buildMaterial(const ObjectFileMaterial& file) {
  Material* m = TRACKED_NEW Material();
  m->setDiffuse(file.diffuse);
  m->setSpecular(file.specular);
  m->setTransparency(file.transparency);
  m->reservedReal0 = file.reserved[0];
  m->reservedReal1 = file.reserved[1];
  m->setReservedFlag(file.reservedFlag);
  m->setCullMode(file.doubleSided == 0 ? 1 : 0);
  m->setSmoothShading(true);

  const char* t[5];
  bool has[5];
  for (int i = 0; i < 5; ++i) {
    t[i] = file.textures[i];
    has[i] = hasTexture(t[i]);
  }
  // Texture coordinate sets, in name order; the reflection map only advances the counter.
  int set[5] = {0, 0, 0, 0, 0};
  int counter = 0;
  if (has[0]) counter = 1;
  if (has[1]) set[1] = counter++;
  if (has[2]) ++counter;
  if (has[3]) set[3] = counter++;
  if (has[4]) set[4] = counter;

  char combined[2 * sizeof(file.textures[0]) + 3];
  Matrix4 scale;
  scale.setIdentity();
  scale[0] = scale[5] = scale[10] = 0.5f;
  Matrix4 translate;
  translate.setIdentity();
  translate[12] = translate[13] = 0.5f;
  Matrix4 sphereMap;
  translate.multiply(scale, sphereMap);  // scale, then move: 0.5 c + 0.5

  if (has[4]) {
    m->addLayer(t[4], set[4], kBlendBase, kAddressWrap, kAddressWrap, nullptr);
  } else if (has[0]) {
    if (!has[3]) {
      m->addLayer(t[0], 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr);
    } else {
      std::snprintf(combined, sizeof(combined), "%s(%s)", t[0], t[3]);
      m->addLayer(combined, 0, kBlendBase, kAddressWrap, kAddressWrap, nullptr);
      m->setDepthWrite(false);
      m->setTransparency(0.99f);
    }
  }
  if (has[2]) {
    if (has[4]) {
      m->addLayer(t[2], kTexCoordCameraNormal, kBlendDotProduct, kAddressClamp, kAddressClamp, &sphereMap);
    } else if (has[3]) {
      std::snprintf(combined, sizeof(combined), "%s(%s)", t[2], t[3]);
      m->addLayer(combined, kTexCoordCameraNormal, kBlendAdd, kAddressClamp, kAddressClamp, &sphereMap);
      m->setDepthWrite(false);
      m->setTransparency(0.5f);
    } else {
      m->addLayer(t[2], kTexCoordCameraNormal, kBlendAdd, kAddressClamp, kAddressClamp, &sphereMap);
    }
  }
  if (has[0] && has[4]) m->addLayer(t[0], 0, kBlendMultiply, kAddressWrap, kAddressWrap, nullptr);
  if (has[1]) m->addLayer(t[1], set[1], kBlendAdd, kAddressWrap, kAddressWrap, nullptr);
  if (has[3]) m->addLayer(t[3], set[3], kBlendBoundOnly, kAddressWrap, kAddressWrap, nullptr);
  if (!has[0] && has[3]) m->addLayer(t[3], set[3], kBlendBase, kAddressWrap, kAddressWrap, nullptr);
  return m;
}

// The 3DX file for an object name: the base name (after the last '\' or '/') with its last
// three characters replaced by "3dx". False unless the extension is exactly "lwo" or "LWO".
bool objectFileName(const char* name, char* out, std::size_t capacity) {
  // A name whose only '.' is its first character has an empty extension.
  const char* dot = std::strrchr(name, '.');
  const char* extension = dot == nullptr ? name : dot == name ? "" : dot + 1;
  if (std::strcmp(extension, "lwo") != 0 && std::strcmp(extension, "LWO") != 0) return false;
  const char* base = name;
  for (const char* c = name; *c; ++c)
    if (*c == '\\' || *c == '/') base = c + 1;
  std::size_t length = std::strlen(base);
  if (length < 3 || length + 1 > capacity) return false;
  std::memcpy(out, base, length + 1);
  std::memcpy(out + length - 3, "3dx", 3);
  return true;
}

}  // namespace

bool Scene::loadObject(SceneObject* object, const char* name, int layer, bool asNull) {
  object->layer = layer;
  if (asNull) {
    if (std::strcmp(name, "fire") == 0) {
      // The effect holds the scene's first driver, then every driver of the scene again.
      FireEffect* fire = TRACKED_NEW FireEffect(driverCount > 0 ? bindings[0].driver : nullptr);
      for (int i = 0; i < driverCount; ++i) fire->addDriver(bindings[i].driver);
      object->effect = fire;
      fire->setup(Vector3{0.0f, 1.5f, -6.5f}, 45, 1.0f, 3.0f);
    }
    return true;
  }

  if (SceneObject* earlier = findObject(name, layer)) {
    object->ownsMesh = 0;
    object->fileName = earlier->fileName;
    object->layer = earlier->layer;
    object->groupCount = earlier->groupCount;
    object->groups = earlier->groups;
    return true;
  }

  object->fileName = copySceneName(name);
  char path[512];
  if (!objectFileName(name, path, sizeof(path))) return false;

  ObjectFileLayer data;
  if (readObjectFile(path, layer, data) != ObjectFileStatus::ok) return false;
  if (!data.found || data.groups.empty()) return true;

  std::int32_t count = static_cast<std::int32_t>(data.groups.size());
  MeshGroup* groups = TRACKED_NEW MeshGroup[count];
  for (std::int32_t g = 0; g < count; ++g) {
    const ObjectFileGroup& in = data.groups[g];
    MeshGroup& out = groups[g];
    out.materialIndex = addMaterial(buildMaterial(in.material));
    out.vertexCount = in.vertexCount;
    int type = 9 + in.texSetCount;
    out.vertexBuffer = createVertexBuffer(type, in.vertexCount, 1);
    lockVertexBuffer(out.vertexBuffer);
    for (int v = 0; v < in.vertexCount; ++v) {
      const float* p = in.vertex(v);
      TypedVertex record(type);
      record.x = p[0];
      record.y = p[1];
      record.z = p[2];
      record.setNormal(p[3], p[4], p[5]);
      for (int s = 0; s < in.texSetCount; ++s) record.setTexCoord(s, p[6 + 2 * s], p[7 + 2 * s]);
      writeVertex(out.vertexBuffer, v, record);
    }
    unlockVertexBuffer(out.vertexBuffer);

    out.triangleCount = in.triangleCount;
    out.indices = TRACKED_NEW std::uint16_t[in.indices.size() > 0 ? in.indices.size() : 1];
    // An empty group (no triangles) has no source array: nothing to copy.
    if (!in.indices.empty()) std::memcpy(out.indices, in.indices.data(), in.indices.size() * sizeof(std::uint16_t));

    out.weightCount = static_cast<std::int32_t>(in.weightMaps.size());
    out.weights = out.weightCount > 0 ? TRACKED_NEW WeightEntry[out.weightCount] : nullptr;
    for (std::int32_t w = 0; w < out.weightCount; ++w) {
      const ObjectFileWeightMap& map = in.weightMaps[w];
      WeightEntry& entry = out.weights[w];
      entry.valueCount = static_cast<std::uint16_t>(map.values.size());
      std::memcpy(entry.name, map.name, sizeof(entry.name));
      entry.values = TRACKED_NEW float[map.values.size() > 0 ? map.values.size() : 1];
      if (!map.values.empty()) std::memcpy(entry.values, map.values.data(), map.values.size() * sizeof(float));
    }
  }
  object->groups = groups;
  object->groupCount = count;
  return true;
}
