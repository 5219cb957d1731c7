// A Direct3D device that forwards every call to a real device and keeps a log of the calls
// that shape drawing, so tests can check what the driver asked for and in which order.
#pragma once

#include <vector>

#include "platform/dx7/d3d.h"

namespace d3d7_test {

struct DeviceCall {
  enum Kind {
    kRenderState,
    kStageState,
    kSetTexture,
    kDraw,
    kDrawVB,
    kDrawIndexedVB,
    kLightEnable,
    kSetLight,
    kClear,
    kSetTransform,
    kSetMaterial
  };
  Kind kind;
  DWORD a;  // state / stage / light index / primitive type / clear count / transform
  DWORD b;  // value / state type / vertex format / enable flag / clear flags
  DWORD c;  // stage state value / vertex count
};

class RecordingDevice : public IDirect3DDevice7 {
 public:
  explicit RecordingDevice(IDirect3DDevice7* realDevice) : inner(realDevice) {}
  ~RecordingDevice() override = default;

  // Calls of one kind, in order.
  std::vector<DeviceCall> callsOf(DeviceCall::Kind kind) const;
  // Values given to one render state, in order.
  std::vector<DWORD> renderStateValues(D3DRENDERSTATETYPE state) const;

  IDirect3DDevice7* inner;
  std::vector<DeviceCall> calls;
  // Render state / value pair the device refuses (SetRenderState fails), state 0 for none.
  D3DRENDERSTATETYPE refusedState = static_cast<D3DRENDERSTATETYPE>(0);
  DWORD refusedValue = 0;

  HRESULT QueryInterface(REFIID riid, LPVOID* object) override { return inner->QueryInterface(riid, object); }
  ULONG AddRef() override { return inner->AddRef(); }
  ULONG Release() override { return inner->Release(); }
  HRESULT GetCaps(LPD3DDEVICEDESC7 desc) override { return inner->GetCaps(desc); }
  HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) override {
    return inner->EnumTextureFormats(callback, context);
  }
  HRESULT BeginScene() override { return inner->BeginScene(); }
  HRESULT EndScene() override { return inner->EndScene(); }
  HRESULT GetDirect3D(LPDIRECT3D7* direct3D) override { return inner->GetDirect3D(direct3D); }
  HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) override {
    return inner->SetRenderTarget(surface, flags);
  }
  HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) override { return inner->GetRenderTarget(surface); }
  HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD stencil) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override {
    return inner->GetTransform(type, matrix);
  }
  HRESULT SetViewport(LPD3DVIEWPORT7 viewport) override { return inner->SetViewport(viewport); }
  HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) override {
    return inner->MultiplyTransform(type, matrix);
  }
  HRESULT GetViewport(LPD3DVIEWPORT7 viewport) override { return inner->GetViewport(viewport); }
  HRESULT SetMaterial(LPD3DMATERIAL7 material) override;
  HRESULT GetMaterial(LPD3DMATERIAL7 material) override { return inner->GetMaterial(material); }
  HRESULT SetLight(DWORD index, LPD3DLIGHT7 light) override;
  HRESULT GetLight(DWORD index, LPD3DLIGHT7 light) override { return inner->GetLight(index, light); }
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) override {
    return inner->GetRenderState(state, value);
  }
  HRESULT SetClipStatus(LPD3DCLIPSTATUS status) override { return inner->SetClipStatus(status); }
  HRESULT GetClipStatus(LPD3DCLIPSTATUS status) override { return inner->GetClipStatus(status); }
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD flags) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, LPWORD indices,
                               DWORD indexCount, DWORD flags) override {
    return inner->DrawIndexedPrimitive(type, fvf, vertices, vertexCount, indices, indexCount, flags);
  }
  HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex, DWORD vertexCount,
                          DWORD flags) override;
  HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                 DWORD numVertices, LPWORD indices, DWORD indexCount, DWORD flags) override;
  HRESULT GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) override { return inner->GetTexture(stage, texture); }
  HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value) override {
    return inner->GetTextureStageState(stage, type, value);
  }
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT ValidateDevice(LPDWORD passes) override { return inner->ValidateDevice(passes); }
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override { return inner->GetLightEnable(index, enable); }
  HRESULT SetClipPlane(DWORD index, D3DVALUE* plane) override { return inner->SetClipPlane(index, plane); }
  HRESULT GetClipPlane(DWORD index, D3DVALUE* plane) override { return inner->GetClipPlane(index, plane); }
};

}  // namespace d3d7_test
