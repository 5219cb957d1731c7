// Ear clipping in the polygon's best-fitting plane, with a fan where that finds no ear.
#include "polygon_split.h"

#include <cmath>
#include <cstddef>

namespace convert {
namespace {

struct Point2 {
  double x, y;
};

double cross(const Point2& a, const Point2& b, const Point2& c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// True when p lies inside or on the counter-clockwise triangle a, b, c.
bool inside(const Point2& p, const Point2& a, const Point2& b, const Point2& c) {
  return cross(a, b, p) >= 0.0 && cross(b, c, p) >= 0.0 && cross(c, a, p) >= 0.0;
}

// Do segments ab and cd cross at a point inside both (touching ends do not count)?
bool crosses(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
  const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
  return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

void fan(std::size_t from, const std::vector<int>& order, std::vector<std::array<int, 3>>& triangles) {
  for (std::size_t k = from + 1; k + 1 < order.size(); ++k) triangles.push_back({order[from], order[k], order[k + 1]});
}

}  // namespace

bool splitPolygon(const std::vector<std::array<float, 3>>& corners, std::vector<std::array<int, 3>>& triangles) {
  const std::size_t n = corners.size();
  std::vector<int> order(n);
  for (std::size_t k = 0; k < n; ++k) order[k] = static_cast<int>(k);
  if (n < 3) return true;
  if (n == 3) {
    triangles.push_back({0, 1, 2});
    return true;
  }
  // Newell's normal: the plane the polygon best lies in, and its winding around it.
  double normal[3] = {0, 0, 0};
  for (std::size_t k = 0; k < n; ++k) {
    const auto& a = corners[k];
    const auto& b = corners[(k + 1) % n];
    normal[0] += (static_cast<double>(a[1]) - b[1]) * (static_cast<double>(a[2]) + b[2]);
    normal[1] += (static_cast<double>(a[2]) - b[2]) * (static_cast<double>(a[0]) + b[0]);
    normal[2] += (static_cast<double>(a[0]) - b[0]) * (static_cast<double>(a[1]) + b[1]);
  }
  int drop = 0;
  for (int axis = 1; axis < 3; ++axis)
    if (std::fabs(normal[axis]) > std::fabs(normal[drop])) drop = axis;
  const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
  if (!(length > 0.0)) {
    fan(0, order, triangles);
    return false;
  }
  // Project onto the plane of the two other axes, turned so that the outline runs counter-clockwise.
  const int u = (drop + 1) % 3;
  const int v = (drop + 2) % 3;
  const double turn = normal[drop] > 0 ? 1.0 : -1.0;
  std::vector<Point2> flat(n);
  for (std::size_t k = 0; k < n; ++k) flat[k] = {corners[k][u], turn * corners[k][v]};

  // A polygon far from flat or crossing itself has no outline to clip ears from.
  bool simple = std::fabs(normal[drop]) >= 0.5 * length;
  for (std::size_t i = 0; simple && i < n; ++i)
    for (std::size_t j = i + 2; simple && j < n; ++j) {
      if (i == 0 && j == n - 1) continue;
      simple = !crosses(flat[i], flat[(i + 1) % n], flat[j], flat[(j + 1) % n]);
    }
  if (!simple) {
    fan(0, order, triangles);
    return false;
  }

  std::vector<int> left = order;
  while (left.size() > 3) {
    const std::size_t m = left.size();
    bool clipped = false;
    for (std::size_t k = 0; k < m && !clipped; ++k) {
      const int a = left[(k + m - 1) % m], b = left[k], c = left[(k + 1) % m];
      if (cross(flat[a], flat[b], flat[c]) <= 0.0) continue;  // a reflex or flat corner
      bool empty = true;
      for (std::size_t j = 0; j < m && empty; ++j) {
        const int p = left[j];
        if (p == a || p == b || p == c) continue;
        empty = !inside(flat[p], flat[a], flat[b], flat[c]);
      }
      if (!empty) continue;
      triangles.push_back({a, b, c});
      left.erase(left.begin() + static_cast<std::ptrdiff_t>(k));
      clipped = true;
    }
    if (!clipped) {  // only folded corners remain: fan what is left
      fan(0, left, triangles);
      return false;
    }
  }
  triangles.push_back({left[0], left[1], left[2]});
  return true;
}

}  // namespace convert
