// Lists the show files that are missing so the user learns why a scene stays black.
#include "shell/show_files.h"

#include <cstdio>
#include <cstring>

#include "gfx/material.h"
#include "scene/particle_system.h"
#include "scene/scene.h"
#include "scene/scene_object.h"
#include "shell/show_timeline.h"

namespace {

bool canOpen(const std::string& name) {
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

class MissingList {
 public:
  void check(const std::string& name) {
    if (name.empty()) return;
    for (const std::string& seen : checked) {
      if (seen == name) return;
    }
    checked.push_back(name);
    if (!canOpen(name)) missing.push_back(name);
  }

  std::vector<std::string> checked;
  std::vector<std::string> missing;
};

// Both pictures of every texture name the node's materials use.
void checkMaterials(MissingList& list, const RenderNode* node) {
  for (int m = 0; m < node->materialCount; ++m) {
    const Material* material = node->materials[m];
    if (material == nullptr) continue;
    for (int l = 0; l < material->layerCount; ++l) {
      const char* textureName = material->layers[l].textureName;
      if (textureName == nullptr) continue;
      char base[kTextureNameCapacity];
      char alpha[kTextureNameCapacity];
      bool hasAlpha = splitTextureName(textureName, base, alpha);
      list.check(base);
      if (hasAlpha) list.check(alpha);
    }
  }
}

}  // namespace

std::string showObjectFileName(const char* name) {
  if (name == nullptr) return {};
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr || (std::strcmp(dot + 1, "lwo") != 0 && std::strcmp(dot + 1, "LWO") != 0)) return {};
  const char* base = name;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c == '\\' || *c == '/') base = c + 1;
  }
  std::string file(base);
  if (file.size() < 3) return {};
  file.replace(file.size() - 3, 3, "3dx");
  return file;
}

std::vector<std::string> findMissingShowFiles(Scene* const* scenes, int sceneCount) {
  MissingList list;
  list.check(kShowClosingPictureFile);
  list.check(kShowLoadingPictureFile);
  list.check(kShowMusicFile);
  for (const char* file : kShowSceneFiles) list.check(file);
  list.check(kShowLightTextureFile);
  for (int s = 0; s < sceneCount; ++s) {
    const Scene* scene = scenes[s];
    if (scene == nullptr) continue;
    for (int o = 0; o < scene->objectCount; ++o) {
      const SceneObject* object = scene->objects[o];
      if (object == nullptr) continue;
      if (object->ownsMesh != 0) list.check(showObjectFileName(object->fileName));
      if (object->effect != nullptr) checkMaterials(list, object->effect);
    }
    checkMaterials(list, scene);
  }
  return list.missing;
}
