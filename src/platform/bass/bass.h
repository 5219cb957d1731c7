// The tracker-music library subset: version, device set-up, module loading, playback, pan
// separation, stop and global volumes, on libopenmpt with SDL2 audio output. Mixing runs on
// SDL's audio thread; every call here comes from the main thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/win32_types.h"

// A loaded module; 0 is no module.
using HMUSIC = DWORD;

// The version this subset reports: 0.8, packed as the library packs it.
constexpr DWORD BASSVERSION = 0x80000;

// Music flags (loading and playing).
constexpr DWORD BASS_MUSIC_RAMP = 1;   // soft volume ramping
constexpr DWORD BASS_MUSIC_RAMPS = 2;  // sensitive volume ramping
constexpr DWORD BASS_MUSIC_LOOP = 4;   // start again from the beginning at the end

// Version of the library.
DWORD BASS_GetVersion();
// Opens the output device (-1 = default) at freq Hz, 16-bit stereo; FALSE when no device can be
// opened or the library is already initialised. Output stays paused until BASS_Start.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win);
// Releases the device and every module (the program itself never calls it; process exit does).
BOOL BASS_Free();
// Loads an XM/MOD/S3M/IT module from a file (mem FALSE: file is a path, offset/length select a
// part, length 0 = to the end) or from memory (mem TRUE: length bytes at file + offset).
// 0 on failure or before BASS_Init.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
// Releases one module.
BOOL BASS_MusicFree(HMUSIC handle);
// Starts (resumes) the output.
BOOL BASS_Start();
// Stops (pauses) the output; playing modules keep their position.
BOOL BASS_Stop();
// Stereo pan separation 0..100, 50 being the module's own (linear) panning.
BOOL BASS_MusicSetPanSep(HMUSIC handle, DWORD pan);
// Plays a module from pos (low word order, high word row); flags as for loading (-1: keep);
// reset TRUE also resets the module's playing state.
BOOL BASS_MusicPlayEx(HMUSIC handle, DWORD pos, int flags, BOOL reset);
// Global volumes 0..100; -1 leaves a volume as it is. FALSE (and nothing changed) before BASS_Init.
BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol);
// Reads back the global volumes (any pointer may be null).
BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol);

// ---- Our own additions (not part of the library's interface) ----

// TRUE when the file (a path) opens as a module that BASS_MusicLoad would load; needs no
// device and loads nothing.
BOOL bassMusicFileOpens(const char* path);

// Makes BASS_GetVersion report another value (0 restores the real one); for tests of the
// version check.
void bassSetReportedVersion(DWORD version);
// Runs the device's mixer on the calling thread, under the device lock, into frames stereo
// 16-bit samples; what the audio thread would have produced next. For tests.
BOOL bassMixInto(int16_t* out, size_t frames);
// Sample frames a module has produced since it was last played from a position.
uint64_t bassMusicFramesMixed(HMUSIC handle);
