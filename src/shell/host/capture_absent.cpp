// Stand-ins for the offline capture in a build without it (VELLUMITE_CAPTURE off): a capture
// says that capture is not in this build. Screenshots need no video encoder and stay.
#include <cstdio>

#include "shell/host/capture.h"

bool captureInBuild() { return false; }

int runCapture(const CaptureOptions& options, CaptureResult*) {
  std::fputs("vellumite: capture is not in this build\n", options.err != nullptr ? options.err : stderr);
  return kRunBadRequest;
}

int videoMaxCrf(VideoCodec codec) { return codec == VideoCodec::kVp9 ? 63 : 51; }
