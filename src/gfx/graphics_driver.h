// The abstract rendering device: the state every driver shares (screen mode, options,
// transforms, texture registry, light slots, fog, current material) and every rendering
// operation as a virtual operation with a harmless default body.
#pragma once

#include <cstdint>

#include "math/camera.h"
#include "math/matrix4.h"
#include "math/vector3.h"

class Texture;
class VertexBuffer;
class Vertex;
class Material;
class LightParameters;

class GraphicsDriver {
 public:
  // Fog modes (also the bits of fogCaps).
  static constexpr int kFogVertexLinear = 1;
  static constexpr int kFogTableExp = 2;
  static constexpr int kFogTableExp2 = 4;
  // Light slots are added and dropped ten at a time.
  static constexpr std::uint32_t kLightSlotStep = 10;

  explicit GraphicsDriver(const char* title);
  // Drops every texture's saved copy, destroys the textures, frees the registry and the slots.
  virtual ~GraphicsDriver();

  virtual bool initialize();
  virtual bool chooseVideoMode(int, int);
  virtual void setViewport(float left, float top, float right, float bottom);
  virtual void clear(std::uint32_t colour, float z, int rectCount, const float* rects, bool clearDepth);
  virtual void present(bool);
  virtual void beginScene();
  virtual void endScene();
  virtual void setActive(bool value);
  virtual void setFullscreen(bool value);
  virtual void setLowBppTextures(bool value);
  virtual void setViewMatrix(const Matrix4& matrix);
  virtual void setMode(int value);
  // Updates the camera, then sets its view and projection through the virtual setters.
  virtual void setCamera(Camera& camera);
  virtual void setProjectionMatrix(const Matrix4& matrix);
  virtual void setWorldMatrix(const Matrix4& matrix);
  virtual bool projectToScreen(const Vector3& p, Vector3* out);
  // The caller owns the buffer stored in *out.
  virtual bool createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags);
  virtual void drawTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
  virtual void drawBillboard(const Vector3& centre, float size);
  virtual void drawPoint(const Vector3& p);
  virtual bool loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped);
  virtual bool createTextureFromPixels(Texture** out, const char* name, int width, int height, const std::uint8_t* rgb,
                                       const std::uint8_t* alpha, bool mipmapped);
  // Registers *out (a new base texture when *out is null); false when the registry cannot grow.
  virtual bool createTexture(Texture** out, int width, int height, bool mipmapped, bool alpha);
  // Destroys a registered texture; unknown pointers are ignored.
  virtual void releaseTexture(Texture* texture);
  virtual void restoreSurfaces();
  virtual void saveSurfaces();
  // First registered texture with exactly this name, or null.
  virtual Texture* findTexture(const char* textureName);
  virtual bool readPixelBlock(const Vector3& p, int out[9]);
  virtual void setTexture(int stage, Texture* texture);
  // True when the pass just applied was the material's last.
  virtual bool applyMaterialPass(Material* material, int pass);
  virtual void setAmbientLight(float r, float g, float b, float a);
  virtual void enableLighting();
  virtual void disableLighting();
  // Slot index of the light (its device light index), or -1.
  virtual int addLight(LightParameters* light);
  // Freed slot index, or -1 when the light held none.
  virtual int removeLight(LightParameters* light);
  virtual void setFog(float start, float end, std::uint32_t colour, int mode);
  virtual void enableFog();
  virtual void disableFog();

  GraphicsDriver(const GraphicsDriver&) = delete;
  GraphicsDriver& operator=(const GraphicsDriver&) = delete;

  char name[256];
  std::uint16_t width;
  std::uint16_t height;
  std::uint16_t bitsPerPixel;
  std::uint16_t depthBits;
  std::uint16_t opaqueTextureBits;
  std::uint16_t alphaTextureBits;
  std::uint16_t alphaTextureAlphaBits;
  std::uint16_t maxTextureStages;
  std::uint32_t maxLights;
  std::uint8_t fogCaps;
  std::uint32_t mode;
  bool fullscreen;
  bool hardwareDevice;
  bool hasDepthFormat;
  bool hasOpaqueTextureFormat;
  bool hasAlphaTextureFormat;
  bool active;
  bool lowBppTextures;
  bool transformAndLightingDevice;
  bool lightingEnabled;
  bool fogEnabled;
  float fogStart;
  float fogEnd;
  std::uint32_t fogColour;
  int fogMode;
  std::uint32_t textureCount;
  Texture** textures;
  Material* currentMaterial;
  Matrix4 viewMatrix;
  Matrix4 worldMatrix;
  Matrix4 projectionMatrix;
  Matrix4 screenMatrix;
  std::uint32_t lightsInUse;
  std::uint32_t lightSlotCount;
  LightParameters** lightSlots;
};
