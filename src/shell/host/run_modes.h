// The offline and authoring modes of the program: --capture, --screenshot and --scene, their
// command-line options, and the scene preview that plays one scene file in a loop.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "shell/host/capture.h"

class Scene;
struct PreviewHooks;
struct ProgramOptions;

enum class RunMode {
  kShow,             // none of these options: the show as always
  kCapture,          // --capture OUT [--fps N] [--from S] [--to S] [--codec C] [--crf N] [--png]
  kScreenshot,       // --screenshot T OUT.png
  kScene,            // --scene FILE.lws
  kSceneScreenshot,  // --scene FILE.lws --screenshot T OUT.png
};

// The picture size of a capture without --mode.
constexpr int kCaptureDefaultWidth = 1280;
constexpr int kCaptureDefaultHeight = 720;

struct RunModeOptions {
  RunMode mode = RunMode::kShow;
  CaptureOptions capture;      // outDirectory, videoName, codec, crf, fps, from, to and frames
  double screenshotTime = 0.0;
  std::string screenshotPath;  // absolute
  std::string sceneFile;       // absolute
};

// Takes --capture, --fps, --from, --to, --codec, --crf, --png, --screenshot and --scene (each
// as "--name value" or "--name=value") out of argv, making their paths absolute from the
// current folder (a --capture name ending in .mp4 or .webm is the video file, choosing its
// codec); every other argument goes to `rest` in order, argv[0] first. Returns -1 to go on,
// or 2 after a bad value or a combination that makes no sense (the reason on err).
int extractRunModeOptions(int argc, const char* const* argv, RunModeOptions* options,
                          std::vector<const char*>* rest, std::FILE* err);

// The lines of the usage text that describe these options.
void printRunModeUsage(std::FILE* stream);

// Runs the chosen mode with the video size (--mode) of the program's options, in the show's
// data folder (the current folder) or, for --scene, in the scene file's folder. Returns
// the exit code: 0 done, 1 a failure while rendering, 2 a bad request.
int runMode(const RunModeOptions& options, const ProgramOptions& program);

// Plays a scene file in a window from its time 0, looping at its last key time, until the
// window is closed or Escape is pressed; the author's keys steer its clock and a change to
// its files reloads it (scene_preview.h). Hooks (tests) let it run headless.
int runScenePreview(const std::string& sceneFile, const ProgramOptions& program, std::FILE* err,
                    const PreviewHooks* hooks = nullptr);
// Renders the scene file's frame at its time `time` headless and writes it as PNG.
int runSceneScreenshot(const std::string& sceneFile, double time, const std::string& path, int width, int height,
                       std::FILE* err);

// The latest key time of every motion and envelope of the scene (0 when it has none).
float sceneLastKeyTime(const Scene& scene);
// Scene time of the preview after `elapsed` seconds: looping at lastKeyTime (0 stays at 0).
float scenePreviewTime(double elapsed, float lastKeyTime);
