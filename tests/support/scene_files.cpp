// Test helpers for scene content: LightWave scene text builders, temporary working folder.
#include "support/scene_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::vector<SceneChannel> constantBehaviours(const std::vector<std::vector<SceneKey>>& channels) {
  std::vector<SceneChannel> out;
  for (const auto& keys : channels) out.push_back(SceneChannel{keys, 1, 1});
  return out;
}

}  // namespace

std::string sceneKeyedMotionText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels) {
  return sceneMotionBlock(keyword, constantBehaviours(channels));
}

std::string sceneMotionText(const std::string& keyword, const std::vector<float>& channelValues) {
  std::vector<std::vector<SceneKey>> channels;
  for (float v : channelValues) channels.push_back({SceneKey{v, 0.0f}});
  return sceneKeyedMotionText(keyword, channels);
}

std::string sceneItemMotionText(const std::string& keyword, float x, float y, float z, float h, float p, float b,
                                float sx, float sy, float sz) {
  return sceneMotionText(keyword, {x, y, z, h, p, b, sx, sy, sz});
}

std::string sceneEnvelopeText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels) {
  return sceneEnvelopeLines(keyword, constantBehaviours(channels));
}

SceneTempDir::SceneTempDir() {
  char buf[] = "/tmp/vellumite_scene_XXXXXX";
  const char* made = mkdtemp(buf);
  dir = made ? made : "/tmp";
  previous = std::filesystem::current_path().string();
  std::filesystem::current_path(dir);
}

SceneTempDir::~SceneTempDir() {
  std::error_code ec;
  std::filesystem::current_path(previous, ec);
  if (dir != "/tmp") std::filesystem::remove_all(dir, ec);
}

std::string SceneTempDir::writeText(const std::string& name, const std::string& text) const {
  std::string path = file(name);
  std::ofstream out(path, std::ios::binary);
  out << text;
  return path;
}
