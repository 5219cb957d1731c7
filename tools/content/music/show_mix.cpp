// Offline rendering of the show's music and the figures of the mix.
#include "show_mix.h"

#include <algorithm>
#include <cmath>

#include "platform/bass/bass.h"
#include "platform/bass/offline_music.h"
#include "writers/byte_writer.h"

bool renderShowMix(const std::string& xmPath, double seconds, std::vector<int16_t>& pcm) {
  OfflineMusic music;
  if (!music.open(xmPath.c_str(), BASS_MUSIC_RAMPS | BASS_MUSIC_LOOP, 35)) return false;
  const int fps = 30;
  const int frames = int(std::ceil(seconds * fps));
  pcm.assign(size_t(std::llround(seconds * kShowMixRate)) * 2, 0);
  int volume = 100;
  uint64_t done = 0;
  const uint64_t total = pcm.size() / 2;
  for (int f = 0; f < frames && done < total; ++f) {
    const double time = double(f) / fps;
    if (time > 141.0 && time < 143.0) volume = int(100.0 - (time - 141.0) * 0.5 * 100.0);
    uint64_t end = uint64_t(f + 1) * kShowMixRate / fps;
    if (end > total) end = total;
    music.render(pcm.data() + done * 2, size_t(end - done), volume);
    done = end;
  }
  return true;
}

MixFigures measureMix(const std::vector<int16_t>& pcm) {
  MixFigures m;
  LoudnessMeter meter(kShowMixRate);
  std::vector<float> chunk;
  const size_t frames = pcm.size() / 2;
  double mid = 0, side = 0;
  for (size_t start = 0; start < frames; start += kShowMixRate) {
    const size_t n = std::min<size_t>(kShowMixRate, frames - start);
    chunk.resize(n * 2);
    double squares = 0;
    for (size_t i = 0; i < n * 2; ++i) {
      chunk[i] = float(pcm[start * 2 + i]) / 32768.0f;
      squares += double(chunk[i]) * chunk[i];
    }
    for (size_t i = 0; i < n; ++i) {
      const double l = chunk[2 * i], r = chunk[2 * i + 1];
      mid += (l + r) * (l + r);
      side += (l - r) * (l - r);
    }
    meter.add(chunk.data(), n);
    const double rms = std::sqrt(squares / double(n * 2));
    if (m.firstSilentSecond < 0 && n == kShowMixRate && (rms <= 0 || 20 * std::log10(rms) < -60.0))
      m.firstSilentSecond = int(start / kShowMixRate);
  }
  m.loudness = meter.report();
  if (mid > 0 && side > 0) m.sideToMidDb = 10 * std::log10(side / mid);
  return m;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& pcm) {
  ByteBuffer out;
  const uint32_t bytes = uint32_t(pcm.size() * 2);
  appendFixedString(out, "RIFF", 4);
  appendU32(out, 36 + bytes);
  appendFixedString(out, "WAVEfmt ", 8);
  appendU32(out, 16);
  appendU16(out, 1);
  appendU16(out, 2);
  appendU32(out, kShowMixRate);
  appendU32(out, kShowMixRate * 4);
  appendU16(out, 4);
  appendU16(out, 16);
  appendFixedString(out, "data", 4);
  appendU32(out, bytes);
  for (int16_t s : pcm) appendU16(out, uint16_t(s));
  return saveBytes(path, out);
}
