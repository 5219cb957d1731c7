// The entry and main loop driven by a recording driver, a scripted show and a clock whose
// readings the test lists: frame order, show clock, quit, failing set-up, shutdown order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "math/camera.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_sdl.h"
#include "shell/entry.h"
#include "shell/host/author_controls.h"
#include "shell/memory_tracker.h"
#include "shell/show_hooks.h"
#include "support/gfx_recording_driver.h"

namespace {

struct Script;
Script* script = nullptr;

struct Script {
  std::vector<DWORD> readings;  // timeGetTime answers in order; the last one repeats
  std::size_t nextReading = 0;
  std::size_t quitAfterFrames = 1000;
  bool initializeResult = true;
  int afterChoice = -1;
  std::vector<std::string> events;
  std::vector<float> frameTimes;
  std::string title;
  std::string debug;
  std::size_t debugWhenDriverDeleted = std::string::npos;
  std::vector<std::string> boxes;
  std::vector<GfxCall> driverCalls;
  // Keys posted while drawing frame n (from 1), for the author's clock.
  std::vector<std::pair<std::size_t, WPARAM>> keys;
};

class LoggingDriver : public RecordingGraphicsDriver {
 public:
  explicit LoggingDriver(const char* title) : RecordingGraphicsDriver(title) {}
  ~LoggingDriver() override {
    script->events.push_back("driver deleted");
    script->debugWhenDriverDeleted = script->debug.size();
    script->driverCalls = calls;
  }
  bool chooseVideoMode(int a, int b) override {
    script->events.push_back("chooseVideoMode " + std::to_string(a) + " " + std::to_string(b));
    return true;
  }
  bool initialize() override {
    script->events.push_back("initialize");
    return script->initializeResult;
  }
};

class ScriptedShow : public ShowHooks {
 public:
  void load(GraphicsDriver*) override { script->events.push_back("load"); }
  void startMusic() override { script->events.push_back("startMusic"); }
  void drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) override {
    GfxCall call;
    call.operation = "showFrame";
    call.floats[0] = showTime;
    call.point = camera.position;
    static_cast<LoggingDriver*>(driver)->calls.push_back(call);
    script->frameTimes.push_back(showTime);
    for (const auto& [frame, key] : script->keys)
      if (frame == script->frameTimes.size()) PostMessageA(nullptr, WM_KEYDOWN, key, 0);
    if (script->frameTimes.size() == script->quitAfterFrames) PostQuitMessage(0);
  }
  void shutdown() override { script->events.push_back("shutdown"); }
};

DWORD scriptedClock(void*) {
  Script& s = *script;
  if (s.readings.empty()) return 0;
  std::size_t i = std::min(s.nextReading, s.readings.size() - 1);
  ++s.nextReading;
  return s.readings[i];
}

GraphicsDriver* createLogging(HINSTANCE, const char* title, void*) {
  script->title = title;
  return TRACKED_NEW LoggingDriver(title);
}

int afterChoice(GraphicsDriver*, void*) { return script->afterChoice; }

void collect(const char* text, void*) { script->debug += text; }

int recordBox(HWND owner, const char* text, const char* caption, UINT type, void*) {
  script->boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(type) +
                          (owner == nullptr ? "|no owner" : "|owner"));
  return IDOK;
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = &state;
    savedTracker = memoryTrackerExchange(MemoryTrackerState{});
    win32SetHeadless(true);
    win32ClearMessageQueue();
    win32SetClockSource(scriptedClock, nullptr);
    win32SetDebugSink(collect, nullptr);
    win32SetMessageBoxSink(recordBox, nullptr);
    systemInfo = SystemInfo{};
  }
  void TearDown() override {
    win32SetClockSource(nullptr, nullptr);
    win32SetDebugSink(nullptr, nullptr);
    win32SetMessageBoxSink(nullptr, nullptr);
    win32ClearMessageQueue();
    memoryTrackerExchange(savedTracker);
    script = nullptr;
  }
  int run() {
    EntryEnvironment environment{createLogging, afterChoice, nullptr, &show, nullptr};
    return runEntry(nullptr, environment);
  }
  Script state;
  ScriptedShow show;
  MemoryTrackerState savedTracker{};
};

TEST_F(EntryTest, TitleListsBrandFeaturesAndClock) {
  SystemInfo info{};
  char features[512];
  char title[512];
  info.has3DNow = info.hasSse = info.hasMmx = true;
  info.cpuMhz = 1400;
  formatFeatureList(info, features);
  formatWindowTitle(info, features, title);
  // Without a brand two blanks follow the closing bracket.
  EXPECT_STREQ(title, "[VELLUMITE]  ( 3DNow SSE MMX ) @ 1400Mhz");
  std::snprintf(info.cpuName, sizeof info.cpuName, "AMD Athlon(tm) Processor");
  info.has3DNow = false;
  formatFeatureList(info, features);
  formatWindowTitle(info, features, title);
  EXPECT_STREQ(title, "[VELLUMITE] AMD Athlon(tm) Processor ( SSE MMX ) @ 1400Mhz");
  info = SystemInfo{};
  formatFeatureList(info, features);
  formatWindowTitle(info, features, title);
  EXPECT_STREQ(title, "[VELLUMITE]  ( ) @ 0Mhz");
}

TEST_F(EntryTest, StartsFramesAndShutsDownInOrder) {
  systemInfo.hasMmx = true;
  systemInfo.cpuMhz = 500;
  state.readings = {100, 116, 116, 132, 132};
  state.quitAfterFrames = 2;
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(state.title, "[VELLUMITE]  ( MMX ) @ 500Mhz");
  std::vector<std::string> expected = {"chooseVideoMode 1 0", "initialize", "load",
                                       "startMusic",          "shutdown",   "driver deleted"};
  EXPECT_EQ(state.events, expected);
  // The memory report follows the driver's deletion, with nothing left behind.
  EXPECT_EQ(state.debugWhenDriverDeleted, 0u);
  EXPECT_EQ(state.debug, "### Memory status ###\nNew/Malloc called 1 times\nDelete/Free called 1\nNo leaks detected\n");

  std::vector<std::string> operations;
  for (const GfxCall& call : state.driverCalls) operations.push_back(call.operation);
  std::vector<std::string> frame = {"clear",          "setCamera",  "setViewMatrix", "setProjectionMatrix",
                                    "setWorldMatrix", "beginScene", "showFrame",     "endScene",
                                    "present"};
  std::vector<std::string> all = {"enableLighting"};
  all.insert(all.end(), frame.begin(), frame.end());
  all.insert(all.end(), frame.begin(), frame.end());
  EXPECT_EQ(operations, all);
  const GfxCall& clear = state.driverCalls[1];
  EXPECT_EQ(clear.ints[0], 0);
  EXPECT_EQ(clear.floats[0], 1.0f);
  EXPECT_TRUE(clear.flag);
  const GfxCall& world = state.driverCalls[5];
  for (int i = 0; i < 16; ++i) EXPECT_EQ(world.matrix.m[i], i % 5 == 0 ? 1.0f : 0.0f);
  const GfxCall& drawn = state.driverCalls[7];
  EXPECT_EQ(drawn.point.x, 0.0f);
  EXPECT_EQ(drawn.point.y, 1.0f);
  EXPECT_EQ(drawn.point.z, -3.0f);
  EXPECT_FALSE(state.driverCalls[9].flag);  // present(false)
  ASSERT_EQ(state.frameTimes.size(), 2u);
  EXPECT_FLOAT_EQ(state.frameTimes[0], 0.016f);
  EXPECT_FLOAT_EQ(state.frameTimes[1], 0.032f);
}

TEST_F(EntryTest, QuitsInTheFirstFrameAboveTheShowLengthAndStillDrawsIt) {
  // The first frame lands exactly on 146.5 s, the second 1 ms above it.
  state.readings = {10000, 156500, 156500, 156501, 156501, 156600};
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(state.frameTimes.size(), 2u);
  EXPECT_EQ(state.frameTimes[0], 146.5f);
  EXPECT_GT(state.frameTimes[1], 146.5f);
  EXPECT_EQ(state.events.back(), "driver deleted");
}

TEST_F(EntryTest, ClockStepsFromAFreshReadingThroughStallsAndTheWrap) {
  // Each step is measured from the second reading of the frame before it; the clock
  // starts 8192 ms before the 32-bit counter wraps.
  const DWORD s = 0xFFFFE000u;
  state.readings = {s, s + 10, s + 15, s + 25, s + 30, s + 5030, s + 5030, 100, 100};
  state.quitAfterFrames = 4;
  EXPECT_EQ(run(), 0);
  ASSERT_EQ(state.frameTimes.size(), 4u);
  EXPECT_FLOAT_EQ(state.frameTimes[0], 0.010f);
  EXPECT_FLOAT_EQ(state.frameTimes[1], 0.020f);
  EXPECT_FLOAT_EQ(state.frameTimes[2], 5.020f);  // a 5 s stall counts whole
  EXPECT_FLOAT_EQ(state.frameTimes[3], 8.282f);  // 3262 ms across the wrap
}

TEST_F(EntryTest, FailingInitializeShowsOneMessageAndLoadsNothing) {
  state.initializeResult = false;
  state.readings = {0};
  EXPECT_EQ(run(), 0);
  std::vector<std::string> expected = {"chooseVideoMode 1 0", "initialize", "driver deleted"};
  EXPECT_EQ(state.events, expected);
  ASSERT_EQ(state.boxes.size(), 1u);
  EXPECT_EQ(state.boxes[0], "Error!|DirectX failed to intalize!|0|no owner");
  EXPECT_TRUE(state.frameTimes.empty());
}

TEST_F(EntryTest, RefusedVideoChoiceEndsBeforeInitialize) {
  state.afterChoice = 2;
  EXPECT_EQ(run(), 2);
  std::vector<std::string> expected = {"chooseVideoMode 1 0", "driver deleted"};
  EXPECT_EQ(state.events, expected);
  EXPECT_TRUE(state.boxes.empty());
}

}  // namespace

namespace {

void recordTitle(const char* title, void*) { script->title = title; }

TEST_F(EntryTest, TheAuthorsKeysPauseSeekAndRestartTheShow) {
  for (DWORD t = 0; t <= 4000; t += 100) state.readings.push_back(t);  // each frame 0.1 s on
  state.quitAfterFrames = 9;
  state.keys = {{3, VK_SPACE}, {5, VK_RIGHT}, {6, VK_SPACE}, {7, VK_HOME}};
  AuthorShowClock author(recordTitle, nullptr);
  EntryEnvironment environment{createLogging, afterChoice, nullptr, &show, nullptr};
  environment.clock = &author;
  EXPECT_EQ(runEntry(nullptr, environment), 0);
  const std::vector<float> expected = {0.1f, 0.2f, 0.3f, 0.3f, 0.3f, 1.3f, 1.4f, 0.0f, 0.1f};
  ASSERT_EQ(state.frameTimes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_NEAR(state.frameTimes[i], expected[i], 1e-5f) << "frame " << i + 1;
  EXPECT_EQ(std::count(state.events.begin(), state.events.end(), "startMusic"), 2) << "Home starts the music again";
  EXPECT_EQ(state.title, "[VELLUMITE] show  0.1 s");
}

// A clock that runs far past the show's length without ending it, and stops the loop
// itself after its third frame.
class LoopingClock : public SteeredClock {
 public:
  bool dispatchMessages() override { return dispatchPendingMessages(); }
  double advance(double elapsed) override { return now += elapsed * 1000.0; }
  bool afterFrame(GraphicsDriver*, ShowHooks*, float showTime) override {
    seen.push_back(showTime);
    return seen.size() < 3;
  }
  bool endsWithTheShow() const override { return false; }
  double now = 0.0;
  std::vector<float> seen;
};

TEST_F(EntryTest, ASteeredClockThatNeverEndsTheShowRunsUntilItStopsTheLoop) {
  for (DWORD t = 0; t <= 1000; t += 100) state.readings.push_back(t);  // 100 s of show a frame
  LoopingClock clock;
  EntryEnvironment environment{createLogging, afterChoice, nullptr, &show, nullptr};
  environment.clock = &clock;
  EXPECT_EQ(runEntry(nullptr, environment), 0);
  ASSERT_EQ(state.frameTimes.size(), 3u) << "no quit above 146.5 s";
  EXPECT_FLOAT_EQ(state.frameTimes[2], 300.0f);
  EXPECT_EQ(clock.seen, state.frameTimes) << "each frame is handed over after it is drawn";
  EXPECT_EQ(state.events.back(), "driver deleted");
}

}  // namespace
