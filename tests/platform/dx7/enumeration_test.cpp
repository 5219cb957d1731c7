// Adapters, display modes, device types and formats as reported headless, with the default and
// with replaced adapter profiles.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/dx7/dx7_platform.h"
#include "support/dx7_test_display.h"

namespace {

struct AdapterSeen {
  bool hasGuid;
  GUID guid;
  std::string description;
};

BOOL collectAdapter(GUID* guid, LPSTR description, LPSTR, LPVOID context, HMONITOR) {
  auto* seen = static_cast<std::vector<AdapterSeen>*>(context);
  seen->push_back({guid != nullptr, guid ? *guid : GUID{}, description});
  return TRUE;
}

HRESULT collectMode(LPDDSURFACEDESC2 mode, LPVOID context) {
  static_cast<std::vector<AdapterDisplayMode>*>(context)->push_back(
      {mode->dwWidth, mode->dwHeight, mode->ddpfPixelFormat.dwRGBBitCount});
  return DDENUMRET_OK;
}

HRESULT stopAfterTwo(LPDDSURFACEDESC2, LPVOID context) {
  int& count = *static_cast<int*>(context);
  return ++count == 2 ? DDENUMRET_CANCEL : DDENUMRET_OK;
}

HRESULT collectFormat(LPDDPIXELFORMAT format, LPVOID context) {
  static_cast<std::vector<DDPIXELFORMAT>*>(context)->push_back(*format);
  return D3DENUMRET_OK;
}

HRESULT collectDevice(LPSTR, LPSTR, LPD3DDEVICEDESC7 desc, LPVOID context) {
  static_cast<std::vector<D3DDEVICEDESC7>*>(context)->push_back(*desc);
  return D3DENUMRET_OK;
}

bool sameFormats(const std::vector<DDPIXELFORMAT>& a, const std::vector<DDPIXELFORMAT>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(DDPIXELFORMAT)) != 0) return false;
  return true;
}

class EnumerationTest : public ::testing::Test {
 protected:
  void SetUp() override { dx7ResetAdapterProfile(); }
  void TearDown() override { dx7ResetAdapterProfile(); }
};

TEST_F(EnumerationTest, HeadlessHasOneAdapterWithTheUsualModesInAStableOrder) {
  std::vector<AdapterSeen> adapters;
  ASSERT_EQ(DirectDrawEnumerateExA(
                collectAdapter, &adapters,
                DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES),
            DD_OK);
  ASSERT_EQ(adapters.size(), 1u);
  EXPECT_FALSE(adapters[0].hasGuid);

  IDirectDraw7* dd = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
  std::vector<AdapterDisplayMode> modes, again;
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &modes, collectMode), DD_OK);
  ASSERT_EQ(dd->EnumDisplayModes(0, nullptr, &again, collectMode), DD_OK);
  ASSERT_GE(modes.size(), 4u);
  EXPECT_EQ(modes.size(), again.size());
  EXPECT_EQ(modes[0].width, 640u);
  EXPECT_EQ(modes[0].bitsPerPixel, 16u);
  EXPECT_EQ(modes[1].width, 640u);
  EXPECT_EQ(modes[1].bitsPerPixel, 32u);
  bool fullHd = false;
  for (size_t i = 0; i < modes.size(); ++i) {
    EXPECT_TRUE(modes[i].bitsPerPixel == 16 || modes[i].bitsPerPixel == 32);
    EXPECT_EQ(modes[i].width, again[i].width);
    if (i > 0) {
      const auto& p = modes[i - 1];
      const auto& m = modes[i];
      EXPECT_TRUE(
          p.width < m.width ||
          (p.width == m.width && (p.height < m.height || (p.height == m.height && p.bitsPerPixel < m.bitsPerPixel))));
    }
    if (modes[i].width == 1920 && modes[i].height == 1080 && modes[i].bitsPerPixel == 32) fullHd = true;
  }
  EXPECT_TRUE(fullHd);
  int count = 0;
  dd->EnumDisplayModes(0, nullptr, &count, stopAfterTwo);
  EXPECT_EQ(count, 2);
  // A template narrows the list.
  DDSURFACEDESC2 only{};
  only.dwSize = sizeof(only);
  only.dwFlags = DDSD_WIDTH | DDSD_HEIGHT;
  only.dwWidth = 800;
  only.dwHeight = 600;
  modes.clear();
  dd->EnumDisplayModes(0, &only, &modes, collectMode);
  EXPECT_EQ(modes.size(), 2u);
  dd->Release();

  void* none = nullptr;
  EXPECT_EQ(DirectDrawCreateEx(nullptr, &none, IID_IDirect3D7, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(EnumerationTest, ProfileAdaptersAreReportedWithTheirGuids) {
  AdapterProfile profile = dx7DefaultAdapterProfile();
  profile.adapters = {{"Desktop", "display", {{640, 480, 16}, {640, 480, 32}}},
                      {"Accelerator", "accel", {{800, 600, 32}, {1024, 768, 16}}}};
  dx7SetAdapterProfile(profile);
  std::vector<AdapterSeen> adapters;
  DirectDrawEnumerateExA(collectAdapter, &adapters, 0);
  ASSERT_EQ(adapters.size(), 2u);
  EXPECT_FALSE(adapters[0].hasGuid);
  ASSERT_TRUE(adapters[1].hasGuid);
  EXPECT_EQ(adapters[1].description, "Accelerator");

  IDirectDraw7* dd = nullptr;
  ASSERT_EQ(DirectDrawCreateEx(&adapters[1].guid, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr), DD_OK);
  std::vector<AdapterDisplayMode> modes;
  dd->EnumDisplayModes(0, nullptr, &modes, collectMode);
  ASSERT_EQ(modes.size(), 2u);
  EXPECT_EQ(modes[1].width, 1024u);
  EXPECT_EQ(modes[1].bitsPerPixel, 16u);
  dd->Release();

  GUID unknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(DirectDrawCreateEx(&unknown, reinterpret_cast<void**>(&dd), IID_IDirectDraw7, nullptr),
            DDERR_INVALIDDIRECTDRAWGUID);
}

TEST_F(EnumerationTest, FormatsAndDevicesFollowTheProfile) {
  Dx7TestDisplay display;
  ASSERT_TRUE(display.open(4, 4));
  std::vector<DDPIXELFORMAT> z, textures;
  ASSERT_EQ(display.direct3D->EnumZBufferFormats(IID_IDirect3DHALDevice, collectFormat, &z), D3D_OK);
  EXPECT_TRUE(sameFormats(z, dx7AdapterProfile().zBufferFormats));
  ASSERT_EQ(display.device->EnumTextureFormats(collectFormat, &textures), D3D_OK);
  ASSERT_EQ(textures.size(), 5u);
  EXPECT_EQ(textures[0].dwRGBBitCount, 16u);
  EXPECT_EQ(textures[4].dwRGBAlphaBitMask, 0xFF000000u);

  AdapterProfile profile = dx7DefaultAdapterProfile();
  profile.zBufferFormats = {dx7ZBufferFormat(24, 0xFFFFFFu), dx7ZBufferFormat(32, 0xFFFFFF00u, 8, 0xFFu),
                            dx7ZBufferFormat(16, 0xFFFFu)};
  profile.textureFormats = {dx7RgbFormat(16, 0xF800u, 0x07E0u, 0x001Fu)};
  profile.textureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
  profile.maxTextureWidth = profile.maxTextureHeight = 256;
  profile.maxSimultaneousTextures = 2;
  profile.maxActiveLights = 4;
  profile.rasterCaps = D3DPRASTERCAPS_FOGVERTEX;
  profile.devices = {
      {IID_IDirect3DRGBDevice, "RGB", "RGB", 0, false},
      {IID_IDirect3DMMXDevice, "MMX", "MMX", 0, true},
      {IID_IDirect3DTnLHalDevice, "TnL", "TnL", D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_HWTRANSFORMANDLIGHT, true}};
  dx7SetAdapterProfile(profile);

  z.clear();
  display.direct3D->EnumZBufferFormats(IID_IDirect3DMMXDevice, collectFormat, &z);
  EXPECT_TRUE(sameFormats(z, profile.zBufferFormats));
  textures.clear();
  display.device->EnumTextureFormats(collectFormat, &textures);
  EXPECT_TRUE(sameFormats(textures, profile.textureFormats));

  std::vector<D3DDEVICEDESC7> devices;
  ASSERT_EQ(display.direct3D->EnumDevices(collectDevice, &devices), D3D_OK);
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_TRUE(IsEqualGUID(devices[0].deviceGUID, IID_IDirect3DRGBDevice));
  EXPECT_TRUE(IsEqualGUID(devices[2].deviceGUID, IID_IDirect3DTnLHalDevice));
  EXPECT_EQ(devices[2].dwDevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT, D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  EXPECT_EQ(devices[1].dpcTriCaps.dwTextureCaps, D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY);
  EXPECT_EQ(devices[1].dwMaxTextureWidth, 256u);
  EXPECT_EQ(devices[1].wMaxSimultaneousTextures, 2);
  EXPECT_EQ(devices[1].dwMaxActiveLights, 4u);
  EXPECT_EQ(devices[1].dpcTriCaps.dwRasterCaps, D3DPRASTERCAPS_FOGVERTEX);

  IDirect3DDevice7* device = nullptr;
  EXPECT_NE(display.direct3D->CreateDevice(IID_IDirect3DRGBDevice, display.back, &device), D3D_OK);
  EXPECT_NE(display.direct3D->CreateDevice(IID_IDirect3DHALDevice, display.back, &device), D3D_OK);
  ASSERT_EQ(display.direct3D->CreateDevice(IID_IDirect3DMMXDevice, display.back, &device), D3D_OK);
  D3DDEVICEDESC7 caps{};
  ASSERT_EQ(device->GetCaps(&caps), D3D_OK);
  EXPECT_TRUE(IsEqualGUID(caps.deviceGUID, IID_IDirect3DMMXDevice));
  // Devices render only into 3D-capable surfaces.
  IDirect3DDevice7* onPicture = nullptr;
  IDirectDrawSurface7* picture = dx7TestSurface(display.directDraw, 4, 4, dx7TestFormat565());
  EXPECT_EQ(display.direct3D->CreateDevice(IID_IDirect3DMMXDevice, picture, &onPicture), DDERR_INVALIDCAPS);
  picture->Release();
  device->Release();
}

TEST_F(EnumerationTest, ProfileCanMakeSurfaceCreationFail) {
  AdapterProfile profile = dx7DefaultAdapterProfile();
  profile.failSurfaceCaps = DDSCAPS_ZBUFFER;
  dx7SetAdapterProfile(profile);
  Dx7TestDisplay display;
  EXPECT_FALSE(display.open(4, 4, 32, 16));
  EXPECT_NE(display.back, nullptr);
  EXPECT_EQ(display.zbuffer, nullptr);
}

}  // namespace
