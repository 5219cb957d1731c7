// A whole glTF scene as a LightWave scene the program plays: objects and nulls for the
// nodes with their hierarchy and motions, the camera, punctual lights and skins as bones.
#pragma once

#include <cstdio>
#include <string>

#include "model_import.h"

namespace convert {

struct GltfSceneOptions {
  ImportOptions import;   // scale; pictures and objects go next to the scene file
  std::string camera;     // the camera node's or camera's name; empty: the first camera
  std::string animation;  // one animation by name; empty: every animation at once
  double ambient = 0.25;  // the scene's ambient intensity (glTF has none)
  bool quiet = false;
};

// Writes the scene file and its objects (NAME.3dx next to it). Returns 0 when written,
// 1 when a file cannot be written, 2 when the input cannot be read.
int convertGltfScene(const std::string& input, const std::string& scenePath, const GltfSceneOptions& options,
                     std::FILE* log);

}  // namespace convert
