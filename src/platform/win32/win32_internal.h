// Records behind the Win32 handles, shared by the files of the Win32 subset only.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/win32_types.h"

struct SDL_Window;
union SDL_Event;

// Kind of a built-in control class.
enum class Win32ControlKind { None, Static, Button, ComboBox };

struct Win32Window {
  std::string className;
  WNDPROC procedure = nullptr;
  Win32ControlKind control = Win32ControlKind::None;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  HWND parent = nullptr;
  HINSTANCE instance = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  SDL_Window* sdl = nullptr;
  // The desktop destroyed the SDL window behind our back: nothing may draw into it any more.
  bool sdlLost = false;
  std::vector<HWND> children;  // creation order
  bool destroying = false;
  // Control state: combo box entries and selection, button check state.
  std::vector<std::string> items;
  std::vector<LONG_PTR> itemData;
  int selection = -1;
  UINT check = 0;
  // Dear ImGui drawing of a top-level window that holds controls (see win32_controls.cpp).
  void* ui = nullptr;
};

// The record of a live window, or null for an unknown or destroyed handle.
Win32Window* win32Record(HWND window);
// Every live window, in creation order.
const std::vector<HWND>& win32Windows();

// Procedure of a built-in control class, or null ("STATIC", "BUTTON", "COMBOBOX").
WNDPROC win32ControlProcedure(const char* className, Win32ControlKind* kind);
// A combo box choice made by the user: selects the entry and notifies the parent (CBN_SELCHANGE).
void win32ComboUserSelect(HWND control, int index);
// Called for every SDL event polled by the message queue, before translation; true when
// the event was taken (by a window drawn with controls).
bool win32ControlsTakeEvent(const SDL_Event& event);
// Draws every visible top-level window that holds controls (after the queue was drained).
void win32ControlsDraw();
// True while a window with controls is drawn.
bool win32ControlsActive();
// Releases the drawing state of a window being destroyed.
void win32ControlsRelease(Win32Window& record);
