// The inspector's headless driver: name-only textures (vertex buffers live in memory).
#include "inspect_driver.h"

#include <string>

#include "gfx/texture.h"
#include "shell/memory_tracker.h"

InspectDriver::InspectDriver() : MemoryGraphicsDriver("vellumite-inspect") {}

bool InspectDriver::loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) {
  if (file == nullptr) return false;
  std::string textureName = alphaFile != nullptr ? std::string(file) + "(" + alphaFile + ")" : std::string(file);
  Texture* texture = nullptr;
  if (!createTexture(&texture, 0, 0, mipmapped, alphaFile != nullptr)) {
    delete texture;
    return false;
  }
  texture->setName(textureName.c_str());
  if (out != nullptr) *out = texture;
  return true;
}
