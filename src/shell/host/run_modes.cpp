// The offline and authoring modes: option parsing, the choice of mode, the scene preview
// in a window and the screenshot of one scene.
#include "shell/host/run_modes.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/graphics_driver.h"
#include "loading/envelope.h"
#include "loading/motion.h"
#include "loading/regular_file.h"
#include "math/camera.h"
#include "math/matrix4.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shell/entry.h"
#include "shell/memory_tracker.h"
#include "shell/host/options.h"
#include "shell/host/program.h"
#include "shell/host/scene_preview.h"
#include "shell/show_hooks.h"

namespace {

int bad(std::FILE* err, const char* message, const char* detail = "") {
  std::fprintf(err, "vellumite: %s%s\n", message, detail);
  return kRunBadRequest;
}

bool parseSeconds(const char* text, double* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0.0 || value > 3600.0) return false;
  *out = value;
  return true;
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

float motionLastKey(const Motion* motion) {
  float last = 0.0f;
  if (motion == nullptr) return last;
  for (int c = 0; c < motion->channelCount; ++c) {
    const Envelope* envelope = motion->channels[c];
    if (envelope != nullptr && envelope->keyCount > 0 && envelope->lastTime > last) last = envelope->lastTime;
  }
  return last;
}

float slotsLastKey(const MotionSlot* slots, int count) {
  float last = 0.0f;
  if (slots == nullptr) return last;
  for (int i = 0; i < count; ++i) last = std::fmax(last, motionLastKey(slots[i].motion));
  return last;
}

// One scene file as a show: loaded from the current folder, drawn at the show time (or,
// looping, at the show time wrapped at the scene's last key time).
class SingleSceneShow : public ShowHooks {
 public:
  SingleSceneShow(std::string file, bool looping) : fileName(std::move(file)), loop(looping) {}
  ~SingleSceneShow() override { delete scene; }
  void load(GraphicsDriver* driver) override {
    scene = TRACKED_NEW Scene(driver);
    loaded = scene->loadScene(fileName.c_str());
    scene->setActiveCamera(0);
    lastKeyTime = sceneLastKeyTime(*scene);
  }
  void drawFrame(GraphicsDriver*, float showTime, Camera& camera) override {
    if (scene == nullptr) return;
    scene->render(&camera, loop ? scenePreviewTime(showTime, lastKeyTime) : showTime);
    scene->detachLights();
  }
  void shutdown() override {
    delete scene;
    scene = nullptr;
  }

  std::string fileName;
  bool loop;
  Scene* scene = nullptr;
  bool loaded = false;
  float lastKeyTime = 0.0f;
};

// Moves into the scene file's folder; the file's own name is left in `base`.
bool enterSceneFolder(const std::string& sceneFile, std::string* base, std::FILE* err) {
  std::size_t slash = sceneFile.rfind('/');
  std::string folder = slash == std::string::npos ? "." : sceneFile.substr(0, slash == 0 ? 1 : slash);
  *base = slash == std::string::npos ? sceneFile : sceneFile.substr(slash + 1);
  if (chdir(folder.c_str()) != 0) {
    std::fprintf(err, "vellumite: cannot use the folder %s: %s\n", folder.c_str(), std::strerror(errno));
    return false;
  }
  RegularFileStatus status;
  std::FILE* file = openRegularFile(base->c_str(), &status);
  if (file == nullptr) {
    if (status == RegularFileStatus::notRegular)
      std::fprintf(err, "vellumite: cannot read the scene file %s: not a regular file\n", sceneFile.c_str());
    else
      std::fprintf(err, "vellumite: cannot read the scene file %s: %s\n", sceneFile.c_str(), std::strerror(errno));
    return false;
  }
  char magic[4] = {};
  bool isScene = std::fread(magic, 1, 4, file) == 4 && std::memcmp(magic, "LWSC", 4) == 0;
  std::fclose(file);
  if (!isScene) std::fprintf(err, "vellumite: %s is not a LightWave scene file\n", sceneFile.c_str());
  return isScene;
}

}  // namespace

float sceneLastKeyTime(const Scene& scene) {
  float last = 0.0f;
  for (int i = 0; i < scene.objectCount; ++i) {
    if (scene.objects[i] != nullptr) last = std::fmax(last, slotsLastKey(scene.objects[i]->motions, scene.objects[i]->motionCount));
  }
  for (int i = 0; i < scene.cameraCount; ++i) {
    if (scene.cameras[i] != nullptr) last = std::fmax(last, slotsLastKey(scene.cameras[i]->motions, scene.cameras[i]->motionCount));
  }
  for (int i = 0; i < scene.lightCount; ++i) {
    const SceneLight* light = scene.lights[i];
    if (light == nullptr) continue;
    last = std::fmax(last, slotsLastKey(light->motions, light->motionCount));
    last = std::fmax(last, slotsLastKey(light->intensities, light->motionCount));
    last = std::fmax(last, slotsLastKey(light->colors, light->motionCount));
  }
  for (int i = 0; i < scene.boneCount; ++i) {
    if (scene.bones[i] != nullptr) last = std::fmax(last, slotsLastKey(scene.bones[i]->motions, scene.bones[i]->motionCount));
  }
  last = std::fmax(last, slotsLastKey(scene.ambientColors, scene.sceneFileCount));
  last = std::fmax(last, slotsLastKey(scene.ambientIntensities, scene.sceneFileCount));
  return last;
}

float scenePreviewTime(double elapsed, float lastKeyTime) {
  if (!(lastKeyTime > 0.0f)) return 0.0f;
  return static_cast<float>(std::fmod(elapsed, static_cast<double>(lastKeyTime)));
}

void printRunModeUsage(std::FILE* stream) {
  std::fputs(
      "Offline and authoring modes:\n"
      "  --capture OUT       render the show without a display into one video file with\n"
      "                      sound: OUT/show.mp4 in the folder OUT, or the file OUT when it\n"
      "                      ends in .mp4 or .webm; Ctrl+C stops it, keeping what was rendered\n"
      "    --fps N           frames per second of the capture (default 30)\n"
      "    --from S --to S   capture only the show times from S to S seconds\n"
      "    --codec C         h264 (H.264 and AAC in MP4, the default) or vp9 (VP9 and Opus\n"
      "                      in WebM)\n"
      "    --crf N           quality: lower is better and larger (default 18 for h264,\n"
      "                      31 for vp9)\n"
      "    --png             numbered PNG frames OUT/frame_00000.png, ... and OUT/audio.wav\n"
      "                      instead of a video\n"
      "  --screenshot T OUT.png\n"
      "                      render the show's frame at T seconds into OUT.png\n"
      "  --scene FILE.lws    play one scene file in a loop (its folder holds its files),\n"
      "                      loading it again when it, an object or a picture it names\n"
      "                      changes; keys: Space pause, Left/Right -/+1 s (Shift: 10 s),\n"
      "                      Home restart, R reload, Escape quit; the title shows the\n"
      "                      scene time; with --screenshot T OUT.png: render its frame\n"
      "                      at T seconds\n"
      "--mode WxH sets the size of captures (default 1280x720) and screenshots (default\n"
      "640x480).\n",
      stream);
}

int extractRunModeOptions(int argc, const char* const* argv, RunModeOptions* options,
                          std::vector<const char*>* rest, std::FILE* err) {
  rest->clear();
  if (argc > 0) rest->push_back(argv[0]);
  bool capture = false;
  bool screenshot = false;
  bool scene = false;
  const char* captureOnly = nullptr;
  bool codecGiven = false;
  std::string captureTarget;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    const OptionArgument option = splitOptionArgument(argument);
    const std::string& name = option.name;
    const char* value = option.value;
    auto takeValue = [&]() { return takeOptionValue(option, argc, argv, i); };
    if (name == "--capture") {
      const char* out = takeValue();
      if (out == nullptr || *out == '\0') return bad(err, "--capture needs an output folder or file");
      captureTarget = absolutePath(out);
      capture = true;
    } else if (name == "--fps") {
      if (!parseFps(takeValue(), &options->capture.fps)) return bad(err, "--fps takes a whole number from 1 to 1000");
      captureOnly = "--fps";
    } else if (name == "--from") {
      if (!parseSeconds(takeValue(), &options->capture.from)) return bad(err, "--from takes a show time in seconds");
      captureOnly = "--from";
    } else if (name == "--to") {
      if (!parseSeconds(takeValue(), &options->capture.to)) return bad(err, "--to takes a show time in seconds");
      captureOnly = "--to";
    } else if (name == "--crf") {
      if (!parseCrf(takeValue(), &options->capture.crf)) return bad(err, "--crf takes a whole number from 0 to 63");
      captureOnly = "--crf";
    } else if (name == "--codec") {
      const char* codec = takeValue();
      if (codec != nullptr && std::strcmp(codec, "h264") == 0) {
        options->capture.codec = VideoCodec::kH264;
      } else if (codec != nullptr && std::strcmp(codec, "vp9") == 0) {
        options->capture.codec = VideoCodec::kVp9;
      } else {
        return bad(err, "--codec takes h264 or vp9");
      }
      codecGiven = true;
      captureOnly = "--codec";
    } else if (name == "--png" && value == nullptr) {
      options->capture.frames = CaptureFrames::kPng;
      captureOnly = "--png";
    } else if (name == "--screenshot") {
      const char* time = takeValue();
      if (!parseSeconds(time, &options->screenshotTime))
        return bad(err, "--screenshot takes a time in seconds and a PNG file name");
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return bad(err, "--screenshot needs a PNG file name after the time");
      options->screenshotPath = absolutePath(argv[++i]);
      screenshot = true;
    } else if (name == "--scene") {
      const char* file = takeValue();
      if (file == nullptr || *file == '\0') return bad(err, "--scene needs a scene file");
      options->sceneFile = absolutePath(file);
      scene = true;
    } else {
      rest->push_back(argument);
      // The program's options with a separate value keep it.
      if (value == nullptr && (name == "--data" || name == "--mode" || name == "--adapter") && i + 1 < argc)
        rest->push_back(argv[++i]);
    }
  }
  if (capture && (screenshot || scene)) return bad(err, "--capture cannot be combined with --screenshot or --scene");
  if (captureOnly != nullptr && !capture) return bad(err, captureOnly, " is only used with --capture");
  if (capture && options->capture.to >= 0.0 && !(options->capture.to > options->capture.from))
    return bad(err, "--to must be later than --from");
  if (capture) {
    // A name ending in a video extension is the file; anything else is the folder.
    bool webm = endsWith(captureTarget, ".webm");
    if (webm || endsWith(captureTarget, ".mp4")) {
      if (options->capture.frames == CaptureFrames::kPng)
        return bad(err, "--png writes frames into a folder, not into ", captureTarget.c_str());
      VideoCodec named = webm ? VideoCodec::kVp9 : VideoCodec::kH264;
      if (codecGiven && named != options->capture.codec)
        return bad(err, webm ? "--codec h264 writes MP4; name the file .mp4" : "--codec vp9 writes WebM; name the file .webm");
      options->capture.codec = named;
      std::size_t slash = captureTarget.rfind('/');
      options->capture.outDirectory = slash == 0 ? "/" : captureTarget.substr(0, slash);
      options->capture.videoName = captureTarget.substr(slash + 1);
    } else {
      options->capture.outDirectory = captureTarget;
    }
    if (options->capture.crf > videoMaxCrf(options->capture.codec))
      return bad(err, "--crf of vp9 goes up to 63 and of h264 up to 51");
    options->mode = RunMode::kCapture;
  } else if (scene) {
    options->mode = screenshot ? RunMode::kSceneScreenshot : RunMode::kScene;
  } else if (screenshot) {
    options->mode = RunMode::kScreenshot;
  }
  return -1;
}

int runMode(const RunModeOptions& options, const ProgramOptions& program) {
  CaptureOptions capture = options.capture;
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
                     code == kRunInterrupted ? "Ctrl+C" : "a termination signal", result.frames,
                     result.output.c_str(), seconds);
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
  SingleSceneShow show(base, false);
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

int runScenePreview(const std::string& sceneFile, const ProgramOptions& program, std::FILE* err,
                    const PreviewHooks* hooks) {
  if (win32IsHeadless() && hooks == nullptr) {
    std::fprintf(err, "vellumite: --scene needs a display; add --screenshot T OUT.png to render one frame\n");
    return kRunBadRequest;
  }
  std::string base;
  if (!enterSceneFolder(sceneFile, &base, err)) return kRunBadRequest;

  // The program's own driver set-up with its video options; without any, a window of the
  // default mode, since an author reopens the preview often and the dialog would be in the way.
  EntryEnvironment environment = programEnvironment(nullptr);
  std::string title = "[VELLUMITE] " + base;
  GraphicsDriver* driver = environment.createDriver(GetModuleHandleA(nullptr), title.c_str(),
                                                    environment.context);
  if (driver == nullptr) return kRunFailed;
  if (!program.videoOptionGiven) static_cast<Direct3DDriver*>(driver)->presetVideoOptions(VideoPreset{});
  driver->chooseVideoMode(1, 0);
  if (environment.afterVideoChoice != nullptr) {
    int code = environment.afterVideoChoice(driver, environment.context);
    if (code >= 0) {
      delete driver;
      return code;
    }
  }
  if (!driver->initialize()) {
    MessageBoxA(nullptr, "DirectX failed to intalize!", "Error!", MB_OK);
    delete driver;
    return kRunFailed;
  }
  driver->enableLighting();
  PreviewScene preview(base);
  if (!preview.load(driver)) {
    std::fprintf(err, "vellumite: %s is not a scene file this program can read\n", sceneFile.c_str());
    preview.release();
    delete driver;
    return kRunBadRequest;
  }
  int code = runPreviewLoop(driver, static_cast<Direct3DDriver*>(driver)->window, preview, base, hooks, err);
  preview.release();
  delete driver;
  return code;
}
