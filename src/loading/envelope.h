// Envelope: one animated scalar, a time-sorted list of keys with a behaviour before the
// first and after the last key. Evaluation is cached by time.
#pragma once

#include <cstdint>

struct EnvelopeKey {
  int8_t shape;  // curve of the span ending at this key: 0 TCB, 3 linear, 4 stepped
  float time;    // seconds
  float value;
  float tension;
  float continuity;
  float bias;
  float param[3];     // kept from the file, unused
  EnvelopeKey* prev;  // null at the first key
  EnvelopeKey* next;  // null at the last key
};

// What an envelope answers outside its keys (stored in a byte).
enum EndBehavior : uint8_t {
  EndReset = 0,     // value 0
  EndConstant = 1,  // value of the nearest end key
  EndRepeat = 2,
  EndOscillate = 3,
  EndOffsetRepeat = 4,  // repeat, shifted by the last key's value per period
  EndLinear = 5,        // extend the slope at the end key
};

// Shapes of a span (EnvelopeKey::shape); any other value evaluates to the offset.
enum EnvelopeShape : int8_t {
  ShapeTcb = 0,
  ShapeLinear = 3,
  ShapeStepped = 4,
};

class Envelope {
 public:
  Envelope(uint8_t preBehavior, uint8_t postBehavior);
  virtual ~Envelope();
  Envelope(const Envelope&) = delete;
  Envelope& operator=(const Envelope&) = delete;

  // Computes value for the time; returns at once when time equals cachedTime.
  virtual void evaluate(float time);
  // evaluate (through the table), then value.
  virtual float valueAt(float time);
  // Inserts a copy of the key after every key of lower or equal time. A failed
  // growth drops the key and changes nothing. Keys arriving in time order (as scene
  // files give them) cost constant time on average.
  virtual void addKey(const EnvelopeKey& key);
  // The four cubic Hermite weights for u.
  virtual void hermiteBasis(float u, float* h1, float* h2, float* h3, float* h4);

  uint8_t preBehavior;   // EndBehavior before firstTime
  uint8_t postBehavior;  // EndBehavior after lastTime
  float value;           // result of the most recent evaluation
  float firstTime;       // running minimum of the key times, from 100000
  float lastTime;        // running maximum of the key times, from 0
  float span;            // last key time minus first key time
  float cachedTime;      // time of the most recent evaluation
  int32_t keyCount;
  EnvelopeKey* keys;      // owned, realloc'ed, sorted by time
  EnvelopeKey* firstKey;  // into keys; null while empty
  EnvelopeKey* lastKey;   // into keys; null while empty
  int32_t keyCapacity;    // keys allocated (at least keyCount)
};

// cachedTime before the first evaluation: no scene time takes this value (bit pattern 0xC61C4162).
constexpr float kEnvelopeUnevaluatedTime = -10000.345703125f;
