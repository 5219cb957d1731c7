// Vertex buffer interface: a driver-created array of vertices of one vertex type.
#pragma once

#include <cstdint>

class Vertex;

// The base class stores what it is given and draws nothing; a driver's buffer class
// overrides the operations its device needs.
class VertexBuffer {
 public:
  VertexBuffer() = default;
  // The owner destroys buffers through this; a derived buffer releases its platform buffer.
  virtual ~VertexBuffer() = default;

  virtual void optimize();
  // Stores the vertex type; the base has no storage and reports false.
  virtual bool create(int type, int count, int creationFlags);
  // Writes / reads vertex `index`; records of another vertex type are ignored.
  virtual void writeVertex(const Vertex& vertex, int index);
  virtual void readVertex(Vertex& vertex, int index);
  // Marks the buffer locked and returns the vertex data (null when there is none).
  virtual void* lock();
  virtual void unlock();
  // primitiveType takes the D3DPRIMITIVETYPE numbers (1 point list ... 6 triangle fan).
  virtual void draw(int primitiveType, int startVertex, int count);
  virtual void drawIndexed(int primitiveType, int startVertex, int count, const std::uint16_t* indices, int indexCount);
  // Whether the buffer is locked now (a derived buffer with its own lock flag answers from it).
  virtual bool isLocked() const;

  VertexBuffer(const VertexBuffer&) = delete;
  VertexBuffer& operator=(const VertexBuffer&) = delete;

  std::uint32_t stride = 0;
  std::uint32_t vertexCount = 0;
  std::uint32_t flags = 0;
  int vertexType = 0;
  void* lockedData = nullptr;
  bool locked = false;
};
