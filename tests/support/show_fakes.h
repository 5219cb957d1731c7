// Test doubles for the show: scenes that log what the timeline asks of them, and show
// services that hand out such scenes, record the music calls and take a back buffer.
// Header only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/texture.h"
#include "scene/scene.h"
#include "shell/show_timeline.h"

// One thing the show did, in the order it happened.
struct ShowEvent {
  std::string what;   // "render", "detachLights", "destroy", "initMusic", "volume", ...
  std::string scene;  // scene file, for scene events
  float time = 0.0f;  // render time
  int value = 0;      // volume, handle
};

class ShowLog {
 public:
  std::vector<ShowEvent> events;

  void add(const std::string& what, const std::string& scene = "", float time = 0.0f, int value = 0) {
    events.push_back({what, scene, time, value});
  }
  std::vector<ShowEvent> of(const std::string& what) const {
    std::vector<ShowEvent> found;
    for (const ShowEvent& e : events) {
      if (e.what == what) found.push_back(e);
    }
    return found;
  }
  // Scene names of the events of one kind, in order.
  std::vector<std::string> scenesOf(const std::string& what) const {
    std::vector<std::string> names;
    for (const ShowEvent& e : events) {
      if (e.what == what) names.push_back(e.scene);
    }
    return names;
  }
  void clear() { events.clear(); }
};

class LoggingScene : public Scene {
 public:
  LoggingScene(GraphicsDriver* driver, const std::string& file, ShowLog& sceneLog)
      : Scene(driver), name(file), log(sceneLog) {}
  ~LoggingScene() override { log.add("destroy", name); }
  int render(Camera*, float time) override {
    log.add("render", name, time);
    return 0;
  }
  int detachLights() override {
    log.add("detachLights", name);
    return 0;
  }

  std::string name;
  ShowLog& log;
};

// A texture that records the blits made into it.
class BlitTarget : public Texture {
 public:
  struct Blit {
    RECT rect;
    Texture* source;
    bool hasSourceRect;
    bool colourKey;
  };
  explicit BlitTarget(GraphicsDriver* owner) : Texture(owner) {}
  void blit(const RECT* dst, Texture* src, const RECT* srcRect, bool colourKey) override {
    blits.push_back({dst != nullptr ? *dst : RECT{}, src, srcRect != nullptr, colourKey});
  }
  std::vector<Blit> blits;
};

class FakeShowServices : public ShowServices {
 public:
  explicit FakeShowServices(BlitTarget* target = nullptr) : back(target) {}

  Scene* createScene(GraphicsDriver* driver, const char* file) override {
    log.add("createScene", file);
    return new LoggingScene(driver, file, log);
  }
  Texture* backBuffer(GraphicsDriver*) override { return back; }
  bool initMusic(GraphicsDriver*) override {
    log.add("initMusic");
    return soundWorks;
  }
  std::uint32_t loadMusic(const char* file) override {
    log.add("loadMusic", file, 0.0f, 7);
    return 7;
  }
  bool startMusic(std::uint32_t music) override {
    log.add("startMusic", "", 0.0f, static_cast<int>(music));
    return true;
  }
  bool stopMusic(std::uint32_t music) override {
    log.add("stopMusic", "", 0.0f, static_cast<int>(music));
    return true;
  }
  void setGlobalVolumes(int music, int sample, int stream) override {
    log.add("volume", "", 0.0f, music);
    otherVolumesLeft = otherVolumesLeft && sample == -1 && stream == -1;
  }
  void reportMissingFiles(const char* const* names, int count) override {
    for (int i = 0; i < count; ++i) missing.push_back(names[i]);
  }
  void reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) override {
    for (int i = 0; i < count; ++i) unreadable.push_back(std::string(names[i]) + ": " + reasons[i]);
  }

  ShowLog log;
  BlitTarget* back;
  bool soundWorks = true;
  bool otherVolumesLeft = true;
  std::vector<std::string> missing;
  std::vector<std::string> unreadable;
};

#include "shell/host/capture.h"
#include "shell/host/show_services.h"

// A sound track whose every sample is the music volume times 100, counting what it rendered.
class VolumeCaptureMusic : public CaptureMusic {
 public:
  bool load(const char* file) override {
    loadedFile = file;
    return loads;
  }
  void render(std::int16_t* out, std::size_t frames, int volume) override {
    for (std::size_t i = 0; i < frames * 2; ++i) out[i] = static_cast<std::int16_t>(volume * 100);
    rendered += frames;
  }
  bool loads = true;
  std::string loadedFile;
  std::uint64_t rendered = 0;
};

// The program's services without the missing-file report (test shows lack most files).
class QuietShowServices : public ProgramShowServices {
 public:
  void reportMissingFiles(const char* const*, int) override {}
  void reportUnreadableFiles(const char* const*, const char* const*, int) override {}
};
