// 4x4 matrix operations in the row-vector convention.
#include "math/matrix4.h"

#include <cmath>

void Matrix4::setIdentity() {
  for (int i = 0; i < 16; ++i) m[i] = 0.0f;
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

Matrix4& Matrix4::multiply(const Matrix4& other, Matrix4& out) const {
  float t[16];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += other.m[4 * r + k] * m[4 * k + c];
      t[4 * r + c] = sum;
    }
  }
  for (int i = 0; i < 16; ++i) out.m[i] = t[i];
  return out;
}

void Matrix4::preMultiply(const Matrix4& other) { multiply(other, *this); }

void Matrix4::setRotationZ(float a) {
  setIdentity();
  const float c = std::cos(a);
  const float s = std::sin(a);
  m[0] = c;
  m[1] = s;
  m[4] = -s;
  m[5] = c;
}

void Matrix4::setRotationX(float a) {
  setIdentity();
  const float c = std::cos(a);
  const float s = std::sin(a);
  m[5] = c;
  m[6] = s;
  m[9] = -s;
  m[10] = c;
}

void Matrix4::setRotationY(float a) {
  setIdentity();
  const float c = std::cos(a);
  const float s = std::sin(a);
  m[0] = c;
  m[2] = -s;
  m[8] = s;
  m[10] = c;
}

void Matrix4::invertRigid() {
  const Matrix4 o = *this;
  m[1] = o.m[4];
  m[4] = o.m[1];
  m[2] = o.m[8];
  m[8] = o.m[2];
  m[6] = o.m[9];
  m[9] = o.m[6];
  m[12] = -(o.m[12] * o.m[0] + o.m[13] * o.m[1] + o.m[14] * o.m[2]);
  m[13] = -(o.m[12] * o.m[4] + o.m[13] * o.m[5] + o.m[14] * o.m[6]);
  m[14] = -(o.m[12] * o.m[8] + o.m[13] * o.m[9] + o.m[14] * o.m[10]);
  m[3] = m[7] = m[11] = 0.0f;
  m[15] = 1.0f;
}

bool Matrix4::invertMatrix(Matrix4& out) {
  out.setIdentity();
  for (int i = 0; i < 4; ++i) {
    // Pivot: the last lower row whose entry beats the diagonal entry.
    int swapRow = -1;
    for (int j = i + 1; j < 4; ++j) {
      if (std::fabs(m[4 * j + i]) > std::fabs(m[4 * i + i])) swapRow = j;
    }
    if (swapRow >= 0) {
      for (int c = 0; c < 4; ++c) {
        float t = m[4 * i + c];
        m[4 * i + c] = m[4 * swapRow + c];
        m[4 * swapRow + c] = t;
        t = out.m[4 * i + c];
        out.m[4 * i + c] = out.m[4 * swapRow + c];
        out.m[4 * swapRow + c] = t;
      }
    }
    if (m[4 * i + i] == 0.0f) return false;
    const float k = 1.0f / m[4 * i + i];
    for (int c = 0; c < 4; ++c) {
      m[4 * i + c] *= k;
      out.m[4 * i + c] *= k;
    }
    for (int r = 0; r < 4; ++r) {
      if (r == i) continue;
      const float f = m[4 * r + i];
      for (int c = 0; c < 4; ++c) {
        m[4 * r + c] -= f * m[4 * i + c];
        out.m[4 * r + c] -= f * out.m[4 * i + c];
      }
    }
  }
  return true;
}
