// Unwrapping wrapped texture coordinates triangle by triangle.
#include "platform/dx7/ffp/ffp_wrap.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

// A wrapped coordinate: its byte offset in a vertex.
std::vector<std::size_t> wrappedOffsets(const DeviceState& state, const FfpVertexLayout& layout) {
  std::vector<std::size_t> wrapped;
  for (int set = 0; set < layout.texCoordCount; ++set) {
    const DWORD bits = state.renderStates[D3DRENDERSTATE_WRAP0 + set];
    for (int c = 0; c < layout.texCoordSize[set]; ++c)
      if (bits & (1u << c)) wrapped.push_back(static_cast<std::size_t>(layout.texCoordOffset[set] + 4 * c));
  }
  return wrapped;
}

// The vertex numbers of every triangle in GL's order for it.
std::vector<DWORD> triangleOrder(D3DPRIMITIVETYPE type, DWORD count) {
  std::vector<DWORD> order;
  if (type == D3DPT_TRIANGLELIST) {
    for (DWORD i = 0; i + 2 < count; i += 3) order.insert(order.end(), {i, i + 1, i + 2});
  } else if (type == D3DPT_TRIANGLESTRIP) {
    for (DWORD i = 0; i + 2 < count; ++i)
      order.insert(order.end(), (i & 1) ? std::initializer_list<DWORD>{i, i + 2, i + 1}
                                        : std::initializer_list<DWORD>{i, i + 1, i + 2});
  } else {
    for (DWORD i = 1; i + 1 < count; ++i) order.insert(order.end(), {i, i + 1, 0});
  }
  return order;
}

// Moves the second and third corners' coordinate at `offset` by whole units to lie within half
// a unit of the first corner's.
void unwrapCoordinate(std::uint8_t* triangle, std::size_t stride, std::size_t offset) {
  float first = 0.0f;
  std::memcpy(&first, triangle + offset, 4);
  for (std::size_t k = 1; k < 3; ++k) {
    float v = 0.0f;
    std::memcpy(&v, triangle + k * stride + offset, 4);
    if (std::isfinite(v) && std::isfinite(first)) v += std::round(first - v);
    std::memcpy(triangle + k * stride + offset, &v, 4);
  }
}

}  // namespace

bool ffpUnwrapTriangles(const DeviceState& state, D3DPRIMITIVETYPE type, const FfpVertexLayout& layout,
                        const void* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount,
                        std::vector<std::uint8_t>& out) {
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN) return false;
  const std::vector<std::size_t> wrapped = wrappedOffsets(state, layout);
  if (wrapped.empty()) return false;
  const std::size_t stride = layout.stride;
  auto vertexAt = [&](DWORD i) {
    const DWORD v = indices ? indices[i] : i;
    return static_cast<const std::uint8_t*>(vertices) + static_cast<std::size_t>(v) * stride;
  };
  const std::vector<DWORD> order = triangleOrder(type, indices ? indexCount : vertexCount);
  out.resize(order.size() * stride);
  for (std::size_t t = 0; t + 2 < order.size(); t += 3) {
    std::uint8_t* tri = out.data() + t * stride;
    for (std::size_t k = 0; k < 3; ++k) std::memcpy(tri + k * stride, vertexAt(order[t + k]), stride);
    for (const std::size_t offset : wrapped) unwrapCoordinate(tri, stride, offset);
  }
  return true;
}
