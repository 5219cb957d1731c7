// Quaternion kit reached through a process-wide table of operation pointers, so that
// processor-specific versions could replace the plain ones at start-up.
#pragma once

#include "math/matrix4.h"
#include "math/vector3.h"

struct Quaternion {
  float w;  // scalar part
  float x;
  float y;
  float z;
};

struct AxisAngle {
  float x;  // axis
  float y;
  float z;
  float angle;  // degrees
};

struct QuaternionOperations {
  Quaternion* (*quatNormalize)(Quaternion* out, const Quaternion* q);
  void (*quatAdd)(Quaternion* out, const Quaternion* a, const Quaternion* b);
  void (*quatFromMatrix)(Quaternion* out, const Matrix4* m);
  void (*quatRotateVector)(Vector3* out, const Vector3* v, const Quaternion* q);
  AxisAngle* (*quatToAxisAngle)(AxisAngle* out, const Quaternion* q);
  Quaternion* (*quatSlerp)(Quaternion* out, const Quaternion* a, const Quaternion* b, float t);
  float (*quatDot)(const Quaternion* a, const Quaternion* b);
  void (*quatFromAxisAngle)(Quaternion* out, const AxisAngle* aa);
  void (*quatMultiply)(Quaternion* out, const Quaternion* p, const Quaternion* q);
  void (*quatSubtract)(Quaternion* out, const Quaternion* a, const Quaternion* b);
  Matrix4* (*quatToMatrix)(Matrix4* out, const Quaternion* q);
};

// The process-wide table; empty (null pointers) until installQuaternionOperations runs.
extern QuaternionOperations quaternionOperations;

// Fills the table with the plain versions below.
void installQuaternionOperations();

// Plain versions. Every out may alias an input.
Quaternion* quatNormalizePlain(Quaternion* out, const Quaternion* q);
void quatAddPlain(Quaternion* out, const Quaternion* a, const Quaternion* b);
void quatFromMatrixPlain(Quaternion* out, const Matrix4* m);
void quatRotateVectorPlain(Vector3* out, const Vector3* v, const Quaternion* q);
AxisAngle* quatToAxisAnglePlain(AxisAngle* out, const Quaternion* q);
Quaternion* quatSlerpPlain(Quaternion* out, const Quaternion* a, const Quaternion* b, float t);
float quatDotPlain(const Quaternion* a, const Quaternion* b);
void quatFromAxisAnglePlain(Quaternion* out, const AxisAngle* aa);
void quatMultiplyPlain(Quaternion* out, const Quaternion* p, const Quaternion* q);
void quatSubtractPlain(Quaternion* out, const Quaternion* a, const Quaternion* b);
Matrix4* quatToMatrixPlain(Matrix4* out, const Quaternion* q);
