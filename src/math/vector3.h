// Three-component float vector: the engine's point and direction type.
#pragma once

struct Vector3 {
  float x;
  float y;
  float z;

  // out = this - other, per component.
  Vector3& subtract(const Vector3& other, Vector3& out) const;
  // out = this * s, per component.
  Vector3& scale(float s, Vector3& out) const;
  // out = this x other.
  Vector3& cross(const Vector3& other, Vector3& out) const;
  // Scales to unit length; a vector of length exactly 0 stays as it is.
  void normalize();
};
