// The inspector's headless driver: memory vertex buffers and name-only textures.
#include "inspect_driver.h"

#include <string>
#include <vector>

#include "gfx/texture.h"
#include "gfx/vertex.h"
#include "gfx/vertex_buffer.h"
#include "shell/memory_tracker.h"

namespace {

// A vertex buffer held in host memory.
class HostVertexBuffer : public VertexBuffer {
 public:
  bool create(int type, int count, int creationFlags) override {
    vertexType = type;
    int typeStride = vertexStride(type);
    if (typeStride == 0 || count < 0) return false;
    stride = static_cast<std::uint32_t>(typeStride);
    vertexCount = static_cast<std::uint32_t>(count);
    flags = static_cast<std::uint32_t>(creationFlags);
    storage.assign(static_cast<std::size_t>(stride) * vertexCount, 0);
    return true;
  }
  void* lock() override {
    locked = true;
    lockedData = storage.empty() ? nullptr : storage.data();
    return lockedData;
  }
  void unlock() override {
    locked = false;
    lockedData = nullptr;
  }
  void writeVertex(const Vertex& vertex, int index) override {
    if (vertex.vertexType() != vertexType || index < 0 || static_cast<std::uint32_t>(index) >= vertexCount) return;
    const auto* from = static_cast<const std::uint8_t*>(vertex.data());
    std::copy(from, from + stride, storage.begin() + static_cast<std::ptrdiff_t>(stride) * index);
  }
  void readVertex(Vertex& vertex, int index) override {
    if (vertex.vertexType() != vertexType || index < 0 || static_cast<std::uint32_t>(index) >= vertexCount) return;
    auto* to = static_cast<std::uint8_t*>(vertex.data());
    std::copy(storage.begin() + static_cast<std::ptrdiff_t>(stride) * index,
              storage.begin() + static_cast<std::ptrdiff_t>(stride) * (index + 1), to);
  }

 private:
  std::vector<std::uint8_t> storage;
};

}  // namespace

InspectDriver::InspectDriver() : GraphicsDriver("vellumite-inspect") {}

bool InspectDriver::createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) {
  HostVertexBuffer* buffer = TRACKED_NEW HostVertexBuffer();
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
