// Accessors of the run-time typed vertex record.
#include "gfx/vertex.h"

#include <cstring>

std::uint32_t TypedVertex::colour() const {
  std::uint32_t c = 0;
  if (type_ >= 0 && !hasNormal()) std::memcpy(&c, &extra[0], sizeof(c));
  return c;
}

void TypedVertex::setColour(std::uint32_t c) {
  if (type_ >= 0 && !hasNormal()) std::memcpy(&extra[0], &c, sizeof(c));
}

void TypedVertex::normal(float* out3) const {
  for (int i = 0; i < 3; ++i) out3[i] = hasNormal() ? extra[i] : 0.0f;
}

void TypedVertex::setNormal(float nx, float ny, float nz) {
  if (!hasNormal()) return;
  extra[0] = nx;
  extra[1] = ny;
  extra[2] = nz;
}

namespace {
// Index in `extra` of the first texture coordinate.
int firstSetIndex(bool normal) { return normal ? 3 : 1; }
}  // namespace

void TypedVertex::texCoord(int set, float* u, float* v) const {
  float su = 0.0f;
  float sv = 0.0f;
  if (set >= 0 && set < textureSets()) {
    int at = firstSetIndex(hasNormal()) + 2 * set;
    su = extra[at];
    sv = extra[at + 1];
  }
  if (u != nullptr) *u = su;
  if (v != nullptr) *v = sv;
}

void TypedVertex::setTexCoord(int set, float u, float v) {
  if (set < 0 || set >= textureSets()) return;
  int at = firstSetIndex(hasNormal()) + 2 * set;
  extra[at] = u;
  extra[at + 1] = v;
}
