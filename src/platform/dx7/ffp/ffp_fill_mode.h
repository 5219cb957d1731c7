// Wireframe and point fill for a GL dialect without polygon modes (ES): a draw's triangles
// become the lines of their edges, by indices.
#pragma once

#include <vector>

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ffp/gl_api.h"

// The edges of the triangles that `count` vertices (through `indices` where not null) make as
// `mode`, as GL_LINES indices in `out` (earlier contents dropped): each triangle's three
// edges in its own order. False (out untouched) when mode is not a triangle mode, or for
// vertices 16-bit indices cannot reach.
bool ffpTriangleEdges(GLenum mode, const WORD* indices, DWORD count, std::vector<WORD>& out);
