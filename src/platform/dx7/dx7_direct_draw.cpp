// The DirectDraw object of an adapter: cooperative level, display modes, surface creation,
// surface enumeration and restoring; clippers; DirectDrawCreateEx.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/dx7/dx7_frame_timing.h"
#include "platform/dx7/dx7_objects.h"
#include "platform/dx7/ffp/gl_context.h"
#include "platform/win32/win32_sdl.h"

namespace {

// Every live DirectDraw object, for simulated surface loss.
std::vector<Dx7DirectDraw*>& liveObjects() {
  static auto* objects = new std::vector<Dx7DirectDraw*>();
  return *objects;
}

// The DirectDraw object holding exclusive mode, if any.
Dx7DirectDraw* exclusiveOwner = nullptr;

std::uint64_t versionCounter = 0;

bool validSize(const DDSURFACEDESC2& d) {
  return (d.dwFlags & DDSD_WIDTH) && (d.dwFlags & DDSD_HEIGHT) && d.dwWidth > 0 && d.dwHeight > 0 &&
         d.dwWidth <= 16384 && d.dwHeight <= 16384;
}

}  // namespace

std::uint64_t dx7NextVersion() { return ++versionCounter; }

// ---------------------------------------------------------------------------------------------
// Clipper
// ---------------------------------------------------------------------------------------------

HRESULT Dx7Clipper::SetHWnd(DWORD, HWND window) {
  window_ = window;
  return DD_OK;
}

HRESULT Dx7Clipper::GetHWnd(HWND* window) {
  if (!window) return DDERR_INVALIDPARAMS;
  *window = window_;
  return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// DirectDraw object
// ---------------------------------------------------------------------------------------------

Dx7DirectDraw::Dx7DirectDraw(const Dx7Adapter& adapter) : adapter_(adapter) { liveObjects().push_back(this); }

Dx7DirectDraw::~Dx7DirectDraw() {
  auto& live = liveObjects();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (exclusiveOwner == this) {
    leaveFullscreen();
    exclusiveOwner = nullptr;
  }
  // Surfaces still referenced by the application stay valid objects but lose their contents.
  GlContext::instance().makeCurrent();
  std::vector<Dx7Surface*> surfaces = surfaces_;
  surfaces_.clear();
  for (Dx7Surface* s : surfaces) s->orphan();
  for (Dx7Surface* s : surfaces) s->deleteIfUnreferenced();
}

HRESULT Dx7DirectDraw::queryOtherInterface(REFIID riid, LPVOID* object) {
  if (!IsEqualGUID(riid, IID_IDirect3D7)) return E_NOINTERFACE;
  if (direct3D_) {
    direct3D_->AddRef();
  } else {
    direct3D_ = new Dx7Direct3D(this);
  }
  *object = static_cast<IDirect3D7*>(direct3D_);
  return DD_OK;
}

void Dx7DirectDraw::registerSurface(Dx7Surface* surface) { surfaces_.push_back(surface); }

void Dx7DirectDraw::unregisterSurface(Dx7Surface* surface) {
  surfaces_.erase(std::remove(surfaces_.begin(), surfaces_.end(), surface), surfaces_.end());
  if (primary_ == surface) primary_ = nullptr;
}

DWORD Dx7DirectDraw::displayWidth() const { return modeSet_ ? mode_.width : adapter_.desktopWidth; }
DWORD Dx7DirectDraw::displayHeight() const { return modeSet_ ? mode_.height : adapter_.desktopHeight; }
DWORD Dx7DirectDraw::displayBitsPerPixel() const {
  return modeSet_ ? mode_.bitsPerPixel : dx7AdapterProfile().displayBitsPerPixel;
}

DDPIXELFORMAT Dx7DirectDraw::displayFormat() const {
  switch (displayBitsPerPixel()) {
    case 15:
      return dx7RgbFormat(16, 0x7C00u, 0x03E0u, 0x001Fu);
    case 16:
      return dx7RgbFormat(16, 0xF800u, 0x07E0u, 0x001Fu);
    case 24:
      return dx7RgbFormat(24, 0xFF0000u, 0xFF00u, 0xFFu);
    default:
      return dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu);
  }
}

int Dx7DirectDraw::takeSwapInterval() {
  int interval = vsyncRequested_ ? 1 : 0;
  vsyncRequested_ = false;
  return interval;
}

void Dx7DirectDraw::simulateLoss(bool displayModeChanged) {
  if (displayModeChanged) ++modeSerial_;
  for (Dx7Surface* s : surfaces_) s->loseContents();
}

HRESULT Dx7DirectDraw::CreateClipper(DWORD, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) {
  if (!clipper || outer) return DDERR_INVALIDPARAMS;
  *clipper = new Dx7Clipper();
  return DD_OK;
}

HRESULT Dx7DirectDraw::SetCooperativeLevel(HWND window, DWORD flags) {
  bool fullscreen = (flags & DDSCL_FULLSCREEN) != 0;
  bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
  if (fullscreen != exclusive) return DDERR_INVALIDPARAMS;
  if (!fullscreen && !(flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
  if (fullscreen && (flags & DDSCL_NORMAL)) return DDERR_INVALIDPARAMS;
  if (exclusive && !window) return DDERR_INVALIDPARAMS;
  if (exclusive && exclusiveOwner && exclusiveOwner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
  if (!fullscreen && (coopFlags_ & DDSCL_FULLSCREEN)) leaveFullscreen();
  if (exclusive)
    exclusiveOwner = this;
  else if (exclusiveOwner == this)
    exclusiveOwner = nullptr;
  window_ = window;
  coopFlags_ = flags;
  if (!fullscreen && window && !win32IsHeadless()) {
    // A window on the desktop may be resized by hand: presenting scales the picture to the
    // window with its shape kept, between black bars.
    if (SDL_Window* w = win32SdlWindow(window)) SDL_SetWindowResizable(w, SDL_TRUE);
  }
  return DD_OK;
}

void Dx7DirectDraw::leaveFullscreen() {
  SDL_Window* w = (window_ && !win32IsHeadless()) ? win32SdlWindow(window_) : nullptr;
  if (w) SDL_SetWindowFullscreen(w, 0);
  modeSet_ = false;
}

HRESULT Dx7DirectDraw::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD, DWORD) {
  if (coopFlags_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
  bool known = false;
  for (const AdapterDisplayMode& m : adapter_.modes)
    if (m.width == width && m.height == height && m.bitsPerPixel == bitsPerPixel) known = true;
  if (!known) return DDERR_INVALIDMODE;
  bool changed = !modeSet_ || mode_.width != width || mode_.height != height || mode_.bitsPerPixel != bitsPerPixel;
  mode_ = {width, height, bitsPerPixel};
  modeSet_ = true;
  if (changed) {
    // Surfaces made for the old mode are lost, as on the platform.
    ++modeSerial_;
    for (Dx7Surface* s : surfaces_) s->loseContents();
  }
  SDL_Window* w = (window_ && fullscreen() && !win32IsHeadless()) ? win32SdlWindow(window_) : nullptr;
  if (w) {
    SDL_DisplayMode wanted{};
    wanted.w = static_cast<int>(width);
    wanted.h = static_cast<int>(height);
    SDL_DisplayMode closest{};
    int display = SDL_GetWindowDisplayIndex(w);
    if (display >= 0 && SDL_GetClosestDisplayMode(display, &wanted, &closest)) SDL_SetWindowDisplayMode(w, &closest);
    if (adapter_.sdlDisplay >= 0 && adapter_.sdlDisplay != display) {
      // Full screen on the adapter's own display.
      SDL_SetWindowPosition(w, static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter_.sdlDisplay)),
                            static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(adapter_.sdlDisplay)));
      display = adapter_.sdlDisplay;
      if (SDL_GetClosestDisplayMode(display, &wanted, &closest)) SDL_SetWindowDisplayMode(w, &closest);
    }
    SDL_SetWindowSize(w, static_cast<int>(width), static_cast<int>(height));
    SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN);
  }
  return DD_OK;
}

HRESULT Dx7DirectDraw::RestoreDisplayMode() {
  leaveFullscreen();
  return DD_OK;
}

HRESULT Dx7DirectDraw::GetDisplayMode(LPDDSURFACEDESC2 desc) {
  if (!desc || desc->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  std::memset(desc, 0, sizeof(*desc));
  desc->dwSize = sizeof(DDSURFACEDESC2);
  desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
  desc->dwWidth = displayWidth();
  desc->dwHeight = displayHeight();
  desc->ddpfPixelFormat = displayFormat();
  desc->lPitch = static_cast<LONG>(desc->dwWidth * (desc->ddpfPixelFormat.dwRGBBitCount / 8));
  desc->dwRefreshRate = 60;
  return DD_OK;
}

HRESULT Dx7DirectDraw::EnumDisplayModes(DWORD, LPDDSURFACEDESC2 templateDesc, LPVOID context,
                                        LPDDENUMMODESCALLBACK2 callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<AdapterDisplayMode> modes = adapter_.modes;
  for (const AdapterDisplayMode& m : modes) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(DDSURFACEDESC2);
    d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d.dwWidth = m.width;
    d.dwHeight = m.height;
    d.dwRefreshRate = 0;
    switch (m.bitsPerPixel) {
      case 15:
        d.ddpfPixelFormat = dx7RgbFormat(16, 0x7C00u, 0x03E0u, 0x001Fu);
        d.ddpfPixelFormat.dwRGBBitCount = 15;
        break;
      case 16:
        d.ddpfPixelFormat = dx7RgbFormat(16, 0xF800u, 0x07E0u, 0x001Fu);
        break;
      case 24:
        d.ddpfPixelFormat = dx7RgbFormat(24, 0xFF0000u, 0xFF00u, 0xFFu);
        break;
      case 32:
        d.ddpfPixelFormat = dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu);
        break;
      default:
        d.ddpfPixelFormat = dx7RgbFormat(m.bitsPerPixel, 0, 0, 0);
        break;
    }
    d.lPitch = static_cast<LONG>(m.width * ((m.bitsPerPixel + 7) / 8));
    if (templateDesc) {
      if ((templateDesc->dwFlags & DDSD_WIDTH) && templateDesc->dwWidth != m.width) continue;
      if ((templateDesc->dwFlags & DDSD_HEIGHT) && templateDesc->dwHeight != m.height) continue;
      if ((templateDesc->dwFlags & DDSD_PIXELFORMAT) &&
          templateDesc->ddpfPixelFormat.dwRGBBitCount != d.ddpfPixelFormat.dwRGBBitCount)
        continue;
    }
    if (callback(&d, context) == DDENUMRET_CANCEL) break;
  }
  return DD_OK;
}

HRESULT Dx7DirectDraw::EnumSurfaces(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                                    LPDDENUMSURFACESCALLBACK7 callback) {
  if (!callback) return DDERR_INVALIDPARAMS;
  if (!(flags & DDENUMSURFACES_DOESEXIST)) return DDERR_UNSUPPORTED;
  bool matchAll = (flags & DDENUMSURFACES_ALL) != 0;
  if (!matchAll && !desc) return DDERR_INVALIDPARAMS;
  std::vector<Dx7Surface*> chosen;
  for (Dx7Surface* s : surfaces_) {
    if (!matchAll) {
      bool match = true;
      if ((desc->dwFlags & DDSD_CAPS) && (s->caps() & desc->ddsCaps.dwCaps) != desc->ddsCaps.dwCaps) match = false;
      if ((desc->dwFlags & DDSD_WIDTH) && s->width() != desc->dwWidth) match = false;
      if ((desc->dwFlags & DDSD_HEIGHT) && s->height() != desc->dwHeight) match = false;
      if (flags & DDENUMSURFACES_NOMATCH) match = !match;
      if (!match) continue;
    }
    chosen.push_back(s);
  }
  // Each surface handed out carries a reference the callback releases; taking them all first
  // keeps every one alive while earlier callbacks release theirs.
  for (Dx7Surface* s : chosen) s->AddRef();
  size_t i = 0;
  for (; i < chosen.size(); ++i) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    chosen[i]->GetSurfaceDesc(&d);
    if (callback(chosen[i], &d, context) == DDENUMRET_CANCEL) {
      ++i;
      break;
    }
  }
  for (; i < chosen.size(); ++i) chosen[i]->Release();
  return DD_OK;
}

HRESULT Dx7DirectDraw::GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) {
  if (!driverCaps && !emulationCaps) return DDERR_INVALIDPARAMS;
  for (LPDDCAPS caps : {driverCaps, emulationCaps}) {
    if (!caps) continue;
    if (caps->dwSize != sizeof(DDCAPS)) return DDERR_INVALIDPARAMS;
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(DDCAPS);
    caps->dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_COLORKEY | DDCAPS_ZBLTS;
    caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT | DDCKEYCAPS_DESTBLT;
    caps->dwZBufferBitDepths = 0x400 | 0x200 | 0x100;  // DDBD_16, DDBD_24, DDBD_32
    caps->dwVidMemTotal = 256u << 20;
    caps->dwVidMemFree = 256u << 20;
    caps->ddsCaps.dwCaps = DDSCAPS_3DDEVICE | DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP |
                           DDSCAPS_FRONTBUFFER | DDSCAPS_MIPMAP | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE |
                           DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_ZBUFFER;
  }
  return DD_OK;
}

HRESULT Dx7DirectDraw::GetAvailableVidMem(LPDDSCAPS2, LPDWORD total, LPDWORD free) {
  if (total) *total = 256u << 20;
  if (free) *free = 256u << 20;
  return DD_OK;
}

HRESULT Dx7DirectDraw::WaitForVerticalBlank(DWORD flags, HANDLE) {
  if (flags & (DDWAITVB_BLOCKBEGIN | DDWAITVB_BLOCKEND)) vsyncRequested_ = true;
  return DD_OK;
}

HRESULT Dx7DirectDraw::TestCooperativeLevel() {
  if (primary_ && primary_->modeSerial() != modeSerial_) return DDERR_WRONGMODE;
  return DD_OK;
}

HRESULT Dx7DirectDraw::RestoreAllSurfaces() {
  for (Dx7Surface* s : surfaces_)
    if (s->modeSerial() != modeSerial_ && s->kind() == Dx7Surface::Kind::Primary) return DDERR_WRONGMODE;
  std::vector<Dx7Surface*> surfaces = surfaces_;
  for (Dx7Surface* s : surfaces) {
    s->setModeSerial(modeSerial_);
    if (s->lost()) s->Restore();
  }
  return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Surface creation
// ---------------------------------------------------------------------------------------------

HRESULT Dx7DirectDraw::CreateSurface(LPDDSURFACEDESC2 descIn, LPDIRECTDRAWSURFACE7* out, IUnknown* outer) {
  if (!descIn || !out || outer || descIn->dwSize != sizeof(DDSURFACEDESC2)) return DDERR_INVALIDPARAMS;
  *out = nullptr;
  if (coopFlags_ == 0) return DDERR_NOCOOPERATIVELEVELSET;
  if (!(descIn->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
  DDSURFACEDESC2 desc = *descIn;
  DWORD caps = desc.ddsCaps.dwCaps;
  if (caps & dx7AdapterProfile().failSurfaceCaps) return DDERR_OUTOFVIDEOMEMORY;
  if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY))) desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
  if (desc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY) desc.ddsCaps.dwCaps |= DDSCAPS_LOCALVIDMEM;
  if ((desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) && (desc.ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY))
    return DDERR_INVALIDCAPS;

  Dx7Surface* surface = nullptr;
  HRESULT hr;
  if (caps & DDSCAPS_PRIMARYSURFACE) {
    hr = createPrimary(desc, &surface);
  } else if (caps & DDSCAPS_ZBUFFER) {
    hr = createZBuffer(desc, &surface);
  } else {
    if (!validSize(desc)) return DDERR_INVALIDPARAMS;
    DDPIXELFORMAT format = (desc.dwFlags & DDSD_PIXELFORMAT) ? desc.ddpfPixelFormat : displayFormat();
    Dx7PixelLayout layout = Dx7PixelLayout::from(format);
    if (!layout.valid() || layout.zbuffer) return DDERR_INVALIDPIXELFORMAT;
    desc.ddpfPixelFormat = format;
    desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
    desc.dwFlags |= DDSD_PIXELFORMAT;
    if ((caps & DDSCAPS_TEXTURE) && (caps & DDSCAPS_3DDEVICE) && !(caps & DDSCAPS_MIPMAP)) {
      // A texture that is also a render target: held in GL like a back buffer, sampled from there.
      surface = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::RenderTarget);
      hr = DD_OK;
    } else if (caps & DDSCAPS_TEXTURE) {
      hr = createTexture(desc, layout, &surface);
    } else if (caps & DDSCAPS_3DDEVICE) {
      surface = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::RenderTarget);
      hr = DD_OK;
    } else {
      desc.ddsCaps.dwCaps |= DDSCAPS_OFFSCREENPLAIN;
      surface = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::Plain);
      hr = DD_OK;
    }
  }
  if (FAILED(hr)) return hr;
  GlContext::instance().makeCurrent();
  for (Dx7Surface* part : surface->allParts()) {
    if (!part->createGlObjects()) {
      surface->Release();
      return DDERR_OUTOFVIDEOMEMORY;
    }
  }
  *out = surface;
  return DD_OK;
}

HRESULT Dx7DirectDraw::createPrimary(const DDSURFACEDESC2& descIn, Dx7Surface** out) {
  if (primary_) return DDERR_PRIMARYSURFACEALREADYEXISTS;
  DDSURFACEDESC2 desc = descIn;
  DWORD caps = desc.ddsCaps.dwCaps;
  bool flipping = (caps & DDSCAPS_FLIP) != 0;
  DWORD backCount = (desc.dwFlags & DDSD_BACKBUFFERCOUNT) ? desc.dwBackBufferCount : 0;
  if (flipping) {
    if (!(coopFlags_ & DDSCL_EXCLUSIVE)) return DDERR_NOEXCLUSIVEMODE;
    if (!(caps & DDSCAPS_COMPLEX) || backCount == 0) return DDERR_INVALIDCAPS;
    if (backCount > 3) return DDERR_INVALIDPARAMS;
  } else if (backCount != 0) {
    return DDERR_INVALIDCAPS;
  }
  if (desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) return DDERR_INVALIDPARAMS;
  desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
  desc.dwWidth = displayWidth();
  desc.dwHeight = displayHeight();
  desc.ddpfPixelFormat = displayFormat();
  Dx7PixelLayout layout = Dx7PixelLayout::from(desc.ddpfPixelFormat);
  desc.ddsCaps.dwCaps |= DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE;
  desc.ddsCaps.dwCaps &= ~DDSCAPS_3DDEVICE;
  auto* primary = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::Primary);
  if (flipping) {
    Dx7Surface* previous = primary;
    for (DWORD i = 0; i < backCount; ++i) {
      DDSURFACEDESC2 back = desc;
      back.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
      back.dwBackBufferCount = 0;
      back.ddsCaps.dwCaps =
          (descIn.ddsCaps.dwCaps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE)) |
          DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
      if (i == 0) back.ddsCaps.dwCaps |= DDSCAPS_BACKBUFFER;
      back.ddsCaps.dwCaps |= DDSCAPS_3DDEVICE;
      auto* buffer = new Dx7Surface(this, back, layout, Dx7Surface::Kind::RenderTarget);
      previous->addImplicitChild(buffer);
      previous = buffer;
    }
  }
  primary_ = primary;
  *out = primary;
  return DD_OK;
}

HRESULT Dx7DirectDraw::createZBuffer(const DDSURFACEDESC2& descIn, Dx7Surface** out) {
  DDSURFACEDESC2 desc = descIn;
  if (!validSize(desc)) return DDERR_INVALIDPARAMS;
  DDPIXELFORMAT format{};
  if (desc.dwFlags & DDSD_PIXELFORMAT) {
    format = desc.ddpfPixelFormat;
  } else if (desc.dwFlags & DDSD_ZBUFFERBITDEPTH) {
    DWORD bits = desc.dwMipMapCount;  // dwZBufferBitDepth shares this slot
    format = dx7ZBufferFormat(bits, bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u));
  } else {
    return DDERR_INVALIDPIXELFORMAT;
  }
  Dx7PixelLayout layout = Dx7PixelLayout::from(format);
  if (!layout.valid() || !layout.zbuffer) return DDERR_INVALIDPIXELFORMAT;
  desc.ddpfPixelFormat = format;
  desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
  desc.dwFlags |= DDSD_PIXELFORMAT;
  *out = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::ZBuffer);
  return DD_OK;
}

HRESULT Dx7DirectDraw::createTexture(const DDSURFACEDESC2& descIn, const Dx7PixelLayout& layout, Dx7Surface** out) {
  DDSURFACEDESC2 desc = descIn;
  DWORD levels = 1;
  if (desc.ddsCaps.dwCaps & DDSCAPS_MIPMAP) {
    DWORD full = 1;
    for (DWORD w = desc.dwWidth, h = desc.dwHeight; w > 1 || h > 1; w = std::max(1u, w / 2), h = std::max(1u, h / 2))
      ++full;
    levels = (desc.dwFlags & DDSD_MIPMAPCOUNT) ? desc.dwMipMapCount : full;
    if (levels == 0) levels = 1;  // a count of zero asks for the top level only
    if (levels > full) return DDERR_INVALIDPARAMS;
    if (levels > 1 && !(desc.ddsCaps.dwCaps & DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
    desc.dwFlags |= DDSD_MIPMAPCOUNT;
    desc.dwMipMapCount = levels;
  }
  auto* top = new Dx7Surface(this, desc, layout, Dx7Surface::Kind::Texture);
  top->setMipTop(top, 0);
  Dx7Surface* previous = top;
  DWORD w = desc.dwWidth, h = desc.dwHeight;
  for (DWORD level = 1; level < levels; ++level) {
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
    DDSURFACEDESC2 d = desc;
    d.dwWidth = w;
    d.dwHeight = h;
    d.dwMipMapCount = levels - level;
    d.ddsCaps.dwCaps2 |= DDSCAPS2_MIPMAPSUBLEVEL;
    auto* surface = new Dx7Surface(this, d, layout, Dx7Surface::Kind::Texture);
    surface->setMipTop(top, static_cast<int>(level));
    previous->addImplicitChild(surface);
    previous = surface;
  }
  *out = top;
  return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// Entry point and platform extras
// ---------------------------------------------------------------------------------------------

HRESULT DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (outer) return DDERR_INVALIDPARAMS;
  if (!IsEqualGUID(iid, IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
  std::vector<Dx7Adapter> adapters = dx7Adapters();
  int index = dx7AdapterIndex(adapters, guid);
  if (index < 0) return DDERR_INVALIDDIRECTDRAWGUID;
  *directDraw = static_cast<IDirectDraw7*>(new Dx7DirectDraw(adapters[static_cast<size_t>(index)]));
  return DD_OK;
}

void dx7SimulateSurfaceLoss(bool displayModeChanged) {
  for (Dx7DirectDraw* d : liveObjects()) d->simulateLoss(displayModeChanged);
}

bool dx7ReadPresentedFrame(std::vector<std::uint32_t>& pixels, int* width, int* height) {
  bool ok = false;
  {
    dx7timing::Scope timing(dx7timing::Kind::Wait);
    ok = GlContext::instance().readPresentedFrame(pixels, width, height);
  }
  dx7timing::endFrame();
  return ok;
}

int dx7FrameReadRing() { return GlContext::kFrameReadRing; }
// Each frame read back through the ring ends a frame for the timing records, as a direct read
// does; collecting an earlier frame's pixels counts as waiting.
bool dx7BeginFrameRead() {
  bool ok = false;
  {
    dx7timing::Scope timing(dx7timing::Kind::Wait);
    ok = GlContext::instance().beginFrameRead();
  }
  dx7timing::endFrame();
  return ok;
}
bool dx7TakeFrameRead(std::vector<std::uint32_t>& pixels, int* width, int* height) {
  dx7timing::Scope timing(dx7timing::Kind::Wait);
  return GlContext::instance().takeFrameRead(pixels, width, height);
}
int dx7PendingFrameReads() { return GlContext::instance().pendingFrameReads(); }
void dx7ResetFrameReads() { GlContext::instance().resetFrameReads(); }

std::uint64_t dx7PresentedFrameCount() { return GlContext::instance().presentedFrameCount(); }
