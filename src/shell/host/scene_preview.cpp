// The scene preview with reload on change, run through the entry.
#include "shell/host/scene_preview.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/graphics_driver.h"
#include "gfx/material.h"
#include "gfx/texture.h"
#include "loading/envelope.h"
#include "loading/motion.h"
#include "loading/regular_file.h"
#include "math/camera.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "shell/entry.h"
#include "shell/host/capture.h"
#include "shell/host/program.h"
#include "shell/memory_tracker.h"
#include "shell/show_hooks.h"

namespace {

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

// The object file the scene loads for an object name ("Objects\ship.lwo" -> "ship.3dx").
std::string objectFileOf(const char* name) {
  if (name == nullptr) return "";
  std::string text = name;
  std::size_t dot = text.rfind('.');
  std::string extension = dot == std::string::npos ? text : text.substr(dot + 1);
  if (extension != "lwo" && extension != "LWO") return "";
  std::size_t slash = text.find_last_of("\\/");
  std::string base = slash == std::string::npos ? text : text.substr(slash + 1);
  return base.substr(0, base.size() - 3) + "3dx";
}

std::vector<std::string> textureNames(const Scene& scene) {
  std::vector<std::string> names;
  for (int m = 0; m < scene.materialCount; ++m) {
    const Material* material = scene.materials[m];
    if (material == nullptr) continue;
    for (int l = 0; l < material->layerCount; ++l) {
      if (material->layers[l].textureName != nullptr) names.emplace_back(material->layers[l].textureName);
    }
  }
  return names;
}

void addOnce(std::vector<std::string>& list, const std::string& name) {
  if (name.empty()) return;
  for (const std::string& n : list)
    if (n == name) return;
  list.push_back(name);
}

}  // namespace

WatchedFiles::State WatchedFiles::stateOf(const std::string& name) {
  State s;
  struct stat info {};
  if (stat(name.c_str(), &info) != 0) return s;
  s.exists = true;
  s.size = static_cast<std::int64_t>(info.st_size);
  s.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return s;
}

void WatchedFiles::watch(std::vector<std::string> files) {
  names = std::move(files);
  states.clear();
  for (const std::string& name : names) states.push_back(stateOf(name));
}

bool WatchedFiles::changed() const {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const State now = stateOf(names[i]);
    const State& then = states[i];
    if (now.exists != then.exists || now.size != then.size || now.modified != then.modified) return true;
  }
  return false;
}

std::vector<std::string> sceneDependencies(const Scene& scene, const std::string& sceneFile) {
  std::vector<std::string> files{sceneFile};
  for (int i = 0; i < scene.objectCount; ++i) {
    if (scene.objects[i] != nullptr) addOnce(files, objectFileOf(scene.objects[i]->fileName));
  }
  for (const std::string& name : textureNames(scene)) {
    // "base(alpha)": both pictures.
    std::size_t open = name.find('(');
    if (!name.empty() && name.back() == ')' && open != std::string::npos) {
      addOnce(files, name.substr(0, open));
      addOnce(files, name.substr(open + 1, name.size() - open - 2));
    } else {
      addOnce(files, name);
    }
  }
  return files;
}

PreviewScene::~PreviewScene() { release(); }

void PreviewScene::release() {
  delete scene;
  scene = nullptr;
}

bool PreviewScene::load(GraphicsDriver* driver) {
  std::vector<std::string> pictures;
  if (scene != nullptr) pictures = textureNames(*scene);
  release();
  for (const std::string& name : pictures) {
    // Every copy registered under the name; the registry is finite, so is the loop.
    for (std::uint32_t guard = driver->textureCount + 1; guard > 0; --guard) {
      Texture* texture = driver->findTexture(name.c_str());
      if (texture == nullptr) break;
      driver->releaseTexture(texture);
    }
  }
  scene = TRACKED_NEW Scene(driver);
  loaded = scene->loadScene(file.c_str());
  scene->setActiveCamera(0);
  lastKeyTime = sceneLastKeyTime(*scene);
  watched.watch(sceneDependencies(*scene, file));
  ++loads;
  return loaded;
}

void PreviewScene::draw(Camera& camera, float t) {
  if (scene == nullptr) return;
  scene->render(&camera, t);
  scene->detachLights();
}

namespace {

// The previewed scene as the entry's show.
class PreviewShow : public ShowHooks {
 public:
  explicit PreviewShow(PreviewScene& scene) : preview(scene) {}
  // A scene file that cannot be read ends the run before its first frame.
  void load(GraphicsDriver* driver) override {
    started = true;
    shownOn = driver;
    if (!preview.load(driver)) PostQuitMessage(0);
  }
  void drawFrame(GraphicsDriver*, float showTime, Camera& camera) override { preview.draw(camera, showTime); }
  void shutdown() override { preview.release(); }

  PreviewScene& preview;
  GraphicsDriver* shownOn = nullptr;
  bool started = false;  // the display was set up and loading began
};

// The preview's clock: the author's keys, wrapped at the scene's last key time; a look at
// the scene's files now and then, and a reload (at the same scene time) when they changed
// or R was pressed; the scene time in the title.
class PreviewClock : public SteeredClock {
 public:
  PreviewClock(PreviewShow& shown, std::string name, const ProgramRun& run, const PreviewHooks* hooks, std::FILE* err)
      : show(shown),
        sceneName(std::move(name)),
        program(run),
        testHooks(hooks),
        messages(err),
        interval(hooks != nullptr ? hooks->watchInterval : 250) {}

  bool dispatchMessages() override { return pumpAuthorMessages(clock, &reloadAsked); }

  double advance(double elapsed) override {
    PreviewScene& preview = show.preview;
    double t = clock.advance(elapsed);
    if (preview.lastKeyTime > 0.0f && t >= preview.lastKeyTime) {
      t = std::fmod(t, static_cast<double>(preview.lastKeyTime));
      clock.setTime(t);
    } else if (!(preview.lastKeyTime > 0.0f)) {
      t = 0.0;
      clock.setTime(0.0);
    }
    // The files are looked at every `interval` milliseconds of the frame timer.
    sinceLook += elapsed;
    bool reload = reloadAsked;
    reloadAsked = false;
    if (!reload && sinceLook * 1000.0 >= static_cast<double>(interval)) {
      sinceLook = 0.0;
      reload = preview.watched.changed();
    }
    if (reload) {
      if (preview.load(show.shownOn))
        std::fprintf(messages, "vellumite: %s reloaded at %.1f s\n", sceneName.c_str(), t);
      else
        std::fprintf(messages, "vellumite: %s cannot be read; waiting for the next change\n", sceneName.c_str());
    }
    sceneTime = t;
    return t;
  }

  bool afterFrame(GraphicsDriver* driver, ShowHooks*, float) override {
    const std::string shown = authorTitle(sceneName, sceneTime, clock.paused());
    if (program.driver != nullptr && program.driver->window != nullptr && shown != title) {
      SetWindowTextA(program.driver->window, shown.c_str());
      title = shown;
    }
    if (testHooks != nullptr && testHooks->afterFrame != nullptr)
      return testHooks->afterFrame(testHooks->context, driver, show.preview, clock);
    return true;
  }

  // A looping scene never reaches the show's end.
  bool endsWithTheShow() const override { return false; }

  AuthorClock clock;

 private:
  PreviewShow& show;
  std::string sceneName;
  const ProgramRun& program;
  const PreviewHooks* testHooks;
  std::FILE* messages;
  std::uint32_t interval;
  double sinceLook = 0.0;
  bool reloadAsked = false;
  double sceneTime = 0.0;
  std::string title;
};

}  // namespace

float sceneLastKeyTime(const Scene& scene) {
  float last = 0.0f;
  for (int i = 0; i < scene.objectCount; ++i) {
    if (scene.objects[i] != nullptr)
      last = std::fmax(last, slotsLastKey(scene.objects[i]->motions, scene.objects[i]->motionCount));
  }
  for (int i = 0; i < scene.cameraCount; ++i) {
    if (scene.cameras[i] != nullptr)
      last = std::fmax(last, slotsLastKey(scene.cameras[i]->motions, scene.cameras[i]->motionCount));
  }
  for (int i = 0; i < scene.lightCount; ++i) {
    const SceneLight* light = scene.lights[i];
    if (light == nullptr) continue;
    last = std::fmax(last, slotsLastKey(light->motions, light->motionCount));
    last = std::fmax(last, slotsLastKey(light->intensities, light->motionCount));
    last = std::fmax(last, slotsLastKey(light->colors, light->motionCount));
  }
  for (int i = 0; i < scene.boneCount; ++i) {
    if (scene.bones[i] != nullptr)
      last = std::fmax(last, slotsLastKey(scene.bones[i]->motions, scene.bones[i]->motionCount));
  }
  last = std::fmax(last, slotsLastKey(scene.ambientColors, scene.sceneFileCount));
  last = std::fmax(last, slotsLastKey(scene.ambientIntensities, scene.sceneFileCount));
  return last;
}

float scenePreviewTime(double elapsed, float lastKeyTime) {
  if (!(lastKeyTime > 0.0f)) return 0.0f;
  return static_cast<float>(std::fmod(elapsed, static_cast<double>(lastKeyTime)));
}

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
  ProgramRun run(program);
  run.windowTitle = "[VELLUMITE] " + base;
  run.setupDialog = false;
  PreviewScene preview(base);
  PreviewShow show(preview);
  PreviewClock clock(show, base, run, hooks, err);
  EntryEnvironment environment = run.environment(&show);
  environment.querySystemInfo = nullptr;  // the title names the scene, not the processor
  environment.clock = &clock;
  const int code = runEntry(GetModuleHandleA(nullptr), environment);
  if (code != 0) return code;
  // The entry reports a display that cannot be set up in its message box and ends with 0.
  if (!show.started) return kRunFailed;
  if (preview.loads == 1 && !preview.loaded) {
    std::fprintf(err, "vellumite: %s is not a scene file this program can read\n", sceneFile.c_str());
    return kRunBadRequest;
  }
  return 0;
}
