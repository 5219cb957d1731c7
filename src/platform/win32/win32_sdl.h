// Platform-internal bridge between the Win32 subset and the other platform subsets that
// render into its windows (never included by the engine), plus the seams tests use.
#pragma once

#include "platform/win32/win32_types.h"

struct SDL_Window;

// The SDL window behind a top-level window; null for child windows, unknown handles and
// every window while headless (virtual windows). Windows are created with
// SDL_WINDOW_OPENGL after the OpenGL 3.3 core profile attributes are set.
SDL_Window* win32SdlWindow(HWND window);
// The window whose SDL window this is, or null.
HWND win32WindowFromSdl(SDL_Window* window);

// Headless: no display (neither DISPLAY nor WAYLAND_DISPLAY, or SDL_VIDEODRIVER=offscreen
// or dummy), or forced by win32SetHeadless(true) (--headless). Headless, SDL runs on its
// offscreen video driver and dummy audio driver, windows are virtual and message boxes
// print to stderr.
bool win32IsHeadless();
// Must be called before the first window or SDL use to take effect on SDL's drivers.
void win32SetHeadless(bool headless);
// Initialises SDL's video subsystem (offscreen driver when headless); true when it runs.
// When the environment names a display that cannot be opened, SDL runs headless instead
// and win32DisplayUnreachable() tells so (with SDL's reason in win32DisplayError()).
bool win32EnsureVideo();
bool win32DisplayUnreachable();
const char* win32DisplayError();

// Clock source for timeGetTime; null restores the real clock.
using Win32ClockSource = DWORD (*)(void* context);
void win32SetClockSource(Win32ClockSource source, void* context);

// Receiver of OutputDebugStringA text; null restores the environment's choice (which is
// read again at the next output).
using Win32DebugSink = void (*)(const char* text, void* context);
void win32SetDebugSink(Win32DebugSink sink, void* context);

// Receiver of MessageBoxA calls (returns the button); null restores the real message box.
using Win32MessageBoxSink = int (*)(HWND owner, const char* text, const char* caption, UINT type, void* context);
void win32SetMessageBoxSink(Win32MessageBoxSink sink, void* context);

// Screen size reported by GetSystemMetrics while headless or without a display.
constexpr int kWin32VirtualScreenWidth = 1920;
constexpr int kWin32VirtualScreenHeight = 1080;

// Drops every message still queued (tests start from an empty queue).
void win32ClearMessageQueue();
