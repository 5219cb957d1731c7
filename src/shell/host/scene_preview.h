// The author's scene preview: one scene file played in a loop on the author's clock through
// the entry, and loaded again, at the same scene time, whenever the scene file, an object
// file or a picture it names changes on disk (or R is pressed).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "shell/host/author_controls.h"

class Camera;
class GraphicsDriver;
class Scene;
struct ProgramOptions;

// The latest key time of every motion and envelope of the scene (0 when it has none).
float sceneLastKeyTime(const Scene& scene);
// Scene time of the preview after `elapsed` seconds: looping at lastKeyTime (0 stays at 0).
float scenePreviewTime(double elapsed, float lastKeyTime);

// Moves into the folder of a scene file (an absolute path) and checks that the file is a
// readable scene file; its own name is left in `base`. False with the reason on err.
bool enterSceneFolder(const std::string& sceneFile, std::string* base, std::FILE* err);

// Files and the state they were in when recorded.
class WatchedFiles {
 public:
  // Records the files' modification times and sizes (a missing file is recorded as missing).
  void watch(std::vector<std::string> files);
  // True when any file changed, appeared or vanished since it was recorded.
  bool changed() const;
  const std::vector<std::string>& files() const { return names; }

 private:
  struct State {
    bool exists = false;
    std::int64_t size = 0;
    std::int64_t modified = 0;  // nanoseconds
  };
  static State stateOf(const std::string& name);
  std::vector<std::string> names;
  std::vector<State> states;
};

// The files a loaded scene reads: the scene file, the object file of every object it
// names (loaded or not), and every picture of its materials (both halves of "a(b)").
std::vector<std::string> sceneDependencies(const Scene& scene, const std::string& sceneFile);

// One scene file, loaded from the current folder.
class PreviewScene {
 public:
  explicit PreviewScene(std::string sceneFile) : file(std::move(sceneFile)) {}
  ~PreviewScene();
  PreviewScene(const PreviewScene&) = delete;
  PreviewScene& operator=(const PreviewScene&) = delete;

  // Loads the scene afresh: the previous scene and the pictures it used are released
  // from the driver first, so changed pictures are read again. False when the scene file
  // cannot be read.
  bool load(GraphicsDriver* driver);
  // Draws the scene at its time t (from 0 to its last key time).
  void draw(Camera& camera, float t);
  // Releases the scene.
  void release();

  std::string file;
  Scene* scene = nullptr;
  bool loaded = false;
  float lastKeyTime = 0.0f;
  int loads = 0;
  WatchedFiles watched;
};

// Test hooks of the preview loop.
struct PreviewHooks {
  // After each presented frame; false ends the preview.
  bool (*afterFrame)(void* context, GraphicsDriver* driver, const PreviewScene& scene,
                     const AuthorClock& clock) = nullptr;
  void* context = nullptr;
  // Milliseconds between looks at the files (the preview uses 250).
  std::uint32_t watchInterval = 250;
};

// Plays a scene file in a window from its time 0, looping at its last key time, until the
// window is closed or Escape is pressed: the program's driver with its video options (without
// any, the default mode and no dialog), the author's keys on the clock, the scene time in
// the title, and a reload whenever the scene's files change (messages about reloads on err).
// Returns the exit code: 0 after the preview, 1 when the display cannot be set up, 2 for a
// file that is no scene. Hooks (tests) let it run headless.
int runScenePreview(const std::string& sceneFile, const ProgramOptions& program, std::FILE* err,
                    const PreviewHooks* hooks = nullptr);
