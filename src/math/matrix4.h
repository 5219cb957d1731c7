// 4x4 float matrix in the device layout: row-major, points are row vectors multiplied on
// the left (p' = p * M), translation in elements 12, 13, 14.
#pragma once

struct Matrix4 {
  float m[16];  // element (row r, column c) at index 4 * r + c

  float& operator[](int i) { return m[i]; }
  float operator[](int i) const { return m[i]; }

  void setIdentity();
  // out = other * this (the argument is the LEFT factor); out may alias this or other.
  Matrix4& multiply(const Matrix4& other, Matrix4& out) const;
  // this = other * this.
  void preMultiply(const Matrix4& other);
  // Identity with a rotation about X by a radians (pitch: +z turns towards -y).
  void setRotationX(float a);
  // Identity with a rotation about Z by a radians.
  void setRotationZ(float a);
  // Identity with a rotation about Y by a radians.
  void setRotationY(float a);
  // In-place inverse of a rotation-plus-translation matrix (orthonormal 3x3 block).
  void invertRigid();
  // General inverse by Gauss-Jordan elimination into out; this is destroyed (reduced).
  // False for a singular matrix (out and this are then left half-reduced).
  bool invertMatrix(Matrix4& out);
};
