// LightWave 5 objects ("LWOB" forms), read by the converter itself: points, polygons with
// their surfaces (colour, flags, diffuse and specular levels, transparency) and the image
// maps of each surface with coordinates made from their projections.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct aiScene;

namespace convert {

struct LwobResult {
  std::unique_ptr<aiScene> scene;  // one mesh and one material per surface used
  std::vector<std::string> notes;  // what the object file cannot carry
  int polygons = 0;                // polygons read (detail polygons included)
  int dropped = 0;                 // points and lines (polygons of one or two corners)
  std::string error;               // why the file cannot be read, when scene is null
};

// Reads a LightWave 5 object. The scene comes as the asset import library hands objects
// over: right-handed (z mirrored), front faces counter-clockwise, polygons as they are.
LwobResult readLwobObject(const std::string& path);

}  // namespace convert
