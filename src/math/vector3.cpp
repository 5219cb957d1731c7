// Three-component float vector operations.
#include "math/vector3.h"

#include <cmath>

Vector3& Vector3::subtract(const Vector3& other, Vector3& out) const {
  out.x = x - other.x;
  out.y = y - other.y;
  out.z = z - other.z;
  return out;
}

Vector3& Vector3::scale(float s, Vector3& out) const {
  out.x = x * s;
  out.y = y * s;
  out.z = z * s;
  return out;
}

Vector3& Vector3::cross(const Vector3& other, Vector3& out) const {
  // Computed into locals first so that out may alias this or other.
  const float cx = y * other.z - z * other.y;
  const float cy = z * other.x - x * other.z;
  const float cz = x * other.y - y * other.x;
  out.x = cx;
  out.y = cy;
  out.z = cz;
  return out;
}

void Vector3::normalize() {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length == 0.0f) return;
  const float k = 1.0f / length;
  x *= k;
  y *= k;
  z *= k;
}
