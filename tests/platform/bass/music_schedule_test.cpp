// Placing the music's buffers on an output clock: heard in step with the show clock while the
// output keeps up, skipped forward past a stall, following a shift between the clocks only
// beyond the tolerance.
#include "platform/bass/music_schedule.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

MusicSchedule::Settings settings() {
  MusicSchedule::Settings s;
  s.rate = 44100;
  s.chunkFrames = 4096;
  s.ahead = 0.5;
  s.margin = 0.03;
  s.tolerance = 0.008;
  return s;
}

struct Played {
  uint64_t frame;
  double when;
};

// Feeds the output the way the page's timer does at output time now: every due buffer.
void pump(MusicSchedule& schedule, double now, uint64_t& next, std::vector<Played>& played) {
  for (int i = 0; i < 64; ++i) {
    const MusicSchedule::Chunk chunk = schedule.next(now, next);
    if (!chunk.due) return;
    played.push_back({chunk.frame, chunk.when});
    next = chunk.frame + schedule.settings().chunkFrames;
  }
  FAIL() << "the schedule never stops asking for buffers";
}

// Every buffer is heard when the show clock reaches the music it holds: frame f at
// frameZeroAt + f / rate.
void expectInStep(const std::vector<Played>& played, double frameZeroAt) {
  for (const Played& p : played) EXPECT_NEAR(p.when, frameZeroAt + double(p.frame) / 44100.0, 1e-9) << p.frame;
}

TEST(MusicScheduleTest, NothingIsDueBeforeTheMusicIsPlacedOrWhileEnoughIsQueued) {
  MusicSchedule schedule(settings());
  EXPECT_FALSE(schedule.next(1.0, 0).due);
  schedule.follow(10.0);
  // Frame 0 belongs 9 s after now: beyond what is kept queued.
  EXPECT_FALSE(schedule.next(1.0, 0).due);
  // Now half a second of music is queued from 10 s on.
  EXPECT_FALSE(schedule.next(10.0, 22050 + 4096).due);
  EXPECT_TRUE(schedule.next(10.0, 22050 - 4096).due);
}

TEST(MusicScheduleTest, BuffersOfASteadyOutputFollowOneAnotherInStepWithTheShowClock) {
  MusicSchedule schedule(settings());
  // The music starts with the show: its frame 0 is heard at 2.0 s on the output's clock.
  schedule.follow(2.0);
  uint64_t next = 0;
  std::vector<Played> played;
  for (double now = 1.9; now < 12.0; now += 0.016) {
    // The clocks' readings jitter by a few milliseconds: the buffers still meet exactly.
    schedule.follow(2.0 + 0.004 * std::sin(now * 7.0));
    pump(schedule, now, next, played);
  }
  ASSERT_GT(played.size(), 100u);
  for (size_t i = 0; i < played.size(); ++i) EXPECT_EQ(played[i].frame, i * 4096) << i;
  expectInStep(played, 2.0);
  // Never more than half a second (and a buffer) ahead of the output.
  EXPECT_LT(played.back().when, 12.0 + 0.5 + 4096 / 44100.0);
}

TEST(MusicScheduleTest, TheStartAlreadyTooLateToBeHeardIsSkipped) {
  MusicSchedule schedule(settings());
  // Frame 0 was due 40 ms ago (the output's latency): the music begins with the frame due at
  // the earliest moment a buffer can still start, and is in step from there.
  schedule.follow(4.96);
  uint64_t next = 0;
  std::vector<Played> played;
  pump(schedule, 5.0, next, played);
  ASSERT_FALSE(played.empty());
  EXPECT_EQ(played[0].frame, static_cast<uint64_t>(std::ceil((5.03 - 4.96) * 44100.0)));
  EXPECT_GE(played[0].when, 5.03 - 1e-9);
  expectInStep(played, 4.96);
}

TEST(MusicScheduleTest, AfterAStallTheMusicSkipsToWhereTheShowIsInsteadOfPlayingLate) {
  MusicSchedule schedule(settings());
  schedule.follow(0.0);
  uint64_t next = 0;
  std::vector<Played> played;
  pump(schedule, 0.0, next, played);
  const uint64_t beforeStall = next;
  // The page's thread is busy for 30 s: what was queued ran out long ago.
  played.clear();
  pump(schedule, 30.0, next, played);
  ASSERT_FALSE(played.empty());
  EXPECT_GT(played[0].frame, beforeStall + 29 * 44100);
  EXPECT_GE(played[0].when, 30.03 - 1e-9);
  EXPECT_LT(played[0].when, 30.03 + 1.0 / 44100.0);
  expectInStep(played, 0.0);
}

TEST(MusicScheduleTest, AShiftBetweenTheClocksBeyondTheToleranceMovesTheMusicWithTheShow) {
  MusicSchedule schedule(settings());
  schedule.follow(1.0);
  // Within the tolerance: kept (a steady output's buffers meet without gaps).
  schedule.follow(1.006);
  EXPECT_DOUBLE_EQ(schedule.frameZeroAt(), 1.0);
  // The output's clock fell 100 ms behind the show clock: the show's frame 0 is now where the
  // output's 0.9 s is, and later buffers go there; what is already too late is skipped.
  schedule.follow(0.9);
  EXPECT_NEAR(schedule.frameZeroAt(), 0.9, 1e-4);
  const MusicSchedule::Chunk chunk = schedule.next(3.0, 44100);
  ASSERT_TRUE(chunk.due);
  EXPECT_GE(chunk.when, 3.03 - 1e-9);
  EXPECT_NEAR(chunk.when, schedule.frameZeroAt() + double(chunk.frame) / 44100.0, 1e-9);
  // Whole frames: the anchor lies on a frame of the output.
  EXPECT_NEAR(schedule.frameZeroAt() * 44100.0, std::round(schedule.frameZeroAt() * 44100.0), 1e-6);
}

TEST(MusicScheduleTest, ReadingsThatAreNotNumbersChangeNothing) {
  MusicSchedule schedule(settings());
  schedule.follow(NAN);
  EXPECT_FALSE(schedule.anchored());
  schedule.follow(2.0);
  schedule.follow(INFINITY);
  EXPECT_DOUBLE_EQ(schedule.frameZeroAt(), 2.0);
  EXPECT_FALSE(schedule.next(NAN, 0).due);
}

}  // namespace
