// The score as text: tempo and groove, channels with their instruments, and sections of
// chords and step lines (one item per row, four rows to a beat). See content/music/rockon.score
// for the notation; parseScore reads it and says where it went wrong.
#pragma once

#include <string>
#include <vector>

struct ScoreChannel {
  std::string name;
  std::string instrument;
  int pan = 128;       // 0 left .. 255 right
  int volume = 64;     // 0..64
  int voices = 1;      // a chord channel plays one chord tone per voice
  int spread = 0;      // voices fan out over pan ± spread
  int center = 49;     // chord tones and degrees are placed around this note (C-4 = 49)
  std::string echoOf;  // repeats that channel's first voice ...
  int echoRows = 0;    // ... this many rows later
};

struct ScoreChord {
  int root = 0;                // pitch class, C = 0
  std::vector<int> intervals;  // semitones above the root: root, third, fifth, [seventh, ...]
  int beats = 4;
};

// One step item. Kind Note carries an absolute XM note; Degree a chord degree and octave shift.
struct ScoreItem {
  enum Kind { Rest, Off, Hit, Note, Degree, Chord, Volume } kind = Rest;
  int value = 0;      // note, or degree 1..9
  int octave = 0;     // degree: octaves up (+) or down (-)
  int velocity = 64;  // 0..64; for Volume the new level of the sounding notes
};

struct ScoreLine {
  std::string channel;
  int volume = 64;               // scales the channel's volume for this line
  int offset = 0;                // rows into the section where the line starts
  std::vector<ScoreItem> items;  // repeated to the end of the section ...
  bool once = false;             // ... unless played only once
  int lineNumber = 0;
};

struct ScoreSection {
  std::string name;
  int beats = 0;
  double cut = -1;                 // seconds where this section must start, or -1
  int volume = 64;                 // scales every line of the section
  std::vector<ScoreChord> chords;  // repeated to the end of the section
  std::vector<ScoreLine> lines;
  int lineNumber = 0;
};

struct Score {
  int bpm = 125;
  std::vector<int> groove = {6};  // ticks per row, cycling over the rows of each beat
  std::vector<ScoreChannel> channels;
  std::vector<ScoreSection> sections;
};

// False with "line N: what" in error when the text is not a valid score.
bool parseScore(const std::string& text, Score& score, std::string& error);
// The chord of a symbol like "Am", "F#m7", "Bbmaj7", "Esus4"; false when not a chord.
bool parseChord(const std::string& symbol, ScoreChord& chord);
