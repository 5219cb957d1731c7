// Render node: forwarding of drawing and state calls to every driver, and the mirroring
// of vertex buffers and material textures onto each driver.
#include "scene/render_node.h"

#include <cstring>

#include "gfx/graphics_driver.h"
#include "gfx/heap_array.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "gfx/vertex_buffer.h"

namespace {

// Loads the texture of every layer of `material` that `driver` does not hold yet.
void loadMissingTextures(GraphicsDriver* driver, const Material* material, int layer) {
  const char* textureName = material->layers[layer].textureName;
  if (textureName == nullptr || driver->findTexture(textureName) != nullptr) return;
  char base[kTextureNameCapacity];
  char alpha[kTextureNameCapacity];
  bool hasAlpha = splitTextureName(textureName, base, alpha);
  Texture* texture = nullptr;
  driver->loadTexture(&texture, base, hasAlpha ? alpha : nullptr, true);
}

// Bytes of vertex data a buffer holds.
std::size_t bufferBytes(const VertexBuffer* buffer) {
  return static_cast<std::size_t>(buffer->vertexCount) * buffer->stride;
}

}  // namespace

RenderNode::RenderNode(GraphicsDriver* driver)
    : driverCount(0),
      vertexBufferCount(0),
      bindings(nullptr),
      materialCount(0),
      currentMaterial(-1),
      materials(nullptr) {
  if (driver != nullptr) addDriver(driver);
}

RenderNode::~RenderNode() {
  for (int i = 0; i < materialCount; ++i) {
    materials[i]->release();
    delete materials[i];
  }
  freeHeapArray(materials);
  materialCount = 0;
  for (int b = 0; b < vertexBufferCount; ++b) {
    for (int d = 0; d < driverCount; ++d) {
      if (b < bindings[d].bufferSlots) delete bindings[d].vertexBuffers[b];
    }
  }
  for (int d = 0; d < driverCount; ++d) freeHeapArray(bindings[d].vertexBuffers);
  freeHeapArray(bindings);
  driverCount = 0;
}

void RenderNode::reserved0(int) {}
bool RenderNode::reserved1(int, int, int) { return false; }
bool RenderNode::reserved2(int, int, int) { return false; }
bool RenderNode::reserved3(int, int, int, int, int) { return false; }
bool RenderNode::reserved4(int, int, int) { return false; }

VertexBuffer* RenderNode::vertexBuffer(int binding, int index) const {
  if (binding < 0 || binding >= driverCount || index < 0) return nullptr;
  const DriverBinding& entry = bindings[binding];
  if (index >= entry.bufferSlots) return nullptr;
  return entry.vertexBuffers[index];
}

int RenderNode::vertexStride(int index) const {
  VertexBuffer* master = vertexBuffer(0, index);
  return master != nullptr ? static_cast<int>(master->stride) : 0;
}

Material* RenderNode::material(int index) const {
  if (index < 0 || index >= materialCount) return nullptr;
  return materials[index];
}

void RenderNode::addDriver(GraphicsDriver* driver) {
  if (driver == nullptr) return;
  if (!resizeHeapArray(bindings, static_cast<std::size_t>(driverCount) + 1)) return;
  DriverBinding& added = bindings[driverCount];
  added.driver = driver;
  added.vertexBuffers = nullptr;
  added.bufferSlots = 0;
  if (vertexBufferCount > 0) {
    if (!resizeHeapArray(added.vertexBuffers, static_cast<std::size_t>(vertexBufferCount))) return;
    added.bufferSlots = vertexBufferCount;
    for (int b = 0; b < vertexBufferCount; ++b) added.vertexBuffers[b] = nullptr;
  }
  ++driverCount;

  for (int b = 0; b < added.bufferSlots; ++b) {
    VertexBuffer* master = vertexBuffer(0, b);
    if (master == nullptr) continue;
    if (!driver->createVertexBuffer(&added.vertexBuffers[b], master->vertexType, static_cast<int>(master->vertexCount),
                                    static_cast<int>(master->flags))) {
      continue;
    }
    VertexBuffer* copy = added.vertexBuffers[b];
    if (copy == nullptr) continue;
    // A master locked by its writer stays locked for it afterwards.
    bool masterWasLocked = master->isLocked();
    void* source = master->lock();
    if (source == nullptr) continue;
    void* target = copy->lock();
    if (target != nullptr) {
      std::size_t bytes = bufferBytes(master);
      if (bufferBytes(copy) < bytes) bytes = bufferBytes(copy);
      std::memcpy(target, source, bytes);
      copy->unlock();
    }
    if (!masterWasLocked) master->unlock();
  }

  for (int m = 0; m < materialCount; ++m) {
    for (int layer = 0; layer < materials[m]->layerCount; ++layer) loadMissingTextures(driver, materials[m], layer);
  }
}

int RenderNode::createVertexBuffer(int vertexType, int vertexCount, int creationFlags) {
  ++vertexBufferCount;
  for (int d = 0; d < driverCount; ++d) {
    DriverBinding& binding = bindings[d];
    if (!resizeHeapArray(binding.vertexBuffers, static_cast<std::size_t>(vertexBufferCount))) continue;
    // A binding that missed an earlier buffer gets empty slots for it, so indices stay aligned.
    for (int b = binding.bufferSlots; b < vertexBufferCount; ++b) binding.vertexBuffers[b] = nullptr;
    binding.bufferSlots = vertexBufferCount;
    binding.driver->createVertexBuffer(&binding.vertexBuffers[vertexBufferCount - 1], vertexType, vertexCount,
                                       creationFlags);
  }
  return vertexBufferCount - 1;
}

void* RenderNode::lockVertexBuffer(int index) {
  VertexBuffer* master = vertexBuffer(0, index);
  return master != nullptr ? master->lock() : nullptr;
}

bool RenderNode::unlockVertexBuffer(int index) {
  VertexBuffer* master = vertexBuffer(0, index);
  if (master == nullptr) return false;
  if (master->isLocked()) {
    void* source = master->lock();
    for (int d = 1; source != nullptr && d < driverCount; ++d) {
      VertexBuffer* copy = vertexBuffer(d, index);
      if (copy == nullptr) continue;
      void* target = copy->lock();
      if (target == nullptr) continue;
      std::size_t bytes = bufferBytes(copy);
      if (bufferBytes(master) < bytes) bytes = bufferBytes(master);
      std::memcpy(target, source, bytes);
      copy->unlock();
    }
  }
  master->unlock();
  return true;
}

int RenderNode::writeVertex(int index, int vertexNumber, const Vertex& vertex) {
  for (int d = 0; d < driverCount; ++d) {
    VertexBuffer* buffer = vertexBuffer(d, index);
    if (buffer == nullptr || vertexNumber < 0 || static_cast<std::uint32_t>(vertexNumber) >= buffer->vertexCount) {
      continue;
    }
    buffer->writeVertex(vertex, vertexNumber);
  }
  return driverCount;
}

int RenderNode::readVertex(int index, int vertexNumber, Vertex& vertex) {
  for (int d = 0; d < driverCount; ++d) {
    VertexBuffer* buffer = vertexBuffer(d, index);
    if (buffer == nullptr || vertexNumber < 0 || static_cast<std::uint32_t>(vertexNumber) >= buffer->vertexCount) {
      continue;
    }
    buffer->readVertex(vertex, vertexNumber);
  }
  return driverCount;
}

int RenderNode::drawVertexBuffer(int index, int primitiveType, int firstVertex, int vertexCount) {
  for (int d = 0; d < driverCount; ++d) {
    if (!bindings[d].driver->active) continue;
    VertexBuffer* buffer = vertexBuffer(d, index);
    if (buffer != nullptr) buffer->draw(primitiveType, firstVertex, vertexCount);
  }
  return driverCount;
}

int RenderNode::drawIndexed(int index, int primitiveType, int firstVertex, int vertexCount,
                            const std::uint16_t* indices, int indexCount) {
  Material* selected = material(currentMaterial);
  for (int d = 0; d < driverCount; ++d) {
    GraphicsDriver* driver = bindings[d].driver;
    if (!driver->active) continue;
    VertexBuffer* buffer = vertexBuffer(d, index);
    if (buffer == nullptr) continue;
    if (selected != nullptr && !driver->applyMaterialPass(selected, 0)) {
      // A material never needs more passes than it has layers; the bound keeps a driver
      // that never reports its last pass from drawing forever.
      int pass = 0;
      bool last = false;
      do {
        buffer->drawIndexed(primitiveType, firstVertex, vertexCount, indices, indexCount);
        ++pass;
        last = driver->applyMaterialPass(selected, pass);
      } while (!last && pass < selected->layerCount);
    }
    buffer->drawIndexed(primitiveType, firstVertex, vertexCount, indices, indexCount);
  }
  return driverCount;
}

int RenderNode::drawBillboard(const Vector3& centre, float size) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->drawBillboard(centre, size);
  }
  return driverCount;
}

bool RenderNode::createTextureFromPixels(Texture** out, const char* name, int width, int height,
                                         const std::uint8_t* rgb, const std::uint8_t* alpha, bool mipmapped) {
  for (int d = 0; d < driverCount; ++d) {
    Texture* further = nullptr;
    Texture** slot = (d == 0 && out != nullptr) ? out : &further;
    bindings[d].driver->createTextureFromPixels(slot, name, width, height, rgb, alpha, mipmapped);
  }
  return true;
}

int RenderNode::addMaterial(Material* added) {
  if (added == nullptr) return -1;
  if (!resizeHeapArray(materials, static_cast<std::size_t>(materialCount) + 1)) {
    // Builders hand their materials over and keep no pointer: one the list cannot take is
    // released here rather than lost.
    added->release();
    delete added;
    return 0;
  }
  materials[materialCount] = added;
  ++materialCount;
  for (int layer = 0; layer < added->layerCount; ++layer) {
    for (int d = 0; d < driverCount; ++d) loadMissingTextures(bindings[d].driver, added, layer);
  }
  return materialCount - 1;
}

int RenderNode::selectMaterial(int index) {
  Material* selected = material(index);
  if (selected == nullptr) return 0;  // no material there: nothing is selected or applied
  currentMaterial = index;
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->applyMaterialPass(selected, 0);
  }
  return driverCount;
}

int RenderNode::setAmbientLight(float r, float g, float b, float a) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->setAmbientLight(r, g, b, a);
  }
  return driverCount;
}

int RenderNode::enableLighting() {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->enableLighting();
  }
  return driverCount;
}

int RenderNode::disableLighting() {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->disableLighting();
  }
  return driverCount;
}

int RenderNode::attachLight(LightParameters* light) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->addLight(light);
  }
  return driverCount;
}

int RenderNode::detachLight(LightParameters* light) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->removeLight(light);
  }
  return driverCount;
}

void RenderNode::setCamera(Camera* camera) {
  if (camera == nullptr) return;
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->setCamera(*camera);
  }
}

int RenderNode::setProjectionMatrix(const Matrix4& matrix) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->setProjectionMatrix(matrix);
  }
  return driverCount;
}

int RenderNode::setViewMatrix(const Matrix4& matrix) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->setViewMatrix(matrix);
  }
  return driverCount;
}

int RenderNode::setWorldMatrix(const Matrix4& matrix) {
  for (int d = 0; d < driverCount; ++d) {
    if (bindings[d].driver->active) bindings[d].driver->setWorldMatrix(matrix);
  }
  return driverCount;
}
