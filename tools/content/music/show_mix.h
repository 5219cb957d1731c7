// The music as the show's capture hears it (the sound library's offline renderer, looping,
// pan separation 35, the volume the show sets each 30 fps frame, its fade from 141 to 143 s),
// with the figures we hold the mix to and a WAV writer for listening.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loudness_meter.h"

constexpr int kShowMixRate = 44100;

// Interleaved stereo 16-bit samples of the first seconds of the show; false when the module
// does not load.
bool renderShowMix(const std::string& xmPath, double seconds, std::vector<int16_t>& pcm);

struct MixFigures {
  LoudnessReport loudness;
  int firstSilentSecond = -1;  // first whole second below -60 dBFS RMS, or -1
  double sideToMidDb = -1e9;   // energy of (L - R) against (L + R): how far left and right differ
};

MixFigures measureMix(const std::vector<int16_t>& pcm);

bool writeWav(const std::string& path, const std::vector<int16_t>& pcm);
