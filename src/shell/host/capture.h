// Offline rendering of the show: headless, on a deterministic clock that advances exactly
// 1000/fps milliseconds per frame, with the music rendered offline into a sound track that
// follows the per-frame fade sample for sample; frames and sound are encoded into one video
// file, or written as numbered PNG files and a WAV file. Also the single frame of a screenshot.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "shell/host/video_encoder.h"

class ShowHooks;
class ShowServices;

// The show's music rendered ahead of time instead of played: what the capture's sound
// track is made of.
class CaptureMusic {
 public:
  virtual ~CaptureMusic() = default;
  // Loads the module for offline rendering; false: the capture's sound track is silent.
  virtual bool load(const char* file) = 0;
  // The next frames of 44100 Hz stereo 16-bit sound at a music volume of 0..100.
  virtual void render(std::int16_t* out, std::size_t frames, int volume) = 0;
};

// The sound library's offline renderer (the program's music).
CaptureMusic* createLibraryCaptureMusic();

// Where the frames of a capture go.
enum class CaptureFrames {
  kVideo,    // one video file with the sound track
  kPng,      // PNG files and audio.wav (--png)
  kDiscard,  // rendered and read back, not written; audio.wav still written (benchmarks)
};

struct CaptureOptions {
  std::string outDirectory;  // created when missing
  std::string videoName;     // the video file's name in it; empty: "show" and the codec's extension
  VideoCodec codec = VideoCodec::kH264;
  int crf = -1;  // negative: the codec's default
  int fps = 30;
  double from = 0.0;  // show time of the first frame, seconds
  double to = -1.0;   // frames strictly before this show time; negative: to the show's end
  CaptureFrames frames = CaptureFrames::kVideo;
  int width = 640;
  int height = 480;
  int bitsPerPixel = 32;
  bool writeAudio = true;
  // Progress (a bar on a terminal, plain lines otherwise); null: quiet. Messages go to `err`.
  std::FILE* progress = stderr;
  std::FILE* err = stderr;
  // Scenes, pictures and the file reports of the show (the program's: ProgramShowServices);
  // required by runCapture and runScreenshot, not owned.
  ShowServices* services = nullptr;
  // The sound track; null: the sound library's offline renderer.
  CaptureMusic* music = nullptr;
};

struct CaptureResult {
  int frames = 0;
  std::uint64_t audioFrames = 0;
  float firstShowTime = 0.0f;
  float lastShowTime = 0.0f;
  double secondsToFirstFrame = 0.0;  // from the call to the first frame read back
  double seconds = 0.0;              // the whole call
  std::string output;                // the video file, or the folder of the frames
  bool interrupted = false;          // stopped early by Ctrl+C or SIGTERM
};

// Exit codes of the offline modes.
constexpr int kRunOk = 0;
constexpr int kRunFailed = 1;         // a failure while rendering or encoding
constexpr int kRunBadRequest = 2;     // bad arguments
constexpr int kRunInterrupted = 130;  // stopped by Ctrl+C; what was rendered is kept, complete
constexpr int kRunTerminated = 143;   // the same after SIGTERM

// True where this build has the capture; a build without it (VELLUMITE_CAPTURE off) has a
// stand-in for runCapture that says so and fails with kRunBadRequest. Screenshots are in
// every build.
bool captureInBuild();

// Runs the whole show (or the part from..to) headless into options.outDirectory. Ctrl+C
// (SIGINT) or SIGTERM ends it after the frame being rendered, with a complete output of what
// was rendered (kRunInterrupted, kRunTerminated). An output that cannot be written or completed fails with kRunFailed
// and leaves no incomplete video file.
int runCapture(const CaptureOptions& options, CaptureResult* result = nullptr);

// Renders the show's frame at show time `time` headless and writes it as PNG to path (on the
// page: on the canvas, and its pixels to path). Size, services and streams come from options
// (its folder and frame settings are unused).
int runScreenshot(double time, const std::string& path, const CaptureOptions& options);

// Renders the frame of any show at its time `time` headless (loading it first) and writes it
// as PNG to path.
int runShowScreenshot(ShowHooks* show, double time, const std::string& path, const CaptureOptions& options);

// Frame count of a capture from `from` to `to` at fps (frames strictly before `to`).
int captureFrameCount(double from, double to, int fps);
// Millisecond clock offset of frame k from the first: floor(k * 1000 / fps), no drift.
std::uint32_t captureFrameMilliseconds(std::int64_t frame, int fps);
// Sound frames from the start of the capture to the start of video frame k at 44100 Hz.
std::uint64_t captureAudioFrameStart(std::int64_t frame, int fps);
// Frames of a capture from `from` to the show's end (the show ends after the first frame
// past its length).
int captureShowFrameCount(double from, int fps);
