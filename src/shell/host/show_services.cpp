// The program's show services: scenes read from the current folder, the Direct3D driver's
// back buffer, the sound library, and the missing-file report on stderr.
#include "shell/host/show_services.h"

#include <cstdio>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "platform/bass/bass.h"
#include "shell/music.h"

namespace {

// The driver as the Direct3D driver it is, or null.
Direct3DDriver* direct3DOf(GraphicsDriver* driver) { return dynamic_cast<Direct3DDriver*>(driver); }

}  // namespace

Scene* ProgramShowServices::createScene(GraphicsDriver* driver, const char* file) {
  return createShowScene(driver, file);
}

Texture* ProgramShowServices::backBuffer(GraphicsDriver* driver) {
  Direct3DDriver* direct3D = direct3DOf(driver);
  return direct3D != nullptr ? direct3D->backBuffer : nullptr;
}

bool ProgramShowServices::initMusic(GraphicsDriver* driver) {
  Direct3DDriver* direct3D = direct3DOf(driver);
  if (::initMusic(direct3D != nullptr ? direct3D->window : nullptr)) return true;
  std::fputs("vellumite: no sound device; the show runs silently\n", stderr);
  return false;
}

std::uint32_t ProgramShowServices::loadMusic(const char* file) { return ::loadMusic(file); }

bool ProgramShowServices::startMusic(std::uint32_t music) { return ::startMusic(music); }

bool ProgramShowServices::stopMusic(std::uint32_t music) { return ::stopMusic(music); }

void ProgramShowServices::setGlobalVolumes(int music, int sample, int stream) {
  BASS_SetGlobalVolumes(music, sample, stream);
}

void ProgramShowServices::reportMissingFiles(const char* const* names, int count) {
  for (int i = 0; i < count; ++i) {
    std::fprintf(stderr, "vellumite: missing show file %s (the show goes on without it)\n", names[i]);
  }
}

void ProgramShowServices::reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) {
  for (int i = 0; i < count; ++i) std::fprintf(stderr, "vellumite: cannot read %s: %s\n", names[i], reasons[i]);
}
