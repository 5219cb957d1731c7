// The capture's sound track from the sound library's offline renderer.
#include "shell/capture.h"

namespace {

// Until the library offers offline rendering the sound track stays silent.
class SilentCaptureMusic : public CaptureMusic {
 public:
  bool load(const char*) override { return false; }
  void render(std::int16_t*, std::size_t, int) override {}
};

}  // namespace

CaptureMusic* createLibraryCaptureMusic() { return new SilentCaptureMusic(); }
