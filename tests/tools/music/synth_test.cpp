// The synthesised instruments as a module reader plays them: every pitched one in tune on the
// note it is given, looped tones that keep sounding, unpitched ones at their own rate.
#include "synth.h"

#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRate = 44100;

// One second of the instrument playing note alone, mono, through libopenmpt.
std::vector<float> playNote(const XmInstrument& instrument, int note) {
  XmModule m;
  m.channels = 2;
  m.orders = {0};
  XmPattern p(16, 2);
  p.at(0, 0, 2) = {uint8_t(note), 1, 0, 0, 0};
  m.patterns.push_back(p);
  m.instruments.push_back(instrument);
  const std::vector<uint8_t> bytes = xmBytes(m);
  openmpt_module* mod =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  std::vector<float> out(kRate);
  if (mod == nullptr) return {};
  openmpt_module_read_float_mono(mod, kRate, out.size(), out.data());
  openmpt_module_destroy(mod);
  return out;
}

// Fundamental from the autocorrelation's best lag between minHz and maxHz, refined between lags.
double pitchOf(const std::vector<float>& s, size_t from, double minHz, double maxHz) {
  const size_t n = 8192;
  auto corr = [&](size_t lag) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i) sum += double(s[i]) * s[i + lag];
    return sum;
  };
  size_t best = 0;
  double bestValue = -1e30;
  for (size_t lag = size_t(kRate / maxHz); lag <= size_t(kRate / minHz); ++lag) {
    const double c = corr(lag);
    if (c > bestValue) bestValue = c, best = lag;
  }
  const double a = corr(best - 1), b = bestValue, c = corr(best + 1);
  const double shift = 0.5 * (a - c) / (a - 2 * b + c);
  return kRate / (double(best) + shift);
}

double cents(double f, double reference) { return 1200.0 * std::log2(f / reference); }

TEST(Synth, PitchedInstrumentsPlayInTune) {
  struct Case {
    const char* name;
    int note;  // XM note: A-2 = 34, A-3 = 46, A-4 = 58
    double hz;
    size_t from;  // where the tone has settled
  } cases[] = {
      {"bass", 34, 110, 30000},    {"bass", 46, 220, 30000},   {"pad", 46, 220, 20000},
      {"strings", 46, 220, 30000}, {"lead", 58, 440, 20000},   {"lead", 70, 880, 20000},
      {"pluck", 58, 440, 1000},    {"stab", 49, 261.63, 2000}, {"tom", 34, 110, 15000},
  };
  for (const Case& c : cases) {
    XmInstrument ins;
    ASSERT_TRUE(synthInstrument(c.name, 128, ins)) << c.name;
    const std::vector<float> s = playNote(ins, c.note);
    ASSERT_EQ(s.size(), size_t(kRate));
    const double f = pitchOf(s, c.from, c.hz / 1.5, c.hz * 1.5);
    EXPECT_NEAR(cents(f, c.hz), 0.0, 15.0) << c.name << " on note " << c.note << " plays " << f << " Hz";
  }
}

TEST(Synth, SustainedInstrumentsKeepSoundingThroughTheirLoops) {
  for (const char* name : {"bass", "pad", "strings", "lead"}) {
    XmInstrument ins;
    ASSERT_TRUE(synthInstrument(name, 128, ins));
    const XmSample& s = ins.samples.at(0);
    ASSERT_EQ(s.loop, XmLoop::Forward) << name;
    // Well past the sample's own length the note still sounds.
    const std::vector<float> played = playNote(ins, 49);
    double energy = 0;
    for (size_t i = played.size() - 4410; i < played.size(); ++i) energy += double(played[i]) * played[i];
    EXPECT_GT(std::sqrt(energy / 4410), 0.01) << name;
    // The loop joins without a step: its last value leads into its first as neighbours do.
    const int last = s.pcm[s.loopStart + s.loopLength - 1], first = s.pcm[s.loopStart];
    int largestStep = 0;
    for (uint32_t i = s.loopStart + 1; i < s.loopStart + s.loopLength; ++i)
      largestStep = std::max(largestStep, std::abs(s.pcm[i] - s.pcm[i - 1]));
    EXPECT_LE(std::abs(last - first), largestStep + 64) << name;
  }
}

TEST(Synth, EveryInstrumentIsMadeAndUnknownNamesAreRefused) {
  for (const std::string& name : synthInstrumentNames()) {
    XmInstrument ins;
    ASSERT_TRUE(synthInstrument(name, 40, ins)) << name;
    ASSERT_EQ(ins.samples.size(), 1u);
    EXPECT_EQ(ins.samples[0].panning, 40);
    EXPECT_GT(ins.samples[0].pcm.size(), 1000u) << name;
  }
  XmInstrument ins;
  EXPECT_FALSE(synthInstrument("theremin", 128, ins));
}

}  // namespace
