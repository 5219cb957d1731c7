// The inspector's graphics driver: no window and no device. Vertex buffers live in memory
// so meshes, normals and bone weights are computed as in the engine; textures are only
// registered by name.
#pragma once

#include "headless/memory_graphics_driver.h"

class InspectDriver : public MemoryGraphicsDriver {
 public:
  InspectDriver();

  bool loadTexture(Texture** out, const char* file, const char* alphaFile, bool mipmapped) override;
};
