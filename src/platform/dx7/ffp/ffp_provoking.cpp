// Reordering primitives so that the first-vertex convention's provoking vertex comes last.
#include "platform/dx7/ffp/ffp_provoking.h"

#include <algorithm>

namespace {

constexpr DWORD kMostVertices = 0x10000;

}  // namespace

bool ffpLastVertexProvokes(GLenum mode, const WORD* indices, DWORD count, std::vector<WORD>& out, GLenum& listMode) {
  if (mode != GL_TRIANGLES && mode != GL_TRIANGLE_STRIP && mode != GL_TRIANGLE_FAN && mode != GL_LINES &&
      mode != GL_LINE_STRIP)
    return false;
  if (indices == nullptr && count > kMostVertices) return false;
  auto at = [indices](DWORD i) { return indices != nullptr ? indices[i] : static_cast<WORD>(i); };
  std::vector<WORD>& list = out;
  list.clear();
  switch (mode) {
    case GL_TRIANGLES:
      // (a, b, c) provoked by a: (b, c, a).
      for (DWORD i = 0; i + 2 < count; i += 3) list.insert(list.end(), {at(i + 1), at(i + 2), at(i)});
      break;
    case GL_TRIANGLE_STRIP:
      // Triangle k is (k, k+1, k+2), or (k+1, k, k+2) when k is odd, provoked by k.
      for (DWORD k = 0; k + 2 < count; ++k) {
        if (k % 2 == 0)
          list.insert(list.end(), {at(k + 1), at(k + 2), at(k)});
        else
          list.insert(list.end(), {at(k + 2), at(k + 1), at(k)});
      }
      break;
    case GL_TRIANGLE_FAN:
      // Triangle k is (0, k+1, k+2), provoked by k+1.
      for (DWORD k = 0; k + 2 < count; ++k) list.insert(list.end(), {at(k + 2), at(0), at(k + 1)});
      break;
    case GL_LINES:
      for (DWORD i = 0; i + 1 < count; i += 2) list.insert(list.end(), {at(i + 1), at(i)});
      break;
    default:  // GL_LINE_STRIP
      for (DWORD k = 0; k + 1 < count; ++k) list.insert(list.end(), {at(k + 1), at(k)});
      break;
  }
  listMode = mode == GL_LINES || mode == GL_LINE_STRIP ? GL_LINES : GL_TRIANGLES;
  return true;
}

void ffpRotateTriangles(unsigned char* vertices, DWORD triangles, DWORD stride) {
  for (DWORD t = 0; t < triangles; ++t) {
    unsigned char* first = vertices + std::size_t{t} * 3 * stride;
    std::rotate(first, first + stride, first + 3 * std::size_t{stride});
  }
}
