// The show's loading, its timeline frame by frame, and its shutdown.
#include "shell/show_timeline.h"

#include <string>
#include <vector>

#include "gfx/graphics_driver.h"
#include "gfx/texture.h"
#include "math/camera.h"
#include "scene/scene.h"
#include "shell/memory_tracker.h"
#include "shell/show_files.h"

const ShowSceneWindow kShowWindows[kShowSceneCount] = {
    {kShowGrand, false, 0.0f, 40.0f},      {kShowText, true, 33.0f, 40.0f},  {kShowDesign, true, 40.0f, 68.0f},
    {kShowDance2, true, 68.0f, 94.0f},     {kShowDass, true, 94.0f, 134.0f}, {kShowSlut, true, 134.0f, 143.0f},
    {kShowSkitdemo, true, 134.0f, 143.0f},
};

const ShowSceneIndex kShowDetachOrder[kShowSceneCount] = {kShowSkitdemo, kShowDesign, kShowText, kShowGrand,
                                                          kShowDass,     kShowDance2, kShowSlut};
const ShowSceneIndex kShowDestroyOrder[kShowSceneCount] = {kShowSkitdemo, kShowSlut, kShowText,  kShowDesign,
                                                           kShowGrand,    kShowDass, kShowDance2};

float showSceneTime(const ShowSceneWindow& window, float showTime) {
  if (!window.hasFrom) return showTime;
  return static_cast<float>(static_cast<double>(showTime) - static_cast<double>(window.from));
}

int showFadeVolume(float showTime) {
  // The product stays in double precision until the truncation toward zero.
  return static_cast<int>(100.0 - (static_cast<double>(showTime) - 141.0) * 0.5 * 100.0);
}

RECT showPictureRect(std::uint16_t width, std::uint16_t height) {
  RECT r;
  r.left = (static_cast<int>(width) - 200) / 2;
  r.top = (static_cast<int>(height) - 40) / 2;
  r.right = r.left + 200;
  r.bottom = r.top + 40;
  return r;
}

ShowTimeline::ShowTimeline(ShowServices* showServices)
    : services(showServices),
      scenes{},
      closingPicture(nullptr),
      loadingPicture(nullptr),
      music(0),
      musicStarted(false) {}

ShowTimeline::~ShowTimeline() {
  for (ShowSceneIndex index : kShowDestroyOrder) {
    delete scenes[index];
    scenes[index] = nullptr;
  }
}

void ShowTimeline::drawPicture(GraphicsDriver* driver, Texture* picture) {
  // A picture that failed to load is not drawn.
  if (picture == nullptr) return;
  Texture* target = services->backBuffer(driver);
  if (target == nullptr) return;
  RECT rect = showPictureRect(driver->width, driver->height);
  target->blit(&rect, picture, nullptr, false);
}

void ShowTimeline::load(GraphicsDriver* driver) {
  if (!driver->loadTexture(&closingPicture, kShowClosingPictureFile, nullptr, false)) closingPicture = nullptr;
  if (!driver->loadTexture(&loadingPicture, kShowLoadingPictureFile, nullptr, false)) loadingPicture = nullptr;

  driver->clear(0, 1.0f, 0, nullptr, true);
  drawPicture(driver, loadingPicture);
  driver->present(true);

  musicStarted = services->initMusic(driver);
  if (musicStarted) music = services->loadMusic(kShowMusicFile);

  for (int i = 0; i < kShowSceneCount; ++i) scenes[i] = services->createScene(driver, kShowSceneFiles[i]);

  Texture* light = nullptr;
  driver->loadTexture(&light, kShowLightTextureFile, nullptr, true);

  ShowFileCheck files = checkShowFiles(scenes, kShowSceneCount);
  if (!files.missing.empty()) {
    std::vector<const char*> names;
    for (const std::string& name : files.missing) names.push_back(name.c_str());
    services->reportMissingFiles(names.data(), static_cast<int>(names.size()));
  }
  if (!files.unreadable.empty()) {
    std::vector<const char*> names;
    std::vector<const char*> reasons;
    for (const UnreadableShowFile& file : files.unreadable) {
      names.push_back(file.name.c_str());
      reasons.push_back(file.reason.c_str());
    }
    services->reportUnreadableFiles(names.data(), reasons.data(), static_cast<int>(names.size()));
  }
}

void ShowTimeline::startMusic() {
  if (musicStarted) services->startMusic(music);
}

void ShowTimeline::drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) {
  for (const ShowSceneWindow& window : kShowWindows) {
    if (window.hasFrom && !(showTime >= window.from)) continue;
    if (!(showTime < window.to)) continue;
    Scene* scene = scenes[window.scene];
    if (scene != nullptr) scene->render(&camera, showSceneTime(window, showTime));
  }
  // The fade belongs to the last window, after its two scenes.
  if (showTime >= 134.0f && showTime < kShowClosingTime && showTime > kShowFadeStart) {
    services->setGlobalVolumes(showFadeVolume(showTime), -1, -1);
  }
  if (showTime >= kShowClosingTime) drawPicture(driver, closingPicture);
  for (ShowSceneIndex index : kShowDetachOrder) {
    if (scenes[index] != nullptr) scenes[index]->detachLights();
  }
}

void ShowTimeline::shutdown() {
  if (musicStarted) services->stopMusic(music);
  for (ShowSceneIndex index : kShowDestroyOrder) {
    delete scenes[index];
    scenes[index] = nullptr;
  }
}

// The show object itself lives until the process ends (its scenes and music are released
// by shutdown), so it comes from the plain heap and is not in the memory report.
ShowHooks* createShow(ShowServices* services) { return new ShowTimeline(services); }

Scene* createShowScene(GraphicsDriver* driver, const char* file) {
  Scene* scene = TRACKED_NEW Scene(driver);
  scene->loadScene(file);
  scene->setActiveCamera(0);
  return scene;
}
