// Living next to an X11 window manager: the desktop may destroy a window (or the frame it
// put around one) at any moment, so requests about a window that is already gone are a
// normal race there, not a fault of the program. Every call is harmless without X11.
#pragma once

#include <cstdint>

union SDL_Event;
struct SDL_Window;

// Once SDL's video runs on X11: requests that fail only because their window is gone are
// tolerated (counted and noted on the debug output) instead of ending the process, and the
// destruction of windows is reported as events. Idempotent.
void win32X11Attach();

// The SDL window that `event` reports destroyed by someone else (an X11 DestroyNotify for
// one of the windows in `windows`), or null.
SDL_Window* win32X11DestroyedWindow(const SDL_Event& event, SDL_Window* const* windows, int count);

// Before SDL lets go of a window someone else destroyed: SDL waits for the window's unmap
// notice when it hides a window it believes shown, and a destroyed window sends none any
// more, so the notice is handed to it here.
void win32X11ReleaseLostWindow(SDL_Window* window);

// X requests failed because their window had vanished, since the start.
std::uint64_t win32X11ToleratedErrors();

// The decision of the error handler: true for an error that only says the window or
// drawable of a request no longer exists (or, for the focus, is no longer viewable).
bool win32X11ErrorIsVanishedWindow(int errorCode, int requestCode);
