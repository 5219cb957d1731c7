// The objects behind the DirectDraw/Direct3D interfaces (platform-internal): the DirectDraw
// object of an adapter, its surfaces and clippers, the Direct3D object, devices and vertex buffers.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dx7/d3d.h"
#include "platform/dx7/device_state.h"
#include "platform/dx7/dx7_adapters.h"
#include "platform/dx7/dx7_com_object.h"
#include "platform/dx7/dx7_pixel_layout.h"
#include "platform/dx7/ffp/gl_api.h"

class Dx7DirectDraw;
class Dx7Surface;
class Dx7Direct3D;
class Dx7Device;
class FixedFunctionPipeline;

// Every change of surface or vertex memory takes a new number from this counter.
std::uint64_t dx7NextVersion();

class Dx7Clipper final : public Dx7ComObject<IDirectDrawClipper> {
 public:
  HRESULT SetHWnd(DWORD flags, HWND window) override;
  HRESULT GetHWnd(HWND* window) override;

  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

class Dx7Surface final : public Dx7ComObject<IDirectDrawSurface7> {
 public:
  // Where the pixels live: in memory (GL textures are caches of it), or in GL (render targets
  // and z-buffers; memory is filled on Lock).
  enum class Kind { Primary, RenderTarget, ZBuffer, Texture, Plain };

  Dx7Surface(Dx7DirectDraw* owner, const DDSURFACEDESC2& desc, const Dx7PixelLayout& layout, Kind kind);

  HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface) override;
  HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE7 surface) override;
  HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) override;
  HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags, LPDDBLTFX effects) override;
  HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags) override;
  HRESULT Flip(LPDIRECTDRAWSURFACE7 overrideSurface, DWORD flags) override;
  HRESULT GetCaps(LPDDSCAPS2 caps) override;
  HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) override;
  HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT GetPixelFormat(LPDDPIXELFORMAT format) override;
  HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) override;
  HRESULT IsLost() override;
  HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) override;
  HRESULT Restore() override;
  HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) override;
  HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) override;
  HRESULT Unlock(LPRECT rect) override;
  HRESULT GetDDInterface(LPVOID* directDraw) override;

  // Internals used by the DirectDraw object and the device.
  Kind kind() const { return kind_; }
  DWORD width() const { return desc_.dwWidth; }
  DWORD height() const { return desc_.dwHeight; }
  DWORD caps() const { return desc_.ddsCaps.dwCaps; }
  const DDSURFACEDESC2& desc() const { return desc_; }
  const Dx7PixelLayout& layout() const { return layout_; }
  Dx7DirectDraw* owner() const { return owner_; }
  bool lost() const { return lost_; }
  bool locked() const { return locked_; }
  std::uint64_t modeSerial() const { return modeSerial_; }
  void setModeSerial(std::uint64_t serial) { modeSerial_ = serial; }

  // Colour held in GL: render targets and the front of a flipping chain.
  bool colourInGl() const { return kind_ == Kind::RenderTarget || (kind_ == Kind::Primary && fbo_ != 0); }
  // GL objects are made on demand; false when GL is unavailable.
  bool createGlObjects();
  // Framebuffer of a render target (with its attached z-buffer), 0 for other kinds.
  GLuint framebuffer() const { return fbo_; }
  // Texture to sample: filled from memory when memory changed (mip levels included).
  GLuint samplingTexture();
  // Texture whose alpha is 0 where the source colour key matches, 1 elsewhere.
  GLuint keyedTexture(const DDCOLORKEY& key);
  // The GL copy changed (drawing, clearing): memory must be read back before use.
  void markGlWritten();
  // Memory mirrors the GL copy (render targets and z-buffers read back).
  bool syncMemoryFromGl();
  Dx7Surface* attachedZBuffer() const;
  bool hasSourceKey() const { return hasSrcKey_; }
  const DDCOLORKEY& sourceKey() const { return srcKey_; }

  // Implicitly created parts of a complex surface (back buffer, mip levels).
  void addImplicitChild(Dx7Surface* child);
  void setMipTop(Dx7Surface* top, int level) {
    mipTop_ = top;
    mipLevel_ = level;
  }
  // Contents gone until Restore.
  void loseContents();
  // The DirectDraw object is gone: free memory and GL objects, drop attachments.
  void orphan();
  // After orphaning: deletes the surface when nothing references it any more.
  void deleteIfUnreferenced() {
    if (referenceCount() == 0) delete this;
  }
  std::vector<Dx7Surface*> allParts();

 private:
  ~Dx7Surface() override;
  // Lets go of attachments, clipper and GL objects, leaves the DirectDraw object, deletes.
  void lastReferenceGone() override;
  void destroyGl();
  void clearContents();
  bool ensureMemory();
  bool uploadTextureLevels();
  void uploadRenderTargetRows(int firstRow, int lastRow);
  void uploadZBuffer();
  HRESULT bltFromSurface(RECT dst, Dx7Surface* src, RECT srcRect, const DDCOLORKEY* key, const DDCOLORKEY* destKey);
  // Stretching copy between the memory copies, with optional source and destination keys.
  void bltInMemory(RECT dst, Dx7Surface* src, RECT srcRect, const DDCOLORKEY* key, const DDCOLORKEY* destKey);
  // Depth (and stencil) values between GL's packing and the format's masks, in place.
  void depthFromGlPacking();
  std::vector<std::uint32_t> depthToGlPacking() const;
  // Passes the contents of a flipping chain one place towards the front.
  void rotateFlipChain(Dx7Surface* overrideSurface);
  HRESULT colourFill(const RECT& dst, DWORD colour);
  HRESULT depthFill(const RECT& dst, DWORD depth);
  // BLACKNESS and WHITENESS: every bit of the rectangle cleared or set (depth and stencil alike
  // on a z-buffer).
  HRESULT bitsFill(const RECT& dst, bool ones);
  HRESULT present(Dx7Surface* source, const RECT& srcRect, int swapInterval);
  void attachDepthToFramebuffer(Dx7Surface* zbuffer);

  Dx7DirectDraw* owner_;
  DDSURFACEDESC2 desc_;
  Dx7PixelLayout layout_;
  Kind kind_;
  std::uint64_t modeSerial_ = 0;

  std::vector<std::uint8_t> memory_;
  std::vector<std::uint8_t> snapshot_;  // memory as read back, to find what a lock changed
  long pitch_ = 0;
  bool locked_ = false;
  DWORD lockFlags_ = 0;
  bool lost_ = false;
  std::uint64_t memoryVersion_ = 0;
  bool memoryFresh_ = true;  // GL-held kinds: memory equals the GL copy

  bool hasSrcKey_ = false;
  DDCOLORKEY srcKey_{};
  bool hasDestKey_ = false;
  DDCOLORKEY destKey_{};
  Dx7Clipper* clipper_ = nullptr;

  struct Attachment {
    Dx7Surface* surface;
    bool implicit;  // part of this complex surface
  };
  std::vector<Attachment> attached_;
  Dx7Surface* parent_ = nullptr;  // complex surface this one is an implicit part of
  Dx7Surface* mipTop_ = nullptr;
  int mipLevel_ = 0;

  GLuint texture_ = 0;
  GLuint fbo_ = 0;
  int textureLevels_ = 0;
  std::vector<std::uint64_t> levelUploaded_;  // top of a mip chain: version uploaded per level
  GLuint keyedTexture_ = 0;
  std::uint64_t keyedVersion_ = 0;
  DDCOLORKEY keyedKey_{};
};

class Dx7DirectDraw final : public Dx7ComObject<IDirectDraw7> {
 public:
  explicit Dx7DirectDraw(const Dx7Adapter& adapter);

  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) override;
  HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface, IUnknown* outer) override;
  HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 templateDesc, LPVOID context,
                           LPDDENUMMODESCALLBACK2 callback) override;
  HRESULT EnumSurfaces(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) override;
  HRESULT GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) override;
  HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) override;
  HRESULT RestoreDisplayMode() override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) override;
  HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) override;
  HRESULT GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total, LPDWORD free) override;
  HRESULT RestoreAllSurfaces() override;
  HRESULT TestCooperativeLevel() override;

  // Internals.
  void registerSurface(Dx7Surface* surface);
  void unregisterSurface(Dx7Surface* surface);
  void direct3DGone() { direct3D_ = nullptr; }
  HWND window() const { return window_; }
  bool fullscreen() const { return (coopFlags_ & DDSCL_FULLSCREEN) != 0; }
  DWORD displayWidth() const;
  DWORD displayHeight() const;
  DWORD displayBitsPerPixel() const;
  DDPIXELFORMAT displayFormat() const;
  std::uint64_t modeSerial() const { return modeSerial_; }
  // Swap interval for the next windowed present (WaitForVerticalBlank asks for 1).
  int takeSwapInterval();
  void simulateLoss(bool displayModeChanged);

 private:
  ~Dx7DirectDraw() override;
  // IDirect3D7: the one Direct3D object of this DirectDraw object, made on the first query.
  HRESULT queryOtherInterface(REFIID riid, LPVOID* object) override;
  HRESULT createPrimary(const DDSURFACEDESC2& desc, Dx7Surface** out);
  HRESULT createZBuffer(const DDSURFACEDESC2& desc, Dx7Surface** out);
  HRESULT createTexture(const DDSURFACEDESC2& desc, const Dx7PixelLayout& layout, Dx7Surface** out);
  void leaveFullscreen();

  Dx7Adapter adapter_;
  HWND window_ = nullptr;
  DWORD coopFlags_ = 0;
  bool modeSet_ = false;
  AdapterDisplayMode mode_{0, 0, 0};
  std::uint64_t modeSerial_ = 1;
  bool vsyncRequested_ = false;
  std::vector<Dx7Surface*> surfaces_;
  Dx7Surface* primary_ = nullptr;
  Dx7Direct3D* direct3D_ = nullptr;
};

class Dx7Direct3D final : public Dx7ComObject<IDirect3D7> {
 public:
  explicit Dx7Direct3D(Dx7DirectDraw* directDraw);

  HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) override;
  HRESULT CreateDevice(REFCLSID deviceType, LPDIRECTDRAWSURFACE7 renderTarget, LPDIRECT3DDEVICE7* device) override;
  HRESULT CreateVertexBuffer(LPD3DVERTEXBUFFERDESC desc, LPDIRECT3DVERTEXBUFFER7* buffer, DWORD flags) override;
  HRESULT EnumZBufferFormats(REFCLSID deviceType, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT EvictManagedTextures() override { return D3D_OK; }

  Dx7DirectDraw* directDraw() const { return directDraw_; }

 private:
  ~Dx7Direct3D() override;
  // IDirectDraw7: the DirectDraw object this one came from.
  HRESULT queryOtherInterface(REFIID riid, LPVOID* object) override;
  Dx7DirectDraw* directDraw_;
};

// Device description the profile gives a device type; false for unknown types.
bool dx7DeviceDescription(const GUID& type, D3DDEVICEDESC7* desc);

// Bytes per vertex of a flexible vertex format, 0 when the format is not usable.
DWORD dx7FvfStride(DWORD fvf);

class Dx7VertexBuffer final : public Dx7ComObject<IDirect3DVertexBuffer7> {
 public:
  Dx7VertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD stride);

  HRESULT Lock(DWORD flags, LPVOID* data, LPDWORD size) override;
  HRESULT Unlock() override;
  HRESULT GetVertexBufferDesc(LPD3DVERTEXBUFFERDESC desc) override;
  HRESULT Optimize(LPDIRECT3DDEVICE7 device, DWORD flags) override;

  const D3DVERTEXBUFFERDESC& desc() const { return desc_; }
  DWORD stride() const { return stride_; }
  const std::uint8_t* data() const { return data_.data(); }
  bool locked() const { return lockCount_ > 0; }
  std::uint64_t version() const { return version_; }

 private:
  ~Dx7VertexBuffer() override = default;
  // The pipeline forgets the buffer's uploaded copy before it goes.
  void lastReferenceGone() override;
  D3DVERTEXBUFFERDESC desc_;
  DWORD stride_;
  std::vector<std::uint8_t> data_;
  int lockCount_ = 0;
  std::uint64_t version_;
};

class Dx7Device final : public Dx7ComObject<IDirect3DDevice7> {
 public:
  Dx7Device(Dx7Direct3D* direct3D, const GUID& type, Dx7Surface* renderTarget);

  HRESULT GetCaps(LPD3DDEVICEDESC7 desc) override;
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT GetDirect3D(LPDIRECT3D7* direct3D) override;
  HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) override;
  HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) override;
  HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override;
  HRESULT SetViewport(LPD3DVIEWPORT7 viewport) override;
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override;
  HRESULT GetViewport(LPD3DVIEWPORT7 viewport) override;
  HRESULT SetMaterial(LPD3DMATERIAL7 material) override;
  HRESULT GetMaterial(LPD3DMATERIAL7 material) override;
  HRESULT SetLight(DWORD index, LPD3DLIGHT7 light) override;
  HRESULT GetLight(DWORD index, LPD3DLIGHT7 light) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override;
  HRESULT SetClipStatus(LPD3DCLIPSTATUS status) override;
  HRESULT GetClipStatus(LPD3DCLIPSTATUS status) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD flags) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, LPWORD indices,
                               DWORD indexCount, DWORD flags) override;
  HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex, DWORD vertexCount,
                          DWORD flags) override;
  HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                 DWORD numVertices, LPWORD indices, DWORD indexCount, DWORD flags) override;
  HRESULT GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) override;
  HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT ValidateDevice(LPDWORD passes) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetClipPlane(DWORD index, D3DVALUE* plane) override;
  HRESULT GetClipPlane(DWORD index, D3DVALUE* plane) override;

  const DeviceState& state() const { return state_; }

 private:
  ~Dx7Device() override;
  HRESULT draw(D3DPRIMITIVETYPE type, DWORD fvf, const void* vertices, DWORD vertexCount, const WORD* indices,
               DWORD indexCount, const void* sourceId, std::uint64_t sourceVersion);
  bool bindRenderTarget();

  Dx7Direct3D* direct3D_;
  GUID type_;
  Dx7Surface* renderTarget_;
  Dx7Surface* textures_[kDeviceTextureStages] = {};
  DeviceState state_;
  bool inScene_ = false;
};
