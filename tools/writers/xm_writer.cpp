// XM module writer: header, packed patterns, instruments with their sample headers and the
// sample data stored as differences, in the order and sizes of the XM layout.
#include "writers/xm_writer.h"

#include "writers/byte_writer.h"

namespace {

constexpr uint32_t kHeaderSize = 276;            // counted from the header size field
constexpr uint32_t kInstrumentHeaderSize = 263;  // with samples
constexpr uint32_t kEmptyInstrumentSize = 29;    // without samples
constexpr uint32_t kSampleHeaderSize = 40;
constexpr size_t kMaxEnvelopePoints = 12;

std::string envelopeProblem(const XmEnvelope& e, const char* what) {
  if (e.points.size() > kMaxEnvelopePoints) return std::string(what) + " envelope has more than 12 points";
  const int n = int(e.points.size());
  for (int i = 1; i < n; ++i)
    if (e.points[size_t(i)].tick <= e.points[size_t(i - 1)].tick)
      return std::string(what) + " envelope ticks do not rise";
  for (const XmEnvelopePoint& p : e.points)
    if (p.value > 64) return std::string(what) + " envelope value above 64";
  if (e.sustain >= n || e.loopStart >= n || e.loopEnd >= n)
    return std::string(what) + " envelope index past its points";
  if ((e.loopStart < 0) != (e.loopEnd < 0) || e.loopEnd < e.loopStart)
    return std::string(what) + " envelope loop needs a start and an end in order";
  return {};
}

void packPattern(const XmPattern& p, int channels, ByteBuffer& out) {
  for (int row = 0; row < p.rows; ++row) {
    for (int ch = 0; ch < channels; ++ch) {
      const XmCell& c = p.at(row, ch, channels);
      uint8_t mask = 0;
      if (c.note != 0) mask |= 1;
      if (c.instrument != 0) mask |= 2;
      if (c.volume != 0) mask |= 4;
      if (c.effect != 0) mask |= 8;
      if (c.param != 0) mask |= 16;
      if (mask == 31) {  // everything present: the plain five bytes are shorter
        out.insert(out.end(), {c.note, c.instrument, c.volume, c.effect, c.param});
        continue;
      }
      out.push_back(uint8_t(0x80 | mask));
      if (mask & 1) out.push_back(c.note);
      if (mask & 2) out.push_back(c.instrument);
      if (mask & 4) out.push_back(c.volume);
      if (mask & 8) out.push_back(c.effect);
      if (mask & 16) out.push_back(c.param);
    }
  }
}

void writeEnvelopePoints(const XmEnvelope& e, ByteBuffer& out) {
  for (size_t i = 0; i < kMaxEnvelopePoints; ++i) {
    const XmEnvelopePoint p = i < e.points.size() ? e.points[i] : XmEnvelopePoint{};
    appendU16(out, p.tick);
    appendU16(out, p.value);
  }
}

uint8_t envelopeFlags(const XmEnvelope& e) {
  if (e.points.empty()) return 0;
  return uint8_t(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
}

uint32_t sampleBytes(const XmSample& s) { return uint32_t(s.pcm.size()) * (s.sixteenBit ? 2u : 1u); }

}  // namespace

std::string xmProblem(const XmModule& m) {
  if (m.channels < 1 || m.channels > 32) return "channels must be 1..32";
  if (m.speed < 1 || m.speed > 31) return "speed must be 1..31";
  if (m.bpm < 32 || m.bpm > 255) return "bpm must be 32..255";
  if (m.orders.empty() || m.orders.size() > 256) return "the order list needs 1..256 entries";
  if (m.restart >= m.orders.size()) return "restart position past the order list";
  if (m.patterns.empty() || m.patterns.size() > 256) return "the module needs 1..256 patterns";
  if (m.instruments.size() > 128) return "more than 128 instruments";
  for (uint8_t o : m.orders)
    if (o >= m.patterns.size()) return "an order names a missing pattern";
  for (const XmPattern& p : m.patterns) {
    if (p.rows < 1 || p.rows > 256) return "pattern rows must be 1..256";
    if (p.cells.size() != size_t(p.rows) * size_t(m.channels)) return "pattern cells do not match rows × channels";
    for (const XmCell& c : p.cells) {
      if (c.note > kXmKeyOff) return "note above key off";
      if (c.instrument > m.instruments.size()) return "a cell names a missing instrument";
    }
  }
  for (const XmInstrument& ins : m.instruments) {
    if (ins.samples.size() > 16) return "instrument " + ins.name + " has more than 16 samples";
    for (uint8_t s : ins.sampleForNote)
      if (!ins.samples.empty() && s >= ins.samples.size())
        return "instrument " + ins.name + " maps a note to a missing sample";
    if (ins.fadeout > 0xfff) return "instrument " + ins.name + " fadeout above 0xfff";
    std::string e = envelopeProblem(ins.volumeEnvelope, "volume");
    if (e.empty()) e = envelopeProblem(ins.panningEnvelope, "panning");
    if (!e.empty()) return "instrument " + ins.name + ": " + e;
    for (const XmSample& s : ins.samples) {
      if (s.volume > 64) return "sample " + s.name + " volume above 64";
      if (s.pcm.size() > 0x3fffffff) return "sample " + s.name + " too long";
      if (s.loop != XmLoop::None &&
          (s.loopLength == 0 || s.loopStart > s.pcm.size() || s.loopLength > s.pcm.size() - s.loopStart))
        return "sample " + s.name + " loop outside the sample";
    }
  }
  return {};
}

std::vector<uint8_t> xmBytes(const XmModule& m) {
  if (!xmProblem(m).empty()) return {};
  ByteBuffer out;
  appendFixedString(out, "Extended Module: ", 17);
  appendFixedString(out, m.name, 20);
  appendU8(out, 0x1a);
  appendFixedString(out, m.tracker, 20);
  appendU16(out, 0x0104);
  appendU32(out, kHeaderSize);
  appendU16(out, uint16_t(m.orders.size()));
  appendU16(out, m.restart);
  appendU16(out, uint16_t(m.channels));
  appendU16(out, uint16_t(m.patterns.size()));
  appendU16(out, uint16_t(m.instruments.size()));
  appendU16(out, m.linearFrequencies ? 1 : 0);
  appendU16(out, m.speed);
  appendU16(out, m.bpm);
  for (size_t i = 0; i < 256; ++i) appendU8(out, i < m.orders.size() ? m.orders[i] : 0);

  for (const XmPattern& p : m.patterns) {
    ByteBuffer data;
    packPattern(p, m.channels, data);
    appendU32(out, 9);  // pattern header length
    appendU8(out, 0);   // packing type
    appendU16(out, uint16_t(p.rows));
    appendU16(out, uint16_t(data.size()));
    out.insert(out.end(), data.begin(), data.end());
  }

  for (const XmInstrument& ins : m.instruments) {
    const size_t start = out.size();
    appendU32(out, ins.samples.empty() ? kEmptyInstrumentSize : kInstrumentHeaderSize);
    appendFixedString(out, ins.name, 22);
    appendU8(out, 0);
    appendU16(out, uint16_t(ins.samples.size()));
    if (ins.samples.empty()) continue;  // the short header ends here
    appendU32(out, kSampleHeaderSize);
    out.insert(out.end(), ins.sampleForNote.begin(), ins.sampleForNote.end());
    writeEnvelopePoints(ins.volumeEnvelope, out);
    writeEnvelopePoints(ins.panningEnvelope, out);
    appendU8(out, uint8_t(ins.volumeEnvelope.points.size()));
    appendU8(out, uint8_t(ins.panningEnvelope.points.size()));
    for (const XmEnvelope* e : {&ins.volumeEnvelope, &ins.panningEnvelope}) {
      appendU8(out, uint8_t(e->sustain < 0 ? 0 : e->sustain));
      appendU8(out, uint8_t(e->loopStart < 0 ? 0 : e->loopStart));
      appendU8(out, uint8_t(e->loopEnd < 0 ? 0 : e->loopEnd));
    }
    appendU8(out, envelopeFlags(ins.volumeEnvelope));
    appendU8(out, envelopeFlags(ins.panningEnvelope));
    for (uint8_t v : {ins.vibratoType, ins.vibratoSweep, ins.vibratoDepth, ins.vibratoRate}) appendU8(out, v);
    appendU16(out, ins.fadeout);
    while (out.size() - start < kInstrumentHeaderSize) appendU8(out, 0);

    for (const XmSample& s : ins.samples) {
      const uint32_t unit = s.sixteenBit ? 2 : 1;
      const bool looped = s.loop != XmLoop::None;
      appendU32(out, sampleBytes(s));
      appendU32(out, looped ? s.loopStart * unit : 0);
      appendU32(out, looped ? s.loopLength * unit : 0);
      appendU8(out, s.volume);
      appendU8(out, uint8_t(s.finetune));
      appendU8(out, uint8_t(uint8_t(s.loop) | (s.sixteenBit ? 0x10 : 0)));
      appendU8(out, s.panning);
      appendU8(out, uint8_t(s.relativeNote));
      appendU8(out, 0);
      appendFixedString(out, s.name, 22);
    }
    for (const XmSample& s : ins.samples) {
      int previous = 0;
      for (int16_t v : s.pcm) {
        if (s.sixteenBit) {
          appendU16(out, uint16_t(v - previous));
          previous = v;
        } else {
          const int byte = v >> 8;
          appendU8(out, uint8_t(byte - previous));
          previous = byte;
        }
      }
    }
  }
  return out;
}

bool saveXm(const XmModule& module, const std::string& path, std::string* error) {
  const std::string problem = xmProblem(module);
  if (!problem.empty()) {
    if (error != nullptr) *error = problem;
    return false;
  }
  if (!saveBytes(path, xmBytes(module))) {
    if (error != nullptr) *error = "cannot write " + path;
    return false;
  }
  return true;
}
