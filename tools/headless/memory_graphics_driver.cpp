// The headless driver's vertex buffers.
#include "headless/memory_graphics_driver.h"

#include "shell/memory_tracker.h"

bool MemoryGraphicsDriver::createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) {
  MemoryVertexBuffer* buffer = makeVertexBuffer();
  *out = buffer;
  return buffer->create(vertexType, vertexCount, flags);
}

MemoryVertexBuffer* MemoryGraphicsDriver::makeVertexBuffer() { return TRACKED_NEW MemoryVertexBuffer(); }
