// Scene report of the inspector (JSON).
#include "scene_report.h"

#include <map>
#include <string>

#include "gfx/light_parameters.h"
#include "gfx/material.h"
#include "json_writer.h"
#include "loading/motion_evaluation.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"

namespace {

// The item names of every motion, to name parents and targets.
using MotionNames = std::map<const Motion*, const char*>;

template <typename T>
void nameMotions(MotionNames& names, T** items, int count, const char* (*nameOf)(const T*)) {
  for (int i = 0; i < count; ++i)
    for (int s = 0; s < items[i]->motionCount; ++s) names[items[i]->motions[s].motion] = nameOf(items[i]);
}

// Objects are named by their file; null objects keep no name, so they are named by position.
std::vector<std::string> objectNames(const Scene& scene) {
  std::vector<std::string> names;
  for (int i = 0; i < scene.objectCount; ++i) {
    const SceneObject* o = scene.objects[i];
    names.push_back(o->fileName != nullptr ? o->fileName : "(null " + std::to_string(i) + ")");
  }
  return names;
}

void linkField(JsonWriter& json, const char* key, const Motion* linked, const MotionNames& names) {
  json.key(key);
  auto found = linked != nullptr ? names.find(linked) : names.end();
  if (found == names.end())
    json.null();
  else
    json.value(found->second);
}

// Name, kind, parent and target of an item.
void writeItemHeader(JsonWriter& json, const char* name, const char* kind, const MotionSlot* slots, int slotCount,
                     const MotionNames& names) {
  const Motion* motion = slotCount > 0 ? slots[0].motion : nullptr;
  json.field("name", name);
  json.field("kind", kind);
  linkField(json, "parent", motion ? motion->parent : nullptr, names);
  linkField(json, "target", motion ? motion->target : nullptr, names);
  json.field("motionCount", slotCount);
}

// One entry per time with the evaluated motion of slot 0; `extra` evaluates it and may add
// fields first.
template <typename Extra>
void writeItemTimes(JsonWriter& json, const MotionSlot* slots, int slotCount, const std::vector<float>& times,
                    Extra extra) {
  const Motion* motion = slotCount > 0 ? slots[0].motion : nullptr;
  json.key("times");
  json.beginArray();
  for (float t : times) {
    json.beginObject();
    json.field("time", static_cast<double>(t));
    if (motion != nullptr) {
      extra(t);
      json.key("matrix");
      json.numbers(motion->matrix.m, 16);
      json.key("position");
      json.numbers(motion->position, 3);
      json.key("rotation");
      json.numbers(motion->rotation, 3);
      json.key("scale");
      json.numbers(motion->scale, 3);
    }
    json.endObject();
  }
  json.endArray();
}

const char* lightTypeName(int type) {
  switch (type) {
    case LightParameters::kPoint:
      return "point";
    case LightParameters::kSpot:
      return "spot";
    case LightParameters::kDirectional:
      return "directional";
    default:
      return "unknown";
  }
}

void writeMaterial(JsonWriter& json, const Material* m) {
  json.beginObject();
  json.key("diffuse");
  json.hexColour(m->diffuse);
  json.key("specular");
  json.hexColour(m->specular);
  json.key("luminous");
  json.hexColour(m->luminous);
  json.field("transparency", static_cast<double>(m->transparency));
  json.field("smoothShading", m->smoothShading);
  json.field("depthWrite", m->depthWrite);
  json.field("depthFunction", m->depthFunction);
  json.field("cullMode", static_cast<int>(m->cullMode));
  json.key("layers");
  json.beginArray();
  for (int l = 0; l < m->layerCount; ++l) {
    const TextureLayer& layer = m->layers[l];
    json.beginObject();
    json.field("textureName", layer.textureName);
    json.field("texCoordSource", layer.texCoordSource);
    json.field("blendMode", layer.blendMode);
    json.field("addressU", static_cast<int>(layer.addressU));
    json.field("addressV", static_cast<int>(layer.addressV));
    json.field("hasAlpha", layer.hasAlpha);
    json.key("matrix");
    if (layer.hasMatrix)
      json.numbers(layer.matrix.m, 16);
    else
      json.null();
    json.endObject();
  }
  json.endArray();
  json.endObject();
}

}  // namespace

void writeSceneReport(Scene& scene, const char* path, const std::vector<float>& times, JsonWriter& json) {
  MotionNames names;
  const std::vector<std::string> objectName = objectNames(scene);
  for (int i = 0; i < scene.objectCount; ++i)
    for (int m = 0; m < scene.objects[i]->motionCount; ++m)
      names[scene.objects[i]->motions[m].motion] = objectName[i].c_str();
  nameMotions<SceneCamera>(names, scene.cameras, scene.cameraCount,
                           [](const SceneCamera* c) -> const char* { return c->name; });
  nameMotions<SceneLight>(names, scene.lights, scene.lightCount,
                          [](const SceneLight* l) -> const char* { return l->name; });
  nameMotions<SceneBone>(names, scene.bones, scene.boneCount,
                         [](const SceneBone* b) -> const char* { return b->name; });

  json.beginObject();
  json.field("scene", path);
  json.field("gridSize", static_cast<double>(scene.gridSize));
  json.field("sceneFileCount", scene.sceneFileCount);

  json.key("ambient");
  json.beginArray();
  for (float t : times) {
    json.beginObject();
    json.field("time", static_cast<double>(t));
    Motion* colour = scene.sceneFileCount > 0 ? scene.ambientColors[0].motion : nullptr;
    Motion* intensity = scene.sceneFileCount > 0 ? scene.ambientIntensities[0].motion : nullptr;
    json.key("color");
    if (colour != nullptr) {
      evaluateMotion(colour, t, false);
      json.numbers(colour->color, 3);
    } else {
      json.null();
    }
    json.key("intensity");
    if (intensity != nullptr) {
      evaluateMotion(intensity, t, false);
      json.value(static_cast<double>(intensity->value));
    } else {
      json.null();
    }
    json.endObject();
  }
  json.endArray();

  json.key("cameras");
  json.beginArray();
  for (int i = 0; i < scene.cameraCount; ++i) {
    SceneCamera* c = scene.cameras[i];
    json.beginObject();
    writeItemHeader(json, c->name, "camera", c->motions, c->motionCount, names);
    writeItemTimes(json, c->motions, c->motionCount, times,
                   [&](float t) { evaluateMotion(c->motions[0].motion, t, false); });
    json.endObject();
  }
  json.endArray();

  json.key("lights");
  json.beginArray();
  for (int i = 0; i < scene.lightCount; ++i) {
    SceneLight* l = scene.lights[i];
    json.beginObject();
    writeItemHeader(json, l->name, "light", l->motions, l->motionCount, names);
    json.field("type", lightTypeName(l->parameters.type));
    writeItemTimes(json, l->motions, l->motionCount, times, [&](float t) {
      l->updateLight(0, t);
      const LightParameters& p = l->parameters;
      const float colour[3] = {p.diffuse.r, p.diffuse.g, p.diffuse.b};
      const float direction[3] = {p.direction.x, p.direction.y, p.direction.z};
      json.key("color");
      json.numbers(colour, 3);
      json.field("intensity", static_cast<double>(p.intensity));
      json.key("direction");
      json.numbers(direction, 3);
      // The light's position is its own position channels, written below.
    });
    json.endObject();
  }
  json.endArray();
  scene.detachLights();

  json.key("objects");
  json.beginArray();
  for (int i = 0; i < scene.objectCount; ++i) {
    SceneObject* o = scene.objects[i];
    json.beginObject();
    writeItemHeader(json, objectName[i].c_str(), "object", o->motions, o->motionCount, names);
    json.field("fileName", o->fileName);
    json.field("layer", o->layer);
    json.field("null", o->fileName == nullptr);
    json.field("effect", o->effect != nullptr ? "fire" : nullptr);
    json.field("deforms", o->boneLinkCount > 0);
    json.field("boneLinkCount", o->boneLinkCount);
    json.field("sharesMesh", o->ownsMesh == 0);
    json.key("groups");
    json.beginArray();
    for (int g = 0; g < o->groupCount; ++g) {
      json.beginObject();
      json.field("vertexCount", o->groups[g].vertexCount);
      json.field("triangleCount", o->groups[g].triangleCount);
      json.field("materialIndex", o->groups[g].materialIndex);
      json.field("weightMapCount", o->groups[g].weightCount);
      json.field("translucent", o->groupIsTranslucent(g));
      json.endObject();
    }
    json.endArray();
    writeItemTimes(json, o->motions, o->motionCount, times,
                   [&](float t) { evaluateMotion(o->motions[0].motion, t, false); });
    json.endObject();
  }
  json.endArray();

  json.key("bones");
  json.beginArray();
  for (int i = 0; i < scene.boneCount; ++i) {
    SceneBone* b = scene.bones[i];
    const char* owner = nullptr;
    for (int o = 0; o < scene.objectCount; ++o)
      if (scene.objects[o]->identity == b->objectIdentity) owner = objectName[o].c_str();
    json.beginObject();
    writeItemHeader(json, b->name, "bone", b->motions, b->motionCount, names);
    json.field("object", owner);
    if (b->motionCount > 0) {
      const BoneProperties& p = b->properties[0];
      json.field("active", p.active != 0);
      json.field("falloffType", static_cast<int>(p.falloffType));
      json.field("restLength", static_cast<double>(p.restLength));
      json.field("strength", static_cast<double>(p.strength));
      json.field("weightMapName", p.weightMapName);
    }
    writeItemTimes(json, b->motions, b->motionCount, times,
                   [&](float t) { evaluateMotion(b->motions[0].motion, t, false); });
    json.endObject();
  }
  json.endArray();

  json.key("materials");
  json.beginArray();
  for (int m = 0; m < scene.materialCount; ++m) writeMaterial(json, scene.materials[m]);
  json.endArray();
  json.endObject();
}
