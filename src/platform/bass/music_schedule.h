// Where the music's sample frames go on an audio output that plays buffers at times given on
// its own clock (a web page's audio context): each frame is placed where the show clock will
// have reached it when it is heard, so the music stays with the show. A stall that lets the
// output run dry skips the music forward to the present instead of playing it late; a shift
// between the two clocks moves the music with the show clock.
#pragma once

#include <cstddef>
#include <cstdint>

class MusicSchedule {
 public:
  struct Settings {
    int rate = 44100;           // frames per second
    size_t chunkFrames = 4096;  // frames per buffer handed to the output
    double ahead = 0.5;         // seconds of music kept queued ahead of the output
    double margin = 0.03;       // the earliest a buffer may start, seconds after the output's now
    double tolerance = 0.008;   // how far the clocks may move apart before the music follows
  };

  // The next buffer: whether one is due, the frame it starts at (at or past the frame the
  // mixer is at: the frames between are skipped) and the output time it starts at.
  struct Chunk {
    bool due = false;
    uint64_t frame = 0;
    double when = 0.0;
  };

  explicit MusicSchedule(const Settings& settings);

  // The output time at which the music's frame 0 is heard, as the two clocks stand now. The
  // first call sets it; later calls move it only when it is off by more than the tolerance,
  // so that the buffers of a steady output follow one another without a gap.
  void follow(double frameZeroAt);
  bool anchored() const { return anchored_; }
  double frameZeroAt() const { return frameZeroAt_; }

  // The buffer to hand over next at output time now, the mixer being at frame next.
  Chunk next(double now, uint64_t next) const;

  const Settings& settings() const { return settings_; }

 private:
  Settings settings_;
  bool anchored_ = false;
  double frameZeroAt_ = 0.0;
};
