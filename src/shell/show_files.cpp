// Lists the show files that are missing or unreadable so the user learns why a scene stays
// black or the show silent.
#include "shell/show_files.h"

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/material.h"
#include "loading/data_file.h"
#include "loading/regular_file.h"
#include "loading/scene_parser.h"
#include "platform/bass/bass.h"
#include "port/decoded_picture.h"
#include "scene/object_file.h"
#include "scene/particle_system.h"
#include "scene/scene.h"
#include "scene/scene_object.h"

const char* const kShowSceneFiles[kShowSceneCount] = {"grand.lws",  "text.lws", "design.lws",  "dass.lws",
                                                      "dance2.lws", "Slut.lws", "skitdemo.lws"};
const char* const kShowMusicFile = "rockon.xm";
const char* const kShowClosingPictureFile = "slut.jpg";
const char* const kShowLoadingPictureFile = "laddar.jpg";
const char* const kShowLightTextureFile = "light.jpg";

namespace {

bool endsWith(const std::string& name, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, suffix) == 0;
}

// Why a present file cannot be read as what the show takes it for; empty when it can.
// Scene files must start with the scene header, music must open as a module, pictures must
// decode and object files must hold a well-formed layer.
std::string whyUnreadable(const std::string& name, int objectLayer) {
  if (endsWith(name, ".lws")) {
    DataFile file;
    if (!file.open(name.c_str(), 1)) return "cannot be read";
    char token[16];
    file.readToken(token, sizeof token);
    if (std::strcmp(token, "LWSC") != 0) return "not a scene file";
    if (file.readInt() < kSceneFileDefaultVersion) return "not a scene file (unsupported version)";
    return {};
  }
  if (endsWith(name, ".xm")) {
    if (!bassMusicFileOpens(name.c_str())) return "not a music module";
    return {};
  }
  if (endsWith(name, ".3dx")) {
    ObjectFileLayer layer;
    switch (readObjectFile(name.c_str(), objectLayer, layer)) {
      case ObjectFileStatus::ok:
        return {};
      case ObjectFileStatus::cannotOpen:
        return "cannot be read";
      case ObjectFileStatus::badMagic:
        return "not an object file";
      case ObjectFileStatus::malformed:
        return "damaged object file";
    }
    return {};
  }
  if (endsWith(name, ".jpg") || endsWith(name, ".pcx") || endsWith(name, ".bmp") || endsWith(name, ".tga")) {
    if (!DecodedPicture(name.c_str())) return "not a picture that can be decoded";
    return {};
  }
  return {};
}

class FileCheck {
 public:
  void check(const std::string& name, int objectLayer = 1) {
    if (name.empty()) return;
    for (const std::string& seen : checked) {
      if (seen == name) return;
    }
    checked.push_back(name);
    RegularFileStatus status;
    std::FILE* file = openRegularFile(name.c_str(), &status);
    if (file == nullptr) {
      result.missing.push_back(name);
      return;
    }
    std::fclose(file);
    std::string reason = whyUnreadable(name, objectLayer);
    if (!reason.empty()) result.unreadable.push_back({name, reason});
  }

  std::vector<std::string> checked;
  ShowFileCheck result;
};

// Both pictures of every texture name the node's materials use.
void checkMaterials(FileCheck& list, const RenderNode* node) {
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

ShowFileCheck checkShowFiles(Scene* const* scenes, int sceneCount) {
  FileCheck list;
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
      if (object->ownsMesh != 0) list.check(showObjectFileName(object->fileName), object->layer);
      if (object->effect != nullptr) checkMaterials(list, object->effect);
    }
    checkMaterials(list, scene);
  }
  return list.result;
}

std::vector<std::string> findMissingShowFiles(Scene* const* scenes, int sceneCount) {
  return checkShowFiles(scenes, sceneCount).missing;
}
