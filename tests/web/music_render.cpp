// Renders the first seconds of a music module as the show plays it (ramps, looping, pan
// separation 35) into raw 16-bit stereo samples, natively and as WebAssembly under node, so
// that the two builds of the sound library can be compared sample for sample.
//   music_render MODULE SECONDS OUT.raw
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/bass/bass.h"
#include "platform/bass/offline_music.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: music_render MODULE SECONDS OUT.raw\n", stderr);
    return 2;
  }
  OfflineMusic music;
  if (!music.open(argv[1], BASS_MUSIC_RAMPS | BASS_MUSIC_LOOP, 35)) {
    std::fprintf(stderr, "music_render: cannot open %s\n", argv[1]);
    return 1;
  }
  std::size_t frames = static_cast<std::size_t>(std::atof(argv[2]) * OfflineMusic::kRate);
  std::vector<std::int16_t> samples(frames * 2);
  // In the chunks a capture renders at 30 frames a second.
  const std::size_t chunk = OfflineMusic::kRate / 30;
  for (std::size_t at = 0; at < frames; at += chunk) {
    std::size_t n = frames - at < chunk ? frames - at : chunk;
    music.render(samples.data() + at * 2, n, 100);
  }
  std::FILE* out = std::fopen(argv[3], "wb");
  if (out == nullptr || std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), out) != samples.size()) {
    std::fprintf(stderr, "music_render: cannot write %s\n", argv[3]);
    return 1;
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
