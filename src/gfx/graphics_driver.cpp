// Default bodies of the graphics driver: stored state, the texture registry and the
// light slot table.
#include "gfx/graphics_driver.h"

#include <cstdio>
#include <cstring>

#include "gfx/heap_array.h"
#include "gfx/texture.h"
#include "shell/memory_tracker.h"

namespace {
void zeroMatrix(Matrix4& m) {
  for (float& e : m.m) e = 0.0f;
}
}  // namespace

GraphicsDriver::GraphicsDriver(const char* title)
    : width(0),
      height(0),
      bitsPerPixel(0),
      depthBits(0),
      opaqueTextureBits(0),
      alphaTextureBits(0),
      alphaTextureAlphaBits(0),
      maxTextureStages(8),
      maxLights(128),
      fogCaps(0),
      mode(1),
      fullscreen(false),
      hardwareDevice(false),
      hasDepthFormat(false),
      hasOpaqueTextureFormat(false),
      hasAlphaTextureFormat(false),
      active(false),
      lowBppTextures(false),
      transformAndLightingDevice(false),
      lightingEnabled(false),
      fogEnabled(false),
      fogStart(0.0f),
      fogEnd(0.0f),
      fogColour(0),
      fogMode(0),
      textureCount(0),
      textures(nullptr),
      currentMaterial(nullptr),
      lightsInUse(0),
      lightSlotCount(0),
      lightSlots(nullptr) {
  // The title holds no formatting directives; it is copied as text, cut to fit.
  std::snprintf(name, sizeof(name), "%s", title != nullptr ? title : "");
  zeroMatrix(viewMatrix);
  zeroMatrix(worldMatrix);
  zeroMatrix(projectionMatrix);
  zeroMatrix(screenMatrix);
}

GraphicsDriver::~GraphicsDriver() {
  for (std::uint32_t i = 0; i < textureCount; ++i) {
    textures[i]->discardBackup();
    delete textures[i];
  }
  freeHeapArray(textures);
  textureCount = 0;
  freeHeapArray(lightSlots);
  lightSlotCount = 0;
  lightsInUse = 0;
}

bool GraphicsDriver::initialize() { return true; }
bool GraphicsDriver::chooseVideoMode(int, int) { return true; }
void GraphicsDriver::setViewport(float, float, float, float) { screenMatrix.setIdentity(); }
void GraphicsDriver::clear(std::uint32_t, float, int, const float*, bool) {}
void GraphicsDriver::present(bool) {}
void GraphicsDriver::beginScene() {}
void GraphicsDriver::endScene() {}
void GraphicsDriver::setActive(bool value) { active = value; }
void GraphicsDriver::setFullscreen(bool value) { fullscreen = value; }
void GraphicsDriver::setLowBppTextures(bool value) { lowBppTextures = value; }
void GraphicsDriver::setViewMatrix(const Matrix4& matrix) { viewMatrix = matrix; }
void GraphicsDriver::setMode(int value) { mode = static_cast<std::uint32_t>(value); }

void GraphicsDriver::setCamera(Camera& camera) {
  camera.update();
  setViewMatrix(camera.view);
  setProjectionMatrix(camera.projection);
}

void GraphicsDriver::setProjectionMatrix(const Matrix4& matrix) { projectionMatrix = matrix; }
void GraphicsDriver::setWorldMatrix(const Matrix4& matrix) { worldMatrix = matrix; }
bool GraphicsDriver::projectToScreen(const Vector3&, Vector3*) { return false; }
bool GraphicsDriver::createVertexBuffer(VertexBuffer**, int, int, int) { return false; }
void GraphicsDriver::drawTriangle(const Vertex&, const Vertex&, const Vertex&) {}
void GraphicsDriver::drawBillboard(const Vector3&, float) {}
void GraphicsDriver::drawPoint(const Vector3&) {}
bool GraphicsDriver::loadTexture(Texture**, const char*, const char*, bool) { return true; }

bool GraphicsDriver::createTextureFromPixels(Texture**, const char*, int, int, const std::uint8_t*, const std::uint8_t*,
                                             bool) {
  return true;
}

bool GraphicsDriver::createTexture(Texture** out, int, int, bool, bool) {
  if (out == nullptr) return false;
  if (*out == nullptr) *out = TRACKED_NEW Texture(this);
  if (!resizeHeapArray(textures, textureCount + 1)) return false;  // the texture stays the caller's
  textures[textureCount] = *out;
  ++textureCount;
  return true;
}

void GraphicsDriver::releaseTexture(Texture* texture) {
  if (texture == nullptr) return;
  std::uint32_t index = 0;
  while (index < textureCount && textures[index] != texture) ++index;
  if (index == textureCount) return;
  delete texture;
  for (std::uint32_t i = index + 1; i < textureCount; ++i) textures[i - 1] = textures[i];
  --textureCount;
  // When shrinking fails the old, larger storage simply stays in use.
  resizeHeapArray(textures, textureCount);
}

void GraphicsDriver::restoreSurfaces() {}
void GraphicsDriver::saveSurfaces() {}

Texture* GraphicsDriver::findTexture(const char* textureName) {
  if (textureName == nullptr) return nullptr;
  for (std::uint32_t i = 0; i < textureCount; ++i) {
    const char* registered = textures[i]->name;
    if (registered != nullptr && std::strcmp(registered, textureName) == 0) return textures[i];
  }
  return nullptr;
}

bool GraphicsDriver::readPixelBlock(const Vector3&, int out[9]) {
  for (int i = 0; i < 9; ++i) out[i] = -1;
  return true;
}

void GraphicsDriver::setTexture(int, Texture*) {}

bool GraphicsDriver::applyMaterialPass(Material* material, int) {
  currentMaterial = material;
  return true;
}

void GraphicsDriver::setAmbientLight(float, float, float, float) {}
void GraphicsDriver::enableLighting() { lightingEnabled = true; }
void GraphicsDriver::disableLighting() { lightingEnabled = false; }

int GraphicsDriver::addLight(LightParameters* light) {
  // A null light would match an empty slot; it never gets one.
  if (light == nullptr) return -1;
  for (std::uint32_t i = 0; i < lightSlotCount; ++i) {
    if (lightSlots[i] == light) return static_cast<int>(i);
  }
  if (lightsInUse + 1 > maxLights) return -1;
  ++lightsInUse;
  if (lightsInUse > lightSlotCount) {
    std::uint32_t grown = lightSlotCount + kLightSlotStep;
    if (grown > maxLights) grown = maxLights;
    if (grown < lightsInUse) grown = lightsInUse;
    if (!resizeHeapArray(lightSlots, grown)) {
      --lightsInUse;
      return -1;
    }
    for (std::uint32_t i = lightSlotCount; i < grown; ++i) lightSlots[i] = nullptr;
    lightSlotCount = grown;
  }
  for (std::uint32_t i = 0; i < lightSlotCount; ++i) {
    if (lightSlots[i] == nullptr) {
      lightSlots[i] = light;
      return static_cast<int>(i);
    }
  }
  --lightsInUse;  // not reached: lightsInUse never exceeds the slot count
  return -1;
}

int GraphicsDriver::removeLight(LightParameters* light) {
  if (light == nullptr) return -1;
  int index = -1;
  for (std::uint32_t i = 0; i < lightSlotCount; ++i) {
    if (lightSlots[i] == light) {
      lightSlots[i] = nullptr;
      index = static_cast<int>(i);
      break;
    }
  }
  // Only a freed slot lowers the count, so an unknown light cannot wrap it below zero.
  if (index < 0) return -1;
  --lightsInUse;
  if (lightSlotCount > kLightSlotStep && lightsInUse < lightSlotCount - kLightSlotStep) {
    // The ten slots at the end are dropped only while they are empty: a light still shown
    // there keeps its slot (and device light index) until it is removed.
    bool tailEmpty = true;
    for (std::uint32_t i = lightSlotCount - kLightSlotStep; i < lightSlotCount; ++i) {
      if (lightSlots[i] != nullptr) tailEmpty = false;
    }
    if (tailEmpty && resizeHeapArray(lightSlots, lightSlotCount - kLightSlotStep)) {
      lightSlotCount -= kLightSlotStep;
    }
  }
  return index;
}

void GraphicsDriver::setFog(float start, float end, std::uint32_t colour, int fogModeValue) {
  fogStart = start;
  fogEnd = end;
  fogColour = colour;
  fogMode = fogModeValue;
}

void GraphicsDriver::enableFog() { fogEnabled = true; }
void GraphicsDriver::disableFog() { fogEnabled = false; }
