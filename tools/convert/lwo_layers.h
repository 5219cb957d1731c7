// What the converter reads from a LightWave object itself: its layers (number, name,
// points) and the weight maps of each layer, which the general importer does not carry.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace convert {

struct LwoWeightMap {
  std::string name;
  std::map<int, float> values;  // point number -> weight; absent points weigh 0
};

struct LwoLayer {
  int number = 0;  // as stored (from 0); scene files count from 1
  std::string name;
  std::vector<float> points;  // x, y, z per point, as stored
  std::vector<LwoWeightMap> weightMaps;
};

struct LwoFile {
  bool isLwo2 = false;           // a layered file ("LWO2" or "LWO3" form)
  std::vector<LwoLayer> layers;  // in file order
};

// True when the bytes start an IFF form of a LightWave object.
bool looksLikeLwo(const std::vector<unsigned char>& head);

// Reads the layers and weight maps; false when the file is not a well-formed LightWave
// object (a chunk running past the end, a point list of the wrong size, ...).
bool readLwoLayers(const std::string& path, LwoFile& out);

}  // namespace convert
