// Render node: a set of graphics drivers with vertex buffers and materials mirrored onto
// every one of them, addressed by index. Scenes and particle effects derive from it.
#pragma once

#include <cstdint>

#include "math/camera.h"
#include "math/matrix4.h"
#include "math/vector3.h"

class GraphicsDriver;
class VertexBuffer;
class Vertex;
class Material;
class LightParameters;
class Texture;

// One driver of a node and the node's buffers created on it.
struct DriverBinding {
  GraphicsDriver* driver;
  // Slot i holds buffer index i on this driver (null where creation gave nothing).
  VertexBuffer** vertexBuffers;
  // Slots in vertexBuffers; below the node's vertexBufferCount only when growing failed.
  int bufferSlots;
};

class RenderNode {
 public:
  // With a driver, that driver becomes the first binding.
  explicit RenderNode(GraphicsDriver* driver);
  // Releases and deletes the materials, then destroys the buffers; drivers are left alone.
  virtual ~RenderNode();

  // Reserved slots: no behaviour.
  virtual void reserved0(int);
  virtual bool reserved1(int, int, int);
  virtual bool reserved2(int, int, int);
  virtual bool reserved3(int, int, int, int, int);
  virtual bool reserved4(int, int, int);

  // Adds a driver and gives it copies of every buffer and the textures of every material.
  virtual void addDriver(GraphicsDriver* driver);
  // Creates a buffer of the vertex type (0..17) on every driver; returns its index.
  virtual int createVertexBuffer(int vertexType, int vertexCount, int creationFlags);
  // Locks the first driver's buffer (the master copy) and returns its bytes, or null.
  virtual void* lockVertexBuffer(int index);
  // Copies a locked master to the other drivers' buffers, then unlocks it. True when the
  // master buffer exists.
  virtual bool unlockVertexBuffer(int index);
  // Write / read vertex `vertexNumber` on every driver's buffer. Numbers outside the
  // buffer are refused.
  virtual int writeVertex(int index, int vertexNumber, const Vertex& vertex);
  virtual int readVertex(int index, int vertexNumber, Vertex& vertex);
  // Draws on active drivers; primitiveType takes the D3DPRIMITIVETYPE numbers.
  virtual int drawVertexBuffer(int index, int primitiveType, int firstVertex, int vertexCount);
  // Draws once per pass of the selected material (once with the driver's current state
  // while no material is selected).
  virtual int drawIndexed(int index, int primitiveType, int firstVertex, int vertexCount, const std::uint16_t* indices,
                          int indexCount);
  virtual int drawBillboard(const Vector3& centre, float size);
  // Creates the texture on every driver; *out receives the first driver's.
  virtual bool createTextureFromPixels(Texture** out, const char* name, int width, int height, const std::uint8_t* rgb,
                                       const std::uint8_t* alpha, bool mipmapped);
  // Takes ownership of the material, loads its textures on every driver, returns its index
  // (-1 for a null material; 0 when the list cannot grow, the material then being deleted).
  virtual int addMaterial(Material* material);
  // Applies pass 0 of the material on every active driver.
  virtual int selectMaterial(int index);
  virtual int setAmbientLight(float r, float g, float b, float a);
  virtual int enableLighting();
  virtual int disableLighting();
  virtual int attachLight(LightParameters* light);
  virtual int detachLight(LightParameters* light);
  virtual void setCamera(Camera* camera);
  virtual int setProjectionMatrix(const Matrix4& matrix);
  virtual int setViewMatrix(const Matrix4& matrix);
  virtual int setWorldMatrix(const Matrix4& matrix);

  // Buffer `index` on binding `binding`, or null.
  VertexBuffer* vertexBuffer(int binding, int index) const;
  // Bytes per vertex of the master copy of buffer `index`, 0 when there is none.
  int vertexStride(int index) const;
  // Registered material `index`, or null.
  Material* material(int index) const;

  RenderNode(const RenderNode&) = delete;
  RenderNode& operator=(const RenderNode&) = delete;

  int driverCount;
  int vertexBufferCount;
  DriverBinding* bindings;
  int materialCount;
  int currentMaterial;
  Material** materials;
};
