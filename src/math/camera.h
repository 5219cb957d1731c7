// Camera: an eye with heading, pitch and bank (or a look-at target) and field-of-view
// settings, turned into a view matrix and a perspective projection matrix.
#pragma once

#include "math/matrix4.h"
#include "math/vector3.h"

class Camera {
 public:
  // 45 by 34 degrees, near 0.01, far 100, at the origin with no rotation, matrices built.
  Camera();
  ~Camera() {}

  void setProjection(float fovX, float fovY, float near, float far);
  void setPosition(float x, float y, float z);
  void setRotation(float heading, float pitch, float bank);
  // Rebuilds whatever is dirty, then clears both flags.
  void update();
  // View from the stored position toward target, rolled about the viewing axis by roll.
  // Clears viewDirty only; the stored angles no longer describe the view.
  void lookAt(const Vector3& target, float roll);

  bool viewDirty;
  bool projectionDirty;
  float heading;  // radians, about Y
  float pitch;    // radians, about X
  float bank;     // radians, about Z
  float fovX;     // radians
  float fovY;     // radians
  float far;
  float near;
  Vector3 position;
  Matrix4 view;
  Matrix4 projection;
};
