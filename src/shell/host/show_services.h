// The program's show services: scenes read from the current folder, the back buffer and window
// of the Direct3D driver the show draws on, the sound library, and the reports of missing and
// unreadable files on stderr. The program and the offline modes hand one to the show.
#pragma once

#include <cstdint>

#include "shell/show_timeline.h"

class ProgramShowServices : public ShowServices {
 public:
  Scene* createScene(GraphicsDriver* driver, const char* file) override;
  // A Direct3D driver's back buffer; null for any other driver.
  Texture* backBuffer(GraphicsDriver* driver) override;
  // The sound device on a Direct3D driver's window (on none for any other driver).
  bool initMusic(GraphicsDriver* driver) override;
  std::uint32_t loadMusic(const char* file) override;
  bool startMusic(std::uint32_t music) override;
  bool stopMusic(std::uint32_t music) override;
  void setGlobalVolumes(int music, int sample, int stream) override;
  void reportMissingFiles(const char* const* names, int count) override;
  void reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) override;
};
