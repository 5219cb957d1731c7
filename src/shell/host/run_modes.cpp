// The offline and authoring modes: their options, the choice of mode, and the screenshot
// of one scene.
#include "shell/host/run_modes.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "scene/scene.h"
#include "shell/host/options.h"
#include "shell/host/scene_preview.h"
#include "shell/host/show_services.h"
#include "shell/memory_tracker.h"
#include "shell/show_hooks.h"

namespace {

int bad(std::FILE* err, const char* message, const char* detail = "") {
  std::fprintf(err, "vellumite: %s%s\n", message, detail);
  return kRunBadRequest;
}

bool parseFps(const char* text, int* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 1 || value > 1000) return false;
  *out = static_cast<int>(value);
  return true;
}

bool parseCrf(const char* text, int* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < 0 || value > 63) return false;
  *out = static_cast<int>(value);
  return true;
}

bool endsWith(const std::string& text, const char* end) {
  std::size_t n = std::strlen(end);
  if (text.size() <= n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != end[i]) return false;
  }
  return true;
}

std::string absolutePath(const char* path) {
  if (path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

// One scene file as a show: loaded from the current folder, drawn at the show time.
class SingleSceneShow : public ShowHooks {
 public:
  explicit SingleSceneShow(std::string file) : fileName(std::move(file)) {}
  ~SingleSceneShow() override { delete scene; }
  void load(GraphicsDriver* driver) override {
    scene = TRACKED_NEW Scene(driver);
    loaded = scene->loadScene(fileName.c_str());
    scene->setActiveCamera(0);
  }
  void drawFrame(GraphicsDriver*, float showTime, Camera& camera) override {
    if (scene == nullptr) return;
    scene->render(&camera, showTime);
    scene->detachLights();
  }
  void shutdown() override {
    delete scene;
    scene = nullptr;
  }

  std::string fileName;
  Scene* scene = nullptr;
  bool loaded = false;
};

// What the run modes' options tell each other; the final check looks at them together.
struct RunModeGiven {
  bool capture = false;
  bool screenshot = false;
  bool scene = false;
  const char* captureOnly = nullptr;
  bool codecGiven = false;
  std::string captureTarget;
};

// After every argument: the combination makes sense, and the mode it asks for.
int chooseRunMode(const RunModeGiven& given, RunModeOptions* options, std::FILE* err) {
  if (given.capture && !captureInBuild()) return bad(err, "--capture", ": capture is not in this build");
  if (given.capture && (given.screenshot || given.scene))
    return bad(err, "--capture cannot be combined with --screenshot or --scene");
  if (given.captureOnly != nullptr && !given.capture)
    return bad(err, given.captureOnly, " is only used with --capture");
  if (given.capture && options->capture.to >= 0.0 && !(options->capture.to > options->capture.from))
    return bad(err, "--to must be later than --from");
  if (given.capture) {
    // A name ending in a video extension is the file; anything else is the folder.
    bool webm = endsWith(given.captureTarget, ".webm");
    if (webm || endsWith(given.captureTarget, ".mp4")) {
      if (options->capture.frames == CaptureFrames::kPng)
        return bad(err, "--png writes frames into a folder, not into ", given.captureTarget.c_str());
      VideoCodec named = webm ? VideoCodec::kVp9 : VideoCodec::kH264;
      if (given.codecGiven && named != options->capture.codec)
        return bad(
            err, webm ? "--codec h264 writes MP4; name the file .mp4" : "--codec vp9 writes WebM; name the file .webm");
      options->capture.codec = named;
      std::size_t slash = given.captureTarget.rfind('/');
      options->capture.outDirectory = slash == 0 ? "/" : given.captureTarget.substr(0, slash);
      options->capture.videoName = given.captureTarget.substr(slash + 1);
    } else {
      options->capture.outDirectory = given.captureTarget;
    }
    if (options->capture.crf > videoMaxCrf(options->capture.codec))
      return bad(err, "--crf of vp9 goes up to 63 and of h264 up to 51");
    options->mode = RunMode::kCapture;
  } else if (given.scene) {
    options->mode = given.screenshot ? RunMode::kSceneScreenshot : RunMode::kScene;
  } else if (given.screenshot) {
    options->mode = RunMode::kScreenshot;
  }
  return -1;
}

}  // namespace

void registerRunModeOptions(OptionTable& table, RunModeOptions* options) {
  auto given = std::make_shared<RunModeGiven>();
  table.section("Offline and authoring modes:",
                "--mode WxH sets the size of captures (default 1280x720) and screenshots (default\n"
                "640x480).\n",
                false);
  table.add({"--capture", "OUT",
             "render the show without a display into one video file with\nsound: OUT/show.mp4 in the folder OUT, or "
             "the file OUT when it\nends in .mp4 or .webm; Ctrl+C stops it, keeping what was rendered",
             [given](OptionCall& call) {
               const char* out = call.value();
               if (out == nullptr || *out == '\0') return call.fail("--capture needs an output folder or file");
               given->captureTarget = absolutePath(out);
               given->capture = true;
               return -1;
             }});
  table.add({"--fps", "N", "frames per second of the capture (default 30)",
             [options, given](OptionCall& call) {
               if (!parseFps(call.value(), &options->capture.fps))
                 return call.fail("--fps takes a whole number from 1 to 1000");
               given->captureOnly = "--fps";
               return -1;
             },
             nullptr, true});
  table.add({"--from", "S", "capture only the show times from S to S seconds",
             [options, given](OptionCall& call) {
               if (!parseOptionSeconds(call.value(), &options->capture.from))
                 return call.fail("--from takes a show time in seconds");
               given->captureOnly = "--from";
               return -1;
             },
             "--from S --to S", true});
  table.add({"--to", "S", "",
             [options, given](OptionCall& call) {
               if (!parseOptionSeconds(call.value(), &options->capture.to))
                 return call.fail("--to takes a show time in seconds");
               given->captureOnly = "--to";
               return -1;
             },
             nullptr, true});
  table.add({"--codec", "C", "h264 (H.264 and AAC in MP4, the default) or vp9 (VP9 and Opus\nin WebM)",
             [options, given](OptionCall& call) {
               const char* codec = call.value();
               if (codec != nullptr && std::strcmp(codec, "h264") == 0) {
                 options->capture.codec = VideoCodec::kH264;
               } else if (codec != nullptr && std::strcmp(codec, "vp9") == 0) {
                 options->capture.codec = VideoCodec::kVp9;
               } else {
                 return call.fail("--codec takes h264 or vp9");
               }
               given->codecGiven = true;
               given->captureOnly = "--codec";
               return -1;
             },
             nullptr, true});
  table.add({"--crf", "N", "quality: lower is better and larger (default 18 for h264,\n31 for vp9)",
             [options, given](OptionCall& call) {
               if (!parseCrf(call.value(), &options->capture.crf))
                 return call.fail("--crf takes a whole number from 0 to 63");
               given->captureOnly = "--crf";
               return -1;
             },
             nullptr, true});
  table.add({"--png", nullptr, "numbered PNG frames OUT/frame_00000.png, ... and OUT/audio.wav\ninstead of a video",
             [options, given](OptionCall&) {
               options->capture.frames = CaptureFrames::kPng;
               given->captureOnly = "--png";
               return -1;
             },
             nullptr, true});
  table.add({"--screenshot", "T OUT.png", "render the show's frame at T seconds into OUT.png",
             [options, given](OptionCall& call) {
               if (!parseOptionSeconds(call.value(), &options->screenshotTime))
                 return call.fail("--screenshot takes a time in seconds and a PNG file name");
               const char* path = call.value();
               if (path == nullptr || *path == '\0')
                 return call.fail("--screenshot needs a PNG file name after the time");
               options->screenshotPath = absolutePath(path);
               given->screenshot = true;
               return -1;
             }});
  table.add(
      {"--scene", "FILE.lws",
       "play one scene file in a loop (its folder holds its files),\nloading it again when it, an object or a "
       "picture it names\nchanges; keys: Space pause, Left/Right -/+1 s (Shift: 10 s),\nHome restart, R reload, "
       "Escape quit; the title shows the\nscene time; with --screenshot T OUT.png: render its frame\nat T seconds",
       [options, given](OptionCall& call) {
         const char* file = call.value();
         if (file == nullptr || *file == '\0') return call.fail("--scene needs a scene file");
         options->sceneFile = absolutePath(file);
         given->scene = true;
         return -1;
       }});
  table.finally([options, given](std::FILE* err) { return chooseRunMode(*given, options, err); });
}

int runMode(const RunModeOptions& options, const ProgramOptions& program) {
  ProgramShowServices services;
  CaptureOptions capture = options.capture;
  capture.services = &services;
  if (options.mode == RunMode::kCapture) {
    capture.width = kCaptureDefaultWidth;
    capture.height = kCaptureDefaultHeight;
  }
  if (program.hasMode) {
    capture.width = program.width;
    capture.height = program.height;
    capture.bitsPerPixel = program.bitsPerPixel;
  }
  switch (options.mode) {
    case RunMode::kCapture: {
      CaptureResult result;
      int code = runCapture(capture, &result);
      double seconds = static_cast<double>(result.frames) / capture.fps;
      if (code == kRunOk) {
        std::fprintf(stderr, "vellumite: captured %d frames (%.1f s of the show) into %s\n", result.frames, seconds,
                     result.output.c_str());
      } else if (result.interrupted) {
        std::fprintf(stderr, "vellumite: stopped by %s after %d frames; %s holds the first %.1f s\n",
                     code == kRunInterrupted ? "Ctrl+C" : "a termination signal", result.frames, result.output.c_str(),
                     seconds);
      }
      return code;
    }
    case RunMode::kScreenshot:
      return runScreenshot(options.screenshotTime, options.screenshotPath, capture);
    case RunMode::kScene:
      return runScenePreview(options.sceneFile, program, stderr);
    case RunMode::kSceneScreenshot:
      return runSceneScreenshot(options.sceneFile, options.screenshotTime, options.screenshotPath, capture.width,
                                capture.height, stderr);
    case RunMode::kShow:
    default:
      return -1;
  }
}

int runSceneScreenshot(const std::string& sceneFile, double time, const std::string& path, int width, int height,
                       std::FILE* err) {
  std::string base;
  if (!enterSceneFolder(sceneFile, &base, err)) return kRunBadRequest;
  SingleSceneShow show(base);
  CaptureOptions options;
  options.width = width;
  options.height = height;
  options.err = err;
  int code = runShowScreenshot(&show, time, path, options);
  if (code == kRunOk && !show.loaded) {
    std::fprintf(err, "vellumite: %s is not a scene file this program can read\n", sceneFile.c_str());
    return kRunBadRequest;
  }
  return code;
}
