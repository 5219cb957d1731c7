// The offline capture: the checks of a request, its output (a video file, PNG frames with a
// WAV file, or nothing), the progress and the signals that stop it, around a capture session.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>

#include "shell/host/capture.h"
#include "shell/host/capture_progress.h"
#include "shell/host/capture_session.h"
#include "shell/host/capture_sinks.h"

namespace {

constexpr int kMaxFps = 1000;

using Clock = CaptureSession::Clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// mkdir -p.
bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = path.find('/', at + 1);
    partial = path.substr(0, at);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool captureInBuild() { return true; }

int runCapture(const CaptureOptions& options, CaptureResult* result) {
  Clock::time_point started = Clock::now();
  if (!captureHasServices(options)) return kRunBadRequest;
  if (options.outDirectory.empty()) {
    std::fprintf(options.err, "vellumite: --capture needs an output folder or file\n");
    return kRunBadRequest;
  }
  if (options.fps < 1 || options.fps > kMaxFps) {
    std::fprintf(options.err, "vellumite: --fps must be a whole number from 1 to %d\n", kMaxFps);
    return kRunBadRequest;
  }
  if (!(options.from >= 0.0) || options.from > 3600.0) {
    std::fprintf(options.err, "vellumite: --from must be a show time in seconds, 0 or later\n");
    return kRunBadRequest;
  }
  if (options.to >= 0.0 && !(options.to > options.from)) {
    std::fprintf(options.err, "vellumite: --to must be later than --from\n");
    return kRunBadRequest;
  }
  if (options.crf > videoMaxCrf(options.codec)) {
    std::fprintf(options.err, "vellumite: --crf must be from 0 to %d for this codec\n", videoMaxCrf(options.codec));
    return kRunBadRequest;
  }
  if (!captureSizeUsable(options)) return kRunBadRequest;
  if (!makeDirectories(options.outDirectory)) {
    std::fprintf(options.err, "vellumite: cannot create the capture folder %s: %s\n", options.outDirectory.c_str(),
                 std::strerror(errno));
    return kRunFailed;
  }

  CaptureSession session;
  session.started = started;
  session.fps = options.fps;
  session.fromMilliseconds = static_cast<std::uint32_t>(std::llround(options.from * 1000.0));
  session.frameLimit = options.to >= 0.0 ? captureFrameCount(options.from, options.to, options.fps) : INT_MAX;
  session.totalFrames = options.to >= 0.0 ? session.frameLimit : captureShowFrameCount(options.from, options.fps);
  session.width = options.width;
  session.height = options.height;
  session.bitsPerPixel = options.bitsPerPixel;
  session.sound = options.writeAudio;
  session.stopOnSignal = true;
  session.err = options.err;
  // A capture that starts after the fade hears the music as the whole show leaves it: at
  // the volume set in the fade's last frame on this capture's frame grid.
  if (options.from >= static_cast<double>(kShowClosingTime)) {
    std::int64_t last = captureFrameCount(0.0, static_cast<double>(kShowClosingTime), options.fps) - 1;
    float time = static_cast<float>(captureFrameMilliseconds(last, options.fps) * 0.001);
    if (time > kShowFadeStart) session.volume = showFadeVolume(time);
  }

  std::unique_ptr<CaptureMusic> ownMusic;
  if (options.music != nullptr) {
    session.music = options.music;
  } else {
    ownMusic.reset(createLibraryCaptureMusic());
    session.music = ownMusic.get();
  }

  std::string wavPath = options.writeAudio ? options.outDirectory + "/audio.wav" : std::string();
  std::string error;
  std::unique_ptr<FrameSink> sink;
  if (options.frames == CaptureFrames::kDiscard) {
    sink = createDiscardSink(wavPath, &error);
  } else if (options.frames == CaptureFrames::kPng) {
    sink = createPngSequenceSink(options.outDirectory, wavPath, &error);
  } else {
    VideoSettings video;
    video.path =
        options.outDirectory + "/" +
        (options.videoName.empty() ? std::string("show") + videoFileExtension(options.codec) : options.videoName);
    video.codec = options.codec;
    video.width = options.width;
    video.height = options.height;
    video.fps = options.fps;
    video.crf = options.crf;
    video.sound = options.writeAudio;
    sink = createVideoSink(video, &error);
  }
  if (sink == nullptr) {
    std::fprintf(options.err, "vellumite: %s\n", error.c_str());
    return kRunFailed;
  }
  session.sink = sink.get();

  std::unique_ptr<CaptureProgress> progress;
  if (options.progress != nullptr)
    progress = std::make_unique<CaptureProgress>(options.progress, isatty(fileno(options.progress)) == 1);
  session.progress = progress.get();

  // Ctrl+C or SIGTERM ends the capture after the frame being rendered, with a complete file;
  // a file size limit shows as a failed write, not as a signal.
  captureStopRequested = 0;
  void (*previousInterruptHandler)(int) = std::signal(SIGINT, captureRequestStop);
  void (*previousTerminateHandler)(int) = std::signal(SIGTERM, captureRequestStop);
  void (*previousSizeHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  CaptureServices services(options.services, &session);
  ShowTimeline timeline(&services);
  int code = runCaptureSession(session, &timeline);
  session.finishProgress();
  if (code == kRunOk && !sink->finish()) {
    std::fprintf(options.err, "vellumite: %s\n", sink->error().c_str());
    code = kRunFailed;
  }
  if (code != kRunOk) sink->abandon();
  std::signal(SIGXFSZ, previousSizeHandler);
  std::signal(SIGTERM, previousTerminateHandler);
  std::signal(SIGINT, previousInterruptHandler);
  if (code == kRunOk && session.interrupted) code = 128 + static_cast<int>(captureStopRequested);

  session.result.output = sink->output().empty() ? options.outDirectory : sink->output();
  session.result.interrupted = session.interrupted;
  session.result.seconds = secondsSince(started);
  if (result != nullptr) *result = session.result;
  return code;
}
