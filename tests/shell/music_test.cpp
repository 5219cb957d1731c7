// Music playback: a silent show when the library is of another version or no sound device
// opens, and the full load-start-stop sequence on a small module written by the test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "shell/music.h"
#include "support/test_xm_module.h"

namespace {

class MusicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir = std::filesystem::temp_directory_path() /
          ("vellumite_music_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir);
    module = (dir / "rockon.xm").string();
    ASSERT_TRUE(bass_test::writeTestXm(module));
  }
  void TearDown() override {
    BASS_Free();
    bassSetReportedVersion(0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
  std::string module;
};

TEST_F(MusicTest, OtherLibraryVersionLeavesTheShowSilent) {
  bassSetReportedVersion(0x80001);
  EXPECT_FALSE(initMusic(nullptr));
  // The library was not initialised: a later BASS_Init still succeeds, and the fade's
  // volume calls before that do nothing.
  EXPECT_FALSE(BASS_SetGlobalVolumes(99, -1, -1));
  EXPECT_FALSE(BASS_SetGlobalVolumes(0, -1, -1));
  bassSetReportedVersion(0);
  EXPECT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
}

TEST_F(MusicTest, NoSoundDeviceLeavesTheShowSilent) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  EXPECT_FALSE(initMusic(nullptr));
  EXPECT_FALSE(BASS_SetGlobalVolumes(50, -1, -1));
  // Stopping and starting without a library fail without effect.
  EXPECT_FALSE(startMusic(0));
  EXPECT_FALSE(stopMusic(0));
}

TEST_F(MusicTest, LoadsStartsFromTheBeginningAndStops) {
  ASSERT_TRUE(initMusic(nullptr));
  EXPECT_EQ(loadMusic((dir / "missing.xm").c_str()), 0u);
  EXPECT_FALSE(startMusic(0));  // a failed load's handle plays nothing

  const HMUSIC music = loadMusic(module.c_str());
  ASSERT_NE(music, 0u);
  EXPECT_TRUE(startMusic(music));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (bassMusicFramesMixed(music) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(bassMusicFramesMixed(music), 0u);

  // The fade during playback.
  for (int volume = 99; volume >= 0; volume -= 3) EXPECT_TRUE(BASS_SetGlobalVolumes(volume, -1, -1));
  EXPECT_TRUE(stopMusic(music));
  const uint64_t stopped = bassMusicFramesMixed(music);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(bassMusicFramesMixed(music), stopped);
}

}  // namespace
