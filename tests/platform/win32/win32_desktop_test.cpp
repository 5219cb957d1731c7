// Desktop events on real SDL windows (SDL's offscreen video driver): keyboard, focus and
// close requests become window messages; a window with controls is drawn with ImGui.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_sdl.h"

namespace {

std::vector<MSG> received;

LRESULT keepMessages(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m{};
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  received.push_back(m);
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Real SDL windows on the offscreen driver, not virtual ones.
    win32SetHeadless(false);
    win32ClearMessageQueue();
    received.clear();
    WNDCLASSA c{};
    c.lpfnWndProc = keepMessages;
    c.lpszClassName = "DesktopTest";
    RegisterClassA(&c);
    window = CreateWindowExA(0, "DesktopTest", "desktop", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 260, 175,
                             nullptr, nullptr, nullptr, nullptr);
    sdl = win32SdlWindow(window);
  }
  void TearDown() override {
    DestroyWindow(window);
    win32ClearMessageQueue();
    win32SetHeadless(true);
  }
  // Dispatches everything queued; true when a quit request was among it.
  bool drain() {
    bool quit = false;
    MSG m{};
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) quit = true;
      DispatchMessageA(&m);
    }
    return quit;
  }
  void key(SDL_Keycode sym, SDL_Scancode code, Uint16 mod) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(sdl);
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    e.key.keysym.scancode = code;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }
  void windowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(sdl);
    e.window.event = event;
    SDL_PushEvent(&e);
  }
  const MSG* find(UINT message) const {
    for (const MSG& m : received)
      if (m.message == message) return &m;
    return nullptr;
  }
  HWND window = nullptr;
  SDL_Window* sdl = nullptr;
};

TEST_F(Win32DesktopTest, KeyboardFocusAndCloseBecomeMessages) {
  if (sdl == nullptr) GTEST_SKIP() << "no SDL window on this machine";
  EXPECT_EQ(win32WindowFromSdl(sdl), window);
  drain();
  received.clear();
  key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE);
  key(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT);
  windowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  EXPECT_FALSE(drain());
  const MSG* escape = find(WM_KEYDOWN);
  ASSERT_NE(escape, nullptr);
  EXPECT_EQ(escape->hwnd, window);
  EXPECT_EQ(escape->wParam, VK_ESCAPE);
  const MSG* altEnter = find(WM_SYSKEYDOWN);
  ASSERT_NE(altEnter, nullptr);
  EXPECT_EQ(altEnter->wParam, VK_RETURN);
  EXPECT_NE(altEnter->lParam & (LPARAM{1} << 29), 0);  // Alt held
  std::vector<WPARAM> activations;
  for (const MSG& m : received)
    if (m.message == WM_ACTIVATE) activations.push_back(LOWORD(m.wParam));
  EXPECT_EQ(activations, (std::vector<WPARAM>{WA_INACTIVE, WA_ACTIVE}));
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = SDL_GetWindowID(sdl);
  motion.motion.x = 12;
  motion.motion.y = 34;
  SDL_PushEvent(&motion);
  received.clear();
  drain();
  ASSERT_GE(received.size(), 2u);
  EXPECT_EQ(received[0].message, WM_SETCURSOR);
  EXPECT_EQ(received[1].message, WM_MOUSEMOVE);
  EXPECT_EQ(received[1].lParam, MAKELPARAM(12, 34));
  SetWindowTextA(window, "[VELLUMITE] title");
  EXPECT_STREQ(SDL_GetWindowTitle(sdl), "[VELLUMITE] title");
  windowEvent(SDL_WINDOWEVENT_CLOSE);
  EXPECT_TRUE(drain());
  ASSERT_NE(find(WM_CLOSE), nullptr);
}

TEST_F(Win32DesktopTest, WindowWithControlsIsDrawnAndClicksReachItsProcedure) {
  if (sdl == nullptr) GTEST_SKIP() << "no SDL window on this machine";
  HWND box = CreateWindowExA(0, "BUTTON", "Fullscreen", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 5, 85, 122, 15,
                             window, nullptr, nullptr, nullptr);
  SetWindowLongA(box, GWL_ID, 4096);
  HWND list = CreateWindowExA(0, "COMBOBOX", "Modes", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 5, 60, 245, 150,
                              window, nullptr, nullptr, nullptr);
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("640x480x32Bpp"));
  SendMessageA(list, CB_SETCURSEL, 0, 0);
  for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(UpdateWindow(window));
  drain();
  // The drawing context does not stay current for whoever renders next.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  EXPECT_EQ(IsDlgButtonChecked(window, 4096), BST_UNCHECKED);
}

}  // namespace
