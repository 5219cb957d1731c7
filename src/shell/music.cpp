// Music playback through the sound library, each operation a fixed sequence of calls.
#include "shell/music.h"

bool initMusic(HWND window) {
  if (BASS_GetVersion() != 0x80000) return false;
  return BASS_Init(-1, 44100, 16, window) != 0;
}

HMUSIC loadMusic(const char* fileName) { return BASS_MusicLoad(FALSE, fileName, 0, 0, 6); }

bool startMusic(HMUSIC music) {
  BASS_Start();
  BASS_MusicSetPanSep(music, 35);
  return BASS_MusicPlayEx(music, 0, 6, TRUE) != 0;
}

bool stopMusic(HMUSIC) { return BASS_Stop() != 0; }
