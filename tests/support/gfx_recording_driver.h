// Test doubles for the graphics layer: a graphics driver that records every call made to
// it and keeps real texture and light bookkeeping, and a memory vertex buffer whose draws it records.
// Header only, so any test executable can use it whatever its link order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/graphics_driver.h"
#include "gfx/material.h"
#include "gfx/texture.h"
#include "gfx/vertex.h"
#include "gfx/vertex_buffer.h"
#include "headless/memory_vertex_buffer.h"
#include "math/matrix4.h"
#include "math/vector3.h"

// One recorded call. Fields not used by an operation stay at their defaults.
struct GfxCall {
  std::string operation;             // the driver or buffer operation's name, e.g. "drawIndexed"
  std::string text;                  // file or texture name
  std::string text2;                 // alpha file name ("" when none was given)
  int ints[6] = {0, 0, 0, 0, 0, 0};  // integer arguments in order
  float floats[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  const void* pointer = nullptr;  // material, light, texture or buffer concerned
  Vector3 point = {0.0f, 0.0f, 0.0f};
  bool flag = false;
  Matrix4 matrix = {};
  // Snapshot of the current material when the call was made (drawing calls).
  const Material* material = nullptr;
  std::uint32_t materialDiffuse = 0;
  float materialTransparency = 0.0f;
};

class RecordingGraphicsDriver;

// A memory vertex buffer whose draws are recorded in its driver; failLocks makes every lock
// of an unlocked buffer fail.
class RecordingVertexBuffer : public MemoryVertexBuffer {
 public:
  explicit RecordingVertexBuffer(RecordingGraphicsDriver* owner) : driver(owner) {}

  void* lock() override {
    if (!locked && failLocks) return nullptr;
    return MemoryVertexBuffer::lock();
  }

  inline void draw(int primitiveType, int startVertex, int count) override;
  inline void drawIndexed(int primitiveType, int startVertex, int count, const std::uint16_t* indices,
                          int indexCount) override;

  RecordingGraphicsDriver* driver;
  bool failLocks = false;
};

// A driver that records its calls. It starts active. Textures are registered through the
// base registry (named as a real driver names them), lights through the base slot table,
// and applyMaterialPass splits a material into passes of maxTextureStages layers.
class RecordingGraphicsDriver : public GraphicsDriver {
 public:
  explicit RecordingGraphicsDriver(const char* title = "recording") : GraphicsDriver(title) { active = true; }

  // --- queries for tests ---
  int count(const std::string& operation) const {
    int n = 0;
    for (const GfxCall& call : calls) n += call.operation == operation ? 1 : 0;
    return n;
  }
  std::vector<GfxCall> callsOf(const std::string& operation) const {
    std::vector<GfxCall> found;
    for (const GfxCall& call : calls) {
      if (call.operation == operation) found.push_back(call);
    }
    return found;
  }
  // Operation names in call order, optionally only those in `only`.
  std::vector<std::string> sequence(const std::vector<std::string>& only = {}) const {
    std::vector<std::string> names;
    for (const GfxCall& call : calls) {
      bool wanted = only.empty();
      for (const std::string& o : only) wanted = wanted || o == call.operation;
      if (wanted) names.push_back(call.operation);
    }
    return names;
  }
  void clearCalls() { calls.clear(); }

  // Passes the recording applyMaterialPass reports for a material (at least one).
  int passesFor(const Material* material) const {
    int stages = maxTextureStages > 0 ? maxTextureStages : 1;
    int layers = material != nullptr ? material->layerCount : 0;
    return layers <= stages ? 1 : (layers + stages - 1) / stages;
  }

  // --- overrides ---
  bool initialize() override { return record("initialize").flag = true; }
  void clear(std::uint32_t colour, float z, int rectCount, const float*, bool clearDepth) override {
    GfxCall& c = record("clear");
    c.ints[0] = static_cast<int>(colour);
    c.ints[1] = rectCount;
    c.floats[0] = z;
    c.flag = clearDepth;
  }
  void present(bool wait) override { record("present").flag = wait; }
  void beginScene() override { record("beginScene"); }
  void endScene() override { record("endScene"); }
  void setViewMatrix(const Matrix4& m) override {
    GraphicsDriver::setViewMatrix(m);
    record("setViewMatrix").matrix = m;
  }
  void setProjectionMatrix(const Matrix4& m) override {
    GraphicsDriver::setProjectionMatrix(m);
    record("setProjectionMatrix").matrix = m;
  }
  void setWorldMatrix(const Matrix4& m) override {
    GraphicsDriver::setWorldMatrix(m);
    record("setWorldMatrix").matrix = m;
  }
  void setCamera(Camera& camera) override {
    record("setCamera").pointer = &camera;
    GraphicsDriver::setCamera(camera);
  }

  bool createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) override {
    GfxCall& c = record("createVertexBuffer");
    c.ints[0] = vertexType;
    c.ints[1] = vertexCount;
    c.ints[2] = flags;
    if (failVertexBuffers) return false;
    RecordingVertexBuffer* buffer = new RecordingVertexBuffer(this);
    c.pointer = buffer;
    *out = buffer;
    return buffer->create(vertexType, vertexCount, flags);
  }

  void drawTriangle(const Vertex& a, const Vertex&, const Vertex&) override {
    GfxCall& c = record("drawTriangle");
    c.ints[0] = a.vertexType();
    c.point = Vector3{a.x, a.y, a.z};
  }
  void drawBillboard(const Vector3& centre, float size) override {
    GfxCall& c = record("drawBillboard");
    c.point = centre;
    c.floats[0] = size;
  }
  void drawPoint(const Vector3& p) override { record("drawPoint").point = p; }

  bool loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) override {
    GfxCall& c = record("loadTexture");
    c.text = file != nullptr ? file : "";
    c.text2 = alphaFile != nullptr ? alphaFile : "";
    c.flag = mipmapped;
    if (file == nullptr) return false;
    for (const std::string& missing : missingFiles) {
      if (missing == file || (alphaFile != nullptr && missing == alphaFile)) return false;
    }
    std::string textureName = alphaFile != nullptr ? std::string(file) + "(" + alphaFile + ")" : std::string(file);
    return registerNamed(out, textureName, alphaFile != nullptr);
  }

  bool createTextureFromPixels(Texture** out, const char* textureName, int pixelWidth, int pixelHeight,
                               const std::uint8_t* rgb, const std::uint8_t* alpha, bool mipmapped) override {
    GfxCall& c = record("createTextureFromPixels");
    c.text = textureName != nullptr ? textureName : "";
    c.ints[0] = pixelWidth;
    c.ints[1] = pixelHeight;
    c.flag = mipmapped;
    if (rgb == nullptr || textureName == nullptr) return false;
    std::string registered = alpha != nullptr ? c.text + "(" + c.text + ")" : c.text;
    c.pointer = out != nullptr ? static_cast<const void*>(*out) : nullptr;
    return registerNamed(out, registered, alpha != nullptr);
  }

  void setTexture(int stage, Texture* texture) override {
    GfxCall& c = record("setTexture");
    c.ints[0] = stage;
    c.pointer = texture;
  }

  bool applyMaterialPass(Material* material, int pass) override {
    GraphicsDriver::applyMaterialPass(material, pass);
    GfxCall& c = record("applyMaterialPass");
    c.ints[0] = pass;
    c.pointer = material;
    return pass + 1 >= passesFor(material);
  }

  void setAmbientLight(float r, float g, float b, float a) override {
    GfxCall& c = record("setAmbientLight");
    c.floats[0] = r;
    c.floats[1] = g;
    c.floats[2] = b;
    c.floats[3] = a;
  }
  void enableLighting() override {
    GraphicsDriver::enableLighting();
    record("enableLighting");
  }
  void disableLighting() override {
    GraphicsDriver::disableLighting();
    record("disableLighting");
  }
  int addLight(LightParameters* light) override {
    int slot = GraphicsDriver::addLight(light);
    GfxCall& c = record("addLight");
    c.pointer = light;
    c.ints[0] = slot;
    return slot;
  }
  int removeLight(LightParameters* light) override {
    int slot = GraphicsDriver::removeLight(light);
    GfxCall& c = record("removeLight");
    c.pointer = light;
    c.ints[0] = slot;
    return slot;
  }

  // Records a buffer draw (called by RecordingVertexBuffer).
  void recordDraw(const char* operation, const VertexBuffer* buffer, int primitiveType, int startVertex, int count,
                  int indexCount) {
    GfxCall& c = record(operation);
    c.pointer = buffer;
    c.ints[0] = primitiveType;
    c.ints[1] = startVertex;
    c.ints[2] = count;
    c.ints[3] = indexCount;
  }

  std::vector<GfxCall> calls;
  // Files loadTexture fails to load.
  std::vector<std::string> missingFiles;
  bool failVertexBuffers = false;

 private:
  GfxCall& record(const char* operation) {
    calls.emplace_back();
    GfxCall& c = calls.back();
    c.operation = operation;
    c.material = currentMaterial;
    if (currentMaterial != nullptr) {
      c.materialDiffuse = currentMaterial->diffuse;
      c.materialTransparency = currentMaterial->transparency;
    }
    return c;
  }

  bool registerNamed(Texture** out, const std::string& textureName, bool withAlpha) {
    Texture* texture = nullptr;
    if (!createTexture(&texture, 0, 0, true, withAlpha)) {
      delete texture;
      return false;
    }
    texture->setName(textureName.c_str());
    texture->alpha = withAlpha;
    if (out != nullptr) *out = texture;
    return true;
  }
};

inline void RecordingVertexBuffer::draw(int primitiveType, int startVertex, int count) {
  driver->recordDraw("draw", this, primitiveType, startVertex, count, 0);
}

inline void RecordingVertexBuffer::drawIndexed(int primitiveType, int startVertex, int count, const std::uint16_t*,
                                               int indexCount) {
  driver->recordDraw("drawIndexed", this, primitiveType, startVertex, count, indexCount);
}
