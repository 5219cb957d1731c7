// XM module writer: a tracker module described field by field (patterns of cells, instruments
// holding 8- or 16-bit samples with envelopes) and written in the XM layout, patterns packed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One cell of a pattern. note: 0 none, 1..96 (1 = C-0, 49 = C-4), kXmKeyOff releases the note.
// volume: the volume column byte as stored (0 none, 0x10..0x50 sets volume 0..64, others are
// its slide and panning commands). effect/param: the effect column (0/0 with a note = none).
struct XmCell {
  uint8_t note = 0;
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t param = 0;
  bool empty() const { return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0; }
};

constexpr uint8_t kXmKeyOff = 97;
// The volume column byte that sets volume v (0..64).
constexpr uint8_t xmSetVolume(int v) { return uint8_t(0x10 + (v < 0 ? 0 : v > 64 ? 64 : v)); }

struct XmPattern {
  int rows = 64;
  std::vector<XmCell> cells;  // rows × channels, row by row
  XmPattern() = default;
  XmPattern(int rowCount, int channels) : rows(rowCount), cells(size_t(rowCount) * size_t(channels)) {}
  XmCell& at(int row, int channel, int channels) { return cells[size_t(row) * size_t(channels) + size_t(channel)]; }
  const XmCell& at(int row, int channel, int channels) const {
    return cells[size_t(row) * size_t(channels) + size_t(channel)];
  }
};

enum class XmLoop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct XmSample {
  std::string name;
  std::vector<int16_t> pcm;  // one value per sample frame
  bool sixteenBit = true;    // false stores the high byte of each value
  XmLoop loop = XmLoop::None;
  uint32_t loopStart = 0;  // in sample frames
  uint32_t loopLength = 0;
  uint8_t volume = 64;      // 0..64
  int8_t finetune = 0;      // -128..127, 1/128 semitone
  uint8_t panning = 128;    // 0 left .. 255 right
  int8_t relativeNote = 0;  // semitones added to the played note
};

struct XmEnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;  // 0..64
};

struct XmEnvelope {
  std::vector<XmEnvelopePoint> points;  // at most 12, ticks rising; empty = off
  int sustain = -1;                     // point index or -1
  int loopStart = -1, loopEnd = -1;     // point indices or -1
};

struct XmInstrument {
  std::string name;
  std::vector<XmSample> samples;            // at most 16
  std::array<uint8_t, 96> sampleForNote{};  // sample index for each note (C-0..B-7)
  XmEnvelope volumeEnvelope;
  XmEnvelope panningEnvelope;
  uint16_t fadeout = 0;  // volume fall per tick after key off (0..0xfff)
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct XmModule {
  std::string name;
  std::string tracker = "vellumite";
  int channels = 4;    // 1..32
  uint16_t speed = 6;  // ticks per row at the start
  uint16_t bpm = 125;  // a tick lasts 2.5 / bpm seconds
  bool linearFrequencies = true;
  uint16_t restart = 0;         // order the song loops back to
  std::vector<uint8_t> orders;  // 1..256 pattern numbers
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;  // at most 128; instrument n in cells is instruments[n-1]
};

// Why the module cannot be written (limits of the format, cells that do not match their
// pattern, orders naming missing patterns); empty when it can.
std::string xmProblem(const XmModule& module);
// The module's bytes; empty when xmProblem reports a problem.
std::vector<uint8_t> xmBytes(const XmModule& module);
// Writes the module to path; false (with a reason in *error when given) on failure.
bool saveXm(const XmModule& module, const std::string& path, std::string* error = nullptr);
