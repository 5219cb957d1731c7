// Flat shading in a GL dialect whose flat colour comes from a primitive's last vertex (ES):
// Direct3D, and GL 3.3 as the back end sets it, take the first. A draw's vertices are put in
// an order, by indices, where the vertex that provokes under the first-vertex convention comes
// last, each primitive keeping its winding.
#pragma once

#include <vector>

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ffp/gl_api.h"

// The indices of `count` vertices (through `indices` where not null) drawn as `mode`, as a
// list (GL_TRIANGLES or GL_LINES, in listMode) whose primitives end with their provoking
// vertex; out's earlier contents are dropped. False (out untouched) for points, and for
// vertices 16-bit indices cannot reach.
bool ffpLastVertexProvokes(GLenum mode, const WORD* indices, DWORD count, std::vector<WORD>& out, GLenum& listMode);

// A triangle list's vertices in that order, in place: each triangle's three vertices of
// `stride` bytes turned round by one.
void ffpRotateTriangles(unsigned char* vertices, DWORD triangles, DWORD stride);
