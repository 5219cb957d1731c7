// Direct3D vertex buffers: creation from the vertex type table, locking, typed vertex
// writes and reads, and drawing through the driver's device.
#include "gfx/d3d7/direct3d_vertex_buffer.h"

#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/vertex.h"

Direct3DVertexBuffer::Direct3DVertexBuffer(Direct3DDriver* owner)
    : buffer(nullptr), driver(owner), bufferLocked(false) {}

Direct3DVertexBuffer::~Direct3DVertexBuffer() {
  if (buffer != nullptr) {
    if (bufferLocked) buffer->Unlock();
    buffer->Release();
    buffer = nullptr;
  }
}

void Direct3DVertexBuffer::optimize() {
  if (buffer != nullptr && driver != nullptr && driver->device != nullptr) buffer->Optimize(driver->device, 0);
}

bool Direct3DVertexBuffer::create(int type, int count, int creationFlags) {
  vertexType = type;
  if (vertexStride(type) == 0 || count < 0 || driver == nullptr || driver->direct3D == nullptr) return false;
  D3DVERTEXBUFFERDESC desc;
  std::memset(&desc, 0, sizeof desc);
  desc.dwSize = sizeof desc;
  desc.dwCaps = driver->transformAndLightingDevice ? 0 : D3DVBCAPS_SYSTEMMEMORY;
  desc.dwFVF = vertexFormat(type);
  desc.dwNumVertices = static_cast<DWORD>(count);
  stride = static_cast<std::uint32_t>(vertexStride(type));
  vertexCount = static_cast<std::uint32_t>(count);
  flags = static_cast<std::uint32_t>(creationFlags);
  if (buffer != nullptr) {
    buffer->Release();
    buffer = nullptr;
  }
  return SUCCEEDED(driver->direct3D->CreateVertexBuffer(&desc, &buffer, 0));
}

void* Direct3DVertexBuffer::lock() {
  if (bufferLocked) return lockedData;
  if (buffer == nullptr) return nullptr;
  bufferLocked = true;
  if (FAILED(buffer->Lock(DDLOCK_WAIT, &lockedData, nullptr))) {
    bufferLocked = false;
    lockedData = nullptr;
    return nullptr;
  }
  return lockedData;
}

void Direct3DVertexBuffer::unlock() {
  if (!bufferLocked) return;
  buffer->Unlock();
  bufferLocked = false;
  lockedData = nullptr;
}

void Direct3DVertexBuffer::writeVertex(const Vertex& vertex, int index) {
  if (vertex.vertexType() != vertexType || buffer == nullptr) return;
  if (index < 0 || static_cast<std::uint32_t>(index) >= vertexCount) return;
  const bool lockedHere = !bufferLocked;
  if (lockedHere) lock();
  if (lockedData != nullptr)
    std::memcpy(static_cast<std::uint8_t*>(lockedData) + static_cast<std::size_t>(stride) * index, vertex.data(),
                stride);
  if (lockedHere) unlock();
}

void Direct3DVertexBuffer::readVertex(Vertex& vertex, int index) {
  if (vertex.vertexType() != vertexType || buffer == nullptr) return;
  if (index < 0 || static_cast<std::uint32_t>(index) >= vertexCount) return;
  const bool lockedHere = !bufferLocked;
  if (lockedHere) lock();
  if (lockedData != nullptr)
    std::memcpy(vertex.data(), static_cast<const std::uint8_t*>(lockedData) + static_cast<std::size_t>(stride) * index,
                stride);
  if (lockedHere) unlock();
}

void Direct3DVertexBuffer::draw(int primitiveType, int startVertex, int count) {
  if (buffer == nullptr || driver == nullptr || driver->device == nullptr) return;
  driver->device->DrawPrimitiveVB(static_cast<D3DPRIMITIVETYPE>(primitiveType), buffer, static_cast<DWORD>(startVertex),
                                  static_cast<DWORD>(count), 0);
}

void Direct3DVertexBuffer::drawIndexed(int primitiveType, int startVertex, int count, const std::uint16_t* indices,
                                       int indexCount) {
  if (buffer == nullptr || driver == nullptr || driver->device == nullptr || indices == nullptr) return;
  driver->device->DrawIndexedPrimitiveVB(static_cast<D3DPRIMITIVETYPE>(primitiveType), buffer,
                                         static_cast<DWORD>(startVertex), static_cast<DWORD>(count),
                                         const_cast<LPWORD>(indices), static_cast<DWORD>(indexCount), 0);
}
