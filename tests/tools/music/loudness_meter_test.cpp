// The loudness meter against signals whose loudness and peaks are known in advance.
#include "loudness_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;

// Stereo sine of the given amplitude on both channels, phase in radians.
void appendSine(std::vector<float>& out, double freq, double amplitude, double seconds, double phase = 0) {
  const size_t n = size_t(seconds * kRate);
  for (size_t i = 0; i < n; ++i) {
    const float v = float(amplitude * std::sin(2 * kPi * freq * double(i) / kRate + phase));
    out.push_back(v);
    out.push_back(v);
  }
}

LoudnessReport measure(const std::vector<float>& stereo) {
  LoudnessMeter meter(kRate);
  meter.add(stereo.data(), stereo.size() / 2);
  return meter.report();
}

TEST(LoudnessMeter, ReadsTheReferenceToneAtItsLevel) {
  // A 997 Hz tone at -20 dBFS in both channels reads -20 LUFS; 20 dB quieter reads 20 less.
  std::vector<float> tone;
  appendSine(tone, 997, 0.1, 10);
  EXPECT_NEAR(measure(tone).integratedLufs, -20.0, 0.1);
  std::vector<float> quiet;
  appendSine(quiet, 997, 0.01, 10);
  EXPECT_NEAR(measure(quiet).integratedLufs, -40.0, 0.1);
  // Low tones count for less, presence tones for more (the K-weighting).
  std::vector<float> low, high;
  appendSine(low, 30, 0.1, 5);
  appendSine(high, 4000, 0.1, 5);
  EXPECT_LT(measure(low).integratedLufs, -22.0);
  EXPECT_GT(measure(high).integratedLufs, -17.0);
}

TEST(LoudnessMeter, GatesSilenceAndQuietPassages) {
  std::vector<float> signal;
  appendSine(signal, 997, 0.1, 10);
  signal.resize(signal.size() * 2, 0.0f);  // then 10 s of silence: below the absolute gate
  EXPECT_NEAR(measure(signal).integratedLufs, -20.0, 0.1);
  // A passage 20 dB down falls under the relative gate; an ungated mean would read -23 LUFS.
  std::vector<float> mixed;
  appendSine(mixed, 997, 0.1, 10);
  appendSine(mixed, 997, 0.01, 10);
  EXPECT_NEAR(measure(mixed).integratedLufs, -20.0, 0.15);
  EXPECT_LE(measure(std::vector<float>(kRate * 2, 0.0f)).integratedLufs, -1e8);  // nothing to measure
}

TEST(LoudnessMeter, FindsPeaksBetweenSamples) {
  // A tone at a quarter of the rate sampled 45 degrees off its crests: every sample is 3 dB
  // below the wave's true peak.
  std::vector<float> tone;
  appendSine(tone, kRate / 4.0, 0.5, 1, kPi / 4);
  const LoudnessReport r = measure(tone);
  EXPECT_NEAR(r.samplePeakDbfs, 20 * std::log10(0.5 * std::sqrt(0.5)), 0.05);
  EXPECT_NEAR(r.truePeakDbtp, 20 * std::log10(0.5), 0.5);
}

}  // namespace
