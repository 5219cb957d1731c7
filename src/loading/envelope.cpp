// Envelope keys (sorted insertion) and evaluation: end behaviours, linear, stepped and
// TCB spans.
#include "loading/envelope.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Single-precision constants of the evaluation.
constexpr float kLinearProbe = 0.00999999977648258f;  // 0.01
constexpr float kMinimumSpan = 0.0001f;

bool isOdd(float n) { return std::fmod(n, 2.0f) != 0.0f; }

}  // namespace

Envelope::Envelope(uint8_t preBehavior_, uint8_t postBehavior_)
    : preBehavior(preBehavior_),
      postBehavior(postBehavior_),
      value(0.0f),
      firstTime(100000.0f),
      lastTime(0.0f),
      span(0.0f),
      cachedTime(kEnvelopeUnevaluatedTime),
      keyCount(0),
      keys(nullptr),
      firstKey(nullptr),
      lastKey(nullptr),
      keyCapacity(0) {}

Envelope::~Envelope() { std::free(keys); }

float Envelope::valueAt(float time) {
  evaluate(time);
  return value;
}

void Envelope::addKey(const EnvelopeKey& key) {
  bool moved = false;
  if (keyCount >= keyCapacity) {
    // The capacity doubles, so a long run of additions copies each key a bounded number of times.
    const int64_t wanted = keyCapacity < 1 ? 1 : int64_t(keyCapacity) * 2;
    if (wanted > INT32_MAX / int64_t(sizeof(EnvelopeKey))) return;
    void* grown = std::realloc(keys, static_cast<size_t>(wanted) * sizeof(EnvelopeKey));
    if (!grown) return;  // the key is dropped, the old array stays
    moved = grown != keys;
    keys = static_cast<EnvelopeKey*>(grown);
    keyCapacity = static_cast<int32_t>(wanted);
  }

  // After the last key whose time is less than or equal: equal times keep arrival order.
  int32_t index = keyCount;
  while (index > 0 && keys[index - 1].time > key.time) --index;
  if (index < keyCount) {
    std::memmove(&keys[index + 1], &keys[index], static_cast<size_t>(keyCount - index) * sizeof(EnvelopeKey));
  }
  keys[index] = key;

  if (key.time < firstTime) firstTime = key.time;
  if (key.time > lastTime) lastTime = key.time;
  ++keyCount;

  // Links from the key before the new one on (all of them when the array moved).
  for (int32_t i = moved ? 0 : (index > 0 ? index - 1 : 0); i < keyCount; ++i) {
    keys[i].prev = i > 0 ? &keys[i - 1] : nullptr;
    keys[i].next = i + 1 < keyCount ? &keys[i + 1] : nullptr;
  }
  firstKey = &keys[0];
  lastKey = &keys[keyCount - 1];
  span = lastKey->time - firstKey->time;
}

void Envelope::hermiteBasis(float u, float* h1, float* h2, float* h3, float* h4) {
  const float u2 = u * u;
  const float u3 = u * u2;
  *h2 = 3.0f * u2 - 2.0f * u3;
  *h1 = 1.0f - *h2;
  *h4 = u3 - u2;
  *h3 = *h4 - u2 + u;
}

void Envelope::evaluate(float time) {
  if (time == cachedTime) return;
  cachedTime = time;
  float t = time;
  float offset = 0.0f;

  if (keyCount == 0) {
    value = 0.0f;
    return;
  }
  // Keys outside 0..100000 can leave the bounds apart while the span is 0: one value then.
  if (keyCount == 1 || lastTime == firstTime || span == 0.0f) {
    value = firstKey->value;
    return;
  }

  const float first = firstTime;
  const float last = lastTime;
  if (t < first) {
    const float x = (t - first) / span;
    const float n = std::trunc(x);
    const float f = x - n;  // in (-1, 0]
    switch (preBehavior) {
      case EndReset:
        value = 0.0f;
        return;
      case EndConstant:
        value = firstKey->value;
        return;
      case EndRepeat:
        t = last + f * span;
        break;
      case EndOscillate:
        t = isOdd(n) ? last + f * span : first - f * span;
        break;
      case EndOffsetRepeat:
        offset = std::trunc(x - 1.0f) * lastKey->value;
        t = last + f * span;
        break;
      case EndLinear: {
        const float y0 = firstKey->value;
        const float t0 = firstKey->time;
        float probe = t0 + kLinearProbe;
        // A span shorter than the probe with linear behaviour at both ends would
        // bounce between the two probes for ever: measure inside the keys instead.
        if (probe > last && postBehavior == EndLinear) probe = last;
        const float w = valueAt(probe);
        value = y0 - 100.0f * (t - t0) * (y0 - w);
        cachedTime = t;  // the nested evaluation moved it
        return;
      }
      default:
        break;  // the first span is extrapolated
    }
  }

  if (t > last) {
    const float x = (t - first) / span;
    const float n = std::trunc(x);
    const float f = x - n;  // in [0, 1)
    switch (postBehavior) {
      case EndReset:
        value = 0.0f;
        return;
      case EndConstant:
        value = lastKey->value;
        return;
      case EndRepeat:
        t = first + f * span;
        break;
      case EndOscillate:
        t = isOdd(n) ? last - f * span : first + f * span;
        break;
      case EndOffsetRepeat:
        offset = n * lastKey->value;
        t = first + f * span;
        break;
      case EndLinear: {
        const float yl = lastKey->value;
        const float tl = lastKey->time;
        float probe = tl - kLinearProbe;
        if (probe < first && preBehavior == EndLinear) probe = first;
        const float w = valueAt(probe);
        value = yl + 100.0f * (t - tl) * (yl - w);
        cachedTime = t;  // the nested evaluation moved it
        return;
      }
      default:
        // Unknown behaviour: hold the last key's value.
        value = lastKey->value;
        return;
    }
  }

  // The span holding t: k1 is the first key from the second on whose time is not below t.
  // The search never passes the last key.
  EnvelopeKey* k1 = firstKey->next;
  while (k1->next && k1->time < t) k1 = k1->next;
  EnvelopeKey* k0 = k1->prev;
  const float t0 = k0->time;
  const float y0 = k0->value;
  const float t1 = k1->time;
  const float y1 = k1->value;
  float d = t1 - t0;
  if (d == 0.0f) d = kMinimumSpan;
  const float u = (t - t0) / d;

  switch (k1->shape) {
    case ShapeLinear:
      value = y0 + (y1 - y0) * u + offset;
      return;
    case ShapeStepped:
      value = y0;
      return;
    case ShapeTcb: {
      float h1, h2, h3, h4;
      hermiteBasis(u, &h1, &h2, &h3, &h4);
      const float dy = y1 - y0;
      const float a0 = (1.0f - k0->tension) * (1.0f + k0->continuity) * (1.0f + k0->bias);
      const float b0 = (1.0f - k0->tension) * (1.0f - k0->continuity) * (1.0f - k0->bias);
      const float a1 = (1.0f - k1->tension) * (1.0f - k1->continuity) * (1.0f + k1->bias);
      const float b1 = (1.0f - k1->tension) * (1.0f + k1->continuity) * (1.0f - k1->bias);
      float out0;
      if (const EnvelopeKey* kp = k0->prev) {
        out0 = d / (t1 - kp->time) * (a0 * (y0 - kp->value) + b0 * dy);
      } else {
        out0 = 0.5f * (a0 + b0) * dy;
      }
      float in1;
      if (const EnvelopeKey* kn = k1->next) {
        in1 = d / (kn->time - t0) * (a1 * dy + b1 * (kn->value - y1));
      } else {
        in1 = 0.5f * (a1 + b1) * dy;
      }
      value = h1 * y0 + h2 * y1 + h3 * out0 + h4 * in1 + offset;
      return;
    }
    default:
      value = offset;
      return;
  }
}
