// Loudness of a stereo signal after the ITU-R BS.1770 method: K-weighting, 400 ms blocks
// every 100 ms with the absolute (-70 LUFS) and relative (-10 LU) gates, and the true peak
// from 4x oversampling.
#pragma once

#include <cstddef>
#include <vector>

struct LoudnessReport {
  double integratedLufs = -1e9;  // -1e9 when every block was gated away
  double truePeakDbtp = -1e9;
  double samplePeakDbfs = -1e9;
};

class LoudnessMeter {
 public:
  explicit LoudnessMeter(double rate);
  // Interleaved left/right samples in -1..1.
  void add(const float* stereo, size_t frames);
  LoudnessReport report() const;

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double run(double x);
  };
  double rate;
  size_t subBlockFrames;  // 100 ms
  Biquad shelf[2], highpass[2];
  double subBlockSum[2] = {0, 0};  // K-weighted squares of the current 100 ms
  size_t subBlockFill = 0;
  std::vector<double> subBlocks;  // mean square (left + right) of every full 100 ms
  std::vector<double> taps;       // 4 phases × 12 taps of the interpolation filter
  std::vector<float> history[2];  // the last 12 input samples per channel
  size_t historyPos = 0;
  double truePeak = 0, samplePeak = 0;
};
