// Windows, the message queue and the standard controls of the Win32 subset (headless).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "platform/win32/win32_sdl.h"

namespace {

std::vector<std::pair<HWND, UINT>> seen;

LRESULT recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE || message == WM_DESTROY || message == WM_COMMAND || message == WM_KEYDOWN)
    seen.emplace_back(window, message);
  return DefWindowProcA(window, message, wParam, lParam);
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32SetHeadless(true);
    win32ClearMessageQueue();
    seen.clear();
    WNDCLASSA c{};
    c.lpfnWndProc = recordingProcedure;
    c.lpszClassName = "TestWindow";
    RegisterClassA(&c);
  }
  void TearDown() override { win32ClearMessageQueue(); }
  HWND createTop() {
    return CreateWindowExA(0, "TestWindow", "title", WS_POPUP | WS_VISIBLE, 10, 20, 320, 200, nullptr, nullptr, nullptr,
                           nullptr);
  }
};

TEST_F(Win32WindowTest, CreateAndDestroyNotifyParentBeforeChildren) {
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  HWND top = createTop();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(win32SdlWindow(top), nullptr);  // virtual while headless
  EXPECT_TRUE(IsWindowVisible(top));
  HWND child = CreateWindowExA(0, "TestWindow", "c", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  SetWindowLongA(child, GWL_ID, 77);
  EXPECT_EQ(GetDlgItem(top, 77), child);
  EXPECT_EQ(GetParent(child), top);
  PostMessageA(child, WM_USER, 0, 0);
  EXPECT_TRUE(DestroyWindow(top));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(DestroyWindow(top));
  // Messages for destroyed windows never reach a stale record.
  MSG m{};
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  std::vector<std::pair<HWND, UINT>> expected = {
      {top, WM_CREATE}, {child, WM_CREATE}, {top, WM_DESTROY}, {child, WM_DESTROY}};
  EXPECT_EQ(seen, expected);
}

// A 32-bit target may place a class name's static text below 64 KiB (wasm32 keeps its data
// from address 1024): only identifiers made by MAKEINTRESOURCEA count as resource numbers.
TEST_F(Win32WindowTest, NamesAtLowAddressesAreNamesAndOnlyIdentifiersAreNumbers) {
  EXPECT_TRUE(IS_INTRESOURCE(nullptr));
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEA(1)));
  EXPECT_TRUE(IS_INTRESOURCE(MAKEINTRESOURCEA(0xFFFF)));
  EXPECT_TRUE(IS_INTRESOURCE(IDC_ARROW));
  EXPECT_FALSE(IS_INTRESOURCE(reinterpret_cast<LPCSTR>(std::uintptr_t{1024})));
  EXPECT_FALSE(IS_INTRESOURCE(reinterpret_cast<LPCSTR>(std::uintptr_t{0xFFFF})));
  EXPECT_FALSE(IS_INTRESOURCE("TestWindow"));
  WNDCLASSA c{};
  c.lpfnWndProc = recordingProcedure;
  c.lpszClassName = MAKEINTRESOURCEA(7);
  EXPECT_EQ(RegisterClassA(&c), 0);
}

TEST_F(Win32WindowTest, UserDataKeepsWholePointersInThePointerForm) {
  HWND top = createTop();
  int object = 0;
  SetWindowLongPtrA(top, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&object));
  EXPECT_EQ(reinterpret_cast<int*>(GetWindowLongPtrA(top, GWL_USERDATA)), &object);
  SetWindowLongA(top, GWL_USERDATA, -5);
  EXPECT_EQ(GetWindowLongA(top, GWL_USERDATA), -5);
  RECT client{};
  ASSERT_TRUE(GetClientRect(top, &client));
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);
  MoveWindow(top, 100, 50, 640, 480, TRUE);
  POINT p{1, 2};
  ClientToScreen(top, &p);
  EXPECT_EQ(p.x, 101);
  EXPECT_EQ(p.y, 52);
  GetClientRect(top, &client);
  EXPECT_EQ(client.right, 640);
  DestroyWindow(top);
}

TEST_F(Win32WindowTest, QueueKeepsOrderFiltersAndHoldsOneQuit) {
  HWND top = createTop();
  PostMessageA(top, WM_KEYDOWN, VK_ESCAPE, 0);
  PostQuitMessage(3);
  PostQuitMessage(4);
  PostMessageA(top, WM_USER + 1, 0, 0);
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, top, WM_USER, WM_USER + 5, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_KEYDOWN);
  EXPECT_TRUE(TranslateMessage(&m));
  DispatchMessageA(&m);
  EXPECT_EQ(seen.back(), std::make_pair(top, WM_KEYDOWN));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  // The desktop's close request ends the program.
  SendMessageA(top, WM_CLOSE, 0, 0);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  DestroyWindow(top);
}

TEST_F(Win32WindowTest, ComboBoxAndCheckBoxAnswerTheirMessages) {
  HWND top = createTop();
  HWND combo = CreateWindowExA(0, "COMBOBOX", "Modes", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_HASSTRINGS, 5, 60,
                               245, 150, top, nullptr, nullptr, nullptr);
  SetWindowLongA(combo, GWL_ID, 2049);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("640x480x16Bpp")), 0);
  EXPECT_EQ(SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("800x600x32Bpp")), 1);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 5, 0), CB_ERR);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  SendMessageA(combo, CB_SETCURSEL, 1, 0);
  char text[32] = {};
  EXPECT_EQ(SendMessageA(combo, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)), 13);
  EXPECT_STREQ(text, "800x600x32Bpp");
  EXPECT_EQ(SendMessageA(combo, CB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("640")), 0);
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR);

  HWND box = CreateWindowExA(0, "BUTTON", "Fullscreen", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 5, 85, 122, 15, top,
                             nullptr, nullptr, nullptr);
  SetWindowLongA(box, GWL_ID, 4096);
  EXPECT_EQ(IsDlgButtonChecked(top, 4096), BST_UNCHECKED);
  CheckDlgButton(top, 4096, BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(top, 4096), BST_CHECKED);
  seen.clear();
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(top, 4096), BST_UNCHECKED);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], std::make_pair(top, WM_COMMAND));
  DestroyWindow(top);
}

DWORD fakeClock(void* context) { return *static_cast<DWORD*>(context); }

void collect(const char* text, void* context) { *static_cast<std::string*>(context) += text; }

int countBoxes(HWND, const char* text, const char* caption, UINT, void* context) {
  *static_cast<std::string*>(context) += std::string(caption) + "|" + text;
  return IDOK;
}

TEST(Win32System, ClockDebugOutputAndMessageBoxesCanBeRedirected) {
  DWORD now = 0xFFFFFFF0u;
  win32SetClockSource(fakeClock, &now);
  EXPECT_EQ(timeGetTime(), 0xFFFFFFF0u);
  win32SetClockSource(nullptr, nullptr);
  DWORD a = timeGetTime();
  Sleep(2);
  EXPECT_GE(timeGetTime() - a, 2u);

  std::string debug;
  win32SetDebugSink(collect, &debug);
  OutputDebugStringA("one ");
  OutputDebugStringA("two");
  win32SetDebugSink(nullptr, nullptr);
  EXPECT_EQ(debug, "one two");

  std::string boxes;
  win32SetMessageBoxSink(countBoxes, &boxes);
  EXPECT_EQ(MessageBoxA(nullptr, "DirectX failed to intalize!", "Error!", MB_OK), IDOK);
  win32SetMessageBoxSink(nullptr, nullptr);
  EXPECT_EQ(boxes, "Error!|DirectX failed to intalize!");

  win32SetHeadless(true);
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_OK), IDOK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "caption: text\n");
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), kWin32VirtualScreenWidth);
}

TEST(Win32System, DebugOutputGoesWhereTheEnvironmentSays) {
  char path[] = "/tmp/vellumite_debugXXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  setenv("VELLUMITE_DEBUG_FILE", path, 1);
  setenv("VELLUMITE_DEBUG", "1", 1);
  win32SetDebugSink(nullptr, nullptr);  // decide again from the environment
  testing::internal::CaptureStderr();
  OutputDebugStringA("report line\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "report line\n");
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "report line\n");

  unsetenv("VELLUMITE_DEBUG_FILE");
  unsetenv("VELLUMITE_DEBUG");
  win32SetDebugSink(nullptr, nullptr);
  testing::internal::CaptureStderr();
  OutputDebugStringA("nowhere\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  std::remove(path);
}

}  // namespace

TEST(Win32System, TheProgramIsTheOnlyModule) {
  HMODULE program = GetModuleHandleA(nullptr);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(GetModuleHandleA(nullptr), program);  // the instance every caller passes along
  EXPECT_EQ(GetModuleHandleA("ddraw.dll"), nullptr);
}
