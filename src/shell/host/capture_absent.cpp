// Stand-ins for the offline capture in a build without it (VELLUMITE_CAPTURE off, as a web
// build is): every capture or screenshot says that capture is not in this build.
#include <cstdio>

#include "shell/host/capture.h"

namespace {

int notInThisBuild(std::FILE* err) {
  std::fputs("vellumite: capture is not in this build\n", err != nullptr ? err : stderr);
  return kRunBadRequest;
}

}  // namespace

bool captureInBuild() { return false; }

int runCapture(const CaptureOptions& options, CaptureResult*) { return notInThisBuild(options.err); }

int runScreenshot(double, const std::string&, const CaptureOptions& options) { return notInThisBuild(options.err); }

int runShowScreenshot(ShowHooks*, double, const std::string&, const CaptureOptions& options) {
  return notInThisBuild(options.err);
}

int videoMaxCrf(VideoCodec codec) { return codec == VideoCodec::kVp9 ? 63 : 51; }
