// Where each part of a vertex of a flexible vertex format sits: worked out once per draw from
// the format and read by everything that looks into vertices (the attribute pointers, the
// shader key, texture wrapping and the magnification bound).
#pragma once

#include <cstddef>

#include "platform/dx7/d3d_types.h"

struct FfpVertexLayout {
  static constexpr int kMaxTexCoordSets = 8;

  DWORD fvf = 0;
  DWORD stride = 0;             // bytes per vertex; 0 when the format is not drawable
  bool pretransformed = false;  // XYZRHW: x, y, z and rhw
  int positionSize = 3;         // floats of the position (4 when pretransformed)
  // Byte offsets of the parts the format has, -1 for those it lacks.
  int normalOffset = -1;
  int diffuseOffset = -1;
  int specularOffset = -1;
  int texCoordCount = 0;                      // coordinate sets, at most kMaxTexCoordSets
  int texCoordSize[kMaxTexCoordSets] = {};    // floats per set, 1..4
  int texCoordOffset[kMaxTexCoordSets] = {};  // byte offset of each set

  FfpVertexLayout() = default;
  explicit FfpVertexLayout(DWORD format);

  bool drawable() const { return stride != 0; }
};
