// DirectDraw 7 interfaces and entry points: the DirectDraw object, surfaces and clippers as
// reference-counted objects with virtual methods returning HRESULTs.
#pragma once

#include "platform/dx7/ddraw_types.h"

class IDirectDraw7;
class IDirectDrawSurface7;
class IDirectDrawClipper;

using LPDIRECTDRAW7 = IDirectDraw7*;
using LPDIRECTDRAWSURFACE7 = IDirectDrawSurface7*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;

// Reference counting and interface queries shared by every object of the subset. Each
// interface names the id QueryInterface knows it by as kInterfaceId.
class IUnknown {
 public:
  virtual HRESULT QueryInterface(REFIID riid, LPVOID* object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

// Enumeration callbacks.
using LPDDENUMCALLBACKEXA = BOOL (*)(GUID* guid, LPSTR driverDescription, LPSTR driverName, LPVOID context,
                                     HMONITOR monitor);
using LPDDENUMMODESCALLBACK2 = HRESULT (*)(LPDDSURFACEDESC2 mode, LPVOID context);
using LPDDENUMSURFACESCALLBACK7 = HRESULT (*)(LPDIRECTDRAWSURFACE7 surface, LPDDSURFACEDESC2 desc, LPVOID context);

class IDirectDrawClipper : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirectDrawClipper;
  virtual HRESULT SetHWnd(DWORD flags, HWND window) = 0;
  virtual HRESULT GetHWnd(HWND* window) = 0;
};

class IDirectDrawSurface7 : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirectDrawSurface7;
  virtual HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE7 surface) = 0;
  virtual HRESULT DeleteAttachedSurface(DWORD flags, LPDIRECTDRAWSURFACE7 surface) = 0;
  virtual HRESULT GetAttachedSurface(LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) = 0;
  virtual HRESULT Blt(LPRECT destRect, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags,
                      LPDDBLTFX effects) = 0;
  virtual HRESULT BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags) = 0;
  virtual HRESULT Flip(LPDIRECTDRAWSURFACE7 overrideSurface, DWORD flags) = 0;
  virtual HRESULT GetCaps(LPDDSCAPS2 caps) = 0;
  virtual HRESULT GetClipper(LPDIRECTDRAWCLIPPER* clipper) = 0;
  virtual HRESULT GetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT GetPixelFormat(LPDDPIXELFORMAT format) = 0;
  virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 desc) = 0;
  virtual HRESULT IsLost() = 0;
  // Only a null rectangle (the whole surface) is supported.
  virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC2 desc, DWORD flags, HANDLE event) = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT SetClipper(LPDIRECTDRAWCLIPPER clipper) = 0;
  virtual HRESULT SetColorKey(DWORD flags, LPDDCOLORKEY key) = 0;
  virtual HRESULT Unlock(LPRECT rect) = 0;
  virtual HRESULT GetDDInterface(LPVOID* directDraw) = 0;
};

class IDirectDraw7 : public IUnknown {
 public:
  static constexpr const GUID& kInterfaceId = IID_IDirectDraw7;
  virtual HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) = 0;
  virtual HRESULT CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* surface, IUnknown* outer) = 0;
  virtual HRESULT EnumDisplayModes(DWORD flags, LPDDSURFACEDESC2 templateDesc, LPVOID context,
                                   LPDDENUMMODESCALLBACK2 callback) = 0;
  virtual HRESULT EnumSurfaces(DWORD flags, LPDDSURFACEDESC2 desc, LPVOID context,
                               LPDDENUMSURFACESCALLBACK7 callback) = 0;
  virtual HRESULT GetCaps(LPDDCAPS driverCaps, LPDDCAPS emulationCaps) = 0;
  virtual HRESULT GetDisplayMode(LPDDSURFACEDESC2 desc) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) = 0;
  virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
  virtual HRESULT GetAvailableVidMem(LPDDSCAPS2 caps, LPDWORD total, LPDWORD free) = 0;
  virtual HRESULT RestoreAllSurfaces() = 0;
  virtual HRESULT TestCooperativeLevel() = 0;
};

// Calls callback for each adapter: the primary display first (null GUID), then further displays.
HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD flags);

// Creates the DirectDraw object of an adapter (null GUID: the primary display); iid must be
// IID_IDirectDraw7. outer must be null.
HRESULT DirectDrawCreateEx(GUID* guid, LPVOID* directDraw, REFIID iid, IUnknown* outer);
