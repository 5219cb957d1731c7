// Materials, their texture layers and the splitting of "base(alpha)" texture names.
#include "gfx/material.h"

#include <cstring>

#include "gfx/heap_array.h"
#include "shell/memory_tracker.h"

namespace {
// Copies at most `length` characters (and never more than the capacity allows) and ends the text.
void copyCut(char* out, const char* from, std::size_t length) {
  if (length > static_cast<std::size_t>(kTextureNameCapacity - 1)) length = kTextureNameCapacity - 1;
  std::memcpy(out, from, length);
  out[length] = '\0';
}
}  // namespace

bool splitTextureName(const char* name, char* base, char* alpha) {
  base[0] = '\0';
  alpha[0] = '\0';
  if (name == nullptr) return false;
  std::size_t length = std::strlen(name);
  const char* open = std::strchr(name, '(');
  if (length == 0 || name[length - 1] != ')' || open == nullptr) {
    copyCut(base, name, length);
    return false;
  }
  copyCut(base, name, static_cast<std::size_t>(open - name));
  const char* alphaStart = open + 1;
  const char* alphaEnd = name + length - 1;  // the final ')'
  copyCut(alpha, alphaStart, static_cast<std::size_t>(alphaEnd - alphaStart));
  return true;
}

Material::Material()
    : diffuse(0x80808080u),
      specular(0x80808080u),
      luminous(0),
      transparency(0.0f),
      reservedReal0(0.0f),
      reservedReal1(0.0f),
      reservedFlag(0),
      smoothShading(true),
      depthWrite(true),
      depthFunction(4),
      cullMode(0),
      layerCount(0),
      layers(nullptr) {}

Material::~Material() { release(); }

Matrix4* Material::addLayer(const char* textureName, int texCoordSource, int blendMode, int addressU, int addressV,
                            const Matrix4* matrix) {
  if (textureName == nullptr) return nullptr;
  if (!resizeHeapArray(layers, static_cast<std::size_t>(layerCount) + 1)) return nullptr;
  TextureLayer& layer = layers[layerCount];
  std::size_t length = std::strlen(textureName);
  layer.textureName = TRACKED_NEW char[length + 1];
  std::memcpy(layer.textureName, textureName, length + 1);
  layer.texCoordSource = texCoordSource;
  layer.blendMode = blendMode;
  layer.addressU = static_cast<std::uint8_t>(addressU);
  layer.addressV = static_cast<std::uint8_t>(addressV);
  layer.hasAlpha = length > 0 && textureName[length - 1] == ')';
  if (matrix != nullptr) {
    layer.hasMatrix = true;
    layer.matrix = *matrix;
  } else {
    layer.hasMatrix = false;
    layer.matrix.setIdentity();
  }
  ++layerCount;
  return &layer.matrix;
}

void Material::release() {
  for (int i = 0; i < layerCount; ++i) delete[] layers[i].textureName;
  freeHeapArray(layers);
  layerCount = 0;
}
