// The web page's sound output: buffers scheduled on the page's audio context (see the header).
// The bodies are JavaScript, which clang-format would break.
#include "platform/bass/web/web_audio_output.h"

#include <emscripten.h>

// clang-format off
EM_JS(int, webAudioOpen, (), {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!Context) return 0;
  Module.SDL2 = Module.SDL2 || {};
  const context = Module.SDL2.audioContext || (Module.SDL2.audioContext = new Context());
  if (context.state === 'suspended') context.resume();
  // The buffers meet in node; volume then sets how loud they are heard.
  const node = context.createGain();
  const volume = context.createGain();
  node.connect(volume);
  volume.connect(context.destination);
  Module.vellumiteMusicOutput = { context, node, volume, sources: new Set(), onChunk: null, timer: null };
  return 1;
});

EM_JS(void, webAudioFeed, (int on), {
  const output = Module.vellumiteMusicOutput;
  if (!output) return;
  if (output.timer !== null) clearInterval(output.timer);
  // Fed between the program's frames, while it waits for the browser.
  output.timer = on ? setInterval(() => _bassWebPump(), 10) : null;
});

EM_JS(void, webAudioClose, (), {
  const output = Module.vellumiteMusicOutput;
  if (!output) return;
  if (output.timer !== null) clearInterval(output.timer);
  for (const source of output.sources) source.stop();
  output.sources.clear();
  output.node.disconnect();
  output.volume.disconnect();
  Module.vellumiteMusicOutput = undefined;
});

EM_JS(double, webAudioNow, (), {
  const output = Module.vellumiteMusicOutput;
  return output ? output.context.currentTime : 0;
});

EM_JS(double, webAudioHeardAt, (double pageMs), {
  const output = Module.vellumiteMusicOutput;
  if (!output) return 0;
  const context = output.context;
  const stamp = context.getOutputTimestamp ? context.getOutputTimestamp() : null;
  if (stamp && stamp.performanceTime > 0) return stamp.contextTime + (pageMs - stamp.performanceTime) / 1000;
  return context.currentTime + (pageMs - performance.now()) / 1000 - (context.outputLatency || context.baseLatency || 0);
});

EM_JS(double, webAudioPageNow, (), { return performance.now(); });

EM_JS(void, webAudioPlay, (const int16_t* samples, int frames, int rate, double when, double position), {
  const output = Module.vellumiteMusicOutput;
  if (!output || frames <= 0) return;
  const buffer = output.context.createBuffer(2, frames, rate);
  const left = buffer.getChannelData(0);
  const right = buffer.getChannelData(1);
  const first = samples >> 1;
  for (let i = 0; i < frames; ++i) {
    left[i] = HEAP16[first + 2 * i] / 32768;
    right[i] = HEAP16[first + 2 * i + 1] / 32768;
  }
  if (output.onChunk) output.onChunk(buffer, position);
  const source = output.context.createBufferSource();
  source.buffer = buffer;
  source.connect(output.node);
  source.onended = () => output.sources.delete(source);
  output.sources.add(source);
  source.start(when);
});

EM_JS(void, webAudioStopAll, (), {
  const output = Module.vellumiteMusicOutput;
  if (!output) return;
  for (const source of output.sources) source.stop();
  output.sources.clear();
});

EM_JS(void, webAudioSetVolume, (double gain), {
  const output = Module.vellumiteMusicOutput;
  if (output) output.volume.gain.value = gain;
});

EM_JS(void, webAudioTellStarted, (double clock, int rate), {
  if (typeof Module.vellumiteMusicStarted === 'function') Module.vellumiteMusicStarted(clock, rate);
});
// clang-format on

namespace web_audio {

bool open() { return webAudioOpen() != 0; }
void close() { webAudioClose(); }
void feed(bool on) { webAudioFeed(on ? 1 : 0); }
double now() { return webAudioNow(); }
double heardAt(double pageMs) { return webAudioHeardAt(pageMs); }
double pageNow() { return webAudioPageNow(); }
void play(const int16_t* samples, size_t frames, int rate, double when, uint64_t position) {
  webAudioPlay(samples, static_cast<int>(frames), rate, when, static_cast<double>(position));
}
void stopAll() { webAudioStopAll(); }
void setVolume(double gain) { webAudioSetVolume(gain); }
void tellStarted(double clock, int rate) { webAudioTellStarted(clock, rate); }

}  // namespace web_audio
