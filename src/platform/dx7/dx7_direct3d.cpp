// The Direct3D object of a DirectDraw object: device types and their descriptions, z-buffer
// formats, device creation and vertex buffers.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/dx7/dx7_objects.h"
#include "platform/dx7/dx7_pipeline.h"
#include "platform/dx7/ffp/ffp_pipeline.h"
#include "platform/dx7/ffp/gl_context.h"

namespace {

const AdapterDevice* findDevice(const GUID& type) {
  for (const AdapterDevice& d : dx7AdapterProfile().devices)
    if (IsEqualGUID(d.guid, type)) return &d;
  return nullptr;
}

D3DPRIMCAPS primitiveCaps(const AdapterProfile& p) {
  D3DPRIMCAPS c{};
  c.dwSize = sizeof(D3DPRIMCAPS);
  c.dwMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
  c.dwRasterCaps = p.rasterCaps;
  c.dwZCmpCaps = 0xFF;
  c.dwSrcBlendCaps = 0x1FFF;
  c.dwDestBlendCaps = 0x1FFF;
  c.dwAlphaCmpCaps = 0xFF;
  c.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARFLATRGB |
                  D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND |
                  D3DPSHADECAPS_FOGFLAT | D3DPSHADECAPS_FOGGOURAUD;
  c.dwTextureCaps = p.textureCaps;
  c.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MIPNEAREST |
                          D3DPTFILTERCAPS_MIPLINEAR | D3DPTFILTERCAPS_LINEARMIPNEAREST |
                          D3DPTFILTERCAPS_LINEARMIPLINEAR | D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                          D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR;
  c.dwTextureBlendCaps = D3DPTBLENDCAPS_DECAL | D3DPTBLENDCAPS_MODULATE | D3DPTBLENDCAPS_DECALALPHA |
                         D3DPTBLENDCAPS_MODULATEALPHA | D3DPTBLENDCAPS_COPY | D3DPTBLENDCAPS_ADD;
  c.dwTextureAddressCaps =
      D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP | D3DPTADDRESSCAPS_INDEPENDENTUV;
  return c;
}

}  // namespace

bool dx7DeviceDescription(const GUID& type, D3DDEVICEDESC7* desc) {
  const AdapterDevice* device = findDevice(type);
  if (!device || !desc) return false;
  const AdapterProfile& p = dx7AdapterProfile();
  std::memset(desc, 0, sizeof(*desc));
  desc->dwDevCaps = device->devCaps;
  desc->dpcTriCaps = primitiveCaps(p);
  desc->dpcLineCaps = desc->dpcTriCaps;
  desc->dwDeviceRenderBitDepth = 0x400 | 0x100;           // DDBD_16 | DDBD_32
  desc->dwDeviceZBufferBitDepth = 0x400 | 0x200 | 0x100;  // DDBD_16 | DDBD_24 | DDBD_32
  desc->dwMinTextureWidth = p.minTextureWidth;
  desc->dwMinTextureHeight = p.minTextureHeight;
  desc->dwMaxTextureWidth = p.maxTextureWidth;
  desc->dwMaxTextureHeight = p.maxTextureHeight;
  // Never more than the GL implementation can hold.
  if (GlContext::instance().makeCurrent()) {
    GLint glMax = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &glMax);
    if (glMax > 0) {
      desc->dwMaxTextureWidth = std::min(desc->dwMaxTextureWidth, static_cast<DWORD>(glMax));
      desc->dwMaxTextureHeight = std::min(desc->dwMaxTextureHeight, static_cast<DWORD>(glMax));
    }
  }
  desc->dwMaxTextureRepeat = 8192;
  desc->dwMaxTextureAspectRatio = 0;
  desc->dwMaxAnisotropy = 1;
  desc->dwStencilCaps = 0xFF;
  desc->dwFVFCaps = 8;
  desc->dwTextureOpCaps =
      D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE |
      D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD | D3DTEXOPCAPS_ADDSIGNED |
      D3DTEXOPCAPS_ADDSIGNED2X | D3DTEXOPCAPS_SUBTRACT | D3DTEXOPCAPS_ADDSMOOTH | D3DTEXOPCAPS_BLENDDIFFUSEALPHA |
      D3DTEXOPCAPS_BLENDTEXTUREALPHA | D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHAPM |
      D3DTEXOPCAPS_BLENDCURRENTALPHA | D3DTEXOPCAPS_MODULATEALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATECOLOR_ADDALPHA |
      D3DTEXOPCAPS_MODULATEINVALPHA_ADDCOLOR | D3DTEXOPCAPS_MODULATEINVCOLOR_ADDALPHA | D3DTEXOPCAPS_DOTPRODUCT3;
  desc->wMaxTextureBlendStages = p.maxTextureBlendStages;
  desc->wMaxSimultaneousTextures = p.maxSimultaneousTextures;
  desc->dwMaxActiveLights = p.maxActiveLights;
  desc->dvMaxVertexW = 1.0e10f;
  desc->deviceGUID = type;
  desc->wMaxUserClipPlanes = kFfpMaxClipPlanes;
  desc->wMaxVertexBlendMatrices = 0;
  desc->dwVertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_VERTEXFOG |
                                 D3DVTXPCAPS_DIRECTIONALLIGHTS | D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
  return true;
}

DWORD dx7FvfStride(DWORD fvf) { return FixedFunctionPipeline::vertexStride(fvf); }

Dx7Direct3D::Dx7Direct3D(Dx7DirectDraw* directDraw) : directDraw_(directDraw) { directDraw_->AddRef(); }

Dx7Direct3D::~Dx7Direct3D() {
  directDraw_->direct3DGone();
  directDraw_->Release();
}

HRESULT Dx7Direct3D::queryOtherInterface(REFIID riid, LPVOID* object) {
  if (!IsEqualGUID(riid, IID_IDirectDraw7)) return E_NOINTERFACE;
  return directDraw_->QueryInterface(riid, object);
}

HRESULT Dx7Direct3D::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<AdapterDevice> devices = dx7AdapterProfile().devices;
  for (const AdapterDevice& d : devices) {
    D3DDEVICEDESC7 desc;
    if (!dx7DeviceDescription(d.guid, &desc)) continue;
    std::string description = d.description, name = d.name;
    if (callback(description.data(), name.data(), &desc, context) == D3DENUMRET_CANCEL) break;
  }
  return D3D_OK;
}

HRESULT Dx7Direct3D::EnumZBufferFormats(REFCLSID deviceType, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!findDevice(deviceType)) return DDERR_INVALIDPARAMS;
  std::vector<DDPIXELFORMAT> formats = dx7AdapterProfile().zBufferFormats;
  for (DDPIXELFORMAT& f : formats)
    if (callback(&f, context) == D3DENUMRET_CANCEL) break;
  return D3D_OK;
}

HRESULT Dx7Direct3D::CreateDevice(REFCLSID deviceType, LPDIRECTDRAWSURFACE7 renderTarget, LPDIRECT3DDEVICE7* device) {
  if (!device) return DDERR_INVALIDPARAMS;
  *device = nullptr;
  const AdapterDevice* type = findDevice(deviceType);
  if (!type) return DDERR_INVALIDPARAMS;
  if (!type->creatable) return DDERR_NODIRECTDRAWHW;
  auto* target = static_cast<Dx7Surface*>(renderTarget);
  if (!target) return DDERR_INVALIDPARAMS;
  if (target->kind() != Dx7Surface::Kind::RenderTarget || !(target->caps() & DDSCAPS_3DDEVICE))
    return DDERR_INVALIDCAPS;
  if (target->owner() != directDraw_) return DDERR_INVALIDPARAMS;
  if (target->lost()) return DDERR_SURFACELOST;
  if (!GlContext::instance().makeCurrent() || !dx7Pipeline()) return DDERR_NO3D;
  *device = new Dx7Device(this, deviceType, target);
  return D3D_OK;
}

HRESULT Dx7Direct3D::CreateVertexBuffer(LPD3DVERTEXBUFFERDESC desc, LPDIRECT3DVERTEXBUFFER7* buffer, DWORD) {
  if (!desc || !buffer || desc->dwSize != sizeof(D3DVERTEXBUFFERDESC)) return DDERR_INVALIDPARAMS;
  *buffer = nullptr;
  DWORD stride = dx7FvfStride(desc->dwFVF);
  if (stride == 0) return D3DERR_INVALIDVERTEXFORMAT;
  // At most 256 MiB of vertices.
  if (desc->dwNumVertices == 0 || static_cast<std::uint64_t>(desc->dwNumVertices) * stride > (256ull << 20))
    return DDERR_INVALIDPARAMS;
  *buffer = new Dx7VertexBuffer(*desc, stride);
  return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Vertex buffers
// ---------------------------------------------------------------------------------------------

Dx7VertexBuffer::Dx7VertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD stride)
    : desc_(desc),
      stride_(stride),
      data_(static_cast<size_t>(desc.dwNumVertices) * stride, 0),
      version_(dx7NextVersion()) {
  desc_.dwCaps &= ~D3DVBCAPS_OPTIMIZED;
}

void Dx7VertexBuffer::lastReferenceGone() {
  dx7PipelineForget(this);
  delete this;
}

HRESULT Dx7VertexBuffer::Lock(DWORD, LPVOID* data, LPDWORD size) {
  if (!data) return DDERR_INVALIDPARAMS;
  ++lockCount_;
  *data = data_.data();
  if (size) *size = static_cast<DWORD>(data_.size());
  return D3D_OK;
}

HRESULT Dx7VertexBuffer::Unlock() {
  if (lockCount_ == 0) return DDERR_NOTLOCKED;
  --lockCount_;
  version_ = dx7NextVersion();
  return D3D_OK;
}

HRESULT Dx7VertexBuffer::GetVertexBufferDesc(LPD3DVERTEXBUFFERDESC desc) {
  if (!desc || desc->dwSize != sizeof(D3DVERTEXBUFFERDESC)) return DDERR_INVALIDPARAMS;
  *desc = desc_;
  return D3D_OK;
}

HRESULT Dx7VertexBuffer::Optimize(LPDIRECT3DDEVICE7 device, DWORD) {
  if (!device) return DDERR_INVALIDPARAMS;
  if (lockCount_ > 0) return D3DERR_VERTEXBUFFERLOCKED;
  if (desc_.dwCaps & D3DVBCAPS_OPTIMIZED) return D3DERR_VERTEXBUFFEROPTIMIZED;
  // The vertices stay in memory as they are, so an optimised buffer can still be locked.
  desc_.dwCaps |= D3DVBCAPS_OPTIMIZED;
  return D3D_OK;
}
