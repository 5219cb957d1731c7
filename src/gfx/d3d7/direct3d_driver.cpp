// Direct3D driver set-up: adapter and mode choice, the render window and its procedure,
// DirectDraw surfaces, device and z-buffer choice, initial device state, surface loss,
// switching between window and full screen, device rebuild and release.
#include "gfx/d3d7/direct3d_driver.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/d3d7/directdraw_texture.h"
#include "gfx/d3d7/error_text.h"
#include "gfx/heap_array.h"
#include "gfx/texture.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "shell/memory_tracker.h"

VideoSetupDialog Direct3DDriver::videoSetupDialog = nullptr;

namespace {
FrameFit defaultFrameFit = FrameFit::kAuthored;
}  // namespace

FrameRegion frameRegionOf(int width, int height, FrameFit fit) {
  FrameRegion region{0, 0, width, height};
  if (fit == FrameFit::kFill || width <= 0 || height <= 0) return region;
  const long long w = width;
  const long long h = height;
  if (w * 3 > h * 4) {
    // Wider than 4:3: bars left and right.
    region.width = static_cast<int>((h * 4 + 1) / 3);
    region.x = (width - region.width) / 2;
  } else if (w * 3 < h * 4) {
    // Taller than 4:3: bars above and below.
    region.height = static_cast<int>((w * 3 + 2) / 4);
    region.y = (height - region.height) / 2;
  }
  return region;
}

float frameWideningOf(int width, int height, FrameFit fit) {
  if (fit != FrameFit::kFill || width <= 0 || height <= 0) return 1.0f;
  return static_cast<float>((4.0 / 3.0) * static_cast<double>(height) / static_cast<double>(width));
}

void Direct3DDriver::setDefaultFrameFit(FrameFit fit) { defaultFrameFit = fit; }

FrameRegion Direct3DDriver::frameRegion() const { return frameRegionOf(width, height, frameFit); }

namespace {

constexpr const char* kWindowClass = "MyDxWindow";

// Render states, stage states, transforms, clip planes and lights carried over a rebuild.
constexpr DWORD kSavedRenderStates = 153;
constexpr DWORD kSavedStages = 8;
constexpr DWORD kSavedStageStates = 25;
constexpr DWORD kSavedTransforms = 24;
constexpr DWORD kSavedClipPlanes = 32;
constexpr DWORD kSavedLights = 128;

template <typename T>
void zero(T& value) {
  std::memset(static_cast<void*>(&value), 0, sizeof value);
}

D3DMATRIX identityMatrix() {
  D3DMATRIX m;
  zero(m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

HRESULT CALLBACK deviceCallback(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context) {
  auto* driver = static_cast<Direct3DDriver*>(context);
  if ((desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0 &&
      !IsEqualGUID(desc->deviceGUID, IID_IDirect3DTnLHalDevice)) {
    driver->deviceGuid = desc->deviceGUID;
    driver->hardwareDevice = true;
  }
  return D3DENUMRET_OK;
}

void takeDepthFormat(Direct3DDriver* driver, const DDPIXELFORMAT* format) {
  driver->depthFormat = *format;
  driver->depthBits = static_cast<std::uint16_t>(format->dwZBufferBitDepth);
  driver->hasDepthFormat = true;
}

}  // namespace

HRESULT CALLBACK Direct3DDriver::depthFormatCallback(LPDDPIXELFORMAT format, LPVOID context) {
  auto* driver = static_cast<Direct3DDriver*>(context);
  // Only pure depth formats: a format with stencil bits is never chosen.
  if (format->dwFlags != DDPF_ZBUFFER) return D3DENUMRET_OK;
  const DWORD depth = format->dwZBufferBitDepth;
  if (depth == driver->bitsPerPixel) {
    takeDepthFormat(driver, format);
    return D3DENUMRET_CANCEL;
  }
  if (depth == 16 || depth > driver->depthBits) takeDepthFormat(driver, format);
  return D3DENUMRET_OK;
}

namespace {

HRESULT CALLBACK releaseSurfaceCallback(LPDIRECTDRAWSURFACE7 surface, LPDDSURFACEDESC2, LPVOID) {
  if (surface != nullptr) surface->Release();
  return DDENUMRET_OK;
}

}  // namespace

Direct3DDriver::Direct3DDriver(HINSTANCE moduleInstance, const char* title)
    : GraphicsDriver("GrpDrv window"),
      frontBuffer(nullptr),
      backBuffer(nullptr),
      depthBuffer(nullptr),
      window(nullptr),
      instance(moduleInstance),
      directDraw(nullptr),
      clipper(nullptr),
      primarySurface(nullptr),
      backSurface(nullptr),
      depthSurface(nullptr),
      direct3D(nullptr),
      device(nullptr),
      adapterIndex(0),
      modeIndex(0),
      adapterCount(0),
      adapters(nullptr),
      waitForRetrace(false),
      dither(false),
      frameFit(defaultFrameFit),
      videoChoice(VideoChoice::kNoModes),
      hasPreset(false) {
  std::snprintf(name, sizeof name, "%s", title != nullptr ? title : "");
  zero(opaqueTextureFormat);
  zero(alphaTextureFormat);
  zero(depthFormat);
  zero(deviceGuid);
  frontBuffer = TRACKED_NEW DirectDrawTexture(this);
  backBuffer = TRACKED_NEW DirectDrawTexture(this);
  depthBuffer = TRACKED_NEW DirectDrawTexture(this);
  textureCount = 0;
  maxTextureStages = 8;
}

Direct3DDriver::~Direct3DDriver() {
  releaseDevice();
  if (window != nullptr) {
    DestroyWindow(window);
    window = nullptr;
  }
  delete frontBuffer;
  delete backBuffer;
  delete depthBuffer;
  frontBuffer = backBuffer = depthBuffer = nullptr;
  freeAdapters();
}

void Direct3DDriver::setVideoSetupDialog(VideoSetupDialog dialog) { videoSetupDialog = dialog; }

void Direct3DDriver::presetVideoOptions(const VideoPreset& options) {
  preset = options;
  hasPreset = true;
}

void Direct3DDriver::freeAdapters() {
  for (int i = 0; i < adapterCount; ++i) {
    std::free(adapters[i].guid);
    std::free(adapters[i].modes);
  }
  freeHeapArray(adapters);
  adapterCount = 0;
}

int Direct3DDriver::findMode(int adapter, int modeWidth, int modeHeight, int modeBits) const {
  if (adapter < 0 || adapter >= adapterCount) return -1;
  const AdapterInfo& info = adapters[adapter];
  for (int i = 0; i < info.modeCount; ++i) {
    const DDSURFACEDESC2& m = info.modes[i];
    if (static_cast<int>(m.dwWidth) == modeWidth && static_cast<int>(m.dwHeight) == modeHeight &&
        static_cast<int>(m.ddpfPixelFormat.dwRGBBitCount) == modeBits)
      return i;
  }
  return -1;
}

int Direct3DDriver::defaultMode(int adapter) const {
  if (adapter < 0 || adapter >= adapterCount || adapters[adapter].modeCount == 0) return -1;
  const int preferred = findMode(adapter, 640, 480, 32);
  if (preferred >= 0) return preferred;
  int chosen = 0;
  const AdapterInfo& info = adapters[adapter];
  for (int i = 0; i < info.modeCount; ++i)
    if (info.modes[i].dwWidth == 640 && info.modes[i].dwHeight == 480) chosen = i;
  return chosen;
}

bool Direct3DDriver::chooseVideoMode(int, int) {
  freeAdapters();
  DirectDrawEnumerateExA(enumerateAdapter, this,
                         DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES);
  for (int i = 0; i < adapterCount; ++i) {
    IDirectDraw7* probe = nullptr;
    if (SUCCEEDED(DirectDrawCreateEx(adapters[i].guid, reinterpret_cast<LPVOID*>(&probe), IID_IDirectDraw7, nullptr)) &&
        probe != nullptr) {
      probe->EnumDisplayModes(0, nullptr, &adapters[i], enumerateMode);
      probe->Release();
    }
  }

  // The preselection: the dialog's initial state.
  adapterIndex = 0;
  modeIndex = defaultMode(0);
  fullscreen = false;
  waitForRetrace = false;
  lowBppTextures = false;
  dither = true;

  if (hasPreset) {
    adapterIndex = preset.adapter < 0 ? 0 : preset.adapter;
    if (adapterIndex >= adapterCount) {
      videoChoice = VideoChoice::kUnknownAdapter;
      return false;
    }
    if (preset.width > 0) {
      modeIndex =
          findMode(adapterIndex, preset.width, preset.height, preset.bitsPerPixel > 0 ? preset.bitsPerPixel : 32);
      if (modeIndex < 0) {
        videoChoice = VideoChoice::kUnknownMode;
        return false;
      }
    } else {
      modeIndex = defaultMode(adapterIndex);
    }
    fullscreen = preset.fullscreen;
    waitForRetrace = preset.waitForRetrace;
    lowBppTextures = preset.lowBppTextures;
    dither = preset.dither;
  } else if (videoSetupDialog != nullptr) {
    videoSetupDialog(*this);
  }

  if (adapterIndex < 0 || adapterIndex >= adapterCount || modeIndex < 0 ||
      modeIndex >= adapters[adapterIndex].modeCount) {
    videoChoice = VideoChoice::kNoModes;
    return false;
  }
  const DDSURFACEDESC2& chosen = adapters[adapterIndex].modes[modeIndex];
  width = static_cast<std::uint16_t>(chosen.dwWidth);
  height = static_cast<std::uint16_t>(chosen.dwHeight);
  bitsPerPixel = static_cast<std::uint16_t>(chosen.ddpfPixelFormat.dwRGBBitCount);
  videoChoice = VideoChoice::kChosen;
  return true;
}

bool Direct3DDriver::createRenderWindow() {
  WNDCLASSEXA windowClass;
  zero(windowClass);
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = 0;
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kWindowClass;
  // A second registration (after a rebuild) fails harmlessly: the class stays registered.
  RegisterClassExA(&windowClass);

  const DWORD style = fullscreen ? WS_POPUP : (WS_POPUP | WS_VISIBLE | WS_CAPTION);
  window = CreateWindowExA(0, kWindowClass, name, style, 0, 0, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return false;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  if (!fullscreen) {
    // Size the window so that its client area is width × height, centred on the screen.
    RECT outer;
    RECT client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    const int outerWidth = (outer.right - outer.left) + (width - (client.right - client.left));
    const int outerHeight = (outer.bottom - outer.top) + (height - (client.bottom - client.top));
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - outerWidth / 2 + outer.left;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - outerHeight / 2 + outer.top;
    ShowWindow(window, SW_HIDE);
    MoveWindow(window, x, y, outerWidth, outerHeight, TRUE);
    ShowWindow(window, SW_SHOW);
  }
  UpdateWindow(window);
  return true;
}

bool Direct3DDriver::createBuffers() {
  DDSURFACEDESC2 desc;
  zero(desc);
  desc.dwSize = sizeof desc;
  if (fullscreen) {
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    desc.dwBackBufferCount = 1;
    if (FAILED(directDraw->CreateSurface(&desc, &primarySurface, nullptr))) return false;
    DDSCAPS2 caps;
    zero(caps);
    caps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE;
    if (FAILED(primarySurface->GetAttachedSurface(&caps, &backSurface))) return false;
  } else {
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    if (FAILED(directDraw->CreateSurface(&desc, &primarySurface, nullptr))) return false;
    if (FAILED(directDraw->CreateClipper(0, &clipper, nullptr))) return false;
    if (FAILED(clipper->SetHWnd(0, window))) return false;
    if (FAILED(primarySurface->SetClipper(clipper))) return false;
    zero(desc);
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
    if (FAILED(directDraw->CreateSurface(&desc, &backSurface, nullptr))) return false;
  }
  DDPIXELFORMAT primaryFormat;
  zero(primaryFormat);
  primaryFormat.dwSize = sizeof primaryFormat;
  if (FAILED(primarySurface->GetPixelFormat(&primaryFormat))) return false;
  const PixelFormat format{static_cast<std::uint8_t>(primaryFormat.dwRGBBitCount), 0, primaryFormat.dwRBitMask,
                           primaryFormat.dwGBitMask, primaryFormat.dwBBitMask};
  frontBuffer->wrap(primarySurface, width, height, format);
  backBuffer->wrap(backSurface, width, height, format);
  return true;
}

bool Direct3DDriver::chooseDevice() {
  direct3D->EnumDevices(deviceCallback, this);
  IDirect3DDevice7* probe = nullptr;
  if (hardwareDevice) {
    if (FAILED(direct3D->CreateDevice(deviceGuid, backSurface, &probe)) || probe == nullptr) return false;
  } else if (SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DRGBDevice, backSurface, &probe)) && probe != nullptr) {
    deviceGuid = IID_IDirect3DRGBDevice;
  } else if (SUCCEEDED(direct3D->CreateDevice(IID_IDirect3DMMXDevice, backSurface, &probe)) && probe != nullptr) {
    deviceGuid = IID_IDirect3DMMXDevice;
  } else {
    return false;
  }
  direct3D->EnumZBufferFormats(deviceGuid, depthFormatCallback, this);
  probe->Release();
  return true;
}

bool Direct3DDriver::createDepthBuffer() {
  if (!hasDepthFormat) return true;
  DDSURFACEDESC2 desc;
  zero(desc);
  desc.dwSize = sizeof desc;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = width;
  desc.dwHeight = height;
  desc.ddpfPixelFormat = depthFormat;
  const bool hardware =
      IsEqualGUID(deviceGuid, IID_IDirect3DTnLHalDevice) || IsEqualGUID(deviceGuid, IID_IDirect3DHALDevice);
  desc.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | (hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
  if (FAILED(directDraw->CreateSurface(&desc, &depthSurface, nullptr))) {
    MessageBoxA(window, "Couldn\xc2\xb4t create Zbuffert. Please try to choose a lower resolution.", "ERROR!", MB_OK);
    return false;
  }
  if (FAILED(backSurface->AddAttachedSurface(depthSurface))) return false;
  // The three words after the bit count: stencil depth, z mask, stencil mask.
  const PixelFormat format{static_cast<std::uint8_t>(depthFormat.dwZBufferBitDepth), 0, depthFormat.dwRBitMask,
                           depthFormat.dwGBitMask, depthFormat.dwBBitMask};
  depthBuffer->wrap(depthSurface, width, height, format);
  return true;
}

void Direct3DDriver::setInitialState() {
  D3DMATRIX world = identityMatrix();
  device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
  D3DMATRIX view = identityMatrix();
  view._43 = 1.0f;
  device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
  D3DMATRIX projection;
  zero(projection);
  projection._11 = static_cast<float>(1.0 / std::tan(M_PI / 8.0));
  projection._22 = static_cast<float>(1.0 / std::tan(17.0 * M_PI / 180.0));
  projection._33 = 1.0001f;
  projection._34 = 1.0f;
  projection._43 = -0.010001f;
  device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

  for (DWORD stage = 0; stage < 8; ++stage) {
    device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->SetTextureStageState(stage, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
    device->SetTextureStageState(stage, D3DTSS_COLOROP, stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
    device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  }
  device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, dither ? TRUE : FALSE);
  device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
  device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
  device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x20202020u);

  D3DMATERIAL7 material;
  zero(material);
  material.ambient.r = material.ambient.g = material.ambient.b = 1.0f;
  material.ambient.a = 0.0f;
  device->SetMaterial(&material);
}

bool Direct3DDriver::initialize() {
  if (active) return false;
  if (!createRenderWindow()) return false;

  GUID* adapterGuid = (adapterIndex >= 0 && adapterIndex < adapterCount) ? adapters[adapterIndex].guid : nullptr;
  if (FAILED(DirectDrawCreateEx(adapterGuid, reinterpret_cast<LPVOID*>(&directDraw), IID_IDirectDraw7, nullptr)) ||
      directDraw == nullptr)
    return false;
  const DWORD level = fullscreen ? (DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP)
                                 : (DDSCL_NORMAL | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP);
  if (FAILED(directDraw->SetCooperativeLevel(window, level))) return false;
  if (fullscreen && FAILED(directDraw->SetDisplayMode(width, height, bitsPerPixel, 0, 0))) return false;
  if (FAILED(directDraw->TestCooperativeLevel())) return false;
  if (!createBuffers()) return false;
  if (FAILED(directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<LPVOID*>(&direct3D))) || direct3D == nullptr)
    return false;
  if (!chooseDevice()) return false;
  if (!createDepthBuffer()) return false;
  if (FAILED(direct3D->CreateDevice(deviceGuid, backSurface, &device)) || device == nullptr) return false;
  transformAndLightingDevice = IsEqualGUID(deviceGuid, IID_IDirect3DTnLHalDevice);
  device->EnumTextureFormats(textureFormatCallback, this);

  setViewport(0.0f, 0.0f, 1.0f, 1.0f);
  active = true;
  setInitialState();

  D3DDEVICEDESC7 caps;
  zero(caps);
  if (SUCCEEDED(device->GetCaps(&caps))) {
    maxTextureStages = caps.wMaxSimultaneousTextures;
    maxLights = caps.dwMaxActiveLights;
    fogCaps = 0;
    if ((caps.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_FOGVERTEX) != 0) fogCaps = 1;
    if ((caps.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_FOGTABLE) != 0) fogCaps |= 7;
  }
  return true;
}

void Direct3DDriver::releaseDevice() {
  active = false;
  if (device != nullptr) {
    device->Release();
    device = nullptr;
  }
  if (direct3D != nullptr) {
    direct3D->Release();
    direct3D = nullptr;
  }
  if (directDraw != nullptr) {
    directDraw->SetCooperativeLevel(window, DDSCL_NORMAL);
    if (primarySurface != nullptr) primarySurface->Release();
    primarySurface = nullptr;
    directDraw->EnumSurfaces(DDENUMSURFACES_ALL | DDENUMSURFACES_DOESEXIST, nullptr, nullptr, releaseSurfaceCallback);
    directDraw->Release();
    if (clipper != nullptr) clipper->Release();
    directDraw = nullptr;
    clipper = nullptr;
    backSurface = nullptr;
    depthSurface = nullptr;
  }
  // Every surface is gone: no wrapper may reach its old surface any more.
  if (frontBuffer != nullptr) frontBuffer->dropSurface();
  if (backBuffer != nullptr) backBuffer->dropSurface();
  if (depthBuffer != nullptr) depthBuffer->dropSurface();
  for (std::uint32_t i = 0; i < textureCount; ++i) static_cast<DirectDrawTexture*>(textures[i])->dropSurface();
  depthBits = 0;
  opaqueTextureBits = 0;
  hasDepthFormat = false;
  if (window != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
    window = nullptr;
  }
}

void Direct3DDriver::saveSurfaces() {
  for (std::uint32_t i = 0; i < textureCount; ++i) textures[i]->saveContents();
  backBuffer->saveContents();
  depthBuffer->saveContents();
}

void Direct3DDriver::restoreSurfaces() {
  for (std::uint32_t i = 0; i < textureCount; ++i) textures[i]->restoreContents();
  backBuffer->restoreContents();
  depthBuffer->restoreContents();
}

void Direct3DDriver::setFullscreen(bool value) {
  if (!active || value == fullscreen) return;
  fullscreen = value;
  saveSurfaces();
  rebuildDevice();
}

namespace {

// The device state read back before a rebuild; each part is written back only when it
// could be read.
struct SavedDeviceState {
  DWORD renderStates[kSavedRenderStates];
  bool renderStateRead[kSavedRenderStates];
  D3DVIEWPORT7 viewport;
  bool viewportRead;
  int stageTexture[kSavedStages];  // registry index, -1 for none
  DWORD stageStates[kSavedStages][kSavedStageStates];
  bool stageStateRead[kSavedStages][kSavedStageStates];
  D3DCLIPSTATUS clipStatus;
  bool clipStatusRead;
  D3DMATRIX transforms[kSavedTransforms];
  bool transformRead[kSavedTransforms];
  D3DVALUE clipPlanes[kSavedClipPlanes][4];
  bool clipPlaneRead[kSavedClipPlanes];
  D3DMATERIAL7 material;
  bool materialRead;
  D3DLIGHT7 lights[kSavedLights];
  BOOL lightEnabled[kSavedLights];
  bool lightRead[kSavedLights];
};

}  // namespace

void Direct3DDriver::rebuildDevice() {
  active = false;
  auto* saved = static_cast<SavedDeviceState*>(std::calloc(1, sizeof(SavedDeviceState)));
  if (saved != nullptr && device != nullptr) {
    for (DWORD i = 0; i < kSavedRenderStates; ++i)
      saved->renderStateRead[i] =
          SUCCEEDED(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(i), &saved->renderStates[i]));
    saved->viewportRead = SUCCEEDED(device->GetViewport(&saved->viewport));
    for (DWORD stage = 0; stage < kSavedStages; ++stage) {
      saved->stageTexture[stage] = -1;
      IDirectDrawSurface7* bound = nullptr;
      if (SUCCEEDED(device->GetTexture(stage, &bound)) && bound != nullptr) {
        for (std::uint32_t t = 0; t < textureCount; ++t)
          if (static_cast<DirectDrawTexture*>(textures[t])->surface == bound) {
            saved->stageTexture[stage] = static_cast<int>(t);
            break;
          }
        bound->Release();
      }
    }
    for (DWORD stage = 0; stage < kSavedStages; ++stage)
      for (DWORD s = 0; s < kSavedStageStates; ++s)
        saved->stageStateRead[stage][s] = SUCCEEDED(device->GetTextureStageState(
            stage, static_cast<D3DTEXTURESTAGESTATETYPE>(s), &saved->stageStates[stage][s]));
    saved->clipStatusRead = SUCCEEDED(device->GetClipStatus(&saved->clipStatus));
    for (DWORD i = 0; i < kSavedTransforms; ++i)
      saved->transformRead[i] =
          SUCCEEDED(device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(i), &saved->transforms[i]));
    for (DWORD i = 0; i < kSavedClipPlanes; ++i)
      saved->clipPlaneRead[i] = SUCCEEDED(device->GetClipPlane(i, saved->clipPlanes[i]));
    saved->materialRead = SUCCEEDED(device->GetMaterial(&saved->material));
    for (DWORD i = 0; i < kSavedLights; ++i)
      saved->lightRead[i] = SUCCEEDED(device->GetLight(i, &saved->lights[i])) &&
                            SUCCEEDED(device->GetLightEnable(i, &saved->lightEnabled[i]));
  } else if (saved != nullptr) {
    for (DWORD stage = 0; stage < kSavedStages; ++stage) saved->stageTexture[stage] = -1;
  }

  releaseDevice();
  if (!initialize()) {
    // Without a device there is nothing to write back to: the driver stays inactive.
    active = false;
    std::free(saved);
    return;
  }
  for (std::uint32_t i = 0; i < textureCount; ++i) {
    Texture* texture = textures[i];
    createTexture(&texture, static_cast<int>(texture->width), static_cast<int>(texture->height), texture->staged,
                  texture->alpha);
  }
  active = true;
  restoreSurfaces();

  if (saved == nullptr) return;
  for (DWORD i = 0; i < kSavedRenderStates; ++i)
    if (saved->renderStateRead[i]) device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(i), saved->renderStates[i]);
  if (saved->viewportRead) device->SetViewport(&saved->viewport);
  for (DWORD stage = 0; stage < kSavedStages; ++stage) {
    const int index = saved->stageTexture[stage];
    if (index >= 0 && static_cast<std::uint32_t>(index) < textureCount)
      device->SetTexture(stage, static_cast<DirectDrawTexture*>(textures[index])->surface);
    else
      device->SetTexture(stage, nullptr);
  }
  for (DWORD stage = 0; stage < kSavedStages; ++stage)
    for (DWORD s = 0; s < kSavedStageStates; ++s)
      if (saved->stageStateRead[stage][s])
        device->SetTextureStageState(stage, static_cast<D3DTEXTURESTAGESTATETYPE>(s), saved->stageStates[stage][s]);
  if (saved->clipStatusRead) device->SetClipStatus(&saved->clipStatus);
  for (DWORD i = 0; i < kSavedTransforms; ++i)
    if (saved->transformRead[i]) device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(i), &saved->transforms[i]);
  for (DWORD i = 0; i < kSavedClipPlanes; ++i)
    if (saved->clipPlaneRead[i]) device->SetClipPlane(i, saved->clipPlanes[i]);
  if (saved->materialRead) device->SetMaterial(&saved->material);
  for (DWORD i = 0; i < kSavedLights; ++i)
    if (saved->lightRead[i]) {
      device->SetLight(i, &saved->lights[i]);
      device->LightEnable(i, saved->lightEnabled[i]);
    }
  std::free(saved);
}

void Direct3DDriver::handleActivation(bool activated) {
  if (!active) return;
  if (!activated) {
    saveSurfaces();
    return;
  }
  if (!fullscreen && primarySurface != nullptr && backSurface != nullptr && SUCCEEDED(primarySurface->IsLost()) &&
      SUCCEEDED(backSurface->IsLost())) {
    restoreSurfaces();
    return;
  }
  const HRESULT result = directDraw->RestoreAllSurfaces();
  if (SUCCEEDED(result))
    restoreSurfaces();
  else if (result == DDERR_WRONGMODE)
    rebuildDevice();
  else
    MessageBoxA(nullptr, errorText(result), "DDraw Error! (RestoreAllSurfaces)", MB_OK);
}

LRESULT CALLBACK Direct3DDriver::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* driver = reinterpret_cast<Direct3DDriver*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (driver == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SETCURSOR:
      if (driver->fullscreen) {
        SetCursor(nullptr);
        return TRUE;
      }
      break;
    case WM_ACTIVATE:
      driver->handleActivation(LOWORD(wParam) != WA_INACTIVE);
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) PostQuitMessage(0);
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_RETURN && driver->active) driver->setFullscreen(!driver->fullscreen);
      break;
    default:
      break;
  }
  // A rebuild destroys the window this message came to.
  if (!IsWindow(hwnd)) return 0;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
