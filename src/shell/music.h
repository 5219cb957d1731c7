// Music playback: the four fixed sequences of sound library calls the show makes. Music is
// optional; when the library is of another version or no sound device opens, the show is silent.
#pragma once

#include "platform/bass/bass.h"
#include "platform/win32/win32_types.h"

// Checks the library version and opens the sound device for the window; true when both worked.
bool initMusic(HWND window);
// Loads the module file; 0 when it cannot be loaded.
HMUSIC loadMusic(const char* fileName);
// Starts output and plays the module from its start with pan separation 35.
bool startMusic(HMUSIC music);
// Stops the output (the handle is not used).
bool stopMusic(HMUSIC music);
