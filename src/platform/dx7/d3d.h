// Direct3D 7 interfaces: the Direct3D object (obtained from the DirectDraw object through
// QueryInterface), the device and vertex buffers.
#pragma once

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ddraw.h"

class IDirect3D7;
class IDirect3DDevice7;
class IDirect3DVertexBuffer7;

using LPDIRECT3D7 = IDirect3D7*;
using LPDIRECT3DDEVICE7 = IDirect3DDevice7*;
using LPDIRECT3DVERTEXBUFFER7 = IDirect3DVertexBuffer7*;

using LPD3DENUMDEVICESCALLBACK7 = HRESULT (*)(LPSTR deviceDescription, LPSTR deviceName, LPD3DDEVICEDESC7 desc,
                                              LPVOID context);
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(LPDDPIXELFORMAT format, LPVOID context);

class IDirect3D7 : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirect3D7;
  virtual HRESULT EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) = 0;
  virtual HRESULT CreateDevice(REFCLSID deviceType, LPDIRECTDRAWSURFACE7 renderTarget, LPDIRECT3DDEVICE7* device) = 0;
  virtual HRESULT CreateVertexBuffer(LPD3DVERTEXBUFFERDESC desc, LPDIRECT3DVERTEXBUFFER7* buffer, DWORD flags) = 0;
  virtual HRESULT EnumZBufferFormats(REFCLSID deviceType, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
  virtual HRESULT EvictManagedTextures() = 0;
};

class IDirect3DVertexBuffer7 : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirect3DVertexBuffer7;
  // The vertices stay where they are between locks; size (optional) receives the byte size.
  virtual HRESULT Lock(DWORD flags, LPVOID* data, LPDWORD size) = 0;
  virtual HRESULT Unlock() = 0;
  virtual HRESULT GetVertexBufferDesc(LPD3DVERTEXBUFFERDESC desc) = 0;
  virtual HRESULT Optimize(LPDIRECT3DDEVICE7 device, DWORD flags) = 0;
};

class IDirect3DDevice7 : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirect3DDevice7;
  virtual HRESULT GetCaps(LPD3DDEVICEDESC7 desc) = 0;
  virtual HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT GetDirect3D(LPDIRECT3D7* direct3D) = 0;
  virtual HRESULT SetRenderTarget(LPDIRECTDRAWSURFACE7 surface, DWORD flags) = 0;
  virtual HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) = 0;
  virtual HRESULT Clear(DWORD count, LPD3DRECT rects, DWORD flags, D3DCOLOR colour, D3DVALUE z, DWORD stencil) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) = 0;
  virtual HRESULT SetViewport(LPD3DVIEWPORT7 viewport) = 0;
  virtual HRESULT MultiplyTransform(D3DTRANSFORMSTATETYPE type, LPD3DMATRIX matrix) = 0;
  virtual HRESULT GetViewport(LPD3DVIEWPORT7 viewport) = 0;
  virtual HRESULT SetMaterial(LPD3DMATERIAL7 material) = 0;
  virtual HRESULT GetMaterial(LPD3DMATERIAL7 material) = 0;
  virtual HRESULT SetLight(DWORD index, LPD3DLIGHT7 light) = 0;
  virtual HRESULT GetLight(DWORD index, LPD3DLIGHT7 light) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) = 0;
  virtual HRESULT SetClipStatus(LPD3DCLIPSTATUS status) = 0;
  virtual HRESULT GetClipStatus(LPD3DCLIPSTATUS status) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD flags) = 0;
  virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                       LPWORD indices, DWORD indexCount, DWORD flags) = 0;
  virtual HRESULT DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                  DWORD vertexCount, DWORD flags) = 0;
  // Indices are relative to startVertex; numVertices is the range they may address.
  virtual HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 buffer, DWORD startVertex,
                                         DWORD numVertices, LPWORD indices, DWORD indexCount, DWORD flags) = 0;
  virtual HRESULT GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) = 0;
  virtual HRESULT SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) = 0;
  virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, LPDWORD value) = 0;
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
  virtual HRESULT ValidateDevice(LPDWORD passes) = 0;
  virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
  virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
  virtual HRESULT SetClipPlane(DWORD index, D3DVALUE* plane) = 0;
  virtual HRESULT GetClipPlane(DWORD index, D3DVALUE* plane) = 0;
};
