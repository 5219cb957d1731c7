// LightWave scene text building: motion and envelope blocks with every key parameter.
#include "writers/scene_text_writer.h"

#include <cstdio>
#include <sstream>

namespace {

void appendChannel(std::ostringstream& s, int index, const SceneChannel& channel, bool withIndex) {
  if (withIndex) s << "Channel " << index << "\n";
  s << "{ Envelope\n  " << channel.keys.size() << "\n";
  for (const SceneKey& k : channel.keys)
    s << "  Key " << k.value << " " << k.time << " " << k.shape << " " << k.tension << " " << k.continuity << " "
      << k.bias << " 0 0 0\n";
  s << "  Behaviors " << channel.pre << " " << channel.post << "\n}\n";
}

}  // namespace

std::string sceneMotionBlock(const std::string& keyword, const std::vector<SceneChannel>& channels) {
  std::ostringstream s;
  s.precision(9);
  s << keyword << "\nNumChannels " << channels.size() << "\n";
  for (std::size_t i = 0; i < channels.size(); ++i) appendChannel(s, static_cast<int>(i), channels[i], true);
  return s.str();
}

std::string sceneEnvelopeLines(const std::string& keyword, const std::vector<SceneChannel>& channels) {
  std::ostringstream s;
  s.precision(9);
  s << keyword << " (envelope)\n";
  for (std::size_t i = 0; i < channels.size(); ++i) appendChannel(s, static_cast<int>(i), channels[i], false);
  return s.str();
}

std::string sceneValueLine(const std::string& keyword, const std::vector<float>& values) {
  std::ostringstream s;
  s.precision(9);
  s << keyword;
  for (float v : values) s << " " << v;
  s << "\n";
  return s.str();
}

std::string sceneValueOrEnvelope(const std::string& keyword, const std::vector<SceneChannel>& channels) {
  std::vector<float> values;
  for (const SceneChannel& c : channels) {
    if (c.keys.size() != 1) return sceneEnvelopeLines(keyword, channels);
    values.push_back(c.keys[0].value);
  }
  return sceneValueLine(keyword, values);
}

std::string sceneItemId(unsigned kind, unsigned index) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", (kind << 28) | (index & 0x0FFFFFFFu));
  return b;
}
