// Logging of the drawing-relevant calls of the recording device.
#include "support/d3d7_recording_device.h"

namespace d3d7_test {

std::vector<DeviceCall> RecordingDevice::callsOf(DeviceCall::Kind kind) const {
  std::vector<DeviceCall> out;
  for (const DeviceCall& call : calls)
    if (call.kind == kind) out.push_back(call);
  return out;
}

std::vector<DWORD> RecordingDevice::renderStateValues(D3DRENDERSTATETYPE state) const {
  std::vector<DWORD> out;
  for (const DeviceCall& call : calls)
    if (call.kind == DeviceCall::kRenderState && call.a == static_cast<DWORD>(state)) out.push_back(call.b);
  return out;
}

HRESULT RecordingDevice::Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD stencil) {
  calls.push_back({DeviceCall::kClear, count, flags, colour});
  return inner->Clear(count, rects, flags, colour, z, stencil);
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) {
  calls.push_back({DeviceCall::kSetTransform, static_cast<DWORD>(type), 0, 0});
  return inner->SetTransform(type, matrix);
}

HRESULT RecordingDevice::SetMaterial(LPD3DMATERIAL7 material) {
  calls.push_back({DeviceCall::kSetMaterial, 0, 0, 0});
  return inner->SetMaterial(material);
}

HRESULT RecordingDevice::SetLight(DWORD index, LPD3DLIGHT7 light) {
  calls.push_back({DeviceCall::kSetLight, index, 0, 0});
  return inner->SetLight(index, light);
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  calls.push_back({DeviceCall::kRenderState, static_cast<DWORD>(state), value, 0});
  if (refusedState != 0 && state == refusedState && value == refusedValue) return E_INVALIDARG;
  return inner->SetRenderState(state, value);
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                       DWORD flags) {
  calls.push_back({DeviceCall::kDraw, static_cast<DWORD>(type), fvf, vertexCount});
  return inner->DrawPrimitive(type, fvf, vertices, vertexCount, flags);
}

HRESULT RecordingDevice::DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                         DWORD vertexCount, DWORD flags) {
  calls.push_back({DeviceCall::kDrawVB, static_cast<DWORD>(type), startVertex, vertexCount});
  return inner->DrawPrimitiveVB(type, buffer, startVertex, vertexCount, flags);
}

HRESULT RecordingDevice::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer,
                                                DWORD startVertex, DWORD numVertices, LPWORD indices, DWORD indexCount,
                                                DWORD flags) {
  calls.push_back({DeviceCall::kDrawIndexedVB, static_cast<DWORD>(type), startVertex, indexCount});
  return inner->DrawIndexedPrimitiveVB(type, buffer, startVertex, numVertices, indices, indexCount, flags);
}

HRESULT RecordingDevice::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) {
  calls.push_back({DeviceCall::kSetTexture, stage, texture != nullptr ? 1u : 0u, 0});
  return inner->SetTexture(stage, texture);
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  calls.push_back({DeviceCall::kStageState, stage, static_cast<DWORD>(type), value});
  return inner->SetTextureStageState(stage, type, value);
}

HRESULT RecordingDevice::LightEnable(DWORD index, BOOL enable) {
  calls.push_back({DeviceCall::kLightEnable, index, static_cast<DWORD>(enable), 0});
  return inner->LightEnable(index, enable);
}

}  // namespace d3d7_test
