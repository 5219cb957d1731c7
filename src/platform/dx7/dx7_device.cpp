// The Direct3D 7 device: the complete device state (Get returns what Set stored), textures of
// the stages, scenes, Clear, and drawing through the fixed-function pipeline into the render
// target's framebuffer.
#include <algorithm>
#include <cstring>

#include "platform/dx7/dx7_frame_timing.h"
#include "platform/dx7/dx7_objects.h"
#include "platform/dx7/dx7_pipeline.h"
#include "platform/dx7/ffp/ffp_pipeline.h"
#include "platform/dx7/ffp/ffp_shader_key.h"
#include "platform/dx7/ffp/gl_context.h"

Dx7Device::Dx7Device(Dx7Direct3D* direct3D, const GUID& type, Dx7Surface* renderTarget)
    : direct3D_(direct3D), type_(type), renderTarget_(renderTarget) {
  direct3D_->AddRef();
  renderTarget_->AddRef();
  state_.reset(renderTarget_->width(), renderTarget_->height(), renderTarget_->attachedZBuffer() != nullptr);
  state_.shapeVersion = dx7NextVersion();
}

Dx7Device::~Dx7Device() {
  for (Dx7Surface*& t : textures_) {
    if (t) t->Release();
    t = nullptr;
  }
  renderTarget_->Release();
  direct3D_->Release();
}

HRESULT Dx7Device::GetCaps(LPD3DDEVICEDESC7 desc) {
  if (!desc) return DDERR_INVALIDPARAMS;
  return dx7DeviceDescription(type_, desc) ? D3D_OK : DDERR_GENERIC;
}

HRESULT Dx7Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<DDPIXELFORMAT> formats = dx7AdapterProfile().textureFormats;
  for (DDPIXELFORMAT& f : formats)
    if (callback(&f, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

HRESULT Dx7Device::BeginScene() {
  if (inScene_) return D3DERR_SCENE_IN_SCENE;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Dx7Device::EndScene() {
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Dx7Device::GetDirect3D(LPDIRECT3D7* direct3D) {
  if (!direct3D) return DDERR_INVALIDPARAMS;
  direct3D_->AddRef();
  *direct3D = direct3D_;
  return D3D_OK;
}

HRESULT Dx7Device::SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD) {
  auto* target = static_cast<Dx7Surface*>(surface);
  if (!target) return DDERR_INVALIDPARAMS;
  if (target->kind() != Dx7Surface::Kind::RenderTarget) return DDERR_INVALIDCAPS;
  target->AddRef();
  renderTarget_->Release();
  renderTarget_ = target;
  state_.viewport = D3DVIEWPORT7{0, 0, target->width(), target->height(), 0.0f, 1.0f};
  return D3D_OK;
}

HRESULT Dx7Device::GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) {
  if (!surface) return DDERR_INVALIDPARAMS;
  renderTarget_->AddRef();
  *surface = renderTarget_;
  return D3D_OK;
}

bool Dx7Device::bindRenderTarget() {
  if (!renderTarget_->owner() || !renderTarget_->framebuffer() || !GlContext::instance().makeCurrent()) return false;
  GlState& gl = GlContext::instance().state();
  gl.bindFramebuffer(GL_FRAMEBUFFER, renderTarget_->framebuffer());
  gl.enable(GL_SCISSOR_TEST, false);
  return true;
}

HRESULT Dx7Device::Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD stencil) {
  dx7timing::Scope timing(dx7timing::Kind::Driver);
  if (count > 1 && !rects) return DDERR_INVALIDPARAMS;
  if (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) return DDERR_INVALIDPARAMS;
  Dx7Surface* zbuffer = renderTarget_->attachedZBuffer();
  if ((flags & D3DCLEAR_ZBUFFER) && !zbuffer) return D3DERR_ZBUFFER_NOTPRESENT;
  if ((flags & D3DCLEAR_STENCIL) && (!zbuffer || zbuffer->layout().stencilBits == 0))
    return D3DERR_STENCILBUFFER_NOTPRESENT;
  if (renderTarget_->lost()) return DDERR_SURFACELOST;
  if (!bindRenderTarget()) return DDERR_GENERIC;
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    mask |= GL_COLOR_BUFFER_BIT;
    GlContext::instance().state().colorMask(true, true, true, true);
    glClearColor(static_cast<float>((colour >> 16) & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>(colour >> 24) / 255.0f);
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    mask |= GL_DEPTH_BUFFER_BIT;
    GlContext::instance().state().depthMask(true);
    glClearDepth(std::clamp(static_cast<double>(z), 0.0, 1.0));
  }
  if (flags & D3DCLEAR_STENCIL) {
    mask |= GL_STENCIL_BUFFER_BIT;
    GlContext::instance().state().stencilMask(0xFFFFFFFFu);
    glClearStencil(static_cast<GLint>(stencil));
  }
  if (mask == 0) return D3D_OK;
  // Rectangles are clipped to the viewport; without rectangles (a count of 0 or 1) the viewport
  // is cleared.
  if (!rects) count = 0;
  const D3DVIEWPORT7& vp = state_.viewport;
  LONG vx0 = static_cast<LONG>(vp.dwX), vy0 = static_cast<LONG>(vp.dwY);
  LONG vx1 = vx0 + static_cast<LONG>(vp.dwWidth), vy1 = vy0 + static_cast<LONG>(vp.dwHeight);
  D3DRECT whole{vx0, vy0, vx1, vy1};
  GlContext::instance().state().enable(GL_SCISSOR_TEST, true);
  DWORD n = count > 0 ? count : 1;
  for (DWORD i = 0; i < n; ++i) {
    const D3DRECT& r = count > 0 ? rects[i] : whole;
    LONG x0 = std::max(r.x1, vx0), y0 = std::max(r.y1, vy0);
    LONG x1 = std::min(r.x2, vx1), y1 = std::min(r.y2, vy1);
    if (x0 >= x1 || y0 >= y1) continue;
    glScissor(x0, y0, x1 - x0, y1 - y0);  // row 0 is the top row: no flip
    glClear(mask);
  }
  GlContext::instance().state().enable(GL_SCISSOR_TEST, false);
  renderTarget_->markGlWritten();
  return D3D_OK;
}

HRESULT Dx7Device::SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) {
  if (!matrix || static_cast<DWORD>(type) >= kDeviceTransformSlots) return DDERR_INVALIDPARAMS;
  state_.transforms[type] = *matrix;
  return D3D_OK;
}

HRESULT Dx7Device::GetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) {
  if (!matrix || static_cast<DWORD>(type) >= kDeviceTransformSlots) return DDERR_INVALIDPARAMS;
  *matrix = state_.transforms[type];
  return D3D_OK;
}

HRESULT Dx7Device::MultiplyTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) {
  if (!matrix || static_cast<DWORD>(type) >= kDeviceTransformSlots) return DDERR_INVALIDPARAMS;
  // The given matrix first, then the current one (row vectors).
  const float* a = &matrix->_11;
  const float* b = &state_.transforms[type]._11;
  D3DMATRIX result;
  float* r = &result._11;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = sum;
    }
  state_.transforms[type] = result;
  return D3D_OK;
}

HRESULT Dx7Device::SetViewport(LPD3DVIEWPORT7 viewport) {
  if (!viewport) return DDERR_INVALIDPARAMS;
  std::uint64_t right = static_cast<std::uint64_t>(viewport->dwX) + viewport->dwWidth;
  std::uint64_t bottom = static_cast<std::uint64_t>(viewport->dwY) + viewport->dwHeight;
  if (right > renderTarget_->width() || bottom > renderTarget_->height()) return DDERR_INVALIDPARAMS;
  // An empty or inverted depth range is accepted (drawing treats it as MinZ..MinZ + 0.001).
  if (!(viewport->dvMinZ >= 0.0f && viewport->dvMaxZ <= 1.0f)) return DDERR_INVALIDPARAMS;
  state_.viewport = *viewport;
  return D3D_OK;
}

HRESULT Dx7Device::GetViewport(LPD3DVIEWPORT7 viewport) {
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = state_.viewport;
  return D3D_OK;
}

HRESULT Dx7Device::SetMaterial(LPD3DMATERIAL7 material) {
  if (!material) return DDERR_INVALIDPARAMS;
  state_.material = *material;
  return D3D_OK;
}

HRESULT Dx7Device::GetMaterial(LPD3DMATERIAL7 material) {
  if (!material) return DDERR_INVALIDPARAMS;
  *material = state_.material;
  return D3D_OK;
}

HRESULT Dx7Device::SetLight(DWORD index, LPD3DLIGHT7 light) {
  if (!light || index >= kDeviceLightSlots) return DDERR_INVALIDPARAMS;
  if (light->dltType != D3DLIGHT_POINT && light->dltType != D3DLIGHT_SPOT && light->dltType != D3DLIGHT_DIRECTIONAL)
    return DDERR_INVALIDPARAMS;
  if (light->dltType != D3DLIGHT_DIRECTIONAL && !(light->dvRange >= 0.0f && light->dvRange <= D3DLIGHT_RANGE_MAX))
    return DDERR_INVALIDPARAMS;
  // Only a light's type shapes the generated shaders; the rest of it are uniforms.
  if (state_.lights[index].dltType != light->dltType) state_.shapeVersion = dx7NextVersion();
  state_.lights[index] = *light;
  state_.lightSet[index] = true;
  return D3D_OK;
}

HRESULT Dx7Device::GetLight(DWORD index, LPD3DLIGHT7 light) {
  if (!light || index >= kDeviceLightSlots || !state_.lightSet[index]) return DDERR_INVALIDPARAMS;
  *light = state_.lights[index];
  return D3D_OK;
}

HRESULT Dx7Device::LightEnable(DWORD index, BOOL enable) {
  if (index >= kDeviceLightSlots) return DDERR_INVALIDPARAMS;
  if (!state_.lightSet[index]) {
    // Enabling a light never set gives the default light, as the platform does.
    state_.lights[index] = DeviceState::defaultLight();
    state_.lightSet[index] = true;
    state_.shapeVersion = dx7NextVersion();
  }
  if (state_.lightEnabled[index] != (enable != FALSE)) state_.shapeVersion = dx7NextVersion();
  state_.lightEnabled[index] = enable != FALSE;
  return D3D_OK;
}

HRESULT Dx7Device::GetLightEnable(DWORD index, BOOL* enable) {
  if (!enable || index >= kDeviceLightSlots) return DDERR_INVALIDPARAMS;
  *enable = state_.lightEnabled[index] ? TRUE : FALSE;
  return D3D_OK;
}

HRESULT Dx7Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (static_cast<DWORD>(state) >= D3DRENDERSTATE_SLOTCOUNT) return DDERR_INVALIDPARAMS;
  if (state_.renderStates[state] != value && ffpRenderStateShapesKey(state)) state_.shapeVersion = dx7NextVersion();
  state_.renderStates[state] = value;
  return D3D_OK;
}

HRESULT Dx7Device::GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) {
  if (!value || static_cast<DWORD>(state) >= D3DRENDERSTATE_SLOTCOUNT) return DDERR_INVALIDPARAMS;
  *value = state_.renderStates[state];
  return D3D_OK;
}

HRESULT Dx7Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= kDeviceTextureStages || static_cast<DWORD>(type) >= D3DTSS_SLOTCOUNT) return DDERR_INVALIDPARAMS;
  if (state_.textureStageStates[stage][type] != value && ffpStageStateShapesKey(type))
    state_.shapeVersion = dx7NextVersion();
  state_.textureStageStates[stage][type] = value;
  if (type == D3DTSS_ADDRESS) {
    // ADDRESS sets both directions.
    state_.textureStageStates[stage][D3DTSS_ADDRESSU] = value;
    state_.textureStageStates[stage][D3DTSS_ADDRESSV] = value;
  }
  return D3D_OK;
}

HRESULT Dx7Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value) {
  if (!value || stage >= kDeviceTextureStages || static_cast<DWORD>(type) >= D3DTSS_SLOTCOUNT)
    return DDERR_INVALIDPARAMS;
  *value = state_.textureStageStates[stage][type];
  return D3D_OK;
}

HRESULT Dx7Device::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) {
  if (stage >= kDeviceTextureStages) return DDERR_INVALIDPARAMS;
  auto* surface = static_cast<Dx7Surface*>(texture);
  // A surface that is not a texture leaves the stage empty.
  if (surface && !(surface->caps() & DDSCAPS_TEXTURE)) surface = nullptr;
  if (surface) surface->AddRef();
  if (textures_[stage]) textures_[stage]->Release();
  textures_[stage] = surface;
  return D3D_OK;
}

HRESULT Dx7Device::GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) {
  if (!texture || stage >= kDeviceTextureStages) return DDERR_INVALIDPARAMS;
  if (textures_[stage]) textures_[stage]->AddRef();
  *texture = textures_[stage];
  return D3D_OK;
}

HRESULT Dx7Device::SetClipStatus(LPD3DCLIPSTATUS status) {
  if (!status) return DDERR_INVALIDPARAMS;
  state_.clipStatus = *status;
  return D3D_OK;
}

HRESULT Dx7Device::GetClipStatus(LPD3DCLIPSTATUS status) {
  if (!status) return DDERR_INVALIDPARAMS;
  *status = state_.clipStatus;
  return D3D_OK;
}

HRESULT Dx7Device::SetClipPlane(DWORD index, D3DVALUE* plane) {
  if (!plane || index >= kDeviceClipPlanes) return DDERR_INVALIDPARAMS;
  std::memcpy(state_.clipPlanes[index], plane, sizeof(state_.clipPlanes[index]));
  return D3D_OK;
}

HRESULT Dx7Device::GetClipPlane(DWORD index, D3DVALUE* plane) {
  if (!plane || index >= kDeviceClipPlanes) return DDERR_INVALIDPARAMS;
  std::memcpy(plane, state_.clipPlanes[index], sizeof(state_.clipPlanes[index]));
  return D3D_OK;
}

HRESULT Dx7Device::ValidateDevice(LPDWORD passes) {
  if (passes) *passes = 1;
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Device::draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount, const WORD* indices,
                        DWORD indexCount, const void* sourceId, std::uint64_t sourceVersion) {
  dx7timing::Scope timing(dx7timing::Kind::Driver);
  dx7timing::countDraw();
  if (!inScene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
  if (renderTarget_->lost()) return DDERR_SURFACELOST;
  if (vertexCount == 0 || (indices && indexCount == 0)) return D3D_OK;
  if (!renderTarget_->owner() || !renderTarget_->framebuffer()) return DDERR_GENERIC;
  // Textures first: an upload is GL work of its own, which sends the triangles the pipeline keeps
  // waiting.
  FfpTexture stages[kDeviceTextureStages];
  for (DWORD s = 0; s < kDeviceTextureStages; ++s) {
    Dx7Surface* t = textures_[s];
    if (!t || !t->owner()) continue;
    stages[s].name = t->samplingTexture();
    stages[s].hasAlpha = t->layout().hasAlpha;
    stages[s].width = static_cast<int>(t->width());
    stages[s].height = static_cast<int>(t->height());
    if (t->hasSourceKey()) {
      stages[s].hasColorKey = true;
      stages[s].colorKeyLow = t->layout().toArgb(t->sourceKey().dwColorSpaceLowValue);
      stages[s].colorKeyHigh = t->layout().toArgb(t->sourceKey().dwColorSpaceHighValue);
    }
  }
  // The pipeline keeps its GL state from draw to draw; whoever uses GL next sends what waits.
  const GlContext::KeeperHold hold;
  if (!hold.ok()) return DDERR_GENERIC;
  FixedFunctionPipeline* pipeline = dx7Pipeline();
  if (!pipeline) return DDERR_GENERIC;
  pipeline->bindFramebuffer(renderTarget_->framebuffer());
  bool drawn =
      pipeline->draw(state_, stages, type, fvf, vertices, vertexCount, indices, indexCount, sourceId, sourceVersion);
  GlContext::instance().setStateKeeper(dx7PipelineDrawWaiting, pipeline);
  renderTarget_->markGlWritten();
  return drawn ? D3D_OK : DDERR_INVALIDPARAMS;
}

HRESULT Dx7Device::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD) {
  if (!vertices) return DDERR_INVALIDPARAMS;
  if (dx7FvfStride(fvf) == 0) return D3DERR_INVALIDVERTEXFORMAT;
  return draw(type, fvf, vertices, vertexCount, nullptr, 0, nullptr, 0);
}

HRESULT Dx7Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                        LPWORD indices, DWORD indexCount, DWORD) {
  if (!vertices || !indices) return DDERR_INVALIDPARAMS;
  if (dx7FvfStride(fvf) == 0) return D3DERR_INVALIDVERTEXFORMAT;
  return draw(type, fvf, vertices, vertexCount, indices, indexCount, nullptr, 0);
}

HRESULT Dx7Device::DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                   DWORD vertexCount, DWORD) {
  auto* vb = static_cast<Dx7VertexBuffer*>(buffer);
  if (!vb) return DDERR_INVALIDPARAMS;
  if (vb->locked()) return D3DERR_VERTEXBUFFERLOCKED;
  if (static_cast<std::uint64_t>(startVertex) + vertexCount > vb->desc().dwNumVertices) return DDERR_INVALIDPARAMS;
  return draw(type, vb->desc().dwFVF, vb->data() + static_cast<size_t>(startVertex) * vb->stride(), vertexCount,
              nullptr, 0, vb, vb->version());
}

HRESULT Dx7Device::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                          DWORD numVertices, LPWORD indices, DWORD indexCount, DWORD) {
  auto* vb = static_cast<Dx7VertexBuffer*>(buffer);
  if (!vb || !indices) return DDERR_INVALIDPARAMS;
  if (vb->locked()) return D3DERR_VERTEXBUFFERLOCKED;
  if (static_cast<std::uint64_t>(startVertex) + numVertices > vb->desc().dwNumVertices) return DDERR_INVALIDPARAMS;
  return draw(type, vb->desc().dwFVF, vb->data() + static_cast<size_t>(startVertex) * vb->stride(), numVertices,
              indices, indexCount, vb, vb->version());
}
