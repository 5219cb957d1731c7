// Test helpers for scene content: 3DX object writer, LightWave scene text builders,
// temporary working folder.
#include "support/scene_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

void sceneAppendU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }

void sceneAppendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void sceneAppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void sceneAppendFloat(std::vector<std::uint8_t>& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  sceneAppendU32(out, bits);
}

void sceneAppendString(std::vector<std::uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

Scene3dxWriter::Scene3dxWriter() {
  bytes = {'3', 'D', 'X', 1, 0};
}

void Scene3dxWriter::chunkWithLength(const char* id, std::uint32_t length, const std::vector<std::uint8_t>& data) {
  bytes.insert(bytes.end(), id, id + 4);
  sceneAppendU32(bytes, length);
  bytes.insert(bytes.end(), data.begin(), data.end());
}

void Scene3dxWriter::chunk(const char* id, const std::vector<std::uint8_t>& data) {
  chunkWithLength(id, static_cast<std::uint32_t>(data.size()), data);
}

void Scene3dxWriter::object(int groupCount, int layer) {
  std::vector<std::uint8_t> d;
  sceneAppendU16(d, static_cast<std::uint16_t>(groupCount));
  sceneAppendU8(d, static_cast<std::uint8_t>(layer));
  chunk("OBJE", d);
}

void Scene3dxWriter::material(const Material& m) {
  std::vector<std::uint8_t> d;
  sceneAppendU32(d, m.diffuse);
  sceneAppendU32(d, m.specular);
  sceneAppendFloat(d, m.transparency);
  sceneAppendFloat(d, m.reserved[0]);
  sceneAppendFloat(d, m.reserved[1]);
  sceneAppendU8(d, m.doubleSided);
  sceneAppendU8(d, m.reservedFlag);
  sceneAppendU8(d, m.smoothing);
  for (const std::string& t : m.textures) sceneAppendString(d, t);
  chunk("MATR", d);
}

void Scene3dxWriter::vertices(const std::vector<std::array<float, 3>>& positions, int texSets,
                              const std::vector<float>& uv) {
  std::vector<std::uint8_t> d;
  sceneAppendU16(d, static_cast<std::uint16_t>(positions.size()));
  sceneAppendU8(d, static_cast<std::uint8_t>(texSets));
  std::size_t next = 0;
  for (const auto& p : positions) {
    for (float c : p) sceneAppendFloat(d, c);
    for (int s = 0; s < texSets * 2; ++s) sceneAppendFloat(d, next < uv.size() ? uv[next++] : 0.0f);
  }
  chunk("VERT", d);
}

void Scene3dxWriter::triangles(const std::vector<std::array<std::uint16_t, 3>>& tris) {
  std::vector<std::uint8_t> d;
  sceneAppendU16(d, static_cast<std::uint16_t>(tris.size()));
  for (const auto& t : tris)
    for (std::uint16_t i : t) sceneAppendU16(d, i);
  chunk("POLY", d);
}

void Scene3dxWriter::weights(const std::vector<WeightMap>& maps) {
  std::vector<std::uint8_t> d;
  sceneAppendU16(d, static_cast<std::uint16_t>(maps.size()));
  for (const auto& m : maps) {
    sceneAppendU16(d, static_cast<std::uint16_t>(m.values.size()));
    sceneAppendString(d, m.name);
    for (float v : m.values) sceneAppendFloat(d, v);
  }
  chunk("WGHT", d);
}

bool Scene3dxWriter::save(const std::string& path) const {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

namespace {

void appendChannel(std::ostringstream& s, int index, const std::vector<SceneKey>& keys, bool withIndex) {
  if (withIndex) s << "Channel " << index << "\n";
  s << "{ Envelope\n  " << keys.size() << "\n";
  for (const SceneKey& k : keys)
    s << "  Key " << k.value << " " << k.time << " " << k.shape << " 0 0 0 0 0 0\n";
  s << "  Behaviors 1 1\n}\n";
}

}  // namespace

std::string sceneKeyedMotionText(const std::string& keyword, const std::vector<std::vector<SceneKey>>& channels) {
  std::ostringstream s;
  s.precision(9);
  s << keyword << "\nNumChannels " << channels.size() << "\n";
  for (std::size_t i = 0; i < channels.size(); ++i) appendChannel(s, static_cast<int>(i), channels[i], true);
  return s.str();
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
  std::ostringstream s;
  s.precision(9);
  s << keyword << " (envelope)\n";
  for (std::size_t i = 0; i < channels.size(); ++i) appendChannel(s, static_cast<int>(i), channels[i], false);
  return s.str();
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
