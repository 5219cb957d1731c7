// LightWave scene text: motion blocks of keyed channels ("ObjectMotion" and the like) and the
// value-or-envelope lines ("LightColor", "AmbientIntensity" ...).
#pragma once

#include <string>
#include <vector>

// One key of a channel; shape 0 TCB spline, 3 linear, 4 stepped.
struct SceneKey {
  float value;
  float time;
  int shape = 3;
  float tension = 0.0f;
  float continuity = 0.0f;
  float bias = 0.0f;
};

// End behaviours: 0 reset, 1 constant, 2 repeat, 3 oscillate, 4 offset repeat, 5 linear.
struct SceneChannel {
  std::vector<SceneKey> keys;
  int pre = 1;
  int post = 1;
};

// keyword, "NumChannels n" and one "Channel i { Envelope ... }" block per channel.
std::string sceneMotionBlock(const std::string& keyword, const std::vector<SceneChannel>& channels);
// keyword "(envelope)" followed by one envelope block per channel.
std::string sceneEnvelopeLines(const std::string& keyword, const std::vector<SceneChannel>& channels);
// keyword and its constant values on one line.
std::string sceneValueLine(const std::string& keyword, const std::vector<float>& values);
// keyword with constant values when every channel holds one key, an envelope otherwise.
std::string sceneValueOrEnvelope(const std::string& keyword, const std::vector<SceneChannel>& channels);
// An item id for "ParentItem": kind 1 object, 2 light, 3 camera, 4 bone, as eight hex digits.
std::string sceneItemId(unsigned kind, unsigned index);
