// Fuzz target for the music loader on module bytes: load from memory with the show's flags,
// set the pan separation and a position, mix two short chunks into 16-bit samples, free.
#include <cmath>
#include <vector>

#include "platform/bass/bass.h"
#include "platform/bass/module_mixer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  openmpt_module* module = bass_mixer::loadModule(data, size);
  if (module == nullptr) return 0;
  bass_mixer::applyFlags(module, BASS_MUSIC_RAMPS | BASS_MUSIC_LOOP);
  bass_mixer::setPanSeparation(module, size % 2 == 0 ? 35 : 250);
  bass_mixer::setPosition(module, static_cast<DWORD>(size % 3));
  std::vector<float> scratch(bass_mixer::kChunkFrames * 2);
  std::vector<float> mix(bass_mixer::kChunkFrames * 2, 0.0f);
  std::vector<int16_t> pcm(bass_mixer::kChunkFrames * 2);
  // Two short chunks: enough to run the first rows of the position set above.
  for (int chunk = 0; chunk < 2; ++chunk) {
    const size_t frames = bass_mixer::mixChunk(module, 44100, 100, scratch.data(), mix.data(), 256);
    if (frames > 256) __builtin_trap();
    bass_mixer::toPcm16(mix.data(), pcm.data(), frames * 2);
  }
  bass_mixer::destroyModule(module);
  return 0;
}
