// Materials and texture layers: how a mesh group or billboard is drawn, and the
// splitting of texture names that carry an alpha picture in parentheses.
#pragma once

#include <cstdint>

#include "math/matrix4.h"

// Blend modes of a texture layer.
constexpr int kBlendBase = 0;
constexpr int kBlendMultiply = 1;
constexpr int kBlendMultiply2x = 2;
constexpr int kBlendMultiply4x = 3;
constexpr int kBlendAdd = 4;
constexpr int kBlendSubtract = 5;
constexpr int kBlendDotProduct = 6;
constexpr int kBlendBoundOnly = 101;

// Generated texture coordinate sources (non-negative values index the vertex's sets).
constexpr int kTexCoordCameraNormal = -1;
constexpr int kTexCoordCameraPosition = -2;
constexpr int kTexCoordCameraReflection = -3;

// Texture addressing.
constexpr std::uint8_t kAddressWrap = 0;
constexpr std::uint8_t kAddressMirror = 1;
constexpr std::uint8_t kAddressClamp = 2;

// Capacity of the buffers that splitTextureName fills, terminator included.
constexpr int kTextureNameCapacity = 256;

// Splits "base(alpha)" into its two file names. A name whose last character is ')' and
// which holds a '(' gives base = text before the first '(', alpha = text between it and
// the final ')', and returns true. Otherwise base = the whole name, alpha = "" and false.
// Both results are cut to kTextureNameCapacity - 1 characters.
bool splitTextureName(const char* name, char* base, char* alpha);

struct TextureLayer {
  char* textureName;
  bool hasMatrix;
  bool hasAlpha;
  int blendMode;
  int texCoordSource;
  std::uint8_t addressU;
  std::uint8_t addressV;
  Matrix4 matrix;
};

class Material {
 public:
  Material();
  // Frees the layers (release() before deletion is harmless).
  ~Material();

  Material(const Material&) = delete;
  Material& operator=(const Material&) = delete;

  void setDiffuse(std::uint32_t colour) { diffuse = colour; }
  void setSpecular(std::uint32_t colour) { specular = colour; }
  void setLuminous(std::uint32_t colour) { luminous = colour; }
  void setTransparency(float value) { transparency = value; }
  void setReservedFlag(std::uint8_t value) { reservedFlag = value; }
  void setSmoothShading(bool value) { smoothShading = value; }
  void setDepthWrite(bool value) { depthWrite = value; }
  void setDepthFunction(int function) { depthFunction = function; }
  void setCullMode(std::uint8_t mode) { cullMode = mode; }

  // Appends a layer and returns its matrix; null (nothing added) when the name is null
  // or the layer array cannot grow. Without a matrix the layer gets the identity.
  Matrix4* addLayer(const char* textureName, int texCoordSource, int blendMode, int addressU, int addressV,
                    const Matrix4* matrix);

  // Frees every layer name and the layer array; layerCount becomes 0.
  void release();

  std::uint32_t diffuse;
  std::uint32_t specular;
  std::uint32_t luminous;
  // 0 opaque ... 1 fully transparent.
  float transparency;
  // Filled from object files; no effect.
  float reservedReal0;
  float reservedReal1;
  std::uint8_t reservedFlag;
  bool smoothShading;
  bool depthWrite;
  // Direct3D comparison function number (4 less-or-equal, 8 always).
  int depthFunction;
  // 0 none, 1 counter-clockwise faces culled, 2 clockwise faces culled.
  std::uint8_t cullMode;
  int layerCount;
  TextureLayer* layers;
};
