// Cuts a polygon of more than three corners into triangles: always corners − 2 of them,
// in the polygon's own winding, whether or not the polygon is flat and simple.
#pragma once

#include <array>
#include <vector>

namespace convert {

// Corners are positions in order around the polygon. Triangles index the corners. Returns
// false when the polygon was not flat and simple enough to clip ears from its outline
// (bent far out of its plane, crossing itself, or folded onto a line): it is then cut
// into a fan from its first corner, which keeps every corner but may differ from how the
// source's program drew it.
bool splitPolygon(const std::vector<std::array<float, 3>>& corners, std::vector<std::array<int, 3>>& triangles);

}  // namespace convert
