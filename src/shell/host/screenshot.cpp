// Screenshots: the show's frame (or any show's) at one show time, rendered by a capture
// session after up to five seconds of frames at the capture rate, so that what builds up from
// frame to frame is under way, and handed to the screenshot sink (a PNG file natively; on the
// page, the canvas and a file of its pixels).
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "shell/entry.h"
#include "shell/host/capture.h"
#include "shell/host/capture_session.h"
#include "shell/host/capture_sinks.h"
#include "shell/show_timeline.h"

namespace {

// A screenshot's frame follows frames at this rate, as in a capture at the default rate.
constexpr int kScreenshotWarmUpFps = 30;

}  // namespace

int runScreenshot(double time, const std::string& path, const CaptureOptions& options) {
  // The show quits after its last frame: a later time would render nothing.
  if (time > static_cast<double>(kShowLength)) {
    std::fprintf(options.err, "vellumite: the show ends at %.1f s; --screenshot needs a time from 0 to %.1f\n",
                 static_cast<double>(kShowLength), static_cast<double>(kShowLength));
    return kRunBadRequest;
  }
  if (!captureHasServices(options)) return kRunBadRequest;
  CaptureSession* none = nullptr;
  CaptureServices services(options.services, none);
  ShowTimeline timeline(&services);
  return runShowScreenshot(&timeline, time, path, options);
}

int runShowScreenshot(ShowHooks* show, double time, const std::string& path, const CaptureOptions& options) {
  if (!(time >= 0.0) || time > 3600.0) {
    std::fprintf(options.err, "vellumite: --screenshot needs a time in seconds, 0 or later\n");
    return kRunBadRequest;
  }
  if (path.empty()) {
    std::fprintf(options.err, "vellumite: --screenshot needs a file name for the picture\n");
    return kRunBadRequest;
  }
  if (!captureSizeUsable(options)) return kRunBadRequest;
  // The picture file must be writable before anything is rendered.
  bool existed = access(path.c_str(), F_OK) == 0;
  std::FILE* probe = std::fopen(path.c_str(), "ab");
  if (probe == nullptr) {
    std::fprintf(options.err, "vellumite: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return kRunBadRequest;
  }
  std::fclose(probe);
  if (!existed) std::remove(path.c_str());

  CaptureSession session;
  session.started = CaptureSession::Clock::now();
  // The frame at `time` comes after up to five seconds of frames at the capture rate.
  const std::uint32_t milliseconds = static_cast<std::uint32_t>(std::llround(time * 1000.0));
  session.fps = kScreenshotWarmUpFps;
  while (session.unsavedFrames < 5 * kScreenshotWarmUpFps &&
         captureFrameMilliseconds(session.unsavedFrames + 1, session.fps) <= milliseconds)
    ++session.unsavedFrames;
  session.fromMilliseconds = milliseconds;
  session.warmUpMilliseconds = captureFrameMilliseconds(session.unsavedFrames, session.fps);
  session.frameLimit = 1;
  session.width = options.width;
  session.height = options.height;
  session.bitsPerPixel = options.bitsPerPixel;
  session.err = options.err;
  std::unique_ptr<FrameSink> sink = createScreenshotSink(path);
  session.sink = sink.get();
  int code = runCaptureSession(session, show);
  if (code == kRunOk && !sink->finish()) {
    std::fprintf(options.err, "vellumite: %s\n", sink->error().c_str());
    code = kRunFailed;
  }
  return code;
}
