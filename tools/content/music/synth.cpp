// Instrument synthesis: additive band-limited oscillators read from tables at integer phase
// steps (so looped tones repeat exactly), noise from a fixed-seed generator, simple filters
// and envelopes. Everything is computed in double precision in a fixed order, so the same
// program writes the same samples every time.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kSynthRate;
constexpr double kMiddleC = 261.6255653005986;

using Wave = std::vector<double>;

struct Noise {
  uint32_t state;
  explicit Noise(uint32_t seed) : state(seed) {}
  double next() {  // uniform in [-1, 1)
    state = state * 1664525u + 1013904223u;
    return double(int32_t(state)) / 2147483648.0;
  }
};

// One cycle of a band-limited waveform (harmonic amplitudes by index) in a table of 4096.
struct Table {
  static constexpr int kSize = 4096;
  std::vector<double> v;
  explicit Table(const std::function<double(int)>& harmonic, int harmonics) : v(kSize + 1, 0.0) {
    for (int h = 1; h <= harmonics; ++h) {
      const double a = harmonic(h);
      if (a == 0) continue;
      for (int i = 0; i < kSize; ++i) v[size_t(i)] += a * std::sin(2 * kPi * h * i / kSize);
    }
    v[kSize] = v[0];
  }
  // Phase in cycles, any value.
  double at(double phase) const {
    phase -= std::floor(phase);
    const double x = phase * kSize;
    const int i = int(x);
    const double f = x - i;
    return v[size_t(i)] * (1 - f) + v[size_t(i + 1)] * f;
  }
};

Table saw(double f0) {
  const int n = std::max(1, int(9000.0 / f0));
  return Table([](int h) { return (h % 2 ? 1.0 : -1.0) / h; }, n);
}
Table pulse(double f0, double width) {
  const int n = std::max(1, int(9000.0 / f0));
  return Table([width](int h) { return std::sin(kPi * h * width) / h; }, n);
}

// Biquad filters (lowpass, highpass, bandpass) with coefficients set per sample or once.
struct Biquad {
  double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  enum Kind { Low, High, Band };
  void set(Kind kind, double freq, double q) {
    freq = std::clamp(freq, 10.0, kRate * 0.45);
    const double w = 2 * kPi * freq / kRate, c = std::cos(w), alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    switch (kind) {
      case Low:
        b0 = (1 - c) / 2;
        b1 = 1 - c;
        b2 = (1 - c) / 2;
        break;
      case High:
        b0 = (1 + c) / 2;
        b1 = -(1 + c);
        b2 = (1 + c) / 2;
        break;
      case Band:
        b0 = alpha;
        b1 = 0;
        b2 = -alpha;
        break;
    }
    b0 /= a0;
    b1 /= a0;
    b2 /= a0;
    a1 = -2 * c / a0;
    a2 = (1 - alpha) / a0;
  }
  double run(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

void filter(Wave& w, Biquad::Kind kind, double freq, double q) {
  Biquad f;
  f.set(kind, freq, q);
  for (double& s : w) s = f.run(s);
}

// A small room: four combs and two allpasses (mono), mixed in at wet.
void room(Wave& w, double wet, double decay) {
  const int combs[4] = {1117, 1277, 1422, 1557};
  const int passes[2] = {225, 556};
  Wave out(w.size(), 0.0);
  for (int c : combs) {
    Wave buf(size_t(c), 0.0);
    double lp = 0;
    for (size_t i = 0; i < w.size(); ++i) {
      double& slot = buf[i % size_t(c)];
      const double y = slot;
      lp = y * 0.7 + lp * 0.3;
      slot = w[i] + lp * decay;
      out[i] += y * 0.25;
    }
  }
  for (int a : passes) {
    Wave buf(size_t(a), 0.0);
    for (size_t i = 0; i < out.size(); ++i) {
      double& slot = buf[i % size_t(a)];
      const double y = slot - 0.5 * out[i];
      slot = out[i] + 0.5 * y;
      out[i] = y;
    }
  }
  for (size_t i = 0; i < w.size(); ++i) w[i] += wet * out[i];
}

Wave blank(double seconds) { return Wave(size_t(seconds * kRate), 0.0); }

double fadeIn(size_t i, double seconds) { return std::min(1.0, double(i) / (seconds * kRate)); }

XmSample toSample(const std::string& name, const Wave& w, double peak = 0.97) {
  double m = 1e-9;
  for (double s : w) m = std::max(m, std::fabs(s));
  XmSample out;
  out.name = name;
  out.pcm.reserve(w.size());
  for (double s : w) out.pcm.push_back(int16_t(std::lrint(std::clamp(s / m * peak, -1.0, 1.0) * 32767.0)));
  return out;
}

void loopTail(XmSample& s, uint32_t start, uint32_t length) {
  s.pcm.resize(start + length);
  s.loop = XmLoop::Forward;
  s.loopStart = start;
  s.loopLength = length;
}

// Envelope in ticks of 20 ms: a rise, a hold at sustain, a release after the key goes up.
XmEnvelope sustainEnvelope(uint16_t attack, uint16_t decay, uint16_t level, uint16_t release) {
  XmEnvelope e;
  e.points = {{0, uint16_t(attack == 0 ? 64 : 0)},
              {uint16_t(std::max<int>(attack, 1)), 64},
              {uint16_t(std::max<int>(attack, 1) + decay + 1), level},
              {uint16_t(std::max<int>(attack, 1) + decay + 1 + release), 0}};
  e.sustain = 2;
  return e;
}

// ---- Drums ---------------------------------------------------------------------------------

Wave kick() {
  Wave w = blank(0.5);
  Noise n(7);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double f = 52 + 120 * std::exp(-t / 0.03) + 60 * std::exp(-t / 0.006);
    phase += f / kRate;
    const double body = std::sin(2 * kPi * phase) * std::exp(-t / 0.2) * fadeIn(i, 0.0015);
    const double click = n.next() * std::exp(-t / 0.002) * 0.35;
    w[i] = std::tanh(1.8 * (body + click));
  }
  for (size_t i = w.size() - 600; i < w.size(); ++i) w[i] *= double(w.size() - i) / 600.0;
  return w;
}

Wave snare() {
  Wave w = blank(0.45);
  Noise n(11);
  Biquad hp, bp, lp;
  hp.set(Biquad::High, 1400, 0.7);
  bp.set(Biquad::Band, 5000, 0.6);
  lp.set(Biquad::Low, 8500, 0.7);  // the crack without the hiss above it
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double tone = (std::sin(2 * kPi * 186 * t) * 0.55 * std::exp(-t / 0.045) +
                         std::sin(2 * kPi * 334 * t) * 0.3 * std::exp(-t / 0.03)) *
                        fadeIn(i, 0.001);
    const double x = n.next();
    const double rattle = lp.run(hp.run(x) * 0.8 + bp.run(x) * 0.5) * std::exp(-t / 0.085);
    w[i] = std::tanh(1.4 * (tone + rattle));
  }
  room(w, 0.22, 0.72);
  return w;
}

Wave clap() {
  Wave w = blank(0.5);
  Noise n(23);
  Biquad bp;
  bp.set(Biquad::Band, 1300, 1.1);
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    double env = std::exp(-t / 0.12) * 0.6;
    for (double start : {0.0, 0.011, 0.022}) {
      if (t >= start) env += std::exp(-(t - start) / 0.0045);
    }
    w[i] = bp.run(n.next()) * env;
  }
  room(w, 0.35, 0.75);
  return w;
}

Wave metal(double seconds, double decay, uint32_t seed, double highpass) {
  Wave w = blank(seconds);
  Noise n(seed);
  const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    double sq = 0;
    for (double f : freqs) sq += std::sin(2 * kPi * f * 2.0 * t) > 0 ? 1.0 : -1.0;
    w[i] = (sq / 6.0 * 0.6 + n.next() * 0.7) * std::exp(-t / decay) * fadeIn(i, 0.0008);
  }
  filter(w, Biquad::High, highpass, 0.7);
  filter(w, Biquad::High, highpass, 0.9);
  return w;
}

Wave crash() {
  Wave w = metal(2.6, 0.7, 31, 3500);
  for (size_t i = w.size() - 4000; i < w.size(); ++i) w[i] *= double(w.size() - i) / 4000.0;
  return w;
}

// A cymbal swelling up to its end: trigger it its length before the point it leads to.
Wave riser() {
  Wave c = metal(2.0, 0.5, 37, 2500);
  Wave w(c.rbegin(), c.rend());
  Noise n(41);
  Biquad sweep;
  for (size_t i = 0; i < w.size(); ++i) {
    const double p = double(i) / double(w.size());
    sweep.set(Biquad::Band, 400 + 6000 * p * p, 1.2);
    w[i] = w[i] * 0.8 + sweep.run(n.next()) * p * p * 0.6;
  }
  for (size_t i = w.size() - 90; i < w.size(); ++i) w[i] *= double(w.size() - i) / 90.0;
  return w;
}

Wave tom() {  // pitched: fundamental around 110 Hz at its body
  Wave w = blank(0.6);
  double phase = 0;
  Noise n(43);
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double f = 110 * (1 + 0.5 * std::exp(-t / 0.05));
    phase += f / kRate;
    w[i] = (std::sin(2 * kPi * phase) + n.next() * 0.15 * std::exp(-t / 0.01)) * std::exp(-t / 0.22) * fadeIn(i, 0.001);
  }
  for (size_t i = w.size() - 800; i < w.size(); ++i) w[i] *= double(w.size() - i) / 800.0;
  return w;
}

Wave impact() {  // a deep hit under the big cuts
  Wave w = blank(2.2);
  Noise n(47);
  Biquad lp;
  lp.set(Biquad::Low, 900, 0.7);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    phase += (38 + 60 * std::exp(-t / 0.08)) / kRate;
    w[i] = std::sin(2 * kPi * phase) * std::exp(-t / 0.7) * fadeIn(i, 0.002) +
           lp.run(n.next()) * std::exp(-t / 0.35) * 0.9;
  }
  room(w, 0.4, 0.8);
  for (size_t i = w.size() - 4000; i < w.size(); ++i) w[i] *= double(w.size() - i) / 4000.0;
  return w;
}

// ---- Tones ---------------------------------------------------------------------------------

// Rubber bass: saw and square through a resonant lowpass closing after the attack, then a
// steady period repeated. f0 = kRate / 400.
XmSample bass() {
  const int period = 400;
  const double f0 = kRate / period;
  const Table s = saw(f0), p = pulse(f0, 0.5);
  Wave w = blank(0.7);
  Biquad lp;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double ph = double(i % period) / period;
    lp.set(Biquad::Low, 380 + 2600 * std::exp(-t / 0.07), 2.2 - 1.2 * std::exp(-t / 0.07));
    const double x = s.at(ph) * 0.7 + p.at(ph) * 0.4;
    w[i] = std::tanh(1.5 * lp.run(x)) * fadeIn(i, 0.002);
  }
  XmSample out = toSample("bass", w);
  const uint32_t start = uint32_t(0.6 * kRate) / period * period;
  loopTail(out, start, period);
  tuneSample(f0, out);
  return out;
}

// Detuned saws at whole-number frequencies repeat after exactly one second: the loop.
XmSample sawStack(const std::string& name, const std::vector<int>& freqs, double f0, double cutoff, uint32_t seed,
                  double pulseMix) {
  Wave w = blank(2.0);
  Noise n(seed);
  for (int f : freqs) {
    const Table s = saw(f);
    const Table p = pulse(f, 0.3);
    const double start = (n.next() + 1) * 0.5;
    for (size_t i = 0; i < w.size(); ++i) {
      const double ph = start + double((uint64_t(f) * i) % uint64_t(kRate)) / kRate;
      w[i] += s.at(ph) * (1 - pulseMix) + p.at(ph) * pulseMix;
    }
  }
  filter(w, Biquad::Low, cutoff, 0.6);
  filter(w, Biquad::Low, cutoff * 1.6, 0.6);
  XmSample out = toSample(name, w);
  loopTail(out, uint32_t(kRate), uint32_t(kRate));
  tuneSample(f0, out);
  return out;
}

XmSample pluck() {  // f0 = kRate / 100
  const int period = 100;
  const double f0 = kRate / period;
  const Table p = pulse(f0, 0.25), s = saw(f0);
  Wave w = blank(0.55);
  Biquad lp;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double ph = double(i % period) / period;
    lp.set(Biquad::Low, 1500 + 7000 * std::exp(-t / 0.04), 1.0);
    w[i] = lp.run(p.at(ph) * 0.7 + s.at(ph) * 0.3) * std::exp(-t / 0.16) * fadeIn(i, 0.001);
  }
  for (size_t i = w.size() - 1000; i < w.size(); ++i) w[i] *= double(w.size() - i) / 1000.0;
  XmSample out = toSample("pluck", w);
  tuneSample(f0, out);
  return out;
}

XmSample bell() {  // f0 = kRate / 100, a struck tone with an inharmonic shimmer
  const double f0 = kRate / 100.0;
  Wave w = blank(2.8);
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    const double index = 2.2 * std::exp(-t / 0.35) + 0.3;
    w[i] = (std::sin(2 * kPi * f0 * t + index * std::sin(2 * kPi * f0 * 3.5 * t)) * std::exp(-t / 0.9) +
            0.35 * std::sin(2 * kPi * f0 * 2 * t) * std::exp(-t / 0.4)) *
           fadeIn(i, 0.001);
  }
  room(w, 0.3, 0.8);
  for (size_t i = w.size() - 6000; i < w.size(); ++i) w[i] *= double(w.size() - i) / 6000.0;
  XmSample out = toSample("bell", w);
  tuneSample(f0, out);
  return out;
}

XmSample stab() {  // brass-like chord stab: saws whose filter closes quickly, f0 = 220
  const std::vector<int> freqs = {218, 220, 222};
  Wave w = blank(0.9);
  for (int f : freqs) {
    const Table s = saw(f);
    for (size_t i = 0; i < w.size(); ++i) w[i] += s.at(double((uint64_t(f) * i) % uint64_t(kRate)) / kRate);
  }
  Biquad lp;
  for (size_t i = 0; i < w.size(); ++i) {
    const double t = double(i) / kRate;
    lp.set(Biquad::Low, 700 + 5000 * std::exp(-t / 0.09), 1.4);
    w[i] = lp.run(w[i]) * std::exp(-t / 0.3) * fadeIn(i, 0.003);
  }
  room(w, 0.25, 0.75);
  for (size_t i = w.size() - 3000; i < w.size(); ++i) w[i] *= double(w.size() - i) / 3000.0;
  XmSample out = toSample("stab", w);
  tuneSample(220, out);
  return out;
}

XmInstrument single(const std::string& name, XmSample sample, uint8_t panning) {
  XmInstrument ins;
  ins.name = name;
  sample.panning = panning;
  ins.samples.push_back(std::move(sample));
  return ins;
}

XmInstrument drum(const std::string& name, const Wave& w, uint8_t panning, double f0 = kMiddleC) {
  XmSample s = toSample(name, w);
  tuneSample(f0, s);
  return single(name, std::move(s), panning);
}

using Maker = std::function<XmInstrument(uint8_t)>;

const std::map<std::string, Maker>& makers() {
  static const std::map<std::string, Maker> table = {
      {"kick", [](uint8_t p) { return drum("kick", kick(), p); }},
      {"snare", [](uint8_t p) { return drum("snare", snare(), p); }},
      {"clap", [](uint8_t p) { return drum("clap", clap(), p); }},
      {"hat", [](uint8_t p) { return drum("hat", metal(0.12, 0.028, 13, 7000), p); }},
      {"openhat", [](uint8_t p) { return drum("openhat", metal(0.6, 0.2, 17, 6500), p); }},
      {"crash", [](uint8_t p) { return drum("crash", crash(), p); }},
      {"riser", [](uint8_t p) { return drum("riser", riser(), p); }},
      {"tom", [](uint8_t p) { return drum("tom", tom(), p, 110.0); }},
      {"impact", [](uint8_t p) { return drum("impact", impact(), p); }},
      {"bass",
       [](uint8_t p) {
         XmInstrument ins = single("bass", bass(), p);
         ins.volumeEnvelope = sustainEnvelope(0, 6, 52, 3);
         return ins;
       }},
      {"pad",
       [](uint8_t p) {
         XmInstrument ins = single("pad", sawStack("pad", {216, 218, 219, 220, 221, 222, 224}, 220, 2400, 3, 0.0), p);
         ins.volumeEnvelope = sustainEnvelope(18, 20, 52, 45);
         ins.vibratoType = 0, ins.vibratoSweep = 0, ins.vibratoDepth = 2, ins.vibratoRate = 6;
         return ins;
       }},
      {"strings",
       [](uint8_t p) {
         XmInstrument ins = single("strings", sawStack("strings", {217, 219, 220, 221, 223}, 220, 1500, 5, 0.35), p);
         ins.volumeEnvelope = sustainEnvelope(40, 10, 60, 60);
         ins.vibratoType = 0, ins.vibratoSweep = 40, ins.vibratoDepth = 3, ins.vibratoRate = 10;
         return ins;
       }},
      {"lead",
       [](uint8_t p) {
         XmInstrument ins = single("lead", sawStack("lead", {439, 440, 441}, 440, 5200, 9, 0.3), p);
         ins.volumeEnvelope = sustainEnvelope(1, 14, 46, 8);
         ins.vibratoType = 0, ins.vibratoSweep = 30, ins.vibratoDepth = 4, ins.vibratoRate = 14;
         return ins;
       }},
      {"pluck", [](uint8_t p) { return single("pluck", pluck(), p); }},
      {"bell", [](uint8_t p) { return single("bell", bell(), p); }},
      {"stab", [](uint8_t p) { return single("stab", stab(), p); }},
  };
  return table;
}

}  // namespace

void tuneSample(double f0, XmSample& sample) {
  // The replayer plays C-4 of a sample at 8363 Hz, shifted by relative note + finetune / 128.
  const double t = 12.0 * std::log2(kRate / 8363.0) + 12.0 * std::log2(kMiddleC / f0);
  int semis = int(std::floor(t));
  int fine = int(std::lrint((t - semis) * 128.0));
  if (fine >= 128) fine -= 128, ++semis;
  if (fine > 127) fine = 127;
  sample.relativeNote = int8_t(semis);
  sample.finetune = int8_t(fine);
}

bool synthInstrument(const std::string& name, uint8_t panning, XmInstrument& out) {
  const auto it = makers().find(name);
  if (it == makers().end()) return false;
  out = it->second(panning);
  return true;
}

std::vector<std::string> synthInstrumentNames() {
  std::vector<std::string> names;
  for (const auto& entry : makers()) names.push_back(entry.first);
  return names;
}
