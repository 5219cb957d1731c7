// A vertex buffer held in host memory, for drivers that draw nothing on a device: the
// inspector's, the tests' and the benchmarks'. Vertices are written and read through a lock,
// as a device's buffer does, so lockCount tells how often the memory was handed out.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/vertex_buffer.h"

class MemoryVertexBuffer : public VertexBuffer {
 public:
  // Refuses vertex types without a layout and negative counts; the memory starts zeroed.
  bool create(int type, int count, int creationFlags) override;
  // The memory (null before a successful create); a locked buffer gives the same address again.
  void* lock() override;
  void unlock() override;
  // Vertices of another type and numbers outside the buffer are ignored.
  void writeVertex(const Vertex& vertex, int index) override;
  void readVertex(Vertex& vertex, int index) override;

  std::vector<std::uint8_t> storage;
  bool created = false;
  int lockCount = 0;  // locks that handed out the memory; a lock of a locked buffer does not count

 private:
  // Copies one vertex into the buffer (from) or out of it (to), locking it when it is not locked.
  void transfer(int type, int index, const void* from, void* to);
};
