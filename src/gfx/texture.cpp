// Default bodies of the texture interface.
#include "gfx/texture.h"

#include <cstring>

#include "shell/memory_tracker.h"

Texture::Texture(GraphicsDriver* owner)
    : name(nullptr),
      valid(true),
      staged(false),
      alpha(false),
      levelCount(0),
      lockedBits(nullptr),
      backup(nullptr),
      format{0, 0, 0, 0, 0},
      width(0),
      height(0),
      pitch(0),
      backupPitch(0),
      backupFormat{0, 0, 0, 0, 0},
      driver(owner) {}

Texture::~Texture() {
  delete[] name;
  name = nullptr;
}

bool Texture::configure(int, int, int, int, bool isStaged, bool hasAlpha) {
  setName("(noname)");
  staged = isStaged;
  alpha = hasAlpha;
  return true;
}

bool Texture::upload(int, int, const std::uint8_t*, const std::uint8_t*) { return true; }

void Texture::getPixelFormat(PixelFormat* out) {
  if (out != nullptr) *out = format;
}

void Texture::discardBackup() {}
void Texture::restoreContents() {}
void Texture::saveContents() {}

void* Texture::lock(int level) {
  if (level > levelCount) return nullptr;
  return lockedBits;
}

void Texture::unlock(int level) {
  if (level <= levelCount) lockedBits = nullptr;
}

void Texture::setName(const char* newName) {
  char* copy = nullptr;
  if (newName != nullptr) {
    std::size_t length = std::strlen(newName);
    copy = TRACKED_NEW char[length + 1];
    std::memcpy(copy, newName, length + 1);
  }
  delete[] name;
  name = copy;
}

void Texture::blit(const RECT*, Texture*, const RECT*, bool) {}
void Texture::blitAt(int, int, Texture*, bool) {}
