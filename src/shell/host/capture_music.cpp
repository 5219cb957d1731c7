// The capture's sound track from the sound library's offline renderer, set up as the show
// plays its music (looping with sensitive ramping, pan separation 35).
#include "platform/bass/bass.h"
#include "platform/bass/offline_music.h"
#include "shell/host/capture.h"

namespace {

class LibraryCaptureMusic : public CaptureMusic {
 public:
  bool load(const char* file) override { return music.open(file, BASS_MUSIC_RAMPS | BASS_MUSIC_LOOP, 35); }
  void render(std::int16_t* out, std::size_t frames, int volume) override { music.render(out, frames, volume); }

  OfflineMusic music;
};

}  // namespace

CaptureMusic* createLibraryCaptureMusic() { return new LibraryCaptureMusic(); }
