// vellumite-compose: makes the show's music module from its score, and on request renders it
// as the show plays it to report loudness and write a WAV to listen to.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "composer.h"
#include "show_mix.h"

namespace {

int usage(FILE* to) {
  std::fprintf(to,
               "usage: vellumite-compose SCORE OUT.xm [--measure] [--wav FILE]\n"
               "makes the module from the score; --measure renders it as the show plays it and reports its\n"
               "loudness, --wav also writes that rendering\n");
  return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scorePath, outPath, wavPath;
  bool measure = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help") return usage(stdout);
    if (a == "--measure")
      measure = true;
    else if (a == "--wav" && i + 1 < argc)
      wavPath = argv[++i], measure = true;
    else if (!a.empty() && a[0] != '-' && scorePath.empty())
      scorePath = a;
    else if (!a.empty() && a[0] != '-' && outPath.empty())
      outPath = a;
    else
      return usage(stderr);
  }
  if (outPath.empty()) return usage(stderr);

  std::ifstream in(scorePath);
  if (!in) {
    std::fprintf(stderr, "vellumite-compose: cannot read %s\n", scorePath.c_str());
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  Score score;
  ComposedMusic music;
  std::string error;
  if (!parseScore(text.str(), score, error)) {
    std::fprintf(stderr, "vellumite-compose: %s:%s\n", scorePath.c_str(), error.substr(5).c_str());
    return 1;
  }
  if (!composeMusic(score, music, error)) {
    std::fprintf(stderr, "vellumite-compose: %s: %s\n", scorePath.c_str(), error.c_str());
    return 1;
  }
  if (!saveXm(music.module, outPath, &error)) {
    std::fprintf(stderr, "vellumite-compose: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %.3f s, %d channels, %zu patterns, %zu orders, %zu instruments\n", outPath.c_str(), music.seconds,
              music.module.channels, music.module.patterns.size(), music.module.orders.size(),
              music.module.instruments.size());
  for (const SectionTiming& s : music.sections) {
    std::printf("  %-10s order %3d  %8.3f s", s.name.c_str(), s.order, s.seconds);
    if (s.cut >= 0) std::printf("  cut %.3f s, off by %+.1f ms", s.cut, (s.seconds - s.cut) * 1000.0);
    std::printf("\n");
  }
  if (!measure) return 0;
  std::vector<int16_t> pcm;
  if (!renderShowMix(outPath, 146.5, pcm)) {
    std::fprintf(stderr, "vellumite-compose: the module does not load for rendering\n");
    return 1;
  }
  const MixFigures f = measureMix(pcm);
  std::printf(
      "show mix: %.2f LUFS integrated, true peak %.2f dBTP, sample peak %.2f dBFS, side/mid %.1f dB, "
      "first silent second %d\n",
      f.loudness.integratedLufs, f.loudness.truePeakDbtp, f.loudness.samplePeakDbfs, f.sideToMidDb,
      f.firstSilentSecond);
  // Each section on its own: how the mix builds from one to the next.
  for (size_t i = 0; i < music.sections.size(); ++i) {
    const double from = music.sections[i].seconds;
    const double to = std::min(146.5, i + 1 < music.sections.size() ? music.sections[i + 1].seconds : music.seconds);
    if (to <= from + 0.5) continue;
    const std::vector<int16_t> part(pcm.begin() + long(from * kShowMixRate) * 2,
                                    pcm.begin() + long(to * kShowMixRate) * 2);
    const MixFigures p = measureMix(part);
    std::printf("  %-10s %6.2f LUFS, true peak %6.2f dBTP\n", music.sections[i].name.c_str(), p.loudness.integratedLufs,
                p.loudness.truePeakDbtp);
  }
  if (!wavPath.empty() && !writeWav(wavPath, pcm)) {
    std::fprintf(stderr, "vellumite-compose: cannot write %s\n", wavPath.c_str());
    return 1;
  }
  return 0;
}
