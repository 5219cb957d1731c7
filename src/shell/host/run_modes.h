// The offline and authoring modes of the program: --capture, --screenshot and --scene, and
// their entries in the option table.
#pragma once

#include <cstdio>
#include <string>

#include "shell/host/capture.h"
#include "shell/host/option_table.h"

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
  CaptureOptions capture;  // outDirectory, videoName, codec, crf, fps, from, to and frames
  double screenshotTime = 0.0;
  std::string screenshotPath;  // absolute
  std::string sceneFile;       // absolute
};

// Registers --capture, --fps, --from, --to, --codec, --crf, --png, --screenshot and --scene
// into the table, in a section of their own (a bad value prints its reason without the
// usage), their paths made absolute from the current folder (a --capture name ending in
// .mp4 or .webm is the video file, choosing its codec). After the whole command line the
// table checks the combination (exit code 2 for one that makes no sense) and sets the mode.
void registerRunModeOptions(OptionTable& table, RunModeOptions* options);

// Runs the chosen mode with the video size (--mode) of the program's options, in the show's
// data folder (the current folder) or, for --scene, in the scene file's folder. Returns
// the exit code: 0 done, 1 a failure while rendering, 2 a bad request.
int runMode(const RunModeOptions& options, const ProgramOptions& program);

// Renders the scene file's frame at its time `time` headless and writes it as PNG.
int runSceneScreenshot(const std::string& sceneFile, double time, const std::string& path, int width, int height,
                       std::FILE* err);
