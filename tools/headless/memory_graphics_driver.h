// A graphics driver with no window and no device for the inspector, the tests and the
// benchmarks: its vertex buffers live in host memory and nothing is drawn.
#pragma once

#include "gfx/graphics_driver.h"
#include "headless/memory_vertex_buffer.h"

class MemoryGraphicsDriver : public GraphicsDriver {
 public:
  explicit MemoryGraphicsDriver(const char* title) : GraphicsDriver(title) {}

  // Stores the new buffer in *out (the caller owns it) and reports whether create took it.
  bool createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) override;

 protected:
  // The buffer createVertexBuffer makes; a derived driver may make one that checks its draws.
  virtual MemoryVertexBuffer* makeVertexBuffer();
};
