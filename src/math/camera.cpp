// Camera view and projection matrices.
#include "math/camera.h"

#include <cmath>

Camera::Camera() {
  view.setIdentity();
  projection.setIdentity();
  setProjection(0.7853982f, 0.5934120f, 0.01f, 100.0f);
  setPosition(0.0f, 0.0f, 0.0f);
  setRotation(0.0f, 0.0f, 0.0f);
  update();
}

void Camera::setProjection(float fovX_, float fovY_, float near_, float far_) {
  fovX = fovX_;
  fovY = fovY_;
  near = near_;
  far = far_;
  projectionDirty = true;
}

void Camera::setPosition(float x, float y, float z) {
  position.x = x;
  position.y = y;
  position.z = z;
  viewDirty = true;
}

void Camera::setRotation(float heading_, float pitch_, float bank_) {
  heading = heading_;
  pitch = pitch_;
  bank = bank_;
  viewDirty = true;
}

void Camera::update() {
  if (projectionDirty) {
    projection.setIdentity();
    projection.m[0] = 1.0f / std::tan(fovX * 0.5f);
    projection.m[5] = 1.0f / std::tan(fovY * 0.5f);
    const float q = far / (far - near);
    projection.m[10] = q;
    projection.m[11] = 1.0f;
    projection.m[14] = -q * near;
    projection.m[15] = 0.0f;
  }
  if (viewDirty) {
    Matrix4 ry;
    ry.setRotationY(heading);
    Matrix4 rx;
    rx.setRotationX(pitch);
    Matrix4 rz;
    rz.setRotationZ(bank);
    // R = (Ry * Rx) * Rz; view = T * R.
    Matrix4 ryrx;
    rx.multiply(ry, ryrx);
    Matrix4 r;
    rz.multiply(ryrx, r);
    Matrix4 t;
    t.setIdentity();
    t.m[12] = -position.x;
    t.m[13] = -position.y;
    t.m[14] = -position.z;
    r.multiply(t, view);
  }
  viewDirty = false;
  projectionDirty = false;
}

void Camera::lookAt(const Vector3& target, float roll) {
  Vector3 f;
  target.subtract(position, f);
  f.normalize();
  const Vector3 up{0.0f, 1.0f, 0.0f};
  const float upDotF = up.x * f.x + up.y * f.y + up.z * f.z;
  Vector3 fScaled;
  f.scale(upDotF, fScaled);
  Vector3 u;
  up.subtract(fScaled, u);
  u.normalize();
  Vector3 r;
  u.cross(f, r);

  view.setIdentity();
  view.m[0] = r.x;
  view.m[4] = r.y;
  view.m[8] = r.z;
  view.m[1] = u.x;
  view.m[5] = u.y;
  view.m[9] = u.z;
  view.m[2] = f.x;
  view.m[6] = f.y;
  view.m[10] = f.z;
  view.m[12] = -(position.x * r.x + position.y * r.y + position.z * r.z);
  view.m[13] = -(position.x * u.x + position.y * u.y + position.z * u.z);
  view.m[14] = -(position.x * f.x + position.y * f.y + position.z * f.z);
  view.m[15] = 1.0f;

  // Roll about the viewing axis: view * Z^-1, done through the camera's placement.
  Matrix4 z;
  z.setRotationZ(roll);
  view.invertRigid();
  view.preMultiply(z);
  view.invertRigid();
  viewDirty = false;
}
