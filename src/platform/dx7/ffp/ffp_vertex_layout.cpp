// Decoding a flexible vertex format into its layout.
#include "platform/dx7/ffp/ffp_vertex_layout.h"

namespace {

// Floats per vertex texture coordinate set, from the D3DFVF_TEXCOORDSIZE bits.
int texCoordSizeOf(DWORD fvf, int set) {
  switch ((fvf >> (set * 2 + 16)) & 3) {
    case D3DFVF_TEXTUREFORMAT1:
      return 1;
    case D3DFVF_TEXTUREFORMAT3:
      return 3;
    case D3DFVF_TEXTUREFORMAT4:
      return 4;
    default:
      return 2;
  }
}

// Bytes of the position and its blend weights; 0 for an unknown position type.
int positionBytes(DWORD position) {
  switch (position) {
    case D3DFVF_XYZ:
      return 12;
    case D3DFVF_XYZRHW:
      return 16;
    case D3DFVF_XYZB1:
      return 16;
    case D3DFVF_XYZB2:
      return 20;
    case D3DFVF_XYZB3:
      return 24;
    case D3DFVF_XYZB4:
      return 28;
    case D3DFVF_XYZB5:
      return 32;
    default:
      return 0;
  }
}

}  // namespace

FfpVertexLayout::FfpVertexLayout(DWORD format) : fvf(format) {
  const DWORD position = format & D3DFVF_POSITION_MASK;
  pretransformed = position == D3DFVF_XYZRHW;
  positionSize = pretransformed ? 4 : 3;
  const int known = positionBytes(position);
  // An unknown position is laid out as a bare XYZ so that the offsets stay defined.
  int offset = known != 0 ? known : 12;
  if (format & D3DFVF_NORMAL) {
    normalOffset = offset;
    offset += 12;
  }
  if (format & D3DFVF_RESERVED1) offset += 4;
  if (format & D3DFVF_DIFFUSE) {
    diffuseOffset = offset;
    offset += 4;
  }
  if (format & D3DFVF_SPECULAR) {
    specularOffset = offset;
    offset += 4;
  }
  const DWORD sets = (format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  texCoordCount = sets > kMaxTexCoordSets ? kMaxTexCoordSets : static_cast<int>(sets);
  for (int i = 0; i < texCoordCount; ++i) {
    texCoordSize[i] = texCoordSizeOf(format, i);
    texCoordOffset[i] = offset;
    offset += 4 * texCoordSize[i];
  }
  stride = known != 0 && sets <= kMaxTexCoordSets ? static_cast<DWORD>(offset) : 0;
}
