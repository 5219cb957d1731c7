// The music tests' minimal module, described field by field for the shared XM writer.
#include "support/test_xm_module.h"

namespace bass_test {

XmModule testModule(uint8_t samplePanning) {
  XmModule m;
  m.name = "test module";
  m.tracker = "vellumite tests";
  m.channels = 2;
  m.speed = 6;
  m.bpm = 125;
  m.orders = {0};
  XmPattern p(16, m.channels);
  p.at(0, 0, m.channels) = {49, 1, 0, 0, 0};  // C-4
  p.at(8, 0, m.channels) = {56, 1, 0, 0, 0};  // G-4
  m.patterns.push_back(p);

  // A 32-value square wave looped over its whole length, 8-bit.
  XmSample s;
  s.name = "square";
  s.sixteenBit = false;
  for (int i = 0; i < 32; ++i) s.pcm.push_back(int16_t((i < 16 ? 48 : -48) * 256));
  s.loop = XmLoop::Forward;
  s.loopStart = 0;
  s.loopLength = 32;
  s.panning = samplePanning;
  XmInstrument ins;
  ins.name = "square";
  ins.samples.push_back(s);
  m.instruments.push_back(ins);
  return m;
}

std::vector<uint8_t> makeTestXm(uint8_t samplePanning) { return xmBytes(testModule(samplePanning)); }

bool writeTestXm(const std::string& path, uint8_t samplePanning) { return saveXm(testModule(samplePanning), path); }

}  // namespace bass_test
