// Score to module: every step line is laid out on one grid of rows × channels, then the grid
// is cut into patterns (identical ones shared) and the order list follows the sections.
#include "composer.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "synth.h"

namespace {

constexpr int kRowsPerBeat = 4;
constexpr int kPatternRows = 64;
constexpr int kMiddleCNote = 49;  // C-4

int mod12(int v) { return ((v % 12) + 12) % 12; }

// The note of pitch class pc in the octave window [center - 6, center + 5].
int placeNear(int pc, int center) {
  const int lo = center - 6;
  return lo + mod12(pc - (lo - 1));
}

const ScoreChord* chordAt(const ScoreSection& s, int row) {
  if (s.chords.empty()) return nullptr;
  int total = 0;
  for (const ScoreChord& c : s.chords) total += c.beats;
  int beat = (row / kRowsPerBeat) % total;
  for (const ScoreChord& c : s.chords) {
    if (beat < c.beats) return &c;
    beat -= c.beats;
  }
  return &s.chords.back();
}

int degreeNote(const ScoreChord& c, int degree, int octave, int center) {
  const int root = placeNear(c.root, center);
  auto interval = [&c](size_t i, int fallback) { return i < c.intervals.size() ? c.intervals[i] : fallback; };
  int step = 0;
  switch (degree) {
    case 1:
      step = 0;
      break;
    case 2:
      step = 2;
      break;
    case 3:
      step = interval(1, 4);
      break;
    case 4:
      step = 5;
      break;
    case 5:
      step = interval(2, 7);
      break;
    case 6:
      step = 9;
      break;
    case 7:
      step = interval(3, 10) % 12;
      break;
    case 8:
      step = 12;
      break;
    default:
      step = 14;
      break;
  }
  return root + step + 12 * octave;
}

// Chord tones for voices: root, third, seventh, fifth, the rest; placed around center, low to
// high; more voices than tones double the lowest an octave up.
std::vector<int> voicing(const ScoreChord& c, int voices, int center) {
  std::vector<int> order;
  const std::vector<int>& iv = c.intervals;
  for (size_t i : {size_t(0), size_t(1), size_t(3), size_t(2), size_t(4)})
    if (i < iv.size()) order.push_back(iv[i]);
  std::vector<int> notes;
  for (int k = 0; k < voices && k < int(order.size()); ++k)
    notes.push_back(placeNear(c.root + order[size_t(k)], center));
  std::sort(notes.begin(), notes.end());
  for (int k = int(notes.size()); k < voices; ++k) notes.push_back(notes[size_t(k - int(order.size()))] + 12);
  std::sort(notes.begin(), notes.end());
  return notes;
}

struct Layout {
  std::vector<int> first;  // first XM channel of each score channel
  int channels = 0;        // XM channels including the control channel
};

}  // namespace

double rowSeconds(const Score& score, int row) {
  long ticks = 0;
  const int g = int(score.groove.size());
  const int whole = row / g;
  long cycle = 0;
  for (int t : score.groove) cycle += t;
  ticks = cycle * whole;
  for (int r = 0; r < row % g; ++r) ticks += score.groove[size_t(r)];
  return double(ticks) * 2.5 / double(score.bpm);
}

bool composeMusic(const Score& score, ComposedMusic& music, std::string& error) {
  music = ComposedMusic();
  Layout layout;
  for (const ScoreChannel& c : score.channels) {
    layout.first.push_back(layout.channels);
    layout.channels += c.voices;
  }
  const int control = layout.channels++;
  if (layout.channels > 32) {
    error = "the score needs " + std::to_string(layout.channels) + " channels, at most 32 fit";
    return false;
  }
  auto channelIndex = [&score](const std::string& name) {
    for (size_t i = 0; i < score.channels.size(); ++i)
      if (score.channels[i].name == name) return int(i);
    return -1;
  };

  // Instruments: one per synthesised sound, in order of first use.
  XmModule& m = music.module;
  m.name = "rockon";
  m.tracker = "vellumite-compose";
  m.channels = layout.channels;
  m.bpm = uint16_t(score.bpm);
  m.speed = uint16_t(score.groove[0]);
  std::map<std::string, int> instrumentNumber;
  for (const ScoreChannel& c : score.channels) {
    if (!c.echoOf.empty() && c.instrument == "-") continue;
    if (instrumentNumber.count(c.instrument)) continue;
    XmInstrument ins;
    if (!synthInstrument(c.instrument, 128, ins)) {
      error = "channel " + c.name + ": no instrument called " + c.instrument;
      return false;
    }
    m.instruments.push_back(std::move(ins));
    instrumentNumber[c.instrument] = int(m.instruments.size());
  }

  int totalRows = 0;
  for (const ScoreSection& s : score.sections) totalRows += s.beats * kRowsPerBeat;
  std::vector<XmCell> grid(size_t(totalRows) * size_t(m.channels));
  auto cell = [&](int row, int channel) -> XmCell& { return grid[size_t(row) * size_t(m.channels) + size_t(channel)]; };
  auto panOf = [](const ScoreChannel& c, int voice) {
    int pan = c.pan;
    if (c.voices > 1) pan += c.spread * (2 * voice - (c.voices - 1)) / (c.voices - 1);
    return std::clamp(pan, 0, 255);
  };
  auto play = [&](int row, int ci, int voice, int note, int volume) {
    const ScoreChannel& c = score.channels[size_t(ci)];
    XmCell& x = cell(row, layout.first[size_t(ci)] + voice);
    x.note = uint8_t(note);
    x.instrument = uint8_t(instrumentNumber[c.instrument]);
    x.volume = xmSetVolume(volume);
    x.effect = 0x08;
    x.param = uint8_t(panOf(c, voice));
  };

  int sectionRow = 0;
  for (const ScoreSection& s : score.sections) {
    SectionTiming timing;
    timing.name = s.name;
    timing.firstRow = sectionRow;
    timing.seconds = rowSeconds(score, sectionRow);
    timing.cut = s.cut;
    if (s.cut >= 0 && std::fabs(timing.seconds - s.cut) > 0.0005) {
      error = "section " + s.name + " starts at " + std::to_string(timing.seconds) + " s, not at its cut " +
              std::to_string(s.cut) + " s";
      return false;
    }
    music.sections.push_back(timing);
    const int rows = s.beats * kRowsPerBeat;
    for (const ScoreLine& line : s.lines) {
      const int ci = channelIndex(line.channel);
      const ScoreChannel& c = score.channels[size_t(ci)];
      auto where = [&]() { return "line " + std::to_string(line.lineNumber) + ": "; };
      const int end = line.once ? std::min(rows, line.offset + int(line.items.size())) : rows;
      for (int r = line.offset; r < end; ++r) {
        const ScoreItem& item = line.items[size_t(r - line.offset) % line.items.size()];
        const int row = sectionRow + r;
        const int volume =
            int(std::lround(double(c.volume) * line.volume / 64.0 * s.volume / 64.0 * item.velocity / 64.0));
        const ScoreChord* chord = chordAt(s, r);
        if ((item.kind == ScoreItem::Degree || item.kind == ScoreItem::Chord) && chord == nullptr) {
          error = where() + "chord degrees in a section without chords";
          return false;
        }
        std::vector<int> notes;
        switch (item.kind) {
          case ScoreItem::Rest:
            break;
          case ScoreItem::Off:
            for (int v = 0; v < c.voices; ++v) cell(row, layout.first[size_t(ci)] + v) = XmCell{kXmKeyOff, 0, 0, 0, 0};
            break;
          case ScoreItem::Volume:
            for (int v = 0; v < c.voices; ++v) {
              XmCell& x = cell(row, layout.first[size_t(ci)] + v);
              if (x.note == 0) x.volume = xmSetVolume(volume);
            }
            break;
          case ScoreItem::Hit:
            notes = {kMiddleCNote};
            break;
          case ScoreItem::Note:
            notes = {item.value};
            break;
          case ScoreItem::Degree:
            notes = {degreeNote(*chord, item.value, item.octave, c.center)};
            break;
          case ScoreItem::Chord:
            notes = voicing(*chord, c.voices, c.center);
            break;
        }
        for (size_t v = 0; v < notes.size(); ++v) {
          if (notes[v] < 1 || notes[v] > 96) {
            error = where() + "a note falls outside C-0..B-7";
            return false;
          }
          play(row, ci, int(v), notes[v], volume);
        }
      }
    }
    sectionRow += rows;
  }

  // Echoes: the source's first voice again, later, at the echo channel's volume and pan.
  for (size_t ci = 0; ci < score.channels.size(); ++ci) {
    const ScoreChannel& c = score.channels[ci];
    if (c.echoOf.empty()) continue;
    const int source = layout.first[size_t(channelIndex(c.echoOf))];
    const int target = layout.first[ci];
    for (int row = totalRows - 1 - c.echoRows; row >= 0; --row) {
      const XmCell from = cell(row, source);
      if (from.note == 0) continue;
      XmCell& to = cell(row + c.echoRows, target);
      to = from;
      if (from.note != kXmKeyOff) {
        to.volume = xmSetVolume(int(std::lround((from.volume - 0x10) * c.volume / 64.0)));
        to.param = uint8_t(c.pan);
      }
    }
  }

  // The groove: a speed change wherever the ticks per row change, and at each pattern start.
  const int g = int(score.groove.size());
  for (int row = 0; row < totalRows; ++row) {
    const int speed = score.groove[size_t(row % g)];
    const int before = row == 0 ? -1 : score.groove[size_t((row - 1) % g)];
    if (speed != before || row % kPatternRows == 0) {
      XmCell& x = cell(row, control);
      x.effect = 0x0f;
      x.param = uint8_t(speed);
    }
  }

  // Patterns: each section in pieces of up to 64 rows, identical pieces shared.
  int row = 0;
  for (size_t si = 0; si < score.sections.size(); ++si) {
    const int end = row + score.sections[si].beats * kRowsPerBeat;
    music.sections[si].order = int(m.orders.size());
    for (int start = row; start < end; start += kPatternRows) {
      const int rows = std::min(kPatternRows, end - start);
      XmPattern p(rows, m.channels);
      for (int r = 0; r < rows; ++r)
        for (int ch = 0; ch < m.channels; ++ch) {
          XmCell& x = p.at(r, ch, m.channels);
          x = cell(start + r, ch);
          // Speed changes restate their row's speed even where a shared pattern starts.
          if (ch == control && r == 0) x = XmCell{0, 0, 0, 0x0f, uint8_t(score.groove[size_t((start) % g)])};
        }
      size_t index = 0;
      while (index < m.patterns.size()) {
        const XmPattern& q = m.patterns[index];
        if (q.rows == p.rows &&
            std::equal(q.cells.begin(), q.cells.end(), p.cells.begin(), [](const XmCell& a, const XmCell& b) {
              return a.note == b.note && a.instrument == b.instrument && a.volume == b.volume && a.effect == b.effect &&
                     a.param == b.param;
            }))
          break;
        ++index;
      }
      if (index == m.patterns.size()) m.patterns.push_back(std::move(p));
      m.orders.push_back(uint8_t(index));
    }
    row = end;
  }
  music.seconds = rowSeconds(score, totalRows);
  const std::string problem = xmProblem(m);
  if (!problem.empty()) {
    error = problem;
    return false;
  }
  return true;
}
