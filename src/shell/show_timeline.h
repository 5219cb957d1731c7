// The show: its files, the loading picture, the music, and the hard-wired timeline of seven
// scenes, the music fade and the closing picture that fills the entry's fixed points.
#pragma once

#include <cstdint>

#include "platform/win32/win32_types.h"
#include "shell/show_files.h"
#include "shell/show_hooks.h"

class Scene;
class Texture;

// Music: from 141 s (exclusive) to 143 s the volume falls; the closing picture from 143 s.
constexpr float kShowFadeStart = 141.0f;
constexpr float kShowClosingTime = 143.0f;

// One window of the timeline: the scene renders while from <= showTime < to, at
// showTime - offset. `hasFrom` false: no lower bound (and no offset).
struct ShowSceneWindow {
  ShowSceneIndex scene;
  bool hasFrom;
  float from;
  float to;
};
// The windows in the order the scenes render within a frame.
extern const ShowSceneWindow kShowWindows[kShowSceneCount];
// Orders of the light release at the end of a frame and of the destruction at shutdown.
extern const ShowSceneIndex kShowDetachOrder[kShowSceneCount];
extern const ShowSceneIndex kShowDestroyOrder[kShowSceneCount];

// The scene time a window gives for showTime: the difference taken in double precision,
// passed on as a float.
float showSceneTime(const ShowSceneWindow& window, float showTime);
// The fade volume for showTime (> 141): 100 - (showTime - 141) * 50, truncated toward zero.
int showFadeVolume(float showTime);
// The 200 x 40 picture rectangle centred on a screen of width x height.
RECT showPictureRect(std::uint16_t width, std::uint16_t height);

// What the show reaches beyond the driver: scenes, the back buffer that pictures are blitted
// through, and the music. Whoever runs the show implements it (the program: real scenes
// from the current folder, the Direct3D driver's back buffer, the sound library; tests and
// the offline modes: parts of their own) and hands it to the show.
class ShowServices {
 public:
  virtual ~ShowServices() = default;
  // A scene on the heap, filled from the file, with camera 0 active (createShowScene).
  virtual Scene* createScene(GraphicsDriver* driver, const char* file) = 0;
  // The driver's back-buffer texture (null when it has none).
  virtual Texture* backBuffer(GraphicsDriver* driver) = 0;
  // The sound system on the driver's window; false: the show runs silently.
  virtual bool initMusic(GraphicsDriver* driver) = 0;
  virtual std::uint32_t loadMusic(const char* file) = 0;
  virtual bool startMusic(std::uint32_t music) = 0;
  virtual bool stopMusic(std::uint32_t music) = 0;
  // Music volume 0..100; -1 leaves a volume as it is. Harmless without a sound system.
  virtual void setGlobalVolumes(int music, int sample, int stream) = 0;
  // Called once after loading with every show file that could not be found.
  virtual void reportMissingFiles(const char* const* names, int count) = 0;
  // Called once after loading with every show file that is present but cannot be read, and
  // why ("not a scene file").
  virtual void reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) = 0;
};

// A show scene as the program makes it: on the heap, filled from the file, camera 0 active.
Scene* createShowScene(GraphicsDriver* driver, const char* file);

class ShowTimeline : public ShowHooks {
 public:
  // services: not owned, outlives the timeline.
  explicit ShowTimeline(ShowServices* services);
  // Scenes still alive (shutdown not called) are destroyed.
  ~ShowTimeline() override;

  void load(GraphicsDriver* driver) override;
  void startMusic() override;
  void drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) override;
  void shutdown() override;

  ShowTimeline(const ShowTimeline&) = delete;
  ShowTimeline& operator=(const ShowTimeline&) = delete;

  ShowServices* services;
  Scene* scenes[kShowSceneCount];
  Texture* closingPicture;
  Texture* loadingPicture;
  std::uint32_t music;
  bool musicStarted;

 private:
  void drawPicture(GraphicsDriver* driver, Texture* picture);
};

// The show the program runs on the given services (not owned, living as long as the show);
// it lives until the process ends.
ShowHooks* createShow(ShowServices* services);
