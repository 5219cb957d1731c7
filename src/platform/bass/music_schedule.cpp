// Where the music's sample frames go on an audio output with a clock of its own.
#include "platform/bass/music_schedule.h"

#include <cmath>

MusicSchedule::MusicSchedule(const Settings& settings) : settings_(settings) {
  if (settings_.rate <= 0) settings_.rate = 44100;
  if (settings_.chunkFrames == 0) settings_.chunkFrames = 1;
}

void MusicSchedule::follow(double frameZeroAt) {
  if (!std::isfinite(frameZeroAt)) return;
  // Whole frames: buffers that start a whole number of frames apart meet exactly.
  const double aligned = std::round(frameZeroAt * settings_.rate) / settings_.rate;
  if (!anchored_ || std::fabs(aligned - frameZeroAt_) > settings_.tolerance) frameZeroAt_ = aligned;
  anchored_ = true;
}

MusicSchedule::Chunk MusicSchedule::next(double now, uint64_t next) const {
  Chunk chunk;
  if (!anchored_ || !std::isfinite(now)) return chunk;
  const double rate = settings_.rate;
  double when = frameZeroAt_ + static_cast<double>(next) / rate;
  if (when > now + settings_.ahead) return chunk;
  chunk.due = true;
  chunk.frame = next;
  const double earliest = now + settings_.margin;
  if (when < earliest) {
    // Too late to be heard where it belongs: on from the frame that is due at the earliest.
    const double frame = std::ceil((earliest - frameZeroAt_) * rate);
    if (frame > static_cast<double>(next)) chunk.frame = static_cast<uint64_t>(frame);
    when = frameZeroAt_ + static_cast<double>(chunk.frame) / rate;
  }
  chunk.when = when;
  return chunk;
}
