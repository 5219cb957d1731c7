// Default bodies of the vertex buffer interface.
#include "gfx/vertex_buffer.h"

void VertexBuffer::optimize() {}

bool VertexBuffer::create(int type, int, int) {
  vertexType = type;
  return false;
}

void VertexBuffer::writeVertex(const Vertex&, int) {}
void VertexBuffer::readVertex(Vertex&, int) {}

void* VertexBuffer::lock() {
  locked = true;
  return lockedData;
}

void VertexBuffer::unlock() {
  if (locked) {
    locked = false;
    lockedData = nullptr;
  }
}

void VertexBuffer::draw(int, int, int) {}
void VertexBuffer::drawIndexed(int, int, int, const std::uint16_t*, int) {}
bool VertexBuffer::isLocked() const { return locked; }
