// The video setup dialog: a "Video setup" window of the class "DXsetup box" in which the
// user picks the display adapter, the display mode and four options before anything is
// drawn. Run once from the driver's chooseVideoMode, after the enumeration.
#pragma once

#include "platform/win32/win32_types.h"

class Direct3DDriver;

// Control ids.
constexpr int kSetupButtonId = 1024;
constexpr int kSetupAdapterListId = 2048;
constexpr int kSetupModeListId = 2049;
constexpr int kSetupFullscreenId = 4096;
constexpr int kSetupRetraceId = 4097;
constexpr int kSetupLowBppId = 4098;
constexpr int kSetupDitherId = 4099;

// Builds and runs the dialog, then stores the choice in the driver (adapterIndex,
// modeIndex, fullscreen, waitForRetrace, lowBppTextures, dither). Headless, the dialog
// accepts its preselection at once. When the program is asked to quit meanwhile (the
// window closed from the desktop) it returns at once and leaves the driver untouched.
void runVideoSetupDialog(Direct3DDriver& driver);

// Window procedure of the class "DXsetup box".
LRESULT CALLBACK videoSetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// True when the last run of the dialog ended with the program's quit request.
bool videoSetupDialogQuit();

// Called once the dialog is built and filled, before its message loop (tests act on the
// dialog here); null removes it.
using VideoSetupDialogHook = void (*)(HWND dialog, void* context);
void setVideoSetupDialogHook(VideoSetupDialogHook hook, void* context);
