// Triangle edges as lines.
#include "platform/dx7/ffp/ffp_fill_mode.h"

bool ffpTriangleEdges(GLenum mode, const WORD* indices, DWORD count, std::vector<WORD>& out) {
  if (mode != GL_TRIANGLES && mode != GL_TRIANGLE_STRIP && mode != GL_TRIANGLE_FAN) return false;
  if (indices == nullptr && count > 0x10000) return false;
  auto at = [indices](DWORD i) { return indices != nullptr ? indices[i] : static_cast<WORD>(i); };
  out.clear();
  auto triangle = [&out](WORD a, WORD b, WORD c) { out.insert(out.end(), {a, b, b, c, c, a}); };
  if (mode == GL_TRIANGLES) {
    for (DWORD i = 0; i + 2 < count; i += 3) triangle(at(i), at(i + 1), at(i + 2));
  } else if (mode == GL_TRIANGLE_STRIP) {
    for (DWORD k = 0; k + 2 < count; ++k) {
      if (k % 2 == 0)
        triangle(at(k), at(k + 1), at(k + 2));
      else
        triangle(at(k + 1), at(k), at(k + 2));
    }
  } else {
    for (DWORD k = 0; k + 2 < count; ++k) triangle(at(0), at(k + 1), at(k + 2));
  }
  return true;
}
