// What the program around the show asks of the windows subset beyond the platform's own
// interfaces: running without a display, the display that could not be opened, the clock
// timeGetTime reads, where debug output and message boxes go, and an emptied message queue.
// The shell's own code includes this; the engine needs none of it.
#pragma once

#include "platform/win32/win32_types.h"

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

// Drops every message still queued (a run that starts afresh, and tests, begin empty).
void win32ClearMessageQueue();
