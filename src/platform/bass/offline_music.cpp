// Offline module rendering for capture, through the same mixer as the live device.
#include "platform/bass/offline_music.h"

#include <cstdlib>
#include <cstring>

#include "platform/bass/module_mixer.h"

OfflineMusic::OfflineMusic() : module(nullptr), rendered(0), scratch(nullptr), accumulator(nullptr) {}

OfflineMusic::~OfflineMusic() {
  bass_mixer::destroyModule(module);
  std::free(scratch);
  std::free(accumulator);
}

bool OfflineMusic::open(const char* fileName, DWORD flags, DWORD panSeparation) {
  bass_mixer::destroyModule(module);
  module = nullptr;
  rendered = 0;
  if (scratch == nullptr) scratch = static_cast<float*>(std::malloc(bass_mixer::kChunkFrames * 2 * sizeof(float)));
  if (accumulator == nullptr)
    accumulator = static_cast<float*>(std::malloc(bass_mixer::kChunkFrames * 2 * sizeof(float)));
  if (scratch == nullptr || accumulator == nullptr) return false;
  module = bass_mixer::loadModuleFile(fileName, 0, 0);
  if (module == nullptr) return false;
  bass_mixer::applyFlags(module, flags);
  bass_mixer::setPanSeparation(module, panSeparation);
  bass_mixer::setPosition(module, 0);
  return true;
}

size_t OfflineMusic::render(int16_t* out, size_t frames, int volume) {
  if (out == nullptr) return 0;
  if (volume < 0) volume = 0;
  if (volume > 100) volume = 100;
  size_t produced = 0;
  bool ended = module == nullptr;
  while (frames > 0) {
    const size_t chunk = frames < bass_mixer::kChunkFrames ? frames : bass_mixer::kChunkFrames;
    if (ended) {
      std::memset(out, 0, chunk * 2 * sizeof(int16_t));
    } else {
      std::memset(accumulator, 0, chunk * 2 * sizeof(float));
      const size_t got = bass_mixer::mixChunk(module, kRate, volume, scratch, accumulator, chunk);
      produced += got;
      ended = got < chunk;
      bass_mixer::toPcm16(accumulator, out, chunk * 2);
    }
    out += chunk * 2;
    frames -= chunk;
  }
  rendered += produced;
  return produced;
}
