// Envelopes: key order, end behaviours, span shapes, TCB curves and the time cache.
#include "loading/envelope.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

EnvelopeKey makeKey(float time, float value, int8_t shape = ShapeLinear, float tension = 0.0f, float continuity = 0.0f,
                    float bias = 0.0f) {
  EnvelopeKey key{};
  key.shape = shape;
  key.time = time;
  key.value = value;
  key.tension = tension;
  key.continuity = continuity;
  key.bias = bias;
  return key;
}

// Linear keys (0, 0) and (1, 10) with the given behaviours.
struct Ramp {
  Envelope envelope;
  Ramp(uint8_t pre, uint8_t post) : envelope(pre, post) {
    envelope.addKey(makeKey(0.0f, 0.0f));
    envelope.addKey(makeKey(1.0f, 10.0f));
  }
  float at(float t) { return envelope.valueAt(t); }
};

uint32_t bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

}  // namespace

TEST(EnvelopeTest, KeysStaySortedWithLinksAndBounds) {
  Envelope env(EndConstant, EndConstant);
  EXPECT_EQ(bits(env.cachedTime), 0xC61C4162u);
  EXPECT_EQ(env.firstKey, nullptr);
  env.addKey(makeKey(2.0f, 20.0f));
  env.addKey(makeKey(0.0f, 0.0f));
  env.addKey(makeKey(1.0f, 10.0f));
  env.addKey(makeKey(1.0f, 11.0f));  // equal time: after the earlier key
  ASSERT_EQ(env.keyCount, 4);
  const float times[] = {0.0f, 1.0f, 1.0f, 2.0f};
  const float values[] = {0.0f, 10.0f, 11.0f, 20.0f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(env.keys[i].time, times[i]);
    EXPECT_EQ(env.keys[i].value, values[i]);
    EXPECT_EQ(env.keys[i].prev, i > 0 ? &env.keys[i - 1] : nullptr);
    EXPECT_EQ(env.keys[i].next, i < 3 ? &env.keys[i + 1] : nullptr);
  }
  EXPECT_EQ(env.firstKey, &env.keys[0]);
  EXPECT_EQ(env.lastKey, &env.keys[3]);
  EXPECT_EQ(env.firstTime, 0.0f);
  EXPECT_EQ(env.lastTime, 2.0f);
  EXPECT_EQ(env.span, 2.0f);

  Envelope single(EndConstant, EndConstant);
  single.addKey(makeKey(5.0f, 1.0f));
  EXPECT_EQ(single.firstTime, 5.0f);
  EXPECT_EQ(single.lastTime, 5.0f);
  EXPECT_EQ(single.span, 0.0f);
  Envelope atZero(EndConstant, EndConstant);
  atZero.addKey(makeKey(0.0f, 1.0f));
  EXPECT_EQ(atZero.firstTime, 0.0f);
  EXPECT_EQ(atZero.lastTime, 0.0f);
}

TEST(EnvelopeTest, DegenerateKeySets) {
  Envelope none(EndConstant, EndConstant);
  EXPECT_EQ(none.valueAt(3.0f), 0.0f);

  for (uint8_t behavior = 0; behavior < 6; ++behavior) {
    Envelope single(behavior, behavior);
    single.addKey(makeKey(2.0f, 7.0f));
    EXPECT_EQ(single.valueAt(-5.0f), 7.0f);
    EXPECT_EQ(single.valueAt(2.0f), 7.0f);
    EXPECT_EQ(single.valueAt(100.0f), 7.0f);
  }

  Envelope sameTime(EndRepeat, EndRepeat);
  sameTime.addKey(makeKey(1.0f, 3.0f));
  sameTime.addKey(makeKey(1.0f, 9.0f));
  EXPECT_EQ(sameTime.valueAt(0.0f), 3.0f);
  EXPECT_EQ(sameTime.valueAt(1.0f), 3.0f);
  EXPECT_EQ(sameTime.valueAt(4.0f), 3.0f);

  // Keys below 0 leave the bounds apart while their span is 0: still one value, no NaN.
  Envelope negative(EndRepeat, EndRepeat);
  negative.addKey(makeKey(-5.0f, 4.0f));
  negative.addKey(makeKey(-5.0f, 6.0f));
  EXPECT_EQ(negative.valueAt(-9.0f), 4.0f);
  EXPECT_EQ(negative.valueAt(3.0f), 4.0f);
}

TEST(EnvelopeTest, PostBehaviors) {
  EXPECT_FLOAT_EQ(Ramp(EndConstant, EndConstant).at(0.5f), 5.0f);
  EXPECT_EQ(Ramp(EndConstant, EndReset).at(1.5f), 0.0f);
  EXPECT_EQ(Ramp(EndConstant, EndConstant).at(1.5f), 10.0f);
  EXPECT_FLOAT_EQ(Ramp(EndConstant, EndRepeat).at(1.5f), 5.0f);
  EXPECT_FLOAT_EQ(Ramp(EndConstant, EndOffsetRepeat).at(1.5f), 15.0f);
  EXPECT_FLOAT_EQ(Ramp(EndConstant, EndOffsetRepeat).at(2.5f), 25.0f);
  Ramp oscillate(EndConstant, EndOscillate);
  EXPECT_FLOAT_EQ(oscillate.at(1.5f), 5.0f);   // n = 1, odd: t = 0.5
  EXPECT_FLOAT_EQ(oscillate.at(2.25f), 2.5f);  // n = 2, even: t = 0.25
  EXPECT_FLOAT_EQ(oscillate.at(1.25f), 7.5f);  // coming back down
  Ramp linear(EndConstant, EndLinear);
  EXPECT_NEAR(linear.at(2.0f), 20.0f, 1e-3f);
  EXPECT_EQ(linear.envelope.cachedTime, 2.0f);      // set back after the nested evaluation
  EXPECT_EQ(Ramp(EndConstant, 9).at(3.0f), 10.0f);  // unknown: hold the last key
}

TEST(EnvelopeTest, PreBehaviors) {
  Envelope late(EndReset, EndConstant);
  late.addKey(makeKey(1.0f, 4.0f));
  late.addKey(makeKey(2.0f, 8.0f));
  EXPECT_EQ(late.valueAt(0.5f), 0.0f);
  late.preBehavior = EndConstant;
  EXPECT_EQ(late.valueAt(0.25f), 4.0f);

  EXPECT_FLOAT_EQ(Ramp(EndRepeat, EndConstant).at(-0.25f), 7.5f);
  EXPECT_FLOAT_EQ(Ramp(EndOscillate, EndConstant).at(-0.25f), 2.5f);  // n = 0: mirrored
  EXPECT_FLOAT_EQ(Ramp(EndOscillate, EndConstant).at(-1.25f), 7.5f);  // n = -1: odd
  EXPECT_FLOAT_EQ(Ramp(EndOffsetRepeat, EndConstant).at(-0.5f), -5.0f);
  Ramp linear(EndLinear, EndConstant);
  EXPECT_NEAR(linear.at(-1.0f), -10.0f, 1e-3f);
  EXPECT_EQ(linear.envelope.cachedTime, -1.0f);
  // Unknown: the first span is extrapolated.
  EXPECT_FLOAT_EQ(Ramp(7, EndConstant).at(-1.0f), -10.0f);
}

TEST(EnvelopeTest, LinearAtBothEndsOfATinySpanTerminates) {
  Envelope env(EndLinear, EndLinear);
  env.addKey(makeKey(0.0f, 0.0f));
  env.addKey(makeKey(0.005f, 1.0f));
  EXPECT_TRUE(std::isfinite(env.valueAt(-1.0f)));
  EXPECT_TRUE(std::isfinite(env.valueAt(2.0f)));
}

TEST(EnvelopeTest, SteppedAndUnknownShapes) {
  Envelope stepped(EndConstant, EndConstant);
  stepped.addKey(makeKey(0.0f, 1.0f));
  stepped.addKey(makeKey(1.0f, 5.0f, ShapeStepped));
  EXPECT_EQ(stepped.valueAt(0.999f), 1.0f);
  EXPECT_EQ(stepped.valueAt(1.0f), 1.0f);  // the search stops at the stepped key itself
  EXPECT_EQ(stepped.valueAt(1.5f), 5.0f);  // after the keys: constant

  for (int8_t shape : {int8_t{1}, int8_t{2}}) {
    Envelope odd(EndConstant, EndOffsetRepeat);
    odd.addKey(makeKey(0.0f, 1.0f));
    odd.addKey(makeKey(1.0f, 5.0f, shape));
    EXPECT_EQ(odd.keys[1].shape, shape);
    EXPECT_EQ(odd.valueAt(0.5f), 0.0f);
    EXPECT_EQ(odd.valueAt(2.5f), 10.0f);  // only the offset of two periods
  }
}

TEST(EnvelopeTest, TcbSpans) {
  // No neighbours, tension/continuity/bias 0: both tangents are 1, a straight line.
  Envelope straight(EndConstant, EndConstant);
  straight.addKey(makeKey(0.0f, 0.0f, ShapeTcb));
  straight.addKey(makeKey(1.0f, 1.0f, ShapeTcb));
  for (float t : {0.1f, 0.25f, 0.5f, 0.8f}) EXPECT_NEAR(straight.valueAt(t), t, 1e-6f);

  // The middle span of four keys, with neighbours on both sides.
  // k0 = (1, 2; T 0.5), k1 = (3, 3; C 0.5, B -0.5), kp = (0, 0), kn = (4, 0):
  // a0 = b0 = 0.5, a1 = 0.25, b1 = 2.25, out0 = 2/3 * 1.5 = 1, in1 = 2/3 * -6.5 = -13/3.
  Envelope curve(EndConstant, EndConstant);
  curve.addKey(makeKey(0.0f, 0.0f, ShapeTcb));
  curve.addKey(makeKey(1.0f, 2.0f, ShapeTcb, 0.5f, 0.0f, 0.0f));
  curve.addKey(makeKey(3.0f, 3.0f, ShapeTcb, 0.0f, 0.5f, -0.5f));
  curve.addKey(makeKey(4.0f, 0.0f, ShapeTcb));
  // u = 0.5: h = (0.5, 0.5, 0.125, -0.125) -> 1 + 1.5 + 0.125 + 13/24.
  EXPECT_NEAR(curve.valueAt(2.0f), 3.0f + 1.0f / 6.0f, 1e-5f);
  // u = 0.25: h = (0.84375, 0.15625, 0.140625, -0.046875) -> 2.5.
  EXPECT_NEAR(curve.valueAt(1.5f), 2.5f, 1e-5f);
  EXPECT_FLOAT_EQ(curve.valueAt(3.0f), 3.0f);

  float h1, h2, h3, h4;
  curve.hermiteBasis(0.0f, &h1, &h2, &h3, &h4);
  EXPECT_EQ(h1, 1.0f);
  EXPECT_EQ(h2, 0.0f);
  curve.hermiteBasis(1.0f, &h1, &h2, &h3, &h4);
  EXPECT_EQ(h2, 1.0f);
  EXPECT_EQ(h3, 0.0f);
  EXPECT_EQ(h4, 0.0f);
}

TEST(EnvelopeTest, EvaluationIsCachedByTime) {
  Ramp ramp(EndConstant, EndConstant);
  EXPECT_FLOAT_EQ(ramp.at(0.5f), 5.0f);
  ramp.envelope.keys[1].value = 100.0f;  // invisible until the time changes
  EXPECT_FLOAT_EQ(ramp.at(0.5f), 5.0f);
  EXPECT_FLOAT_EQ(ramp.at(0.25f), 25.0f);
}

// valueAt goes through the table: a derived envelope's evaluate is the one used.
TEST(EnvelopeTest, ValueAtCallsEvaluateThroughTheTable) {
  struct Fixed : Envelope {
    Fixed() : Envelope(EndConstant, EndConstant) {}
    void evaluate(float time) override { value = time * 2.0f; }
  };
  Fixed fixed;
  Envelope& base = fixed;
  EXPECT_EQ(base.valueAt(3.0f), 6.0f);
}
