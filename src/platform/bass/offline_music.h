// Offline rendering of a music module for capture: the same decoding and mixing as the live
// device, driven by the caller chunk by chunk instead of by a sound card, so a capture can
// write its audio sample-exact to its video frames. Deterministic: the same file, settings
// and calls give the same samples.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32/win32_types.h"

struct openmpt_module;

class OfflineMusic {
 public:
  // Output rate of render: stereo frames per second.
  static constexpr int32_t kRate = 44100;

  OfflineMusic();
  ~OfflineMusic();
  OfflineMusic(const OfflineMusic&) = delete;
  OfflineMusic& operator=(const OfflineMusic&) = delete;

  // Loads the module set up as the show plays it: flags as for BASS_MusicLoad/PlayEx
  // (BASS_MUSIC_LOOP loops), pan separation as for BASS_MusicSetPanSep, from its start.
  // False when the file is missing or not a module.
  bool open(const char* fileName, DWORD flags, DWORD panSeparation);
  bool isOpen() const { return module != nullptr; }

  // Writes exactly frames stereo frames (frames × 2 interleaved signed 16-bit samples) at
  // kRate with the music volume 0..100 applied; after the end of a module that does not loop,
  // and when nothing is open, the rest is silence. Returns the frames the module produced.
  size_t render(int16_t* out, size_t frames, int volume);
  // Frames produced by the module since open.
  uint64_t framesRendered() const { return rendered; }

 private:
  openmpt_module* module;
  uint64_t rendered;
  float* scratch;
  float* accumulator;
};
