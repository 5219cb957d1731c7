// Drawing of windows that hold standard controls, and the user's input to them.
#include "platform/win32/win32_internal.h"

bool win32ControlsTakeEvent(const SDL_Event&) { return false; }
void win32ControlsDraw() {}
void win32ControlsRelease(Win32Window&) {}
