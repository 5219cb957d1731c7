// Driver set-up on the headless platform: render window, device and z-buffer choice, initial
// device state, failure exits, the window procedure, surface loss and the device rebuild.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "support/d3d7_fixture.h"

using d3d7_test::backPixel;
using d3d7_test::MessageBoxCapture;
using d3d7_test::ProfileScope;
using d3d7_test::smallProfile;

TEST(D3d7DeviceSetup, OpensTheRenderWindowCentredWithCaptionAndUserData) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  ASSERT_NE(driver->window, nullptr);
  char caption[64] = {};
  GetWindowTextA(driver->window, caption, sizeof caption);
  EXPECT_STREQ(caption, "Test window");
  EXPECT_EQ(GetWindowLongPtrA(driver->window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(driver.get()));
  RECT client;
  GetClientRect(driver->window, &client);
  EXPECT_EQ(client.right - client.left, 64);
  EXPECT_EQ(client.bottom - client.top, 48);
  RECT outer;
  GetWindowRect(driver->window, &outer);
  const int outerWidth = outer.right - outer.left;
  const int outerHeight = outer.bottom - outer.top;
  EXPECT_EQ(outer.left, GetSystemMetrics(SM_CXSCREEN) / 2 - outerWidth / 2);
  EXPECT_EQ(outer.top, GetSystemMetrics(SM_CYSCREEN) / 2 - outerHeight / 2);
  EXPECT_TRUE(IsWindowVisible(driver->window));
}

TEST(D3d7DeviceSetup, ChoosesTheHardwareDeviceDepthAndTextureFormatsAndReadsCaps) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  EXPECT_TRUE(driver->active);
  EXPECT_TRUE(driver->hardwareDevice);
  EXPECT_TRUE(IsEqualGUID(driver->deviceGuid, IID_IDirect3DHALDevice));
  EXPECT_FALSE(driver->transformAndLightingDevice);
  EXPECT_TRUE(driver->hasDepthFormat);
  EXPECT_EQ(driver->depthBits, 32);
  EXPECT_EQ(driver->depthFormat.dwFlags, DDPF_ZBUFFER);
  ASSERT_NE(driver->depthSurface, nullptr);
  EXPECT_EQ(driver->depthBuffer->format.bitsPerPixel, 32);
  EXPECT_EQ(driver->depthBuffer->format.greenMask, 0xffffffffu);
  EXPECT_EQ(driver->opaqueTextureBits, 32);
  EXPECT_EQ(driver->alphaTextureAlphaBits, 8);
  EXPECT_EQ(driver->maxTextureStages, 8);
  EXPECT_EQ(driver->maxLights, 8u);
  EXPECT_EQ(driver->fogCaps, 7);
  EXPECT_EQ(driver->backBuffer->format.bitsPerPixel, 32);
  EXPECT_EQ(driver->backBuffer->format.redMask, 0xff0000u);
  EXPECT_EQ(driver->backBuffer->width, 64u);
  ASSERT_NE(driver->clipper, nullptr);
}

TEST(D3d7DeviceSetup, InitialDeviceStateIsSet) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  IDirect3DDevice7* device = driver->device;
  D3DMATRIX m;
  device->GetTransform(D3DTRANSFORMSTATE_VIEW, &m);
  EXPECT_FLOAT_EQ(m._43, 1.0f);
  EXPECT_FLOAT_EQ(m._11, 1.0f);
  device->GetTransform(D3DTRANSFORMSTATE_PROJECTION, &m);
  EXPECT_NEAR(m._11, 2.4142136f, 1e-5);
  EXPECT_NEAR(m._22, 3.2708526f, 1e-5);
  EXPECT_FLOAT_EQ(m._33, 1.0001f);
  EXPECT_FLOAT_EQ(m._34, 1.0f);
  EXPECT_FLOAT_EQ(m._43, -0.010001f);
  EXPECT_FLOAT_EQ(m._44, 0.0f);
  DWORD value = 0;
  for (DWORD stage = 0; stage < 8; ++stage) {
    device->GetTextureStageState(stage, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, stage == 0 ? static_cast<DWORD>(D3DTOP_MODULATE) : static_cast<DWORD>(D3DTOP_DISABLE));
    device->GetTextureStageState(stage, D3DTSS_MIPFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTFP_LINEAR));
    device->GetTextureStageState(stage, D3DTSS_COLORARG2, &value);
    EXPECT_EQ(value, D3DTA_DIFFUSE);
  }
  device->GetRenderState(D3DRENDERSTATE_DITHERENABLE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(TRUE));
  device->GetRenderState(D3DRENDERSTATE_LIGHTING, &value);
  EXPECT_EQ(value, static_cast<DWORD>(FALSE));
  device->GetRenderState(D3DRENDERSTATE_AMBIENT, &value);
  EXPECT_EQ(value, 0x20202020u);
  D3DMATERIAL7 material;
  device->GetMaterial(&material);
  EXPECT_FLOAT_EQ(material.ambient.r, 1.0f);
  EXPECT_FLOAT_EQ(material.ambient.a, 0.0f);
  EXPECT_FLOAT_EQ(material.diffuse.r, 0.0f);
  D3DVIEWPORT7 viewport;
  device->GetViewport(&viewport);
  EXPECT_EQ(viewport.dwWidth, 64u);
  EXPECT_EQ(viewport.dwHeight, 48u);
}

TEST(D3d7DeviceSetup, SecondInitializeIsRefused) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  HWND first = driver->window;
  EXPECT_FALSE(driver->initialize());
  EXPECT_EQ(driver->window, first);
  EXPECT_TRUE(driver->active);
}

TEST(D3d7DeviceSetup, WithoutHardwareRasterisationTheSoftwareDevicesAreProbed) {
  AdapterProfile softwareOnly = smallProfile();
  for (AdapterDevice& device : softwareOnly.devices)
    if (IsEqualGUID(device.guid, IID_IDirect3DHALDevice)) device.devCaps &= ~D3DDEVCAPS_HWRASTERIZATION;
  {
    ProfileScope profile(softwareOnly);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_FALSE(driver->hardwareDevice);
    EXPECT_TRUE(IsEqualGUID(driver->deviceGuid, IID_IDirect3DRGBDevice));
  }
  for (AdapterDevice& device : softwareOnly.devices)
    if (IsEqualGUID(device.guid, IID_IDirect3DRGBDevice)) device.creatable = false;
  {
    ProfileScope profile(softwareOnly);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(IsEqualGUID(driver->deviceGuid, IID_IDirect3DMMXDevice));
  }
  for (AdapterDevice& device : softwareOnly.devices)
    if (IsEqualGUID(device.guid, IID_IDirect3DMMXDevice)) device.creatable = false;
  {
    ProfileScope profile(softwareOnly);
    auto driver = d3d7_test::makeDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_FALSE(driver->initialize());
    EXPECT_FALSE(driver->active);
  }
}

TEST(D3d7DeviceSetup, ZBufferFailureShowsItsMessageAndNoFormatMeansNoZBuffer) {
  AdapterProfile failing = smallProfile();
  failing.failSurfaceCaps = DDSCAPS_ZBUFFER;
  {
    ProfileScope profile(failing);
    MessageBoxCapture boxes;
    auto driver = d3d7_test::makeDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_FALSE(driver->initialize());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Couldn\xc2\xb4t create Zbuffert. Please try to choose a lower resolution.");
    EXPECT_EQ(boxes.boxes[0].caption, "ERROR!");
  }
  AdapterProfile stencilOnly = smallProfile();
  stencilOnly.zBufferFormats = {dx7ZBufferFormat(32, 0xffffff00, 8, 0xff)};
  {
    ProfileScope profile(stencilOnly);
    auto driver = d3d7_test::openDriver();
    ASSERT_NE(driver, nullptr);
    EXPECT_FALSE(driver->hasDepthFormat);
    EXPECT_EQ(driver->depthSurface, nullptr);
    EXPECT_EQ(driver->depthBits, 0);
  }
}

TEST(D3d7DeviceSetup, ClearAndPresentShowTheColourInTheWindow) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->clear(0x00ff8000u, 1.0f, 0, nullptr, true);
  EXPECT_EQ(backPixel(*driver, 10, 10), 0xff8000u);
  const std::uint64_t before = dx7PresentedFrameCount();
  driver->present(false);
  EXPECT_EQ(dx7PresentedFrameCount(), before + 1);
  std::vector<std::uint32_t> frame;
  int w = 0;
  int h = 0;
  ASSERT_TRUE(dx7ReadPresentedFrame(frame, &w, &h));
  ASSERT_EQ(w, 64);
  ASSERT_EQ(h, 48);
  EXPECT_EQ(frame[20 * 64 + 30] & 0xffffffu, 0xff8000u);

  // Inactive, clear and present do nothing.
  driver->active = false;
  driver->clear(0x000000ffu, 1.0f, 0, nullptr, true);
  driver->present(false);
  driver->active = true;
  EXPECT_EQ(dx7PresentedFrameCount(), before + 1);
  EXPECT_EQ(backPixel(*driver, 10, 10), 0xff8000u);
}

TEST(D3d7RenderWindow, EscapePostsQuitAndAltEnterNeedsAnActiveDriver) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  win32ClearMessageQueue();
  SendMessageA(driver->window, WM_KEYDOWN, VK_ESCAPE, 0);
  MSG message;
  bool quit = false;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    if (message.message == WM_QUIT) quit = true;
  EXPECT_TRUE(quit);

  HWND window = driver->window;
  driver->active = false;
  SendMessageA(window, WM_SYSKEYDOWN, VK_RETURN, 0);
  EXPECT_FALSE(driver->fullscreen);
  EXPECT_EQ(driver->window, window);
  driver->active = true;
}

TEST(D3d7RenderWindow, AltEnterSwitchesToFullScreenKeepingStateAndContents) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  Texture* picture = nullptr;
  std::vector<std::uint8_t> rgb(8 * 8 * 3);
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = 0x30;
    rgb[i + 1] = 0x60;
    rgb[i + 2] = 0x90;
  }
  ASSERT_TRUE(driver->createTextureFromPixels(&picture, "plain", 8, 8, rgb.data(), nullptr, false));
  // Stage textures must be texture surfaces (a plain picture would leave the stage empty).
  Texture* stageTexture = nullptr;
  ASSERT_TRUE(driver->createTextureFromPixels(&stageTexture, "mipmapped", 8, 8, rgb.data(), nullptr, true));
  driver->device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00123456u);
  driver->device->SetTexture(1, static_cast<DirectDrawTexture*>(stageTexture)->surface);
  driver->clear(0x00204080u, 1.0f, 0, nullptr, true);

  HWND oldWindow = driver->window;
  SendMessageA(oldWindow, WM_SYSKEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(driver->active);
  EXPECT_TRUE(driver->fullscreen);
  EXPECT_NE(driver->window, nullptr);
  (void)oldWindow;
  EXPECT_EQ(GetWindowLongPtrA(driver->window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(driver.get()));
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(driver->window, GWL_STYLE)) & (WS_POPUP | WS_CAPTION), WS_POPUP);
  EXPECT_EQ(driver->clipper, nullptr);
  DWORD ambient = 0;
  driver->device->GetRenderState(D3DRENDERSTATE_AMBIENT, &ambient);
  EXPECT_EQ(ambient, 0x00123456u);
  IDirectDrawSurface7* bound = nullptr;
  driver->device->GetTexture(1, &bound);
  EXPECT_EQ(bound, static_cast<DirectDrawTexture*>(stageTexture)->surface);
  if (bound != nullptr) bound->Release();
  EXPECT_EQ(backPixel(*driver, 5, 5), 0x204080u);
  auto* pixels = static_cast<const std::uint8_t*>(picture->lock(0));
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[0], 0x30);
  EXPECT_EQ(pixels[1], 0x60);
  EXPECT_EQ(pixels[2], 0x90);
  picture->unlock(0);

  driver->setFullscreen(false);
  EXPECT_FALSE(driver->fullscreen);
  EXPECT_TRUE(driver->active);
  EXPECT_NE(driver->clipper, nullptr);
}

TEST(D3d7SurfaceLoss, ActivationRestoresSavedContentsAndWrongModeRebuilds) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  driver->clear(0x00336699u, 1.0f, 0, nullptr, true);
  SendMessageA(driver->window, WM_ACTIVATE, WA_INACTIVE, 0);
  ASSERT_NE(driver->backBuffer->backup, nullptr);

  // Intact surfaces: only the saved contents come back.
  driver->clear(0x00000000u, 1.0f, 0, nullptr, true);
  SendMessageA(driver->window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_EQ(backPixel(*driver, 1, 1), 0x336699u);
  EXPECT_EQ(driver->backBuffer->backup, nullptr);

  // Lost surfaces: restored by the platform, then refilled.
  SendMessageA(driver->window, WM_ACTIVATE, WA_INACTIVE, 0);
  dx7SimulateSurfaceLoss(false);
  SendMessageA(driver->window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
  EXPECT_EQ(backPixel(*driver, 1, 1), 0x336699u);

  // A changed display mode: the device is rebuilt in a new window.
  IDirect3DDevice7* oldDevice = driver->device;
  SendMessageA(driver->window, WM_ACTIVATE, WA_INACTIVE, 0);
  dx7SimulateSurfaceLoss(true);
  MessageBoxCapture boxes;
  SendMessageA(driver->window, WM_ACTIVATE, WA_ACTIVE, 0);
  EXPECT_TRUE(driver->active);
  EXPECT_NE(driver->device, nullptr);
  (void)oldDevice;
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(backPixel(*driver, 1, 1), 0x336699u);
}

TEST(D3d7SurfaceLoss, RebuildWhoseInitializeFailsLeavesTheDriverInactive) {
  ProfileScope profile(smallProfile());
  auto driver = d3d7_test::openDriver();
  ASSERT_NE(driver, nullptr);
  AdapterProfile failing = smallProfile();
  failing.failSurfaceCaps = DDSCAPS_ZBUFFER;
  dx7SetAdapterProfile(failing);
  MessageBoxCapture boxes;
  driver->rebuildDevice();
  EXPECT_FALSE(driver->active);
  EXPECT_EQ(driver->device, nullptr);
  EXPECT_EQ(boxes.boxes.size(), 1u);
  // Drawing operations and presenting stay harmless.
  driver->clear(0, 1.0f, 0, nullptr, true);
  driver->beginScene();
  driver->endScene();
  driver->present(false);
  driver->setAmbientLight(1, 1, 1, 1);
}
