// A vertex buffer on a Direct3D 7 vertex buffer object, drawn by its driver's device.
#pragma once

#include <cstdint>

#include "gfx/vertex_buffer.h"
#include "platform/dx7/d3d.h"

class Direct3DDriver;

class Direct3DVertexBuffer : public VertexBuffer {
 public:
  explicit Direct3DVertexBuffer(Direct3DDriver* owner);
  // Releases the platform buffer.
  ~Direct3DVertexBuffer() override;

  void optimize() override;
  // False for vertex types outside 0..17 (no format exists for them) or when the platform fails.
  bool create(int type, int count, int creationFlags) override;
  // Vertices of another type, indices outside the buffer and buffers without storage are ignored.
  void writeVertex(const Vertex& vertex, int index) override;
  void readVertex(Vertex& vertex, int index) override;
  void* lock() override;
  void unlock() override;
  void draw(int primitiveType, int startVertex, int count) override;
  void drawIndexed(int primitiveType, int startVertex, int count, const std::uint16_t* indices,
                   int indexCount) override;
  bool isLocked() const override { return bufferLocked; }

  IDirect3DVertexBuffer7* buffer;
  Direct3DDriver* driver;
  bool bufferLocked;
};
