// Texture wrapping (WRAP0..7 for coordinate sets 0..7): within each triangle a wrapped
// coordinate takes the shorter way round, so 0.9 to 0.1 crosses 1.0 instead of going back
// through 0.5.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/dx7/device_state.h"
#include "platform/dx7/ffp/ffp_vertex_layout.h"

// Triangles of every kind come out in `out` as a list with the wrapped coordinates moved by
// whole units, in GL's order and with its provoking vertex. False (out untouched) when nothing
// wraps or the primitives are not triangles.
bool ffpUnwrapTriangles(const DeviceState& state, D3DPRIMITIVETYPE type, const FfpVertexLayout& layout,
                        const void* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount,
                        std::vector<std::uint8_t>& out);
