// The scene preview with reload on change.
#include "shell/host/scene_preview.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "gfx/graphics_driver.h"
#include "gfx/material.h"
#include "gfx/texture.h"
#include "math/camera.h"
#include "math/matrix4.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "scene/scene.h"
#include "scene/scene_object.h"
#include "shell/entry.h"
#include "shell/memory_tracker.h"
#include "shell/host/run_modes.h"

namespace {

// The object file the scene loads for an object name ("Objects\ship.lwo" -> "ship.3dx").
std::string objectFileOf(const char* name) {
  if (name == nullptr) return "";
  std::string text = name;
  std::size_t dot = text.rfind('.');
  std::string extension = dot == std::string::npos ? text : text.substr(dot + 1);
  if (extension != "lwo" && extension != "LWO") return "";
  std::size_t slash = text.find_last_of("\\/");
  std::string base = slash == std::string::npos ? text : text.substr(slash + 1);
  return base.substr(0, base.size() - 3) + "3dx";
}

std::vector<std::string> textureNames(const Scene& scene) {
  std::vector<std::string> names;
  for (int m = 0; m < scene.materialCount; ++m) {
    const Material* material = scene.materials[m];
    if (material == nullptr) continue;
    for (int l = 0; l < material->layerCount; ++l) {
      if (material->layers[l].textureName != nullptr) names.emplace_back(material->layers[l].textureName);
    }
  }
  return names;
}

void addOnce(std::vector<std::string>& list, const std::string& name) {
  if (name.empty()) return;
  for (const std::string& n : list)
    if (n == name) return;
  list.push_back(name);
}

}  // namespace

WatchedFiles::State WatchedFiles::stateOf(const std::string& name) {
  State s;
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) return s;
  s.exists = true;
  s.size = static_cast<std::int64_t>(info.st_size);
  s.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return s;
}

void WatchedFiles::watch(std::vector<std::string> files) {
  names = std::move(files);
  states.clear();
  for (const std::string& name : names) states.push_back(stateOf(name));
}

bool WatchedFiles::changed() const {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const State now = stateOf(names[i]);
    const State& then = states[i];
    if (now.exists != then.exists || now.size != then.size || now.modified != then.modified) return true;
  }
  return false;
}

std::vector<std::string> sceneDependencies(const Scene& scene, const std::string& sceneFile) {
  std::vector<std::string> files{sceneFile};
  for (int i = 0; i < scene.objectCount; ++i) {
    if (scene.objects[i] != nullptr) addOnce(files, objectFileOf(scene.objects[i]->fileName));
  }
  for (const std::string& name : textureNames(scene)) {
    // "base(alpha)": both pictures.
    std::size_t open = name.find('(');
    if (!name.empty() && name.back() == ')' && open != std::string::npos) {
      addOnce(files, name.substr(0, open));
      addOnce(files, name.substr(open + 1, name.size() - open - 2));
    } else {
      addOnce(files, name);
    }
  }
  return files;
}

PreviewScene::~PreviewScene() { release(); }

void PreviewScene::release() {
  delete scene;
  scene = nullptr;
}

bool PreviewScene::load(GraphicsDriver* driver) {
  std::vector<std::string> pictures;
  if (scene != nullptr) pictures = textureNames(*scene);
  release();
  for (const std::string& name : pictures) {
    // Every copy registered under the name; the registry is finite, so is the loop.
    for (std::uint32_t guard = driver->textureCount + 1; guard > 0; --guard) {
      Texture* texture = driver->findTexture(name.c_str());
      if (texture == nullptr) break;
      driver->releaseTexture(texture);
    }
  }
  scene = TRACKED_NEW Scene(driver);
  loaded = scene->loadScene(file.c_str());
  scene->setActiveCamera(0);
  lastKeyTime = sceneLastKeyTime(*scene);
  watched.watch(sceneDependencies(*scene, file));
  ++loads;
  return loaded;
}

void PreviewScene::draw(Camera& camera, float t) {
  if (scene == nullptr) return;
  scene->render(&camera, t);
  scene->detachLights();
}

int runPreviewLoop(GraphicsDriver* driver, HWND window, PreviewScene& preview, const std::string& name,
                   const PreviewHooks* hooks, std::FILE* err) {
  AuthorClock clock;
  const std::uint32_t interval = hooks != nullptr ? hooks->watchInterval : 250;
  DWORD last = timeGetTime();
  DWORD lastLook = last;
  std::string title;
  for (;;) {
    bool reload = false;
    if (!pumpAuthorMessages(clock, &reload)) break;
    const DWORD now = timeGetTime();
    double t = clock.advance(static_cast<double>(static_cast<DWORD>(now - last)) * 0.001);
    last = now;
    if (preview.lastKeyTime > 0.0f && t >= preview.lastKeyTime) {
      t = std::fmod(t, static_cast<double>(preview.lastKeyTime));
      clock.setTime(t);
    } else if (!(preview.lastKeyTime > 0.0f)) {
      t = 0.0;
      clock.setTime(0.0);
    }
    if (!reload && static_cast<DWORD>(now - lastLook) >= interval) {
      lastLook = now;
      reload = preview.watched.changed();
    }
    if (reload) {
      if (preview.load(driver)) std::fprintf(err, "vellumite: %s reloaded at %.1f s\n", name.c_str(), t);
      else std::fprintf(err, "vellumite: %s cannot be read; waiting for the next change\n", name.c_str());
    }

    driver->clear(0, 1.0f, 0, nullptr, true);
    Camera camera;
    placeFrameCamera(camera);
    driver->setCamera(camera);
    Matrix4 identity;
    identity.setIdentity();
    driver->setWorldMatrix(identity);
    driver->beginScene();
    preview.draw(camera, static_cast<float>(t));
    driver->endScene();
    driver->present(false);

    const std::string shown = authorTitle(name, t, clock.paused());
    if (window != nullptr && shown != title) {
      SetWindowTextA(window, shown.c_str());
      title = shown;
    }
    if (hooks != nullptr && hooks->afterFrame != nullptr && !hooks->afterFrame(hooks->context, driver, preview, clock)) break;
  }
  return 0;
}
