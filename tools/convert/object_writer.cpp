// The 3DX writer of the converter (little-endian, chunk = id, 32-bit length, data).
#include "object_writer.h"

#include <cstdio>
#include <cstring>

namespace convert {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put8(Bytes& b, unsigned v) { b.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
void put16(Bytes& b, unsigned v) {
  put8(b, v);
  put8(b, v >> 8);
}
void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}
void putFloat(Bytes& b, float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, 4);
  put32(b, v);
}
void putName(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
  put8(b, 0);
}
void chunk(Bytes& file, const char* id, const Bytes& data) {
  file.insert(file.end(), id, id + 4);
  put32(file, static_cast<std::uint32_t>(data.size()));
  file.insert(file.end(), data.begin(), data.end());
}

void encodeGroup(Bytes& file, const Group& g) {
  Bytes d;
  const GroupMaterial& m = g.material;
  put32(d, m.diffuse);
  put32(d, m.specular);
  putFloat(d, m.transparency);
  putFloat(d, 0.0f);
  putFloat(d, 0.0f);
  put8(d, m.doubleSided ? 1 : 0);
  put8(d, 0);
  put8(d, 1);
  for (const std::string& name : m.textures) putName(d, name.empty() ? "(none)" : name);
  chunk(file, "MATR", d);

  d.clear();
  put16(d, static_cast<unsigned>(g.vertexCount()));
  put8(d, static_cast<unsigned>(g.texSetCount));
  for (int v = 0; v < g.vertexCount(); ++v) {
    for (int k = 0; k < 3; ++k) putFloat(d, g.positions[3 * v + k]);
    for (int k = 0; k < 2 * g.texSetCount; ++k) putFloat(d, g.texCoords[static_cast<std::size_t>(v) * 2 * g.texSetCount + k]);
  }
  chunk(file, "VERT", d);

  d.clear();
  put16(d, static_cast<unsigned>(g.triangleCount()));
  for (std::uint16_t i : g.indices) put16(d, i);
  chunk(file, "POLY", d);

  if (g.weightMaps.empty()) return;
  d.clear();
  put16(d, static_cast<unsigned>(g.weightMaps.size()));
  for (const WeightMap& map : g.weightMaps) {
    put16(d, static_cast<unsigned>(map.values.size()));
    putName(d, map.name);
    for (float w : map.values) putFloat(d, w);
  }
  chunk(file, "WGHT", d);
}

}  // namespace

std::vector<std::uint8_t> encodeObject(const ConvertedObject& object) {
  Bytes file{'3', 'D', 'X', 1, 0};
  for (const Layer& layer : object.layers) {
    Bytes d;
    put16(d, static_cast<unsigned>(layer.groups.size()));
    put8(d, static_cast<unsigned>(layer.number));
    chunk(file, "OBJE", d);
    for (const Group& g : layer.groups) encodeGroup(file, g);
  }
  return file;
}

bool writeObjectFile(const ConvertedObject& object, const std::string& path) {
  const Bytes bytes = encodeObject(object);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

}  // namespace convert
