// The show's music as built: both module readers load it and play it for the same length, its
// sections turn on a beat at the scene cuts, and the mix the show's capture hears meets the
// loudness, peak, stereo and continuity the show needs.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <xmp.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "composer.h"
#include "platform/bass/offline_music.h"
#include "show_mix.h"

namespace {

std::vector<uint8_t> readFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ShowMusic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(VELLUMITE_SCORE);
    std::stringstream text;
    text << in.rdbuf();
    Score score;
    std::string error;
    composed = new ComposedMusic;
    ok = parseScore(text.str(), score, error) && composeMusic(score, *composed, error);
    if (!ok) std::fprintf(stderr, "%s\n", error.c_str());
  }
  static void TearDownTestSuite() { delete composed; }
  void SetUp() override {
    ASSERT_TRUE(ok);
    bytes = readFile(VELLUMITE_SHOW_MUSIC);
    ASSERT_FALSE(bytes.empty()) << "build the show's music first: " << VELLUMITE_SHOW_MUSIC;
  }
  static inline ComposedMusic* composed = nullptr;
  static inline bool ok = false;
  std::vector<uint8_t> bytes;
};

TEST_F(ShowMusic, IsTheScoreComposedTheSameWayEveryTime) { EXPECT_TRUE(bytes == xmBytes(composed->module)); }

TEST_F(ShowMusic, BothReadersPlayItForTheSameLength) {
  // The engine's renderer (on libopenmpt), played once to its end.
  OfflineMusic music;
  ASSERT_TRUE(music.open(VELLUMITE_SHOW_MUSIC, 0, 50));
  std::vector<int16_t> chunk(44100 * 2);
  while (music.render(chunk.data(), 44100, 100) == 44100) {}
  const double openmptPlayed = double(music.framesRendered()) / OfflineMusic::kRate;

  xmp_context ctx = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
  xmp_module_info info;
  xmp_get_module_info(ctx, &info);
  const double xmpReported = info.seq_data[0].duration / 1000.0;
  ASSERT_EQ(xmp_start_player(ctx, 44100, 0), 0);
  long frames = 0;
  xmp_frame_info frame;
  while (xmp_play_frame(ctx) == 0) {
    xmp_get_frame_info(ctx, &frame);
    if (frame.loop_count > 0) break;
    frames += frame.buffer_size / 4;
  }
  const double xmpPlayed = double(frames) / 44100.0;
  xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);

  EXPECT_GE(openmptPlayed, 146.5);
  EXPECT_NEAR(openmptPlayed, composed->seconds, 0.1);
  EXPECT_NEAR(xmpPlayed, openmptPlayed, 0.1);
  EXPECT_NEAR(xmpReported, openmptPlayed, 0.1);
}

TEST_F(ShowMusic, SectionsTurnOnABeatAtTheSceneCuts) {
  openmpt_module* mod =
      openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(mod, nullptr);
  std::vector<double> cuts;
  for (const SectionTiming& s : composed->sections) {
    if (s.cut < 0) continue;
    cuts.push_back(s.cut);
    // Where the first reader puts the section's first row, and that row starts a beat.
    const double at = openmpt_module_set_position_order_row(mod, s.order, s.row);
    EXPECT_NEAR(at, s.cut, 0.020) << s.name;
    EXPECT_EQ(s.firstRow % 4, 0) << s.name;
  }
  openmpt_module_destroy(mod);
  EXPECT_EQ(cuts, (std::vector<double>{0, 33, 40, 68, 94, 134}));

  // The second reader agrees: the time it reports after the first tick of each cut's row.
  xmp_context ctx = xmp_create_context();
  ASSERT_EQ(xmp_load_module_from_memory(ctx, bytes.data(), long(bytes.size())), 0);
  ASSERT_EQ(xmp_start_player(ctx, 44100, 0), 0);
  for (const SectionTiming& s : composed->sections) {
    if (s.cut < 0) continue;
    xmp_set_position(ctx, s.order);
    xmp_play_frame(ctx);
    xmp_frame_info frame;
    xmp_get_frame_info(ctx, &frame);
    EXPECT_EQ(frame.row, s.row) << s.name;
    EXPECT_NEAR((frame.time - frame.frame_time / 1000.0) / 1000.0, s.cut, 0.020) << s.name;
  }
  xmp_end_player(ctx);
  xmp_release_module(ctx);
  xmp_free_context(ctx);
}

TEST_F(ShowMusic, TheShowMixIsLoudEnoughWithoutClippingAndNeverStops) {
  std::vector<int16_t> pcm;
  ASSERT_TRUE(renderShowMix(VELLUMITE_SHOW_MUSIC, 146.5, pcm));
  const MixFigures f = measureMix(pcm);
  std::printf("show mix: %.2f LUFS, true peak %.2f dBTP, side/mid %.1f dB\n", f.loudness.integratedLufs,
              f.loudness.truePeakDbtp, f.sideToMidDb);
  EXPECT_GE(f.loudness.integratedLufs, -16.0);
  EXPECT_LE(f.loudness.integratedLufs, -12.0);
  EXPECT_LE(f.loudness.truePeakDbtp, -1.0);
  // Left and right differ: a mono mix would have no side signal at all.
  EXPECT_GT(f.sideToMidDb, -30.0);
  // No silent second before the fade.
  EXPECT_TRUE(f.firstSilentSecond < 0 || f.firstSilentSecond >= 141) << f.firstSilentSecond;
}

}  // namespace
