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
    window = CreateWindowExA(0, "DesktopTest", "desktop", WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 260, 175, nullptr,
                             nullptr, nullptr, nullptr);
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
  void key(SDL_Keycode sym, SDL_Scancode code, Uint16 mod, bool focusKnown = true) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = focusKnown ? SDL_GetWindowID(sdl) : 0;
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
  HWND box = CreateWindowExA(0, "BUTTON", "Fullscreen", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 5, 85, 122, 15, window,
                             nullptr, nullptr, nullptr);
  SetWindowLongA(box, GWL_ID, 4096);
  HWND list = CreateWindowExA(0, "COMBOBOX", "Modes", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 5, 60, 245, 150, window,
                              nullptr, nullptr, nullptr);
  SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("640x480x32Bpp"));
  SendMessageA(list, CB_SETCURSEL, 0, 0);
  for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(UpdateWindow(window));
  drain();
  // The drawing context does not stay current for whoever renders next.
  EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
  EXPECT_EQ(IsDlgButtonChecked(window, 4096), BST_UNCHECKED);
}

TEST_F(Win32DesktopTest, KeysBeforeTheFocusNoticeReachTheWindowJustShown) {
  if (sdl == nullptr) GTEST_SKIP() << "no SDL window on this machine";
  // SDL learns of a new window's focus a moment after the window manager gave it; a key
  // in between carries no window.
  key(SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT, false);
  drain();
  const MSG* down = find(WM_SYSKEYDOWN);
  ASSERT_NE(down, nullptr);
  EXPECT_EQ(down->hwnd, window);
  EXPECT_EQ(down->wParam, VK_RETURN);
}

TEST_F(Win32DesktopTest, DialogKeyboardMovesFocusChangesListsAndPressesButtons) {
  if (sdl == nullptr) GTEST_SKIP() << "no SDL window on this machine";
  HWND button = CreateWindowExA(0, "BUTTON", "Yeye whatever", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 5, 115, 245, 30,
                                window, nullptr, nullptr, nullptr);
  SetWindowLongA(button, GWL_ID, 1024);
  HWND list = CreateWindowExA(0, "COMBOBOX", "Modes", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 5, 60, 245, 150, window,
                              nullptr, nullptr, nullptr);
  SetWindowLongA(list, GWL_ID, 2049);
  for (const char* mode : {"640x480x16Bpp", "640x480x32Bpp", "800x600x32Bpp"})
    SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
  SendMessageA(list, CB_SETCURSEL, 0, 0);
  HWND box = CreateWindowExA(0, "BUTTON", "Fullscreen", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 5, 85, 122, 15, window,
                             nullptr, nullptr, nullptr);
  SetWindowLongA(box, GWL_ID, 4096);
  EXPECT_TRUE(UpdateWindow(window));
  drain();
  // SDL may hand pushed events over a pass later: two passes settle them.
  auto settle = [&] {
    bool quit = drain();
    return drain() || quit;
  };
  auto commands = [&](int id, WORD notification) {
    int n = 0;
    for (const MSG& m : received)
      if (m.message == WM_COMMAND && LOWORD(m.wParam) == id && HIWORD(m.wParam) == notification) ++n;
    return n;
  };

  // The focus starts on the first control in creation order (the button); Tab moves on.
  key(SDLK_TAB, SDL_SCANCODE_TAB, 0);
  key(SDLK_DOWN, SDL_SCANCODE_DOWN, 0);
  key(SDLK_DOWN, SDL_SCANCODE_DOWN, 0);
  key(SDLK_DOWN, SDL_SCANCODE_DOWN, 0);  // already the last entry: nothing changes
  settle();
  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(commands(2049, CBN_SELCHANGE), 2);

  key(SDLK_TAB, SDL_SCANCODE_TAB, 0);
  key(SDLK_SPACE, SDL_SCANCODE_SPACE, 0);
  settle();
  EXPECT_EQ(IsDlgButtonChecked(window, 4096), BST_CHECKED);
  EXPECT_EQ(commands(1024, BN_CLICKED), 0) << "Space presses the focused control only";

  // Shift+Tab goes back to the list; Up changes it.
  key(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT);
  key(SDLK_UP, SDL_SCANCODE_UP, 0);
  settle();
  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(IsDlgButtonChecked(window, 4096), BST_CHECKED);

  // Enter presses the default button wherever the focus is; Escape closes the window.
  key(SDLK_RETURN, SDL_SCANCODE_RETURN, 0);
  settle();
  EXPECT_EQ(commands(1024, BN_CLICKED), 1);
  key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0);
  EXPECT_TRUE(settle());
  EXPECT_NE(find(WM_CLOSE), nullptr);
  // No key reached the window as a key message while the controls took the keyboard.
  EXPECT_EQ(find(WM_KEYDOWN), nullptr);
}

}  // namespace
