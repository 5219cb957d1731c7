// The program's show services: scenes read from the current folder, the Direct3D driver's
// back buffer, the sound library, and the missing-file report on stderr.
#include "shell/host/show_services.h"

#include <cstdio>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "scene/scene.h"
#include "platform/bass/bass.h"
#include "shell/memory_tracker.h"
#include "shell/music.h"
#include "shell/show_timeline.h"

namespace {

// The driver the show draws on, as its creator handed it over.
Direct3DDriver* showDriver = nullptr;

// The show's driver when `driver` is it, else null.
Direct3DDriver* shownOn(GraphicsDriver* driver) {
  return showDriver != nullptr && driver == showDriver ? showDriver : nullptr;
}

}  // namespace

void setShowDriver(Direct3DDriver* driver) { showDriver = driver; }

void forgetShowDriver(const Direct3DDriver* driver) {
  if (showDriver == driver) showDriver = nullptr;
}

Scene* ShowServices::createScene(GraphicsDriver* driver, const char* file) {
  Scene* scene = TRACKED_NEW Scene(driver);
  scene->loadScene(file);
  scene->setActiveCamera(0);
  return scene;
}

Texture* ShowServices::backBuffer(GraphicsDriver* driver) {
  Direct3DDriver* direct3D = shownOn(driver);
  return direct3D != nullptr ? direct3D->backBuffer : nullptr;
}

bool ShowServices::initMusic(GraphicsDriver* driver) {
  Direct3DDriver* direct3D = shownOn(driver);
  if (::initMusic(direct3D != nullptr ? direct3D->window : nullptr)) return true;
  std::fputs("vellumite: no sound device; the show runs silently\n", stderr);
  return false;
}

std::uint32_t ShowServices::loadMusic(const char* file) { return ::loadMusic(file); }

bool ShowServices::startMusic(std::uint32_t music) { return ::startMusic(music); }

bool ShowServices::stopMusic(std::uint32_t music) { return ::stopMusic(music); }

void ShowServices::setGlobalVolumes(int music, int sample, int stream) { BASS_SetGlobalVolumes(music, sample, stream); }

void ShowServices::reportMissingFiles(const char* const* names, int count) {
  for (int i = 0; i < count; ++i) {
    std::fprintf(stderr, "vellumite: missing show file %s (the show goes on without it)\n", names[i]);
  }
}

void ShowServices::reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) {
  for (int i = 0; i < count; ++i) std::fprintf(stderr, "vellumite: cannot read %s: %s\n", names[i], reasons[i]);
}

ShowServices& defaultShowServices() {
  static ShowServices services;
  return services;
}
