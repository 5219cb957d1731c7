// The host-memory vertex buffer of the headless drivers.
#include "headless/memory_vertex_buffer.h"

#include <cstring>

#include "gfx/vertex.h"

bool MemoryVertexBuffer::create(int type, int count, int creationFlags) {
  vertexType = type;
  const int typeStride = vertexStride(type);
  if (typeStride == 0 || count < 0) return false;
  stride = static_cast<std::uint32_t>(typeStride);
  vertexCount = static_cast<std::uint32_t>(count);
  flags = static_cast<std::uint32_t>(creationFlags);
  storage.assign(static_cast<std::size_t>(stride) * vertexCount, 0);
  created = true;
  return true;
}

void* MemoryVertexBuffer::lock() {
  if (locked) return lockedData;
  if (!created) return nullptr;
  ++lockCount;
  locked = true;
  lockedData = storage.data();
  return lockedData;
}

void MemoryVertexBuffer::unlock() {
  if (!locked) return;
  locked = false;
  lockedData = nullptr;
}

void MemoryVertexBuffer::writeVertex(const Vertex& vertex, int index) {
  transfer(vertex.vertexType(), index, vertex.data(), nullptr);
}

void MemoryVertexBuffer::readVertex(Vertex& vertex, int index) {
  transfer(vertex.vertexType(), index, nullptr, vertex.data());
}

void MemoryVertexBuffer::transfer(int type, int index, const void* from, void* to) {
  if (type != vertexType) return;
  if (index < 0 || static_cast<std::uint32_t>(index) >= vertexCount) return;
  const bool lockedHere = !locked;
  auto* bytes = static_cast<std::uint8_t*>(lock());
  if (bytes != nullptr) {
    std::uint8_t* at = bytes + static_cast<std::size_t>(stride) * index;
    if (from != nullptr) {
      std::memcpy(at, from, stride);
    } else {
      std::memcpy(to, at, stride);
    }
  }
  if (lockedHere) unlock();
}
