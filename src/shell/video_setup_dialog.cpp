// The video setup dialog and its window procedure.
#include "shell/video_setup_dialog.h"

#include <cstdio>
#include <string>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_host.h"
#include "port/video_choice_file.h"

namespace {

// Shared between the dialog function and its window procedure.
Direct3DDriver* shownDriver = nullptr;
int selectedAdapter = 0;
int selectedMode = 0;
bool done = false;
bool quitRequested = false;
VideoSetupDialogHook dialogHook = nullptr;
void* dialogHookContext = nullptr;

HWND createControl(HWND dialog, const char* className, const char* text, DWORD style, int x, int y, int width,
                   int height, int id) {
  HWND control =
      CreateWindowExA(0, className, text, style, x, y, width, height, dialog, nullptr, shownDriver->instance, nullptr);
  if (id != 0) SetWindowLongA(control, GWL_ID, id);
  return control;
}

// Lists the adapter's modes; the last 640 x 480 mode ends up selected, else the first. A
// window cannot be larger than the desktop: with "Fullscreen" unticked such modes are left
// out (each entry's item data is its index in the adapter's mode list).
void fillModeList(HWND dialog, int adapter) {
  HWND modes = GetDlgItem(dialog, kSetupModeListId);
  if (shownDriver == nullptr || adapter < 0 || adapter >= shownDriver->adapterCount) return;
  const AdapterInfo& info = shownDriver->adapters[adapter];
  const bool windowed = IsDlgButtonChecked(dialog, kSetupFullscreenId) != 1;
  const DWORD desktopWidth = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
  const DWORD desktopHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
  int entry = 0;
  int preselected = 0;
  for (int i = 0; i < info.modeCount; ++i) {
    const DDSURFACEDESC2& mode = info.modes[i];
    if (windowed && (mode.dwWidth > desktopWidth || mode.dwHeight > desktopHeight)) continue;
    char text[64];
    std::snprintf(text, sizeof text, "%dx%dx%dBpp", static_cast<int>(mode.dwWidth), static_cast<int>(mode.dwHeight),
                  static_cast<int>(mode.ddpfPixelFormat.dwRGBBitCount));
    SendMessageA(modes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(modes, CB_SETITEMDATA, static_cast<WPARAM>(entry), i);
    if (mode.dwWidth == 640 && mode.dwHeight == 480) preselected = entry;
    ++entry;
  }
  if (entry > 0) SendMessageA(modes, CB_SETCURSEL, static_cast<WPARAM>(preselected), 0);
}

// The adapter's mode index of the selected entry, or -1.
int selectedModeIndex(HWND dialog) {
  int entry = static_cast<int>(SendDlgItemMessageA(dialog, kSetupModeListId, CB_GETCURSEL, 0, 0));
  if (entry < 0) return -1;
  return static_cast<int>(SendDlgItemMessageA(dialog, kSetupModeListId, CB_GETITEMDATA, static_cast<WPARAM>(entry), 0));
}

// Selects the entry of a list whose text is `text`; false when the list has none.
bool selectText(HWND dialog, int id, const std::string& text) {
  int count = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char entry[256] = {};
    if (SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >=
        static_cast<LRESULT>(sizeof entry))
      continue;
    SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
    if (text == entry) {
      SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return true;
    }
  }
  return false;
}

std::string selectedText(HWND dialog, int id) {
  int index = static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
  char entry[256] = {};
  if (index < 0 || SendDlgItemMessageA(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) >=
                       static_cast<LRESULT>(sizeof entry))
    return "";
  SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(entry));
  return entry;
}

// The last accepted choice, where it still names what is listed, replaces the preselection.
void preselectRemembered(HWND dialog) {
  VideoChoiceRecord record;
  if (!readVideoChoice(videoChoicePath(), &record)) return;
  // The boxes first: "Fullscreen" decides which modes are offered.
  CheckDlgButton(dialog, kSetupFullscreenId, record.fullscreen ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupRetraceId, record.waitForRetrace ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupLowBppId, record.lowBppTextures ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupDitherId, record.dither ? BST_CHECKED : BST_UNCHECKED);
  if (!selectText(dialog, kSetupAdapterListId, record.adapter)) return;
  int adapter = static_cast<int>(SendDlgItemMessageA(dialog, kSetupAdapterListId, CB_GETCURSEL, 0, 0));
  SendDlgItemMessageA(dialog, kSetupModeListId, CB_RESETCONTENT, 0, 0);
  fillModeList(dialog, adapter);
  selectText(dialog, kSetupModeListId, record.mode);
}

void rememberChoice(HWND dialog) {
  VideoChoiceRecord record;
  record.adapter = selectedText(dialog, kSetupAdapterListId);
  record.mode = selectedText(dialog, kSetupModeListId);
  record.fullscreen = IsDlgButtonChecked(dialog, kSetupFullscreenId) == 1;
  record.waitForRetrace = IsDlgButtonChecked(dialog, kSetupRetraceId) == 1;
  record.lowBppTextures = IsDlgButtonChecked(dialog, kSetupLowBppId) == 1;
  record.dither = IsDlgButtonChecked(dialog, kSetupDitherId) == 1;
  writeVideoChoice(videoChoicePath(), record);
}

void storeSelection(HWND dialog) {
  selectedAdapter = static_cast<int>(SendDlgItemMessageA(dialog, kSetupAdapterListId, CB_GETCURSEL, 0, 0));
  selectedMode = selectedModeIndex(dialog);
  done = true;
}

}  // namespace

bool videoSetupDialogQuit() { return quitRequested; }

void setVideoSetupDialogHook(VideoSetupDialogHook hook, void* context) {
  dialogHook = hook;
  dialogHookContext = context;
}

LRESULT CALLBACK videoSetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      WORD id = LOWORD(wParam);
      WORD notification = HIWORD(wParam);
      if (notification == CBN_SELCHANGE && id == kSetupAdapterListId) {
        int adapter = static_cast<int>(SendDlgItemMessageA(window, kSetupAdapterListId, CB_GETCURSEL, 0, 0));
        SendDlgItemMessageA(window, kSetupModeListId, CB_RESETCONTENT, 0, 0);
        fillModeList(window, adapter);
        return 0;
      }
      if (notification == BN_CLICKED && id == kSetupFullscreenId) {
        // Full screen offers every mode, a window only those that fit the desktop; the
        // chosen mode stays chosen where it is still offered.
        std::string chosen = selectedText(window, kSetupModeListId);
        int adapter = static_cast<int>(SendDlgItemMessageA(window, kSetupAdapterListId, CB_GETCURSEL, 0, 0));
        SendDlgItemMessageA(window, kSetupModeListId, CB_RESETCONTENT, 0, 0);
        fillModeList(window, adapter);
        selectText(window, kSetupModeListId, chosen);
        return 0;
      }
      if (notification == BN_CLICKED && id == kSetupButtonId) {
        // Without a selected mode there is nothing to accept: the dialog stays.
        if (SendDlgItemMessageA(window, kSetupModeListId, CB_GETCURSEL, 0, 0) < 0) return 0;
        storeSelection(window);
      }
      return 0;
    }
    case WM_DESTROY:
      storeSelection(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void runVideoSetupDialog(Direct3DDriver& driver) {
  shownDriver = &driver;
  quitRequested = false;

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = videoSetupWindowProc;
  windowClass.hInstance = driver.instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  windowClass.lpszClassName = "DXsetup box";
  RegisterClassExA(&windowClass);  // stays registered from an earlier run

  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 130;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 75;
  HWND dialog = CreateWindowExA(0, "DXsetup box", "Video setup", WS_CAPTION, x, y, 260, 175, nullptr, nullptr,
                                driver.instance, nullptr);
  if (dialog == nullptr) return;
  ShowWindow(dialog, SW_SHOW);

  const DWORD label = WS_CHILD | WS_VISIBLE | SS_CENTER;
  const DWORD list = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_HASSTRINGS;
  const DWORD check = WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX;
  HWND button = createControl(dialog, "BUTTON", "Yeye whatever", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 5, 115, 245,
                              30, kSetupButtonId);
  createControl(dialog, "STATIC", "Choose videocard", label, 5, 5, 250, 15, 0);
  HWND adapters = createControl(dialog, "COMBOBOX", "Cards", list, 5, 20, 245, 150, kSetupAdapterListId);
  createControl(dialog, "STATIC", "Choose videomode", label, 5, 45, 250, 15, 0);
  createControl(dialog, "COMBOBOX", "Modes", list, 5, 60, 245, 150, kSetupModeListId);
  createControl(dialog, "BUTTON", "Fullscreen", check, 5, 85, 122, 15, kSetupFullscreenId);
  createControl(dialog, "BUTTON", "Wait for retrace", check, 5, 100, 122, 15, kSetupRetraceId);
  createControl(dialog, "BUTTON", "Low bpp textures", check, 127, 85, 123, 15, kSetupLowBppId);
  createControl(dialog, "BUTTON", "Enable dither", check, 127, 100, 123, 15, kSetupDitherId);
  CheckDlgButton(dialog, kSetupFullscreenId, BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupRetraceId, BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupLowBppId, BST_UNCHECKED);
  CheckDlgButton(dialog, kSetupDitherId, BST_CHECKED);

  for (int i = 0; i < driver.adapterCount; ++i)
    SendMessageA(adapters, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(driver.adapters[i].description));
  // With several adapters the second one, usually a separate 3D accelerator, is proposed.
  int proposed = driver.adapterCount > 1 ? 1 : 0;
  SendMessageA(adapters, CB_SETCURSEL, static_cast<WPARAM>(proposed), 0);
  fillModeList(dialog, proposed);

  // A user's dialog remembers; a headless one (nobody chose) neither reads nor writes.
  const bool remembers = !win32IsHeadless();
  if (remembers) preselectRemembered(dialog);

  selectedAdapter = 0;
  selectedMode = 0;
  done = false;
  UpdateWindow(dialog);
  if (dialogHook != nullptr) dialogHook(dialog, dialogHookContext);

  // Headless, nobody can press the button: the preselection is accepted.
  if (win32IsHeadless())
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kSetupButtonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));

  MSG message{};
  while (!done) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The program is to end: the dialog goes and the driver keeps its settings; the
        // request stays pending for whoever runs the program's loop.
        quitRequested = true;
        DestroyWindow(dialog);
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!done && win32IsHeadless()) storeSelection(dialog);  // no mode to accept: give up
  }

  driver.fullscreen = IsDlgButtonChecked(dialog, kSetupFullscreenId) == 1;
  driver.waitForRetrace = IsDlgButtonChecked(dialog, kSetupRetraceId) == 1;
  driver.lowBppTextures = IsDlgButtonChecked(dialog, kSetupLowBppId) == 1;
  driver.dither = IsDlgButtonChecked(dialog, kSetupDitherId) == 1;
  if (remembers) rememberChoice(dialog);

  DestroyWindow(dialog);
  driver.adapterIndex = selectedAdapter;
  driver.modeIndex = selectedMode;
}
