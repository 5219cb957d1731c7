// A small reader of the LightWave object chunks the converter needs besides the importer:
// LAYR, PNTS and weight VMAPs (big-endian IFF, chunks padded to even sizes).
#include "lwo_layers.h"

#include "iff_reader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace convert {
namespace {

bool readWeightMap(IffReader c, LwoLayer& layer) {
  if (!c.has(6)) return false;
  const std::uint32_t type = c.u4();
  const std::uint32_t dimension = c.u2();
  std::string name;
  if (!c.s0(name)) return false;
  if (type != iffId("WGHT") || dimension != 1) return true;  // other maps: not ours
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

  IffReader file(bytes.data() + 12, bytes.size() - 12);
  std::uint32_t id = 0;
  IffReader data(nullptr, 0);
  for (IffChunk got; (got = file.next(4, id, data)) != IffChunk::kEnd;) {
    if (got == IffChunk::kDamaged) return false;
    const std::size_t length = static_cast<std::size_t>(data.end - data.p);
    if (id == iffId("LAYR")) {
      if (!data.has(16)) return false;
      LwoLayer layer;
      layer.number = static_cast<int>(data.u2());
      data.u2();                              // flags
      for (int k = 0; k < 3; ++k) data.f4();  // pivot
      data.s0(layer.name);
      out.layers.push_back(std::move(layer));
    } else if (id == iffId("PNTS")) {
      if (length % 12 != 0) return false;
      if (out.layers.empty()) out.layers.emplace_back();  // points before any layer: layer 0
      std::vector<float>& points = out.layers.back().points;
      for (std::size_t k = 0; k < length / 4; ++k) points.push_back(data.f4());
    } else if (id == iffId("VMAP")) {
      if (out.layers.empty()) continue;
      if (!readWeightMap(data, out.layers.back())) return false;
    }
  }
  return true;
}

}  // namespace convert
