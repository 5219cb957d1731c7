// The adapter profile (its default follows what GL offers), the adapters and their display modes,
// and the DirectDrawEnumerateExA entry point.
#include "platform/dx7/dx7_adapters.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/dx7/ddraw.h"
#include "platform/win32/win32_sdl.h"

namespace {

AdapterProfile* currentProfile = nullptr;

// Window sizes every adapter offers besides its display's own modes.
constexpr DWORD kUsualSizes[][2] = {{640, 480},  {800, 600},   {1024, 768},  {1152, 864}, {1280, 720},
                                    {1280, 800}, {1280, 960},  {1280, 1024}, {1366, 768}, {1440, 900},
                                    {1600, 900}, {1600, 1200}, {1680, 1050}, {1920, 1080}};

void addMode(std::vector<AdapterDisplayMode>& modes, DWORD w, DWORD h, DWORD bpp) {
  for (const AdapterDisplayMode& m : modes)
    if (m.width == w && m.height == h && m.bitsPerPixel == bpp) return;
  modes.push_back({w, h, bpp});
}

void sortModes(std::vector<AdapterDisplayMode>& modes) {
  std::stable_sort(modes.begin(), modes.end(), [](const AdapterDisplayMode& a, const AdapterDisplayMode& b) {
    if (a.width != b.width) return a.width < b.width;
    if (a.height != b.height) return a.height < b.height;
    return a.bitsPerPixel < b.bitsPerPixel;
  });
}

std::vector<AdapterDisplayMode> usualModes() {
  std::vector<AdapterDisplayMode> modes;
  for (const auto& s : kUsualSizes) {
    addMode(modes, s[0], s[1], 16);
    addMode(modes, s[0], s[1], 32);
  }
  return modes;
}

// GUIDs of the secondary adapters: fixed, numbered.
GUID adapterGuid(int index) {
  GUID g{0x76e11a00u + static_cast<DWORD>(index), 0x7d70, 0x11d2, {0x9a, 0x3c, 0x00, 0x60, 0x08, 0x31, 0x75, 0x07}};
  return g;
}

}  // namespace

DDPIXELFORMAT dx7RgbFormat(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_RGB | (alpha ? DDPF_ALPHAPIXELS : 0);
  f.dwRGBBitCount = bits;
  f.dwRBitMask = red;
  f.dwGBitMask = green;
  f.dwBBitMask = blue;
  f.dwRGBAlphaBitMask = alpha;
  return f;
}

DDPIXELFORMAT dx7ZBufferFormat(DWORD bits, DWORD zMask, DWORD stencilBits, DWORD stencilMask) {
  DDPIXELFORMAT f{};
  f.dwSize = sizeof(DDPIXELFORMAT);
  f.dwFlags = DDPF_ZBUFFER | (stencilBits ? DDPF_STENCILBUFFER : 0);
  f.dwZBufferBitDepth = bits;
  f.dwStencilBitDepth = stencilBits;
  f.dwZBitMask = zMask;
  f.dwStencilBitMask = stencilMask;
  return f;
}

AdapterProfile dx7DefaultAdapterProfile() {
  AdapterProfile p;
  p.displayBitsPerPixel = 32;
  p.zBufferFormats = {dx7ZBufferFormat(16, 0xFFFFu), dx7ZBufferFormat(24, 0xFFFFFFu),
                      dx7ZBufferFormat(32, 0xFFFFFF00u, 8, 0xFFu), dx7ZBufferFormat(32, 0xFFFFFFFFu)};
  p.textureFormats = {dx7RgbFormat(16, 0xF800u, 0x07E0u, 0x001Fu), dx7RgbFormat(16, 0x7C00u, 0x03E0u, 0x001Fu, 0x8000u),
                      dx7RgbFormat(16, 0x0F00u, 0x00F0u, 0x000Fu, 0xF000u), dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu),
                      dx7RgbFormat(32, 0xFF0000u, 0xFF00u, 0xFFu, 0xFF000000u)};
  p.textureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_TRANSPARENCY;
  p.minTextureWidth = 1;
  p.minTextureHeight = 1;
  p.maxTextureWidth = 2048;
  p.maxTextureHeight = 2048;
  p.maxTextureBlendStages = 8;
  p.maxSimultaneousTextures = 8;
  p.maxActiveLights = 8;
  p.rasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SUBPIXEL | D3DPRASTERCAPS_FOGVERTEX |
                 D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_ZBIAS |
                 D3DPRASTERCAPS_FOGRANGE | D3DPRASTERCAPS_WFOG | D3DPRASTERCAPS_ZFOG;
  const DWORD common = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                       D3DDEVCAPS_TEXTURESYSTEMMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                       D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX;
  const DWORD hardware = common | D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_EXECUTEVIDEOMEMORY |
                         D3DDEVCAPS_TLVERTEXVIDEOMEMORY | D3DDEVCAPS_HWRASTERIZATION;
  p.devices = {
      {IID_IDirect3DRGBDevice, "RGB Emulation", "RGB Emulation", common, true},
      {IID_IDirect3DMMXDevice, "MMX Emulation", "MMX Emulation", common, true},
      {IID_IDirect3DHALDevice, "Direct3D HAL", "Direct3D HAL", hardware, true},
      {IID_IDirect3DTnLHalDevice, "Direct3D T&L HAL", "Direct3D T&L HAL", hardware | D3DDEVCAPS_HWTRANSFORMANDLIGHT,
       true},
  };
  return p;
}

const AdapterProfile& dx7AdapterProfile() {
  if (!currentProfile) currentProfile = new AdapterProfile(dx7DefaultAdapterProfile());
  return *currentProfile;
}

void dx7SetAdapterProfile(const AdapterProfile& profile) {
  if (!currentProfile)
    currentProfile = new AdapterProfile(profile);
  else
    *currentProfile = profile;
}

void dx7ResetAdapterProfile() { dx7SetAdapterProfile(dx7DefaultAdapterProfile()); }

bool dx7IsHeadless() { return win32IsHeadless(); }

std::vector<Dx7Adapter> dx7Adapters() {
  std::vector<Dx7Adapter> adapters;
  const AdapterProfile& profile = dx7AdapterProfile();
  if (!profile.adapters.empty()) {
    for (size_t i = 0; i < profile.adapters.size(); ++i) {
      Dx7Adapter a{};
      if (i > 0) a.guid = adapterGuid(static_cast<int>(i));
      a.description = profile.adapters[i].description;
      a.driverName = profile.adapters[i].driverName;
      a.modes = profile.adapters[i].modes;
      a.sdlDisplay = -1;
      a.desktopWidth = kWin32VirtualScreenWidth;
      a.desktopHeight = kWin32VirtualScreenHeight;
      adapters.push_back(std::move(a));
    }
    return adapters;
  }
  int displays = 0;
  if (!win32IsHeadless() && win32EnsureVideo()) displays = SDL_GetNumVideoDisplays();
  if (displays <= 0) {
    Dx7Adapter a{};
    a.description = "Primary Display Driver";
    a.driverName = "display";
    a.modes = usualModes();
    a.sdlDisplay = -1;
    a.desktopWidth = kWin32VirtualScreenWidth;
    a.desktopHeight = kWin32VirtualScreenHeight;
    adapters.push_back(std::move(a));
    return adapters;
  }
  for (int d = 0; d < displays; ++d) {
    Dx7Adapter a{};
    if (d > 0) a.guid = adapterGuid(d);
    const char* name = SDL_GetDisplayName(d);
    if (d == 0)
      a.description = "Primary Display Driver";
    else
      a.description = name ? name : "Display";
    a.driverName = d == 0 ? "display" : "display" + std::to_string(d + 1);
    a.modes = usualModes();
    int count = SDL_GetNumDisplayModes(d);
    for (int m = 0; m < count; ++m) {
      SDL_DisplayMode mode;
      if (SDL_GetDisplayMode(d, m, &mode) != 0 || mode.w <= 0 || mode.h <= 0) continue;
      addMode(a.modes, static_cast<DWORD>(mode.w), static_cast<DWORD>(mode.h), 16);
      addMode(a.modes, static_cast<DWORD>(mode.w), static_cast<DWORD>(mode.h), 32);
    }
    sortModes(a.modes);
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(d, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      a.desktopWidth = static_cast<DWORD>(desktop.w);
      a.desktopHeight = static_cast<DWORD>(desktop.h);
    } else {
      a.desktopWidth = kWin32VirtualScreenWidth;
      a.desktopHeight = kWin32VirtualScreenHeight;
    }
    a.sdlDisplay = d;
    adapters.push_back(std::move(a));
  }
  return adapters;
}

int dx7AdapterIndex(const std::vector<Dx7Adapter>& adapters, const GUID* guid) {
  if (adapters.empty()) return -1;
  if (!guid) return 0;
  for (size_t i = 0; i < adapters.size(); ++i)
    if (IsEqualGUID(adapters[i].guid, *guid)) return static_cast<int>(i);
  return -1;
}

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD) {
  if (!callback) return DDERR_INVALIDPARAMS;
  std::vector<Dx7Adapter> adapters = dx7Adapters();
  for (size_t i = 0; i < adapters.size(); ++i) {
    GUID guid = adapters[i].guid;
    std::vector<char> description(adapters[i].description.begin(), adapters[i].description.end());
    description.push_back('\0');
    std::vector<char> name(adapters[i].driverName.begin(), adapters[i].driverName.end());
    name.push_back('\0');
    if (!callback(i == 0 ? nullptr : &guid, description.data(), name.data(), context, nullptr)) break;
  }
  return DD_OK;
}
