// Platform-internal bridge between the Win32 subset and the other platform subsets that
// render into its windows (never included by the engine or the shell). The host's seams
// (headless mode, clock source, output sinks, queue clearing) are in win32_host.h.
#pragma once

#include "platform/win32/win32_host.h"
#include "platform/win32/win32_types.h"

struct SDL_Window;

// The SDL window behind a top-level window; null for child windows, unknown handles and
// every window while headless (virtual windows). Windows are created with
// SDL_WINDOW_OPENGL after the OpenGL 3.3 core profile attributes are set.
SDL_Window* win32SdlWindow(HWND window);
// The window whose SDL window this is, or null.
HWND win32WindowFromSdl(SDL_Window* window);

// Screen size reported by GetSystemMetrics while headless or without a display.
constexpr int kWin32VirtualScreenWidth = 1920;
constexpr int kWin32VirtualScreenHeight = 1080;
