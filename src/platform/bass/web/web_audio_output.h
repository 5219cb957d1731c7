// The sound output of the web page: buffers of mixed music played by the page's audio context
// at times given on its clock, through one node and then a volume. While the output is fed, a
// timer of the page calls the library's bassWebPump() between the program's frames.
#pragma once

#include <cstddef>
#include <cstdint>

namespace web_audio {

// The page's audio context (the one the page made on the user's click, else a new one), the
// node the music plays through. False when the browser has no Web Audio.
bool open();
// Stops what is queued and the timer.
void close();
// Starts or stops the timer that feeds the output.
void feed(bool on);
// The output's time now, seconds on the context's clock.
double now();
// The output time at which what is played is heard at a moment of the page's clock
// (performance.now(), milliseconds); through the context's output time stamp where it has one.
double heardAt(double pageMs);
// The page's clock now (milliseconds).
double pageNow();
// Plays frames of 16-bit stereo at output time when; position is the music's frame it holds.
void play(const int16_t* samples, size_t frames, int rate, double when, uint64_t position);
// Stops every buffer queued.
void stopAll();
// How loud the music is heard from now on, queued buffers included (0..1).
void setVolume(double gain);
// A page that asks (Module.vellumiteMusicStarted set to a function) is told that the music
// started, with the clock's reading (timeGetTime) then and the rate it is mixed at.
void tellStarted(double clock, int rate);

}  // namespace web_audio
