// The music library subset: device set-up and its failures, module loading, the mixer's
// volume and pan separation, playback on the audio thread, and offline rendering.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/bass/bass.h"
#include "platform/bass/offline_music.h"
#include "support/test_xm_module.h"

namespace {

constexpr DWORD kShowFlags = 6;  // as the show loads and plays: sensitive ramping, looping
constexpr size_t kRate = 44100;

class BassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    dir = std::filesystem::temp_directory_path() /
          ("vellumite_bass_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    module = (dir / "test.xm").string();
    ASSERT_TRUE(bass_test::writeTestXm(module));
  }
  void TearDown() override {
    BASS_Free();
    bassSetReportedVersion(0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::filesystem::remove_all(dir);
  }
  std::vector<int16_t> mix(size_t frames) {
    std::vector<int16_t> out(frames * 2, 0x5555);
    EXPECT_TRUE(bassMixInto(out.data(), frames));
    return out;
  }
  std::filesystem::path dir;
  std::string module;
};

int peak(const std::vector<int16_t>& samples) {
  int p = 0;
  for (int16_t s : samples) p = std::max(p, std::abs(int(s)));
  return p;
}

TEST_F(BassTest, VersionAndDeviceLifecycle) {
  EXPECT_EQ(BASS_GetVersion(), 0x80000u);
  bassSetReportedVersion(0x90000);
  EXPECT_EQ(BASS_GetVersion(), 0x90000u);
  bassSetReportedVersion(0);

  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  EXPECT_FALSE(BASS_Init(-1, 44100, 16, nullptr));  // already initialised
  EXPECT_TRUE(BASS_Free());
  EXPECT_FALSE(BASS_Free());
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));  // and again after a release
}

TEST_F(BassTest, NoDeviceMeansNoLibraryAndHarmlessCalls) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  EXPECT_FALSE(BASS_Init(-1, 44100, 16, nullptr));
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  EXPECT_FALSE(BASS_Init(99, 44100, 16, nullptr));  // no such device
  EXPECT_FALSE(BASS_Init(-2, 44100, 16, nullptr));

  // Everything else fails without effect while nothing is initialised.
  EXPECT_EQ(BASS_MusicLoad(FALSE, module.c_str(), 0, 0, kShowFlags), 0u);
  EXPECT_FALSE(BASS_Start());
  EXPECT_FALSE(BASS_Stop());
  EXPECT_FALSE(BASS_MusicSetPanSep(1, 35));
  EXPECT_FALSE(BASS_MusicPlayEx(1, 0, kShowFlags, TRUE));
  EXPECT_FALSE(BASS_SetGlobalVolumes(50, -1, -1));
  DWORD volume = 7;
  EXPECT_FALSE(BASS_GetGlobalVolumes(&volume, nullptr, nullptr));
  EXPECT_EQ(volume, 7u);
  int16_t buffer[8];
  EXPECT_FALSE(bassMixInto(buffer, 4));
}

TEST_F(BassTest, LoadsModulesFromFilesAndMemoryOnly) {
  // Whether a file opens is known without a device, and what opens is what loads.
  EXPECT_TRUE(bassMusicFileOpens(module.c_str()));
  EXPECT_FALSE(bassMusicFileOpens((dir / "missing.xm").c_str()));
  EXPECT_FALSE(bassMusicFileOpens(nullptr));

  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC fromFile = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, kShowFlags);
  EXPECT_NE(fromFile, 0u);
  const std::vector<uint8_t> bytes = bass_test::makeTestXm();
  const HMUSIC fromMemory = BASS_MusicLoad(TRUE, bytes.data(), 0, DWORD(bytes.size()), kShowFlags);
  EXPECT_NE(fromMemory, 0u);
  EXPECT_NE(fromMemory, fromFile);

  EXPECT_EQ(BASS_MusicLoad(FALSE, (dir / "missing.xm").c_str(), 0, 0, kShowFlags), 0u);
  // A named pipe in place of the module is refused without waiting for a writer.
  ASSERT_EQ(mkfifo((dir / "pipe.xm").c_str(), 0600), 0);
  EXPECT_EQ(BASS_MusicLoad(FALSE, (dir / "pipe.xm").c_str(), 0, 0, kShowFlags), 0u);
  EXPECT_FALSE(bassMusicFileOpens((dir / "pipe.xm").c_str()));
  const std::vector<uint8_t> garbage(600, 0x42);
  EXPECT_EQ(BASS_MusicLoad(TRUE, garbage.data(), 0, DWORD(garbage.size()), kShowFlags), 0u);
  EXPECT_EQ(BASS_MusicLoad(TRUE, bytes.data(), 0, 0, kShowFlags), 0u);

  EXPECT_TRUE(BASS_MusicFree(fromMemory));
  EXPECT_FALSE(BASS_MusicFree(fromMemory));
  EXPECT_FALSE(BASS_MusicPlayEx(fromMemory, 0, kShowFlags, TRUE));
  EXPECT_FALSE(BASS_MusicPlayEx(0, 0, kShowFlags, TRUE));
  EXPECT_TRUE(BASS_MusicPlayEx(fromFile, 0, kShowFlags, TRUE));
}

TEST_F(BassTest, MusicVolumeScalesTheMixAndMinusOneLeavesIt) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC music = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, kShowFlags);
  ASSERT_NE(music, 0u);

  // Nothing plays yet: silence.
  EXPECT_EQ(peak(mix(512)), 0);

  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  const std::vector<int16_t> full = mix(8820);
  EXPECT_GT(peak(full), 1000);
  EXPECT_EQ(bassMusicFramesMixed(music), 8820u);

  ASSERT_TRUE(BASS_SetGlobalVolumes(50, -1, -1));
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  const std::vector<int16_t> half = mix(8820);
  for (size_t i = 0; i < full.size(); ++i) ASSERT_NEAR(half[i], full[i] / 2.0, 1.0) << i;

  EXPECT_TRUE(BASS_SetGlobalVolumes(-1, 20, -1));
  EXPECT_FALSE(BASS_SetGlobalVolumes(101, -1, -1));
  EXPECT_FALSE(BASS_SetGlobalVolumes(-5, -1, -1));
  DWORD musicVolume = 0, sampleVolume = 0, streamVolume = 0;
  ASSERT_TRUE(BASS_GetGlobalVolumes(&musicVolume, &sampleVolume, &streamVolume));
  EXPECT_EQ(musicVolume, 50u);
  EXPECT_EQ(sampleVolume, 20u);
  EXPECT_EQ(streamVolume, 100u);

  ASSERT_TRUE(BASS_SetGlobalVolumes(0, -1, -1));
  EXPECT_EQ(peak(mix(4410)), 0);
  EXPECT_EQ(bassMusicFramesMixed(music), 8820u + 4410u);  // still playing, silently
}

TEST_F(BassTest, PanSeparationZeroIsMonoFullKeepsHardPanning) {
  const std::string left = (dir / "left.xm").string();
  ASSERT_TRUE(bass_test::writeTestXm(left, 0));
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC music = BASS_MusicLoad(FALSE, left.c_str(), 0, 0, kShowFlags);
  ASSERT_NE(music, 0u);
  EXPECT_FALSE(BASS_MusicSetPanSep(music, 101));

  ASSERT_TRUE(BASS_MusicSetPanSep(music, 0));
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  const std::vector<int16_t> mono = mix(4410);
  for (size_t i = 0; i < mono.size(); i += 2) ASSERT_EQ(mono[i], mono[i + 1]) << i;

  ASSERT_TRUE(BASS_MusicSetPanSep(music, 50));
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  const std::vector<int16_t> wide = mix(4410);
  double leftEnergy = 0, rightEnergy = 0;
  for (size_t i = 0; i < wide.size(); i += 2) {
    leftEnergy += std::abs(wide[i]);
    rightEnergy += std::abs(wide[i + 1]);
  }
  EXPECT_GT(leftEnergy, 10 * rightEnergy);
}

TEST_F(BassTest, ModuleWithoutLoopStopsAtItsEnd) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC music = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, 0);
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, 0, TRUE));
  mix(3 * kRate);
  // The pattern's length, plus the short tail the replayer lets ring out.
  const double seconds = double(bassMusicFramesMixed(music)) / kRate;
  EXPECT_GE(seconds, bass_test::kTestXmSeconds);
  EXPECT_LE(seconds, bass_test::kTestXmSeconds + 0.15);
  EXPECT_EQ(peak(mix(1000)), 0);

  // Played again with the loop flag it keeps going.
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, BASS_MUSIC_LOOP, TRUE));
  mix(3 * kRate);
  EXPECT_EQ(bassMusicFramesMixed(music), 3 * kRate);
}

TEST_F(BassTest, AudioThreadMixesAfterStartAndPausesOnStop) {
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC music = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, kShowFlags);
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(bassMusicFramesMixed(music), 0u);  // output not started yet

  ASSERT_TRUE(BASS_Start());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (bassMusicFramesMixed(music) < 4096 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(bassMusicFramesMixed(music), 4096u);

  // The main thread changes the module while the audio thread mixes it.
  for (int i = 0; i < 20; ++i) {
    EXPECT_TRUE(BASS_MusicSetPanSep(music, DWORD(i * 5)));
    EXPECT_TRUE(BASS_SetGlobalVolumes(99 - i, -1, -1));
    EXPECT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  }

  ASSERT_TRUE(BASS_Stop());
  const uint64_t stopped = bassMusicFramesMixed(music);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(bassMusicFramesMixed(music), stopped);
}

TEST_F(BassTest, OfflineRenderingMatchesTheLiveMixerAndIsDeterministic) {
  // The live mixer as the show sets it up...
  ASSERT_TRUE(BASS_Init(-1, 44100, 16, nullptr));
  const HMUSIC music = BASS_MusicLoad(FALSE, module.c_str(), 0, 0, kShowFlags);
  ASSERT_TRUE(BASS_MusicSetPanSep(music, 35));
  ASSERT_TRUE(BASS_MusicPlayEx(music, 0, kShowFlags, TRUE));
  const std::vector<int16_t> live = mix(kRate);

  // ...and offline, one video frame at a time at 30 frames per second.
  OfflineMusic offline;
  ASSERT_TRUE(offline.open(module.c_str(), kShowFlags, 35));
  std::vector<int16_t> frames(kRate * 2, 0x5555);
  size_t produced = 0;
  for (size_t frame = 0; frame < 30; ++frame) {
    produced += offline.render(frames.data() + frame * 1470 * 2, 1470, 100);
  }
  EXPECT_EQ(produced, kRate);
  EXPECT_EQ(offline.framesRendered(), kRate);
  EXPECT_EQ(frames, live);

  // A second renderer, in one call this time, gives the same samples.
  OfflineMusic again;
  ASSERT_TRUE(again.open(module.c_str(), kShowFlags, 35));
  std::vector<int16_t> whole(kRate * 2, 0);
  EXPECT_EQ(again.render(whole.data(), kRate, 100), kRate);
  EXPECT_EQ(whole, frames);
}

TEST_F(BassTest, OfflineVolumeEndAndMissingFile) {
  OfflineMusic loud, quiet;
  ASSERT_TRUE(loud.open(module.c_str(), 0, 35));
  ASSERT_TRUE(quiet.open(module.c_str(), 0, 35));
  std::vector<int16_t> a(3 * kRate * 2), b(3 * kRate * 2);
  const size_t produced = loud.render(a.data(), 3 * kRate, 100);
  EXPECT_EQ(quiet.render(b.data(), 3 * kRate, 25), produced);
  EXPECT_GE(double(produced) / kRate, bass_test::kTestXmSeconds);
  EXPECT_LE(double(produced) / kRate, bass_test::kTestXmSeconds + 0.15);
  for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(b[i], a[i] / 4.0, 1.0) << i;
  // Past the end of a module that does not loop: silence, exactly as many frames as asked.
  for (size_t i = produced * 2; i < a.size(); ++i) ASSERT_EQ(a[i], 0) << i;

  OfflineMusic missing;
  EXPECT_FALSE(missing.open((dir / "missing.xm").c_str(), kShowFlags, 35));
  std::vector<int16_t> silence(200, 0x5555);
  EXPECT_EQ(missing.render(silence.data(), 100, 100), 0u);
  EXPECT_EQ(peak(silence), 0);
}

}  // namespace
