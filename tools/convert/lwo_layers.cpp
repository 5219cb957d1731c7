// A small reader of the LightWave object chunks the converter needs besides the importer:
// LAYR, PNTS and weight VMAPs (big-endian IFF, chunks padded to even sizes).
#include "lwo_layers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace convert {
namespace {

class Cursor {
 public:
  Cursor(const unsigned char* data, std::size_t size) : p(data), end(data + size) {}
  bool has(std::size_t n) const { return static_cast<std::size_t>(end - p) >= n; }
  std::uint32_t u1() { return *p++; }
  std::uint32_t u2() {
    std::uint32_t v = (std::uint32_t(p[0]) << 8) | p[1];
    p += 2;
    return v;
  }
  std::uint32_t u4() {
    std::uint32_t v = (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    p += 4;
    return v;
  }
  float f4() {
    std::uint32_t v = u4();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  // A NUL-terminated string padded to an even length; false when it runs past the end.
  bool s0(std::string& s) {
    const unsigned char* start = p;
    while (p < end && *p != 0) ++p;
    if (p == end) return false;
    s.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    ++p;
    if ((p - start) % 2 != 0 && p < end) ++p;
    return true;
  }
  // A point number: two bytes, or four when the first is 0xFF.
  bool vx(int& index) {
    if (!has(2)) return false;
    if (*p == 0xFF) {
      if (!has(4)) return false;
      index = static_cast<int>(u4() & 0x00FFFFFF);
    } else {
      index = static_cast<int>(u2());
    }
    return true;
  }
  const unsigned char* p;
  const unsigned char* end;
};

bool readWeightMap(Cursor c, LwoLayer& layer) {
  if (!c.has(6)) return false;
  const std::uint32_t type = c.u4();
  const std::uint32_t dimension = c.u2();
  std::string name;
  if (!c.s0(name)) return false;
  if (type != 0x57474854u /* WGHT */ || dimension != 1) return true;  // other maps: not ours
  LwoWeightMap map;
  map.name = name;
  while (c.p < c.end) {
    int point = 0;
    if (!c.vx(point) || !c.has(4)) return false;
    map.values[point] = c.f4();
  }
  layer.weightMaps.push_back(std::move(map));
  return true;
}

}  // namespace

bool looksLikeLwo(const std::vector<unsigned char>& head) {
  if (head.size() < 12 || std::memcmp(head.data(), "FORM", 4) != 0) return false;
  return std::memcmp(head.data() + 8, "LWO2", 4) == 0 || std::memcmp(head.data() + 8, "LWO3", 4) == 0 ||
         std::memcmp(head.data() + 8, "LWOB", 4) == 0;
}

bool readLwoLayers(const std::string& path, LwoFile& out) {
  out = LwoFile();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!looksLikeLwo(bytes)) return false;
  out.isLwo2 = std::memcmp(bytes.data() + 8, "LWOB", 4) != 0;
  if (!out.isLwo2) return true;  // an old single-layer object: nothing to add

  Cursor file(bytes.data() + 12, bytes.size() - 12);
  while (file.has(8)) {
    char id[4];
    std::memcpy(id, file.p, 4);
    file.p += 4;
    const std::uint32_t length = file.u4();
    if (!file.has(length)) return false;
    Cursor data(file.p, length);
    const std::size_t step = std::min<std::size_t>(length + (length % 2), static_cast<std::size_t>(file.end - file.p));
    file.p += step;
    if (std::memcmp(id, "LAYR", 4) == 0) {
      if (!data.has(16)) return false;
      LwoLayer layer;
      layer.number = static_cast<int>(data.u2());
      data.u2();                              // flags
      for (int k = 0; k < 3; ++k) data.f4();  // pivot
      data.s0(layer.name);
      out.layers.push_back(std::move(layer));
    } else if (std::memcmp(id, "PNTS", 4) == 0) {
      if (length % 12 != 0) return false;
      if (out.layers.empty()) out.layers.emplace_back();  // points before any layer: layer 0
      std::vector<float>& points = out.layers.back().points;
      for (std::uint32_t k = 0; k < length / 4; ++k) points.push_back(data.f4());
    } else if (std::memcmp(id, "VMAP", 4) == 0) {
      if (out.layers.empty()) continue;
      if (!readWeightMap(data, out.layers.back())) return false;
    }
  }
  return true;
}

}  // namespace convert
