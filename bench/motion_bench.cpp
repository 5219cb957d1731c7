// Motion evaluation cost: a 9-channel object motion with 20 TCB keys per channel,
// evaluated at a new time per call, and the cost of a call answered by the time cache.
#include "loading/motion_evaluation.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr int kChannels = 9;
constexpr int kKeys = 20;

// Keys at uneven times (0 .. about 19 s), with varied TCB parameters.
std::unique_ptr<Motion> makeObjectMotion() {
  std::unique_ptr<Motion> motion(new Motion(kChannels, MotionObject));
  for (int c = 0; c < kChannels; ++c) {
    float time = 0.0f;
    for (int k = 0; k < kKeys; ++k) {
      EnvelopeKey key{};
      key.shape = ShapeTcb;
      key.time = time;
      key.value = std::sin(0.7f * static_cast<float>(k) + static_cast<float>(c)) * 3.0f;
      key.tension = 0.1f * static_cast<float>((k + c) % 5) - 0.2f;
      key.continuity = 0.05f * static_cast<float>(k % 3);
      key.bias = -0.1f * static_cast<float>(c % 3);
      motion->channels[c]->addKey(key);
      time += 0.5f + 0.75f * static_cast<float>((k * 7 + c) % 3);
    }
    motion->channels[c]->postBehavior = EndRepeat;
  }
  return motion;
}

void BM_ObjectMotionNewTime(benchmark::State& state) {
  std::unique_ptr<Motion> motion = makeObjectMotion();
  const float end = motion->channels[0]->lastTime;
  float t = 0.0f;
  for (auto _ : state) {
    t += 0.0137f;
    if (t >= end) t -= end;
    benchmark::DoNotOptimize(evaluateMotion(motion.get(), t, false));
    benchmark::DoNotOptimize(motion->matrix);
  }
  state.counters["per_channel"] = benchmark::Counter(static_cast<double>(state.iterations()) * kChannels,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ObjectMotionNewTime);

void BM_ObjectMotionCacheHit(benchmark::State& state) {
  std::unique_ptr<Motion> motion = makeObjectMotion();
  evaluateMotion(motion.get(), 3.25f, false);
  for (auto _ : state) {
    benchmark::DoNotOptimize(evaluateMotion(motion.get(), 3.25f, false));
  }
}
BENCHMARK(BM_ObjectMotionCacheHit);

// One channel alone, to separate the envelope from the matrix products.
void BM_EnvelopeNewTime(benchmark::State& state) {
  std::unique_ptr<Motion> motion = makeObjectMotion();
  Envelope* envelope = motion->channels[4];
  const float end = envelope->lastTime;
  float t = 0.0f;
  for (auto _ : state) {
    t += 0.0137f;
    if (t >= end) t -= end;
    benchmark::DoNotOptimize(envelope->valueAt(t));
  }
}
BENCHMARK(BM_EnvelopeNewTime);

}  // namespace
