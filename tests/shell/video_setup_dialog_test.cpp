// The video setup dialog, run headless: its controls, the preselection of adapter and
// mode, the refill on an adapter change, the options read back, and the quit request.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_sdl.h"
#include "shell/video_setup_dialog.h"

namespace {

struct Mode {
  int width, height, bits;
};

void addAdapter(Direct3DDriver& driver, const char* description, const std::vector<Mode>& modes) {
  char name[] = "display";
  std::vector<char> text(description, description + std::strlen(description) + 1);
  ASSERT_TRUE(enumerateAdapter(nullptr, text.data(), name, &driver, nullptr));
  AdapterInfo& adapter = driver.adapters[driver.adapterCount - 1];
  for (const Mode& m : modes) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwWidth = static_cast<DWORD>(m.width);
    desc.dwHeight = static_cast<DWORD>(m.height);
    desc.ddpfPixelFormat.dwRGBBitCount = static_cast<DWORD>(m.bits);
    enumerateMode(&desc, &adapter);
  }
}

std::vector<std::string> entries(HWND dialog, int id) {
  std::vector<std::string> list;
  int count = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[64] = {};
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    list.emplace_back(text);
  }
  return list;
}

int selection(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0)); }

// The user picks an adapter entry: the list selects it and tells the dialog.
void chooseAdapter(HWND dialog, int index) {
  HWND list = GetDlgItem(dialog, kSetupAdapterListId);
  SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kSetupAdapterListId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

std::function<void(HWND)> act;
void callAct(HWND dialog, void*) {
  if (act) act(dialog);
}

class VideoSetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win32SetHeadless(true);
    win32ClearMessageQueue();
    setVideoSetupDialogHook(callAct, nullptr);
  }
  void TearDown() override {
    setVideoSetupDialogHook(nullptr, nullptr);
    act = nullptr;
    win32ClearMessageQueue();
  }
  Direct3DDriver driver{nullptr, "title"};
};

TEST_F(VideoSetupDialogTest, BuildsItsControlsAndAcceptsThePreselection) {
  addAdapter(driver, "Primary", {{320, 200, 8}, {640, 480, 16}, {640, 480, 32}, {800, 600, 32}});
  bool checked = false;
  act = [&](HWND dialog) {
    checked = true;
    char text[64];
    GetWindowTextA(dialog, text, sizeof text);
    EXPECT_STREQ(text, "Video setup");
    GetClassNameA(dialog, text, sizeof text);
    EXPECT_STREQ(text, "DXsetup box");
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), WS_CAPTION | WS_VISIBLE);
    RECT r{};
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, kWin32VirtualScreenWidth / 2 - 130);
    EXPECT_EQ(r.top, kWin32VirtualScreenHeight / 2 - 75);
    EXPECT_EQ(r.right - r.left, 260);
    EXPECT_EQ(r.bottom - r.top, 175);
    struct Expected {
      int id;
      const char* text;
      int x, y, w, h;
    } controls[] = {
        {kSetupButtonId, "Yeye whatever", 5, 115, 245, 30},     {kSetupAdapterListId, "Cards", 5, 20, 245, 150},
        {kSetupModeListId, "Modes", 5, 60, 245, 150},           {kSetupFullscreenId, "Fullscreen", 5, 85, 122, 15},
        {kSetupRetraceId, "Wait for retrace", 5, 100, 122, 15}, {kSetupLowBppId, "Low bpp textures", 127, 85, 123, 15},
        {kSetupDitherId, "Enable dither", 127, 100, 123, 15}};
    for (const Expected& c : controls) {
      HWND control = GetDlgItem(dialog, c.id);
      ASSERT_NE(control, nullptr) << c.id;
      GetWindowTextA(control, text, sizeof text);
      EXPECT_STREQ(text, c.text);
      GetWindowRect(control, &r);
      EXPECT_EQ(r.left - (kWin32VirtualScreenWidth / 2 - 130), c.x) << c.text;
      EXPECT_EQ(r.top - (kWin32VirtualScreenHeight / 2 - 75), c.y) << c.text;
      EXPECT_EQ(r.right - r.left, c.w) << c.text;
      EXPECT_EQ(r.bottom - r.top, c.h) << c.text;
    }
    EXPECT_EQ(IsDlgButtonChecked(dialog, kSetupFullscreenId), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, kSetupDitherId), BST_CHECKED);
    EXPECT_EQ(entries(dialog, kSetupAdapterListId), std::vector<std::string>{"Primary"});
    // Depths other than 15, 16, 24 and 32 are not listed.
    std::vector<std::string> modes = {"640x480x16Bpp", "640x480x32Bpp", "800x600x32Bpp"};
    EXPECT_EQ(entries(dialog, kSetupModeListId), modes);
    EXPECT_EQ(selection(dialog, kSetupAdapterListId), 0);
    EXPECT_EQ(selection(dialog, kSetupModeListId), 1);  // the last 640 x 480
  };
  driver.adapterIndex = driver.modeIndex = 9;
  runVideoSetupDialog(driver);
  EXPECT_TRUE(checked);
  EXPECT_EQ(driver.adapterIndex, 0);
  EXPECT_EQ(driver.modeIndex, 1);
  EXPECT_FALSE(driver.fullscreen);
  EXPECT_FALSE(driver.waitForRetrace);
  EXPECT_FALSE(driver.lowBppTextures);
  EXPECT_TRUE(driver.dither);
  EXPECT_FALSE(videoSetupDialogQuit());
}

TEST_F(VideoSetupDialogTest, SecondAdapterIsProposedAndAChangeRefillsTheModes) {
  addAdapter(driver, "Primary", {{640, 480, 16}, {1024, 768, 32}});
  addAdapter(driver, "Accelerator", {{800, 600, 16}, {1024, 768, 16}});
  act = [&](HWND dialog) {
    EXPECT_EQ(selection(dialog, kSetupAdapterListId), 1);
    EXPECT_EQ(entries(dialog, kSetupModeListId), (std::vector<std::string>{"800x600x16Bpp", "1024x768x16Bpp"}));
    EXPECT_EQ(selection(dialog, kSetupModeListId), 0);  // no 640 x 480: the first
    chooseAdapter(dialog, 0);
    EXPECT_EQ(entries(dialog, kSetupModeListId), (std::vector<std::string>{"640x480x16Bpp", "1024x768x32Bpp"}));
    EXPECT_EQ(selection(dialog, kSetupModeListId), 0);
    SendDlgItemMessageA(dialog, kSetupModeListId, CB_SETCURSEL, 1, 0);
    SendMessageA(GetDlgItem(dialog, kSetupFullscreenId), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, kSetupRetraceId), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, kSetupLowBppId), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, kSetupDitherId), BM_CLICK, 0, 0);
  };
  runVideoSetupDialog(driver);
  EXPECT_EQ(driver.adapterIndex, 0);
  EXPECT_EQ(driver.modeIndex, 1);
  EXPECT_TRUE(driver.fullscreen);
  EXPECT_TRUE(driver.waitForRetrace);
  EXPECT_TRUE(driver.lowBppTextures);
  EXPECT_FALSE(driver.dither);
}

TEST_F(VideoSetupDialogTest, ButtonWithoutAModeDoesNotClose) {
  addAdapter(driver, "Empty", {});
  bool stayed = false;
  act = [&](HWND dialog) {
    HWND button = GetDlgItem(dialog, kSetupButtonId);
    SendMessageA(button, BM_CLICK, 0, 0);
    stayed = IsWindow(dialog) != FALSE;
  };
  runVideoSetupDialog(driver);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(driver.modeIndex, -1);  // headless gives up: nothing usable to choose
}

TEST_F(VideoSetupDialogTest, QuitRequestLeavesTheDriverUntouched) {
  addAdapter(driver, "Primary", {{640, 480, 32}});
  act = [](HWND) { PostQuitMessage(0); };
  driver.adapterIndex = 5;
  driver.modeIndex = 6;
  driver.dither = false;
  runVideoSetupDialog(driver);
  EXPECT_TRUE(videoSetupDialogQuit());
  EXPECT_EQ(driver.adapterIndex, 5);
  EXPECT_EQ(driver.modeIndex, 6);
  EXPECT_FALSE(driver.dither);
  // The request is still there for the program's own loop.
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
}

}  // namespace

TEST_F(VideoSetupDialogTest, WindowsAreOfferedOnlyModesThatFitTheDesktopFullScreenAll) {
  const int wide = kWin32VirtualScreenWidth + 640;
  addAdapter(driver, "Primary", {{640, 480, 32}, {wide, kWin32VirtualScreenHeight, 32}, {800, 600, 32}});
  const std::string big = std::to_string(wide) + "x" + std::to_string(kWin32VirtualScreenHeight) + "x32Bpp";
  act = [&](HWND dialog) {
    EXPECT_EQ(entries(dialog, kSetupModeListId), (std::vector<std::string>{"640x480x32Bpp", "800x600x32Bpp"}));
    SendDlgItemMessageA(dialog, kSetupModeListId, CB_SETCURSEL, 1, 0);
    SendMessageA(GetDlgItem(dialog, kSetupFullscreenId), BM_CLICK, 0, 0);
    EXPECT_EQ(entries(dialog, kSetupModeListId), (std::vector<std::string>{"640x480x32Bpp", big, "800x600x32Bpp"}));
    // The chosen mode stays chosen across the refill.
    EXPECT_EQ(selection(dialog, kSetupModeListId), 2);
    SendDlgItemMessageA(dialog, kSetupModeListId, CB_SETCURSEL, 1, 0);
  };
  runVideoSetupDialog(driver);
  EXPECT_TRUE(driver.fullscreen);
  // The index into the adapter's own list, whatever the list showed.
  EXPECT_EQ(driver.modeIndex, 1);
}
