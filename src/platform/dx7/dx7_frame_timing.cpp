// Frame timing records for benchmarks (see dx7_frame_timing.h).
#include "platform/dx7/dx7_frame_timing.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Recorder {
  std::vector<Dx7FrameTiming>* log = nullptr;
  Dx7FrameTiming current;
  Clock::time_point frameStart;
  int depth = 0;
};

Recorder& recorder() {
  static Recorder r;
  return r;
}

double secondsBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

}  // namespace

void dx7SetFrameTimingLog(std::vector<Dx7FrameTiming>* log) {
  Recorder& r = recorder();
  r.log = log;
  r.current = Dx7FrameTiming{};
  r.frameStart = Clock::now();
  r.depth = 0;
}

namespace dx7timing {

Scope::Scope(Kind kind) : kind_(kind) {
  Recorder& r = recorder();
  if (!r.log || r.depth++ > 0) return;
  active_ = true;
  start_ = Clock::now();
}

Scope::~Scope() {
  Recorder& r = recorder();
  if (!r.log) return;
  --r.depth;
  if (!active_) return;
  const double s = secondsBetween(start_, Clock::now());
  (kind_ == Kind::Driver ? r.current.driverSeconds : r.current.waitSeconds) += s;
}

void countDraw() {
  Recorder& r = recorder();
  if (r.log) ++r.current.draws;
}

void endFrame() {
  Recorder& r = recorder();
  if (!r.log) return;
  const Clock::time_point now = Clock::now();
  r.current.seconds = secondsBetween(r.frameStart, now);
  r.log->push_back(r.current);
  r.current = Dx7FrameTiming{};
  r.frameStart = now;
}

}  // namespace dx7timing
