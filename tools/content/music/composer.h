// Turns a parsed score into an XM module: channels and their voices, synthesised instruments,
// the step lines laid out row by row (chords voiced around each channel's centre, echoes
// copied late), the groove as speed changes on a control channel, patterns of up to 64 rows.
#pragma once

#include <string>
#include <vector>

#include "score.h"
#include "writers/xm_writer.h"

struct SectionTiming {
  std::string name;
  int firstRow = 0;    // rows from the start of the song
  int order = 0;       // where the section starts in the order list ...
  int row = 0;         // ... and the row there
  double seconds = 0;  // start time as the replayer counts it (whole ticks of 2.5 / bpm s)
  double cut = -1;     // the score's wish, or -1
};

struct ComposedMusic {
  XmModule module;
  std::vector<SectionTiming> sections;
  double seconds = 0;  // length of one pass through the song
};

// Seconds from the song's start to the start of row (as counted through the whole song).
double rowSeconds(const Score& score, int row);

// False with a reason in error when the score cannot be made into a module: unknown
// instruments, notes out of range, sections not starting at their cut (within 0.5 ms), too
// many channels, patterns or instruments for the format.
bool composeMusic(const Score& score, ComposedMusic& music, std::string& error);
