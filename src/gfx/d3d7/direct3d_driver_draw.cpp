// Direct3D driver per-frame operations: viewport and screen mapping, clearing, presenting,
// transforms, material passes over the texture stages, triangles, billboards and points,
// read-back of back-buffer pixels, lights, ambient light and fog.
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/direct3d_vertex_buffer.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "gfx/light_parameters.h"
#include "gfx/material.h"
#include "gfx/vertex.h"
#include "platform/win32/win32_window.h"
#include "shell/memory_tracker.h"

namespace {

// Stages the device keeps state for.
constexpr int kDeviceStages = 8;

D3DMATRIX toDevice(const Matrix4& matrix) {
  D3DMATRIX out;
  static_assert(sizeof out == sizeof matrix.m);
  std::memcpy(&out, matrix.m, sizeof out);
  return out;
}

D3DMATRIX deviceIdentity() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

// x' = x·_11 + y·_21 + z·_31 + _41 and likewise y', z' (the fourth column is not used).
Vector3 transformAffine(const Matrix4& m, const Vector3& p) {
  Vector3 out;
  out.x = p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12];
  out.y = p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13];
  out.z = p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14];
  return out;
}

// Truncation toward zero that stays defined for values beyond the int range (and NaN).
int truncToInt(float value) {
  if (!(value > -2.0e9f && value < 2.0e9f)) return value > 0.0f ? 2000000000 : -2000000000;
  return static_cast<int>(value);
}

DWORD colourByte(float component) {
  const int value = truncToInt(component * 255.0f);
  if (value < 0) return 0;
  if (value > 255) return 255;
  return static_cast<DWORD>(value);
}

D3DCOLORVALUE scaledColour(const LightColour& colour, float factor) {
  D3DCOLORVALUE out;
  out.r = colour.r * factor;
  out.g = colour.g * factor;
  out.b = colour.b * factor;
  out.a = colour.a * factor;
  return out;
}

D3DCOLORVALUE byteColour(std::uint32_t rgb, float alpha) {
  D3DCOLORVALUE out;
  out.r = static_cast<float>((rgb >> 16) & 0xff) / 255.0f;
  out.g = static_cast<float>((rgb >> 8) & 0xff) / 255.0f;
  out.b = static_cast<float>(rgb & 0xff) / 255.0f;
  out.a = alpha;
  return out;
}

DWORD addressMode(int address) {
  switch (address) {
    case 1:
      return D3DTADDRESS_MIRROR;
    case 2:
      return D3DTADDRESS_CLAMP;
    default:
      return D3DTADDRESS_WRAP;
  }
}

}  // namespace

void Direct3DDriver::setViewport(float left, float top, float right, float bottom) {
  // Fractions of the frame's region: the whole back buffer in a 4:3 mode or with the
  // frame filling the mode, the centred 4:3 region between bars otherwise.
  const FrameRegion frame = frameRegion();
  const int x0 = frame.x + truncToInt(static_cast<float>(frame.width) * left);
  const int x1 = frame.x + truncToInt(static_cast<float>(frame.width) * right);
  const int y0 = frame.y + truncToInt(static_cast<float>(frame.height) * top);
  const int y1 = frame.y + truncToInt(static_cast<float>(frame.height) * bottom);
  const int w = x1 - x0;
  const int h = y1 - y0;
  if (device != nullptr) {
    D3DVIEWPORT7 viewport{
        static_cast<DWORD>(x0), static_cast<DWORD>(y0), static_cast<DWORD>(w), static_cast<DWORD>(h), 0.0f, 1.0f};
    device->SetViewport(&viewport);
  }
  screenMatrix.setIdentity();
  screenMatrix.m[0] = static_cast<float>(w) / 2.0f;
  screenMatrix.m[5] = -static_cast<float>(h) / 2.0f;
  screenMatrix.m[12] = static_cast<float>(x0) + static_cast<float>(w) / 2.0f;
  screenMatrix.m[13] = static_cast<float>(y0) + static_cast<float>(h) / 2.0f;
  screenMatrix.m[14] = 0.001f;
}

void Direct3DDriver::clear(std::uint32_t colour, float z, int rectCount, const float* rects, bool clearDepth) {
  if (!active || device == nullptr) return;
  const DWORD flags = D3DCLEAR_TARGET | (clearDepth ? D3DCLEAR_ZBUFFER : 0);
  if (rectCount > 0 && rects != nullptr) {
    auto* list = static_cast<D3DRECT*>(std::malloc(sizeof(D3DRECT) * static_cast<std::size_t>(rectCount)));
    if (list == nullptr) return;
    for (int i = 0; i < rectCount; ++i) {
      list[i].x1 = truncToInt(static_cast<float>(width) * rects[i * 4 + 0]);
      list[i].y1 = truncToInt(static_cast<float>(height) * rects[i * 4 + 1]);
      list[i].x2 = truncToInt(static_cast<float>(width) * rects[i * 4 + 2]);
      list[i].y2 = truncToInt(static_cast<float>(height) * rects[i * 4 + 3]);
    }
    device->Clear(static_cast<DWORD>(rectCount), list, flags, colour, z, 0);
    std::free(list);
  } else {
    device->Clear(0, nullptr, flags, colour, z, 0);
  }
}

void Direct3DDriver::present(bool) {
  if (!active || primarySurface == nullptr) return;
  if (fullscreen) {
    primarySurface->Flip(nullptr, DDFLIP_WAIT | (waitForRetrace ? 0 : DDFLIP_NOVSYNC));
    return;
  }
  RECT client;
  GetClientRect(window, &client);
  POINT topLeft{client.left, client.top};
  POINT bottomRight{client.right, client.bottom};
  ClientToScreen(window, &topLeft);
  ClientToScreen(window, &bottomRight);
  RECT target{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  if (waitForRetrace) directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  primarySurface->Blt(&target, backSurface, nullptr, DDBLT_WAIT, nullptr);
}

void Direct3DDriver::beginScene() {
  if (device != nullptr) device->BeginScene();
}

void Direct3DDriver::endScene() {
  if (device != nullptr) device->EndScene();
}

void Direct3DDriver::setViewMatrix(const Matrix4& matrix) {
  viewMatrix = matrix;
  D3DMATRIX m = toDevice(matrix);
  if (device != nullptr) device->SetTransform(D3DTRANSFORMSTATE_VIEW, &m);
}

// The projection as the device gets it: with the frame filling a mode wider than 4:3, the
// horizontal field of view widens to the mode's shape (x scaled, the rest as authored).
Matrix4 Direct3DDriver::framedProjection(const Matrix4& matrix) const {
  const float widening = frameWideningOf(width, height, frameFit);
  if (widening == 1.0f) return matrix;
  Matrix4 framed = matrix;
  for (int row = 0; row < 4; ++row) framed.m[row * 4] *= widening;
  return framed;
}

void Direct3DDriver::setProjectionMatrix(const Matrix4& matrix) {
  projectionMatrix = matrix;
  D3DMATRIX m = toDevice(framedProjection(matrix));
  if (device != nullptr) device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &m);
}

void Direct3DDriver::setWorldMatrix(const Matrix4& matrix) {
  worldMatrix = matrix;
  D3DMATRIX m = toDevice(matrix);
  if (device != nullptr) device->SetTransform(D3DTRANSFORMSTATE_WORLD, &m);
}

bool Direct3DDriver::projectToScreen(const Vector3& p, Vector3* out) {
  Vector3 v = transformAffine(worldMatrix, p);
  v = transformAffine(viewMatrix, v);
  v = transformAffine(framedProjection(projectionMatrix), v);
  if (!(v.z > 0.0001f)) return false;
  v.x /= v.z;
  v.y /= v.z;
  v = transformAffine(screenMatrix, v);
  if (out != nullptr) *out = v;
  return true;
}

bool Direct3DDriver::createVertexBuffer(VertexBuffer** out, int vertexType, int vertexCount, int flags) {
  if (out == nullptr) return false;
  auto* buffer = TRACKED_NEW Direct3DVertexBuffer(this);
  *out = buffer;
  return buffer->create(vertexType, vertexCount, flags);
}

void Direct3DDriver::setTexture(int stage, Texture* texture) {
  if (device == nullptr || stage < 0) return;
  device->SetTexture(static_cast<DWORD>(stage),
                     texture != nullptr ? static_cast<DirectDrawTexture*>(texture)->surface : nullptr);
}

bool Direct3DDriver::applyMaterialPass(Material* material, int pass) {
  currentMaterial = material;
  if (material == nullptr || device == nullptr) return true;
  // A device reporting no simultaneous textures still draws one layer per pass.
  int stages = maxTextureStages < 1 ? 1 : maxTextureStages;
  if (stages > kDeviceStages) stages = kDeviceStages;
  const int layers = material->layerCount;
  const int first = pass * stages;
  int end = layers;
  if (layers - first > stages) end = first + stages;

  auto stageState = [this](int stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    device->SetTextureStageState(static_cast<DWORD>(stage), type, value);
  };
  auto renderState = [this](D3DRENDERSTATETYPE type, DWORD value) { device->SetRenderState(type, value); };

  // 1. Every stage starts empty.
  D3DMATRIX identity = deviceIdentity();
  for (int i = 0; i < stages; ++i) {
    setTexture(i, nullptr);
    stageState(i, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTRANSFORMSTATE_TEXTURE0 + i), &identity);
    stageState(i, D3DTSS_TEXCOORDINDEX, 0);
    stageState(i, D3DTSS_COLOROP, D3DTOP_DISABLE);
    stageState(i, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    stageState(i, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stageState(i, D3DTSS_ALPHAARG1, layers == 0 ? D3DTA_DIFFUSE : D3DTA_TEXTURE);
    stageState(i, D3DTSS_ALPHAOP, i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
    stageState(i, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    stageState(i, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    stageState(i, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
  }

  // 2. Render states of the material.
  renderState(D3DRENDERSTATE_SHADEMODE, material->smoothShading ? D3DSHADE_GOURAUD : D3DSHADE_FLAT);
  switch (material->cullMode) {
    case 0:
      renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
      break;
    case 1:
      renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
      break;
    case 2:
      renderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW);
      break;
    default:
      break;
  }
  if (!material->depthWrite)
    renderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
  else if (FAILED(device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 2)))
    renderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
  renderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
  renderState(D3DRENDERSTATE_ZFUNC, static_cast<DWORD>(material->depthFunction));

  // 3. The lighting material.
  D3DMATERIAL7 deviceMaterial;
  std::memset(&deviceMaterial, 0, sizeof deviceMaterial);
  deviceMaterial.diffuse = byteColour(material->diffuse, material->transparency);
  deviceMaterial.ambient.r = deviceMaterial.diffuse.r * 0.5f;
  deviceMaterial.ambient.g = deviceMaterial.diffuse.g * 0.5f;
  deviceMaterial.ambient.b = deviceMaterial.diffuse.b * 0.5f;
  deviceMaterial.ambient.a = deviceMaterial.diffuse.a * 0.5f;
  deviceMaterial.specular = byteColour(material->specular, material->transparency);
  deviceMaterial.emissive = byteColour(material->luminous, 0.0f);
  deviceMaterial.power = 0.0f;
  device->SetMaterial(&deviceMaterial);

  // 4. One stage per layer of this pass.
  for (int k = first; k < end; ++k) {
    const TextureLayer& layer = material->layers[k];
    const int s = k - first;

    if (material->transparency > 0.0f || layer.hasAlpha) {
      renderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
      renderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA);
      renderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCALPHA);
    } else {
      renderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    }

    setTexture(s, findTexture(layer.textureName));

    if (layer.texCoordSource >= 0) {
      stageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
      stageState(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(layer.texCoordSource));
    } else {
      DWORD generated = 0;
      if (layer.texCoordSource == kTexCoordCameraNormal) generated = D3DTSS_TCI_CAMERASPACENORMAL;
      if (layer.texCoordSource == kTexCoordCameraPosition) generated = D3DTSS_TCI_CAMERASPACEPOSITION;
      if (layer.texCoordSource == kTexCoordCameraReflection) generated = D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR;
      stageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
      stageState(s, D3DTSS_TEXCOORDINDEX, static_cast<DWORD>(s) | generated);
    }

    const auto textureTransform = static_cast<D3DTRANSFORMSTATETYPE>(D3DTRANSFORMSTATE_TEXTURE0 + s);
    if (layer.hasMatrix) {
      stageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
      D3DMATRIX m = toDevice(layer.matrix);
      device->SetTransform(textureTransform, &m);
    } else {
      device->SetTransform(textureTransform, &identity);
    }

    stageState(s, D3DTSS_ADDRESSU, addressMode(layer.addressU));
    stageState(s, D3DTSS_ADDRESSV, addressMode(layer.addressV));

    if (layer.blendMode < 0 || layer.blendMode > 6) continue;
    stageState(s, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    stageState(s, D3DTSS_COLORARG2, D3DTA_CURRENT);
    stageState(s, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    stageState(s, D3DTSS_ALPHAOP, layer.hasAlpha ? D3DTOP_MODULATE : D3DTOP_DISABLE);
    stageState(s, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    if (s == 0 && layer.blendMode >= 1) {
      // The pass is blended onto what earlier passes drew.
      DWORD source = D3DBLEND_DESTCOLOR;
      DWORD destination = D3DBLEND_SRCCOLOR;
      DWORD op = D3DTOP_MODULATE;
      if (layer.blendMode == 4) source = destination = D3DBLEND_ONE;
      if (layer.blendMode == 5) source = destination = D3DBLEND_INVDESTCOLOR;
      if (layer.blendMode == 6) op = D3DTOP_DOTPRODUCT3;
      renderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
      renderState(D3DRENDERSTATE_SRCBLEND, source);
      renderState(D3DRENDERSTATE_DESTBLEND, destination);
      stageState(s, D3DTSS_COLOROP, op);
    } else {
      static constexpr DWORD kCascadeOps[7] = {D3DTOP_SELECTARG1, D3DTOP_MODULATE, D3DTOP_MODULATE2X, D3DTOP_MODULATE4X,
                                               D3DTOP_ADD,        D3DTOP_SUBTRACT, D3DTOP_DOTPRODUCT3};
      const DWORD op =
          (layer.blendMode == 0 && s == 0) ? static_cast<DWORD>(D3DTOP_MODULATE) : kCascadeOps[layer.blendMode];
      stageState(s, D3DTSS_COLOROP, op);
    }
  }
  return end >= layers;
}

void Direct3DDriver::drawTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
  const int type = a.vertexType();
  const int stride = vertexStride(type);
  if (stride == 0 || b.vertexType() != type || c.vertexType() != type || device == nullptr) return;
  std::uint8_t data[3 * kMaxVertexStride];
  std::memcpy(data, a.data(), static_cast<std::size_t>(stride));
  std::memcpy(data + stride, b.data(), static_cast<std::size_t>(stride));
  std::memcpy(data + 2 * stride, c.data(), static_cast<std::size_t>(stride));
  const DWORD format = vertexFormat(type);

  if (currentMaterial != nullptr && currentMaterial->layerCount > maxTextureStages) {
    // More layers than stages: one pass per group of layers, each later pass pulled in front.
    for (int pass = 0;; ++pass) {
      const bool last = applyMaterialPass(currentMaterial, pass);
      device->SetRenderState(D3DRENDERSTATE_ZBIAS, static_cast<DWORD>(pass));
      device->DrawPrimitive(D3DPT_TRIANGLEFAN, format, data, 3, 0);
      if (last) break;
    }
  } else {
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, format, data, 3, 0);
  }
}

void Direct3DDriver::drawBillboard(const Vector3& centre, float size) {
  Matrix4 translation;
  translation.setIdentity();
  translation.m[12] = centre.x;
  translation.m[13] = centre.y;
  translation.m[14] = centre.z;
  setWorldMatrix(translation);

  const float h = size / 2.0f;
  const float rx = viewMatrix.m[0] * h, ry = viewMatrix.m[4] * h, rz = viewMatrix.m[8] * h;
  const float ux = viewMatrix.m[1] * h, uy = viewMatrix.m[5] * h, uz = viewMatrix.m[9] * h;
  // Without a material the square is drawn white.
  const std::uint32_t colour = currentMaterial != nullptr ? currentMaterial->diffuse : 0xffffffffu;
  const float zero = 0.0f;
  const float one = 1.0f;
  const ColouredVertex corner1(-rx - ux, -ry - uy, -rz - uz, colour, &zero, &zero);
  const ColouredVertex corner2(rx - ux, ry - uy, rz - uz, colour, &one, &zero);
  const ColouredVertex corner3(rx + ux, ry + uy, rz + uz, colour, &one, &one);
  const ColouredVertex corner4(-rx + ux, -ry + uy, -rz + uz, colour, &zero, &one);
  drawTriangle(corner1, corner2, corner3);
  drawTriangle(corner3, corner4, corner1);
}

void Direct3DDriver::drawPoint(const Vector3& p) {
  if (device == nullptr) return;
  float position[3] = {p.x, p.y, p.z};
  device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_XYZ, position, 1, 0);
}

bool Direct3DDriver::readPixelBlock(const Vector3& p, int out[9]) {
  Vector3 screen;
  if (!projectToScreen(p, &screen)) return false;
  const int rows[3] = {truncToInt(screen.y - 1.0f), truncToInt(screen.y), truncToInt(screen.y + 1.0f)};
  const int columns[3] = {truncToInt(screen.x - 1.0f), truncToInt(screen.x), truncToInt(screen.x + 1.0f)};
  const int bytes = bitsPerPixel == 15 ? 2 : bitsPerPixel / 8;
  auto* pixels = static_cast<const std::uint8_t*>(backBuffer->lock(0));
  if (pixels == nullptr) return true;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int row = rows[r];
      const int column = columns[c];
      int& value = out[r * 3 + c];
      if (column < 0 || column >= width || row < 0 || row >= height) {
        value = -1;
        continue;
      }
      const std::uint8_t* pixel =
          pixels + static_cast<std::ptrdiff_t>(row) * backBuffer->pitch + static_cast<std::ptrdiff_t>(column) * bytes;
      std::uint32_t number = 0;
      for (int j = 0; j < bytes; ++j) number |= static_cast<std::uint32_t>(pixel[j]) << (8 * j);
      value = static_cast<int>(number);
    }
  backBuffer->unlock(0);
  return true;
}

void Direct3DDriver::setAmbientLight(float r, float g, float b, float a) {
  if (device == nullptr) return;
  // Each component is clamped, so a bright ambient light cannot spill into its neighbours.
  const DWORD value = (colourByte(a) << 24) | (colourByte(r) << 16) | (colourByte(g) << 8) | colourByte(b);
  device->SetRenderState(D3DRENDERSTATE_AMBIENT, value);
}

void Direct3DDriver::enableLighting() {
  lightingEnabled = true;
  if (device == nullptr) return;
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, TRUE);
  device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
}

void Direct3DDriver::disableLighting() {
  lightingEnabled = false;
  if (device == nullptr) return;
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
}

int Direct3DDriver::addLight(LightParameters* light) {
  if (light == nullptr) return -1;
  const int index = GraphicsDriver::addLight(light);
  if (index < 0) return -1;
  D3DLIGHT7 record;
  std::memset(&record, 0, sizeof record);
  record.dltType = static_cast<D3DLIGHTTYPE>(light->type);
  record.dcvAmbient = scaledColour(light->ambient, light->intensity);
  record.dcvDiffuse = scaledColour(light->diffuse, light->intensity);
  record.dcvSpecular = scaledColour(light->specular, light->intensity);
  record.dvPosition.x = light->position.x;
  record.dvPosition.y = light->position.y;
  record.dvPosition.z = light->position.z;
  record.dvDirection.x = light->direction.x;
  record.dvDirection.y = light->direction.y;
  record.dvDirection.z = light->direction.z;
  record.dvRange = light->range;
  record.dvFalloff = 1.0f;
  record.dvAttenuation0 = light->attenuation[0];
  record.dvAttenuation1 = light->attenuation[1];
  record.dvAttenuation2 = light->attenuation[2];
  record.dvTheta = 0.8f;
  record.dvPhi = 1.0f;
  if (device != nullptr) {
    device->LightEnable(static_cast<DWORD>(index), TRUE);
    device->SetLight(static_cast<DWORD>(index), &record);
  }
  return index;
}

int Direct3DDriver::removeLight(LightParameters* light) {
  if (light == nullptr) return -1;
  // A light without a slot is given one first, so the slot release below always finds it.
  const int index = GraphicsDriver::addLight(light);
  if (index < 0) return -1;
  if (device != nullptr) device->LightEnable(static_cast<DWORD>(index), FALSE);
  return GraphicsDriver::removeLight(light);
}

void Direct3DDriver::enableFog() {
  if (fogCaps == 0) {
    fogEnabled = false;
    return;
  }
  if ((fogMode & fogCaps) == 0) fogMode = kFogVertexLinear;
  if (device == nullptr) return;
  device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, fogColour);
  device->SetRenderState(D3DRENDERSTATE_FOGSTART, std::bit_cast<DWORD>(fogStart));
  device->SetRenderState(D3DRENDERSTATE_FOGEND, std::bit_cast<DWORD>(fogEnd));
  if (fogMode == kFogVertexLinear) device->SetRenderState(D3DRENDERSTATE_FOGVERTEXMODE, D3DFOG_LINEAR);
  if (fogMode == kFogTableExp) device->SetRenderState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_EXP);
  if (fogMode == kFogTableExp2) device->SetRenderState(D3DRENDERSTATE_FOGTABLEMODE, D3DFOG_EXP2);
  device->SetRenderState(D3DRENDERSTATE_FOGENABLE, TRUE);
  fogEnabled = true;
}

void Direct3DDriver::disableFog() {
  if (device != nullptr) device->SetRenderState(D3DRENDERSTATE_FOGENABLE, FALSE);
  fogEnabled = false;
}
