// Module decoding and mixing shared by the live device and the offline renderer, so both
// produce the same samples for the same module, position and volume.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/win32_types.h"

struct openmpt_module;

namespace bass_mixer {

// Sample frames mixed per step; callers' buffers hold kChunkFrames stereo frames.
constexpr size_t kChunkFrames = 1024;

// A module from bytes in memory, with libopenmpt's messages silenced; null when not a module.
openmpt_module* loadModule(const void* data, size_t size);
// Reads a whole file (or part of it: offset, length 0 = to the end) and loads it.
openmpt_module* loadModuleFile(const char* path, DWORD offset, DWORD length);
void destroyModule(openmpt_module* module);
// Looping (BASS_MUSIC_LOOP) or playing once.
void applyFlags(openmpt_module* module, DWORD flags);
// Pan separation 0..100 (50 = the module's own panning) as libopenmpt's 0..200 percent.
void setPanSeparation(openmpt_module* module, DWORD pan);
// Back to a position: low word order, high word row.
void setPosition(openmpt_module* module, DWORD pos);

// Renders up to frames (≤ kChunkFrames) from the module into scratch and adds them, scaled by
// volume / 100, to the float stereo accumulator. Returns the frames the module produced
// (fewer at its end when it does not loop).
size_t mixChunk(openmpt_module* module, int32_t rate, int volume, float* scratch, float* accumulator, size_t frames);
// Float samples to signed 16-bit with rounding and clipping.
void toPcm16(const float* samples, int16_t* out, size_t count);

}  // namespace bass_mixer
