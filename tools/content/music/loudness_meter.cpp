// BS.1770 loudness meter: the two K-weighting filters designed for the actual sample rate,
// gated block loudness, and a 48-tap 4x interpolator for the true peak.
#include "loudness_meter.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kPhases = 4;
constexpr int kTapsPerPhase = 12;

double toDb(double v) { return v > 0 ? 20.0 * std::log10(v) : -1e9; }

}  // namespace

double LoudnessMeter::Biquad::run(double x) {
  const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
  x2 = x1;
  x1 = x;
  y2 = y1;
  y1 = y;
  return y;
}

LoudnessMeter::LoudnessMeter(double sampleRate)
    : rate(sampleRate), subBlockFrames(size_t(std::lround(sampleRate / 10))) {
  // Stage 1: a high shelf of about +4 dB above 1.7 kHz (the head's effect).
  {
    const double f0 = 1681.974450955533, gain = 3.999843853973347, q = 0.7071752369554196;
    const double k = std::tan(kPi * f0 / rate), vh = std::pow(10.0, gain / 20.0), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    for (Biquad& s : shelf) {
      s.b0 = (vh + vb * k / q + k * k) / a0;
      s.b1 = 2.0 * (k * k - vh) / a0;
      s.b2 = (vh - vb * k / q + k * k) / a0;
      s.a1 = 2.0 * (k * k - 1.0) / a0;
      s.a2 = (1.0 - k / q + k * k) / a0;
    }
  }
  // Stage 2: a second-order highpass at about 38 Hz.
  {
    const double f0 = 38.13547087602444, q = 0.5003270373238773;
    const double k = std::tan(kPi * f0 / rate);
    const double a0 = 1.0 + k / q + k * k;
    for (Biquad& h : highpass) {
      h.b0 = 1.0, h.b1 = -2.0, h.b2 = 1.0;
      h.a1 = 2.0 * (k * k - 1.0) / a0;
      h.a2 = (1.0 - k / q + k * k) / a0;
    }
  }
  // Interpolator: a Hann-windowed sinc over 48 taps; phase 0 reproduces the input samples.
  const int n = kPhases * kTapsPerPhase;
  taps.assign(size_t(n), 0.0);
  for (int i = 0; i < n; ++i) {
    const double x = double(i - n / 2) / kPhases;
    const double sinc = x == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
    const double window = 0.5 * (1.0 - std::cos(2.0 * kPi * i / n));
    taps[size_t(i)] = sinc * window;
  }
  for (std::vector<float>& h : history) h.assign(kTapsPerPhase, 0.0f);
}

void LoudnessMeter::add(const float* stereo, size_t frames) {
  for (size_t f = 0; f < frames; ++f) {
    historyPos = (historyPos + 1) % kTapsPerPhase;
    for (int ch = 0; ch < 2; ++ch) {
      const double x = stereo[2 * f + size_t(ch)];
      samplePeak = std::fmax(samplePeak, std::fabs(x));
      const double k = highpass[ch].run(shelf[ch].run(x));
      subBlockSum[ch] += k * k;
      // Output sample at position historyPos - 6 + p/4, from taps i = 4t + p.
      std::vector<float>& h = history[ch];
      h[historyPos] = float(x);
      for (int p = 0; p < kPhases; ++p) {
        double y = 0;
        for (int t = 0; t < kTapsPerPhase; ++t) {
          const size_t at = (historyPos + kTapsPerPhase - size_t(t)) % kTapsPerPhase;
          y += h[at] * taps[size_t(t * kPhases + p)];
        }
        truePeak = std::fmax(truePeak, std::fabs(y));
      }
    }
    if (++subBlockFill == subBlockFrames) {
      subBlocks.push_back((subBlockSum[0] + subBlockSum[1]) / double(subBlockFrames));
      subBlockSum[0] = subBlockSum[1] = 0;
      subBlockFill = 0;
    }
  }
}

LoudnessReport LoudnessMeter::report() const {
  LoudnessReport r;
  r.truePeakDbtp = toDb(truePeak);
  r.samplePeakDbfs = toDb(samplePeak);
  // 400 ms blocks overlapping by 75 %: four consecutive 100 ms parts.
  std::vector<double> blocks;
  for (size_t i = 0; i + 4 <= subBlocks.size(); ++i)
    blocks.push_back((subBlocks[i] + subBlocks[i + 1] + subBlocks[i + 2] + subBlocks[i + 3]) / 4.0);
  auto loudness = [](double z) { return -0.691 + 10.0 * std::log10(z); };
  double sum = 0;
  size_t count = 0;
  for (double z : blocks)
    if (z > 0 && loudness(z) > -70.0) sum += z, ++count;
  if (count == 0) return r;
  const double relativeGate = loudness(sum / double(count)) - 10.0;
  sum = 0;
  count = 0;
  for (double z : blocks)
    if (z > 0 && loudness(z) > -70.0 && loudness(z) > relativeGate) sum += z, ++count;
  if (count > 0) r.integratedLufs = loudness(sum / double(count));
  return r;
}
