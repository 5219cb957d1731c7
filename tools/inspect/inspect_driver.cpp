// The inspector's headless driver: memory vertex buffers and name-only textures.
#include "inspect_driver.h"

#include <string>

#include "gfx/texture.h"
#include "headless/memory_vertex_buffer.h"
#include "shell/memory_tracker.h"

InspectDriver::InspectDriver() : GraphicsDriver("vellumite-inspect") {}

bool InspectDriver::createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) {
  MemoryVertexBuffer* buffer = TRACKED_NEW MemoryVertexBuffer();
  *out = buffer;
  return buffer->create(vertexType, vertexCount, flags);
}

bool InspectDriver::loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) {
  if (file == nullptr) return false;
  std::string name = alphaFile != nullptr ? std::string(file) + "(" + alphaFile + ")" : std::string(file);
  Texture* texture = nullptr;
  if (!createTexture(&texture, 0, 0, mipmapped, alphaFile != nullptr)) {
    delete texture;
    return false;
  }
  texture->setName(name.c_str());
  if (out != nullptr) *out = texture;
  return true;
}
