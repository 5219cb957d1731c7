// The library's device, modules and volumes: an SDL audio device whose callback mixes the
// playing modules on SDL's audio thread. The main thread changes modules only while holding
// the device lock, so the callback never sees a module half-changed.
#include <SDL.h>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#ifdef VELLUMITE_HAVE_ALSA
#include <alsa/asoundlib.h>
#endif
#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#endif

#include "platform/bass/bass.h"
#include "platform/bass/module_mixer.h"
#include "platform/win32/win32_system.h"
#if defined(__EMSCRIPTEN__)
#include "platform/bass/music_schedule.h"
#include "platform/bass/web/web_audio_output.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Frames per device buffer: about 12 ms at 44.1 kHz, so what is heard stays close to the
// show clock.
constexpr Uint16 kDeviceBufferFrames = 512;

#if defined(__EMSCRIPTEN__)
// In a web page the music is mixed on the page's one thread between frames, which software
// WebGL may take 100 ms or (compiling its shaders) seconds to draw, and each buffer is
// scheduled at the time of the page's audio output when the show clock reaches it: half a
// second is kept queued, and a stall longer than that skips the music to where the show is.
MusicSchedule::Settings webSchedule() {
  MusicSchedule::Settings settings;
  settings.chunkFrames = 4096;
  settings.ahead = 0.5;
  return settings;
}
#endif

struct Music {
  openmpt_module* module = nullptr;
  DWORD flags = 0;
  bool playing = false;
  uint64_t framesMixed = 0;
  Clock::time_point started;  // when playing began
  ~Music() { bass_mixer::destroyModule(module); }
};

struct Library {
  bool initialised = false;
  SDL_AudioDeviceID device = 0;
  int32_t frequency = 44100;
  int bufferFrames = kDeviceBufferFrames;
  std::atomic<int> musicVolume{100};
  int sampleVolume = 100;
  int streamVolume = 100;
  // Index + 1 is the handle; released modules leave an empty slot so handles stay unique.
  std::vector<std::unique_ptr<Music>> musics;
  float scratch[bass_mixer::kChunkFrames * 2];
  float accumulator[bass_mixer::kChunkFrames * 2];
#if defined(__EMSCRIPTEN__)
  // The page's output: running between BASS_Start and BASS_Stop; once a module plays, the
  // music's frame 0 is heard at frameZeroPageMs on the page's clock (the clock timeGetTime
  // reads) and nextFrame is the next frame the mixer produces.
  MusicSchedule schedule{webSchedule()};
  bool running = false;
  bool timeline = false;
  double frameZeroPageMs = 0.0;
  uint64_t nextFrame = 0;
  std::vector<int16_t> pcm;
#endif
};

Library& library() {
  static Library instance;
  return instance;
}

std::atomic<DWORD> reportedVersion{0};

// Holds the device lock for a scope (no lock needed while no device is open).
class DeviceLock {
 public:
  DeviceLock() : device(library().device) {
    if (device != 0) SDL_LockAudioDevice(device);
  }
  ~DeviceLock() {
    if (device != 0) SDL_UnlockAudioDevice(device);
  }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;

 private:
  SDL_AudioDeviceID device;
};

Music* find(HMUSIC handle) {
  Library& lib = library();
  if (!lib.initialised || handle == 0 || handle > lib.musics.size()) return nullptr;
  return lib.musics[handle - 1].get();
}

// Mixes every playing module into out (null: mixed and dropped, the modules moving on); runs
// with the device lock held.
void mix(int16_t* out, size_t frames) {
  Library& lib = library();
#if defined(__EMSCRIPTEN__)
  const int volume = 100;  // the page's output applies the volume as the music is heard
#else
  const int volume = lib.musicVolume.load(std::memory_order_relaxed);
#endif
  while (frames > 0) {
    const size_t chunk = frames < bass_mixer::kChunkFrames ? frames : bass_mixer::kChunkFrames;
    std::memset(lib.accumulator, 0, chunk * 2 * sizeof(float));
    for (auto& music : lib.musics) {
      if (!music || !music->playing) continue;
      const size_t produced =
          bass_mixer::mixChunk(music->module, lib.frequency, volume, lib.scratch, lib.accumulator, chunk);
      music->framesMixed += produced;
      if (produced < chunk) music->playing = false;  // reached its end
    }
    if (out != nullptr) {
      bass_mixer::toPcm16(lib.accumulator, out, chunk * 2);
      out += chunk * 2;
    }
    frames -= chunk;
  }
}

#if !defined(__EMSCRIPTEN__)
void audioCallback(void*, Uint8* stream, int length) { mix(reinterpret_cast<int16_t*>(stream), size_t(length) / 4); }
#endif

bool validVolume(int v) { return v >= 0 && v <= 100; }

#ifdef VELLUMITE_HAVE_ALSA
// ALSA's complaints (a machine without a sound card gives a screenful) go to the debug output.
void alsaError(const char* file, int line, const char* function, int, const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  char note[768];
  std::snprintf(note, sizeof note, "ALSA %s:%d (%s): %s\n", file, line, function, text);
  OutputDebugStringA(note);
}
#endif

// How far the music has run ahead of (+) or behind (-) the clock since it started.
void reportDrift(const Library& lib) {
  for (const auto& music : lib.musics) {
    if (!music || music->framesMixed == 0) continue;
    const double clock = std::chrono::duration<double>(Clock::now() - music->started).count();
    // The last buffer handed to the device has not been heard yet.
    const double mixed = double(music->framesMixed) / double(lib.frequency);
    const double heard = mixed - double(lib.bufferFrames) / double(lib.frequency);
    char note[256];
    std::snprintf(note, sizeof note,
                  "Music: %.3f s played in %.3f s of clock, drift %+.0f ms (device buffer %d frames)\n", heard, clock,
                  (heard - clock) * 1000.0, lib.bufferFrames);
    OutputDebugStringA(note);
  }
}

#if defined(__EMSCRIPTEN__)
bool anyPlaying(const Library& lib) {
  for (const auto& music : lib.musics)
    if (music && music->playing) return true;
  return false;
}

// The page's music timeline starts again: frame 0 is heard at pageMs, nothing is queued.
void restartTimeline(Library& lib, double pageMs, uint64_t frame) {
  web_audio::stopAll();
  lib.schedule = MusicSchedule(webSchedule());
  lib.timeline = true;
  lib.nextFrame = frame;
  lib.frameZeroPageMs = pageMs - 1000.0 * double(frame) / double(lib.frequency);
}
#endif

}  // namespace

#if defined(__EMSCRIPTEN__)
// Called by the page's timer (and when a module starts): queues the buffers that are due.
extern "C" EMSCRIPTEN_KEEPALIVE void bassWebPump() {
  Library& lib = library();
  if (!lib.initialised || !lib.running || !lib.timeline || !anyPlaying(lib)) return;
  lib.schedule.follow(web_audio::heardAt(lib.frameZeroPageMs));
  const size_t frames = lib.schedule.settings().chunkFrames;
  lib.pcm.resize(frames * 2);
  for (int queued = 0; queued < 64; ++queued) {
    const MusicSchedule::Chunk chunk = lib.schedule.next(web_audio::now(), lib.nextFrame);
    if (!chunk.due) break;
    if (chunk.frame > lib.nextFrame) mix(nullptr, size_t(chunk.frame - lib.nextFrame));
    mix(lib.pcm.data(), frames);
    web_audio::play(lib.pcm.data(), frames, lib.frequency, chunk.when, chunk.frame);
    lib.nextFrame = chunk.frame + frames;
  }
}
#endif

DWORD BASS_GetVersion() {
  const DWORD reported = reportedVersion.load();
  return reported != 0 ? reported : BASSVERSION;
}

BOOL BASS_Init(int device, DWORD freq, DWORD, HWND) {
  Library& lib = library();
  if (lib.initialised) return FALSE;
#if defined(__EMSCRIPTEN__)
  if ((device != -1 && device != 0) || !web_audio::open()) return FALSE;
  web_audio::setVolume(1.0);
  lib.frequency = freq != 0 ? int32_t(freq) : 44100;
  lib.bufferFrames = int(webSchedule().ahead * lib.frequency);
  lib.musicVolume = 100;
  lib.sampleVolume = 100;
  lib.streamVolume = 100;
  lib.running = false;
  lib.timeline = false;
  lib.initialised = true;
  return TRUE;
#else
#ifdef VELLUMITE_HAVE_ALSA
  snd_lib_error_set_handler(alsaError);
#endif
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return FALSE;
  const char* name = nullptr;
  if (device >= 0) {
    if (device >= SDL_GetNumAudioDevices(0)) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return FALSE;
    }
    name = SDL_GetAudioDeviceName(device, 0);
  } else if (device != -1) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return FALSE;
  }
  SDL_AudioSpec wanted;
  SDL_zero(wanted);
  wanted.freq = freq != 0 ? int(freq) : 44100;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = kDeviceBufferFrames;
  wanted.callback = audioCallback;
  SDL_AudioSpec obtained;
  // No changes allowed: SDL converts to whatever the hardware takes.
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &wanted, &obtained, 0);
  if (id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return FALSE;
  }
  lib.device = id;
  lib.frequency = wanted.freq;
  lib.bufferFrames = obtained.samples != 0 ? obtained.samples : kDeviceBufferFrames;
  lib.musicVolume = 100;
  lib.sampleVolume = 100;
  lib.streamVolume = 100;
  lib.initialised = true;
  return TRUE;
#endif
}

BOOL BASS_Free() {
  Library& lib = library();
  if (!lib.initialised) return FALSE;
#if defined(__EMSCRIPTEN__)
  web_audio::close();
  lib.musics.clear();
  lib.initialised = false;
#else
  SDL_CloseAudioDevice(lib.device);  // waits for the callback to finish
  lib.device = 0;
  lib.musics.clear();
  lib.initialised = false;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
#endif
  return TRUE;
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
  Library& lib = library();
  if (!lib.initialised || file == nullptr) return 0;
  openmpt_module* module = nullptr;
  if (mem) {
    if (length == 0) return 0;
    module = bass_mixer::loadModule(static_cast<const char*>(file) + offset, length);
  } else {
    module = bass_mixer::loadModuleFile(static_cast<const char*>(file), offset, length);
  }
  if (module == nullptr) return 0;
  auto music = std::make_unique<Music>();
  music->module = module;
  music->flags = flags;
  bass_mixer::applyFlags(module, flags);
  DeviceLock lock;
  lib.musics.push_back(std::move(music));
  return HMUSIC(lib.musics.size());
}

BOOL BASS_MusicFree(HMUSIC handle) {
  if (find(handle) == nullptr) return FALSE;
  DeviceLock lock;
  library().musics[handle - 1].reset();
  return TRUE;
}

BOOL BASS_Start() {
  Library& lib = library();
  if (!lib.initialised) return FALSE;
#if defined(__EMSCRIPTEN__)
  // Output resumed after a stop: the music goes on from where it stopped, heard from now.
  if (!lib.running && lib.timeline) restartTimeline(lib, web_audio::pageNow(), lib.nextFrame);
  lib.running = true;
  web_audio::feed(true);
  bassWebPump();
#else
  SDL_PauseAudioDevice(lib.device, 0);
#endif
  return TRUE;
}

BOOL BASS_Stop() {
  Library& lib = library();
  if (!lib.initialised) return FALSE;
#if defined(__EMSCRIPTEN__)
  lib.running = false;
  web_audio::feed(false);
  web_audio::stopAll();
#else
  SDL_PauseAudioDevice(lib.device, 1);
#endif
  DeviceLock lock;
  reportDrift(lib);
  return TRUE;
}

BOOL BASS_MusicSetPanSep(HMUSIC handle, DWORD pan) {
  Music* music = find(handle);
  if (music == nullptr || pan > 100) return FALSE;
  DeviceLock lock;
  bass_mixer::setPanSeparation(music->module, pan);
  return TRUE;
}

BOOL BASS_MusicPlayEx(HMUSIC handle, DWORD pos, int flags, BOOL reset) {
  Music* music = find(handle);
  if (music == nullptr) return FALSE;
  DeviceLock lock;
  if (flags != -1) {
    music->flags = DWORD(flags);
    bass_mixer::applyFlags(music->module, music->flags);
  }
  // Setting the position also clears the playing state of every channel (the reset).
  (void)reset;
  bass_mixer::setPosition(music->module, pos);
  music->framesMixed = 0;
  music->started = Clock::now();
  music->playing = true;
#if defined(__EMSCRIPTEN__)
  // The show clock starts with the music: its frame 0 is heard now on the page's clock (what
  // is already too late to be heard in time is skipped).
  Library& lib = library();
  restartTimeline(lib, web_audio::pageNow(), 0);
  web_audio::tellStarted(double(timeGetTime()), lib.frequency);
  bassWebPump();
#endif
  return TRUE;
}

BOOL BASS_SetGlobalVolumes(int musvol, int samvol, int strvol) {
  Library& lib = library();
  if (!lib.initialised) return FALSE;
  if ((musvol != -1 && !validVolume(musvol)) || (samvol != -1 && !validVolume(samvol)) ||
      (strvol != -1 && !validVolume(strvol)))
    return FALSE;
  if (musvol != -1) lib.musicVolume = musvol;
#if defined(__EMSCRIPTEN__)
  if (musvol != -1) web_audio::setVolume(musvol / 100.0);
#endif
  if (samvol != -1) lib.sampleVolume = samvol;
  if (strvol != -1) lib.streamVolume = strvol;
  return TRUE;
}

BOOL BASS_GetGlobalVolumes(DWORD* musvol, DWORD* samvol, DWORD* strvol) {
  Library& lib = library();
  if (!lib.initialised) return FALSE;
  if (musvol != nullptr) *musvol = DWORD(lib.musicVolume.load());
  if (samvol != nullptr) *samvol = DWORD(lib.sampleVolume);
  if (strvol != nullptr) *strvol = DWORD(lib.streamVolume);
  return TRUE;
}

void bassSetReportedVersion(DWORD version) { reportedVersion = version; }

BOOL bassMusicFileOpens(const char* path) {
  if (path == nullptr) return FALSE;
  openmpt_module* module = bass_mixer::loadModuleFile(path, 0, 0);
  if (module == nullptr) return FALSE;
  bass_mixer::destroyModule(module);
  return TRUE;
}

BOOL bassMixInto(int16_t* out, size_t frames) {
  if (!library().initialised || out == nullptr) return FALSE;
  DeviceLock lock;
  mix(out, frames);
  return TRUE;
}

uint64_t bassMusicFramesMixed(HMUSIC handle) {
  Music* music = find(handle);
  if (music == nullptr) return 0;
  DeviceLock lock;
  return music->framesMixed;
}
