// The author's scene preview: one scene file played in a loop on the author's clock, and
// loaded again, at the same scene time, whenever the scene file, an object file or a
// picture it names changes on disk (or R is pressed).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/win32/win32_types.h"
#include "shell/host/author_controls.h"

class Camera;
class GraphicsDriver;
class Scene;

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
  bool (*afterFrame)(void* context, GraphicsDriver* driver, const PreviewScene& scene, const AuthorClock& clock) = nullptr;
  void* context = nullptr;
  // Milliseconds between looks at the files (the preview uses 250).
  std::uint32_t watchInterval = 250;
};

// Plays the loaded scene until the window closes (Escape) or a hook ends it: the author's
// clock wraps at the scene's last key time; the title (when window is set) shows the scene
// time; a change to the scene's files reloads it. Messages about reloads go to err.
int runPreviewLoop(GraphicsDriver* driver, HWND window, PreviewScene& preview, const std::string& name,
                   const PreviewHooks* hooks, std::FILE* err);
