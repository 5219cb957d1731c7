// Shared set-up of the Direct3D driver tests: a small adapter profile, a driver opened
// headless on a small windowed mode, captured message boxes and pixel read-back.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/d3d7/directdraw_texture.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/win32/win32_sdl.h"
#include "support/gl_test_context.h"

namespace d3d7_test {

// One adapter with a tiny mode (quick to render) and the usual 640 × 480 modes.
inline AdapterProfile smallProfile() {
  AdapterProfile profile = dx7DefaultAdapterProfile();
  AdapterEntry adapter;
  adapter.description = "Test adapter";
  adapter.driverName = "display";
  adapter.modes = {{64, 48, 32}, {640, 480, 16}, {640, 480, 32}, {800, 600, 32}};
  profile.adapters = {adapter};
  return profile;
}

// Installs a profile for one test and restores the default afterwards.
class ProfileScope {
 public:
  explicit ProfileScope(const AdapterProfile& profile) { dx7SetAdapterProfile(profile); }
  ~ProfileScope() { dx7ResetAdapterProfile(); }
  ProfileScope(const ProfileScope&) = delete;
  ProfileScope& operator=(const ProfileScope&) = delete;
};

// Collects message boxes instead of showing them.
class MessageBoxCapture {
 public:
  struct Box {
    std::string text;
    std::string caption;
  };
  MessageBoxCapture() { win32SetMessageBoxSink(&MessageBoxCapture::sink, this); }
  ~MessageBoxCapture() { win32SetMessageBoxSink(nullptr, nullptr); }
  MessageBoxCapture(const MessageBoxCapture&) = delete;
  MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

  std::vector<Box> boxes;

 private:
  static int sink(HWND, const char* text, const char* caption, UINT, void* context) {
    static_cast<MessageBoxCapture*>(context)->boxes.push_back(
        {text != nullptr ? text : "", caption != nullptr ? caption : ""});
    return 1;
  }
};

// A driver that has chosen a windowed mode of the given size (through the preset), not yet
// initialised.
inline std::unique_ptr<Direct3DDriver> makeDriver(int width = 64, int height = 48, int bits = 32, bool lowBpp = false) {
  win32SetHeadless(true);
  auto driver = std::make_unique<Direct3DDriver>(nullptr, "Test window");
  VideoPreset preset;
  preset.width = width;
  preset.height = height;
  preset.bitsPerPixel = bits;
  preset.lowBppTextures = lowBpp;
  driver->presetVideoOptions(preset);
  if (!driver->chooseVideoMode(0, 0)) return nullptr;
  return driver;
}

// A driver opened on a 64 × 48 × 32 window (null when set-up fails).
inline std::unique_ptr<Direct3DDriver> openDriver(int width = 64, int height = 48, bool lowBpp = false) {
  auto driver = makeDriver(width, height, 32, lowBpp);
  if (driver == nullptr || !driver->initialize()) return nullptr;
  return driver;
}

// Back-buffer pixel (x, y) as 0x00RRGGBB, read through a lock of the back buffer.
inline std::uint32_t backPixel(Direct3DDriver& driver, int x, int y) {
  auto* bits = static_cast<const std::uint8_t*>(driver.backBuffer->lock(0));
  if (bits == nullptr) return 0xdeadbeefu;
  std::uint32_t value = 0;
  std::memcpy(&value, bits + static_cast<std::ptrdiff_t>(y) * driver.backBuffer->pitch + x * 4, 4);
  driver.backBuffer->unlock(0);
  return value & 0x00ffffffu;
}

// True when every channel of a and b (0x00RRGGBB) differs by at most tolerance.
inline bool nearColour(std::uint32_t a, std::uint32_t b, int tolerance = 3) {
  return argbNear(a & 0x00ffffffu, b & 0x00ffffffu, tolerance);
}

// The value the device holds for a render state or a texture stage state (0xdeadbeef when it
// cannot be read).
inline DWORD renderState(Direct3DDriver& driver, D3DRENDERSTATETYPE type) {
  DWORD value = 0xdeadbeef;
  driver.device->GetRenderState(type, &value);
  return value;
}
inline DWORD stageState(Direct3DDriver& driver, int stage, D3DTEXTURESTAGESTATETYPE type) {
  DWORD value = 0xdeadbeef;
  driver.device->GetTextureStageState(static_cast<DWORD>(stage), type, &value);
  return value;
}

}  // namespace d3d7_test
