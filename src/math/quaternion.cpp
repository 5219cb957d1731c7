// Plain quaternion operations and the table that serves them.
#include "math/quaternion.h"

#include <cmath>

QuaternionOperations quaternionOperations = {};

void installQuaternionOperations() {
  quaternionOperations.quatAdd = quatAddPlain;
  quaternionOperations.quatSubtract = quatSubtractPlain;
  quaternionOperations.quatMultiply = quatMultiplyPlain;
  quaternionOperations.quatNormalize = quatNormalizePlain;
  quaternionOperations.quatDot = quatDotPlain;
  quaternionOperations.quatSlerp = quatSlerpPlain;
  quaternionOperations.quatRotateVector = quatRotateVectorPlain;
  quaternionOperations.quatToMatrix = quatToMatrixPlain;
  quaternionOperations.quatFromMatrix = quatFromMatrixPlain;
  quaternionOperations.quatToAxisAngle = quatToAxisAnglePlain;
  quaternionOperations.quatFromAxisAngle = quatFromAxisAnglePlain;
}

void quatAddPlain(Quaternion* out, const Quaternion* a, const Quaternion* b) {
  *out = Quaternion{a->w + b->w, a->x + b->x, a->y + b->y, a->z + b->z};
}

void quatSubtractPlain(Quaternion* out, const Quaternion* a, const Quaternion* b) {
  *out = Quaternion{a->w - b->w, a->x - b->x, a->y - b->y, a->z - b->z};
}

void quatMultiplyPlain(Quaternion* out, const Quaternion* p, const Quaternion* q) {
  const Quaternion r{
      p->w * q->w - p->x * q->x - p->y * q->y - p->z * q->z,
      p->w * q->x + p->x * q->w + p->y * q->z - p->z * q->y,
      p->w * q->y + p->y * q->w + p->z * q->x - p->x * q->z,
      p->w * q->z + p->z * q->w + p->x * q->y - p->y * q->x,
  };
  *out = r;
}

Quaternion* quatNormalizePlain(Quaternion* out, const Quaternion* q) {
  const float k =
      static_cast<float>(1.0 / std::sqrt(static_cast<double>(q->w) * q->w + static_cast<double>(q->x) * q->x +
                                         static_cast<double>(q->y) * q->y + static_cast<double>(q->z) * q->z));
  *out = Quaternion{q->w * k, q->x * k, q->y * k, q->z * k};
  return out;
}

float quatDotPlain(const Quaternion* a, const Quaternion* b) {
  return a->w * b->w + a->x * b->x + a->y * b->y + a->z * b->z;
}

Quaternion* quatSlerpPlain(Quaternion* out, const Quaternion* a, const Quaternion* b, float t) {
  float c = quatDotPlain(a, b);
  float sign = 1.0f;
  if (c < 0.0f) {
    c = -c;
    sign = -1.0f;
  }
  float s0;
  float s1;
  if (1.0f - c < 0.000001f) {
    // Nearly equal orientations: plain linear blend.
    s0 = 1.0f - t;
    s1 = t;
  } else {
    const float theta = std::acos(c);
    const float k = 1.0f / std::sin(theta);
    s1 = k * std::sin(theta * t);
    s0 = k * std::sin(theta - theta * t);
  }
  s1 *= sign;
  const Quaternion r{s0 * a->w + s1 * b->w, s1 * b->x + s0 * a->x, s1 * b->y + s0 * a->y, s1 * b->z + s0 * a->z};
  *out = r;
  return out;
}

void quatRotateVectorPlain(Vector3* out, const Vector3* v, const Quaternion* q) {
  const float w = q->w;
  const Vector3 u{q->x, q->y, q->z};
  const float uu = u.x * u.x + u.y * u.y + u.z * u.z;
  const float uv = u.x * v->x + u.y * v->y + u.z * v->z;
  Vector3 uxv;
  u.cross(*v, uxv);
  const float a = w * w - uu;
  const float b = 2.0f * w;
  const float c = 2.0f * uv;
  const Vector3 r{a * v->x + b * uxv.x + c * u.x, a * v->y + b * uxv.y + c * u.y, a * v->z + b * uxv.z + c * u.z};
  *out = r;
}

Matrix4* quatToMatrixPlain(Matrix4* out, const Quaternion* q) {
  const float w = q->w, x = q->x, y = q->y, z = q->z;
  float* m = out->m;
  m[0] = 1.0f - 2.0f * y * y - 2.0f * z * z;
  m[1] = 2.0f * x * y - 2.0f * z * w;
  m[2] = 2.0f * x * z + 2.0f * y * w;
  m[4] = 2.0f * x * y + 2.0f * z * w;
  m[5] = 1.0f - 2.0f * x * x - 2.0f * z * z;
  m[6] = 2.0f * y * z - 2.0f * x * w;
  m[8] = 2.0f * x * z - 2.0f * y * w;
  m[9] = 2.0f * y * z + 2.0f * x * w;
  m[10] = 1.0f - 2.0f * x * x - 2.0f * y * y;
  m[3] = m[7] = m[11] = m[12] = m[13] = m[14] = 0.0f;
  m[15] = 1.0f;
  return out;
}

void quatFromMatrixPlain(Quaternion* out, const Matrix4* mat) {
  const float* m = mat->m;
  Quaternion r;
  const float trace = m[0] + m[5] + m[10];
  if (trace > 0.0f) {
    const float s = std::sqrt(trace + 1.0f);
    r.w = s / 2.0f;
    const float f = 0.5f / s;
    r.x = f * (m[9] - m[6]);
    r.y = f * (m[2] - m[8]);
    r.z = f * (m[4] - m[1]);
  } else if (m[5] > m[0] && m[5] >= m[10]) {
    const float s = std::sqrt(m[5] - (m[0] + m[10]) + 1.0f);
    r.y = s / 2.0f;
    const float f = s == 0.0f ? 0.0f : 0.5f / s;
    r.w = f * (m[2] - m[8]);
    r.x = f * (m[4] + m[1]);
    r.z = f * (m[9] + m[6]);
  } else if ((m[5] <= m[0] && m[10] > m[0]) || m[5] < m[10]) {
    const float s = std::sqrt(m[10] - (m[0] + m[5]) + 1.0f);
    r.z = s / 2.0f;
    const float f = s == 0.0f ? 0.0f : 0.5f / s;
    r.w = f * (m[4] - m[1]);
    r.x = f * (m[8] + m[2]);
    r.y = f * (m[9] + m[6]);
  } else {
    const float s = std::sqrt(m[0] - (m[5] + m[10]) + 1.0f);
    r.x = s / 2.0f;
    const float f = s == 0.0f ? 0.0f : 0.5f / s;
    r.w = f * (m[9] - m[6]);
    r.y = f * (m[4] + m[1]);
    r.z = f * (m[8] + m[2]);
  }
  *out = r;
}

AxisAngle* quatToAxisAnglePlain(AxisAngle* out, const Quaternion* q) {
  const float a = std::acos(q->w);
  const float k = 1.0f / std::sin(a);
  const AxisAngle r{q->x * k, q->y * k, q->z * k, a * 114.59155f};
  *out = r;
  return out;
}

void quatFromAxisAnglePlain(Quaternion* out, const AxisAngle* aa) {
  const float h = aa->angle * 0.008726647f;
  const float s = std::sin(h);
  *out = Quaternion{std::cos(h), aa->x * s, aa->y * s, aa->z * s};
}
