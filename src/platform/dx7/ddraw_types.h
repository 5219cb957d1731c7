// DirectDraw 7 records, flag constants, result codes and interface GUIDs.
// Declarations are our own; the numeric values are those of the platform.
#pragma once

#include "platform/win32/win32_types.h"

#ifndef WINAPI
#define WINAPI
#endif
#ifndef CALLBACK
#define CALLBACK
#endif

class IDirectDrawSurface7;

// ---------------------------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------------------------

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue;
  DWORD dwColorSpaceHighValue;
};
using LPDDCOLORKEY = DDCOLORKEY*;

struct DDSCAPS {
  DWORD dwCaps;
};
using LPDDSCAPS = DDSCAPS*;

struct DDSCAPS2 {
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCaps3;
  union {
    DWORD dwCaps4;
    DWORD dwVolumeDepth;
  };
};
using LPDDSCAPS2 = DDSCAPS2*;

struct DDPIXELFORMAT {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwFourCC;
  union {
    DWORD dwRGBBitCount;
    DWORD dwYUVBitCount;
    DWORD dwZBufferBitDepth;
    DWORD dwAlphaBitDepth;
    DWORD dwLuminanceBitCount;
    DWORD dwBumpBitCount;
    DWORD dwPrivateFormatBitCount;
  };
  union {
    DWORD dwRBitMask;
    DWORD dwYBitMask;
    DWORD dwStencilBitDepth;
    DWORD dwLuminanceBitMask;
    DWORD dwBumpDuBitMask;
    DWORD dwOperations;
  };
  union {
    DWORD dwGBitMask;
    DWORD dwUBitMask;
    DWORD dwZBitMask;
    DWORD dwBumpDvBitMask;
  };
  union {
    DWORD dwBBitMask;
    DWORD dwVBitMask;
    DWORD dwStencilBitMask;
    DWORD dwBumpLuminanceBitMask;
  };
  union {
    DWORD dwRGBAlphaBitMask;
    DWORD dwYUVAlphaBitMask;
    DWORD dwLuminanceAlphaBitMask;
    DWORD dwRGBZBitMask;
    DWORD dwYUVZBitMask;
  };
};
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

// Surface description. lpSurface is a real pointer (64 bits on 64-bit machines).
struct DDSURFACEDESC2 {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwHeight;
  DWORD dwWidth;
  union {
    LONG lPitch;
    DWORD dwLinearSize;
  };
  union {
    DWORD dwBackBufferCount;
    DWORD dwDepth;
  };
  union {
    DWORD dwMipMapCount;
    DWORD dwRefreshRate;
    DWORD dwSrcVBHandle;
  };
  DWORD dwAlphaBitDepth;
  DWORD dwReserved;
  LPVOID lpSurface;
  union {
    DDCOLORKEY ddckCKDestOverlay;
    DWORD dwEmptyFaceColor;
  };
  DDCOLORKEY ddckCKDestBlt;
  DDCOLORKEY ddckCKSrcOverlay;
  DDCOLORKEY ddckCKSrcBlt;
  union {
    DDPIXELFORMAT ddpfPixelFormat;
    DWORD dwFVF;
  };
  DDSCAPS2 ddsCaps;
  DWORD dwTextureStage;
};
using LPDDSURFACEDESC2 = DDSURFACEDESC2*;

struct DDBLTFX {
  DWORD dwSize;
  DWORD dwDDFX;
  DWORD dwROP;
  DWORD dwDDROP;
  DWORD dwRotationAngle;
  DWORD dwZBufferOpCode;
  DWORD dwZBufferLow;
  DWORD dwZBufferHigh;
  DWORD dwZBufferBaseDest;
  DWORD dwZDestConstBitDepth;
  union {
    DWORD dwZDestConst;
    IDirectDrawSurface7* lpDDSZBufferDest;
  };
  DWORD dwZSrcConstBitDepth;
  union {
    DWORD dwZSrcConst;
    IDirectDrawSurface7* lpDDSZBufferSrc;
  };
  DWORD dwAlphaEdgeBlendBitDepth;
  DWORD dwAlphaEdgeBlend;
  DWORD dwReserved;
  DWORD dwAlphaDestConstBitDepth;
  union {
    DWORD dwAlphaDestConst;
    IDirectDrawSurface7* lpDDSAlphaDest;
  };
  DWORD dwAlphaSrcConstBitDepth;
  union {
    DWORD dwAlphaSrcConst;
    IDirectDrawSurface7* lpDDSAlphaSrc;
  };
  union {
    DWORD dwFillColor;
    DWORD dwFillDepth;
    DWORD dwFillPixel;
    IDirectDrawSurface7* lpDDSPattern;
  };
  DDCOLORKEY ddckDestColorkey;
  DDCOLORKEY ddckSrcColorkey;
};
using LPDDBLTFX = DDBLTFX*;

// Driver capabilities (the DirectX 7 layout).
struct DDCAPS {
  DWORD dwSize;
  DWORD dwCaps;
  DWORD dwCaps2;
  DWORD dwCKeyCaps;
  DWORD dwFXCaps;
  DWORD dwFXAlphaCaps;
  DWORD dwPalCaps;
  DWORD dwSVCaps;
  DWORD dwAlphaBltConstBitDepths;
  DWORD dwAlphaBltPixelBitDepths;
  DWORD dwAlphaBltSurfaceBitDepths;
  DWORD dwAlphaOverlayConstBitDepths;
  DWORD dwAlphaOverlayPixelBitDepths;
  DWORD dwAlphaOverlaySurfaceBitDepths;
  DWORD dwZBufferBitDepths;
  DWORD dwVidMemTotal;
  DWORD dwVidMemFree;
  DWORD dwMaxVisibleOverlays;
  DWORD dwCurrVisibleOverlays;
  DWORD dwNumFourCCCodes;
  DWORD dwAlignBoundarySrc;
  DWORD dwAlignSizeSrc;
  DWORD dwAlignBoundaryDest;
  DWORD dwAlignSizeDest;
  DWORD dwAlignStrideAlign;
  DWORD dwRops[8];
  DDSCAPS ddsOldCaps;
  DWORD dwMinOverlayStretch;
  DWORD dwMaxOverlayStretch;
  DWORD dwMinLiveVideoStretch;
  DWORD dwMaxLiveVideoStretch;
  DWORD dwMinHwCodecStretch;
  DWORD dwMaxHwCodecStretch;
  DWORD dwReserved1;
  DWORD dwReserved2;
  DWORD dwReserved3;
  DWORD dwSVBCaps;
  DWORD dwSVBCKeyCaps;
  DWORD dwSVBFXCaps;
  DWORD dwSVBRops[8];
  DWORD dwVSBCaps;
  DWORD dwVSBCKeyCaps;
  DWORD dwVSBFXCaps;
  DWORD dwVSBRops[8];
  DWORD dwSSBCaps;
  DWORD dwSSBCKeyCaps;
  DWORD dwSSBFXCaps;
  DWORD dwSSBRops[8];
  DWORD dwMaxVideoPorts;
  DWORD dwCurrVideoPorts;
  DWORD dwSVBCaps2;
  DWORD dwNLVBCaps;
  DWORD dwNLVBCaps2;
  DWORD dwNLVBCKeyCaps;
  DWORD dwNLVBFXCaps;
  DWORD dwNLVBRops[8];
  DDSCAPS2 ddsCaps;
};
using LPDDCAPS = DDCAPS*;

// DDCAPS.dwCaps (subset)
constexpr DWORD DDCAPS_3D = 0x1;
constexpr DWORD DDCAPS_BLT = 0x40;
constexpr DWORD DDCAPS_BLTCOLORFILL = 0x04000000;
constexpr DWORD DDCAPS_BLTSTRETCH = 0x00000200;
constexpr DWORD DDCAPS_COLORKEY = 0x00400000;
constexpr DWORD DDCAPS_ZBLTS = 0x00100000;
// DDCAPS.dwCKeyCaps (subset)
constexpr DWORD DDCKEYCAPS_DESTBLT = 0x00000001;
constexpr DWORD DDCKEYCAPS_SRCBLT = 0x00000200;

// DDSCAPS2.dwCaps
constexpr DWORD DDSCAPS_RESERVED1 = 0x1;
constexpr DWORD DDSCAPS_ALPHA = 0x2;
constexpr DWORD DDSCAPS_BACKBUFFER = 0x4;
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_FLIP = 0x10;
constexpr DWORD DDSCAPS_FRONTBUFFER = 0x20;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_OVERLAY = 0x80;
constexpr DWORD DDSCAPS_PALETTE = 0x100;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_PRIMARYSURFACELEFT = 0x400;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_VISIBLE = 0x8000;
constexpr DWORD DDSCAPS_WRITEONLY = 0x00010000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x00020000;
constexpr DWORD DDSCAPS_OWNDC = 0x00040000;
constexpr DWORD DDSCAPS_LIVEVIDEO = 0x00080000;
constexpr DWORD DDSCAPS_HWCODEC = 0x00100000;
constexpr DWORD DDSCAPS_MODEX = 0x00200000;
constexpr DWORD DDSCAPS_MIPMAP = 0x00400000;
constexpr DWORD DDSCAPS_RESERVED2 = 0x00800000;
constexpr DWORD DDSCAPS_ALLOCONLOAD = 0x04000000;
constexpr DWORD DDSCAPS_VIDEOPORT = 0x08000000;
constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr DWORD DDSCAPS_NONLOCALVIDMEM = 0x20000000;
constexpr DWORD DDSCAPS_STANDARDVGAMODE = 0x40000000;
constexpr DWORD DDSCAPS_OPTIMIZED = 0x80000000;

// DDSCAPS2.dwCaps2
constexpr DWORD DDSCAPS2_HINTDYNAMIC = 0x4;
constexpr DWORD DDSCAPS2_HINTSTATIC = 0x8;
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;
constexpr DWORD DDSCAPS2_CUBEMAP = 0x200;
constexpr DWORD DDSCAPS2_MIPMAPSUBLEVEL = 0x00010000;
constexpr DWORD DDSCAPS2_D3DTEXTUREMANAGE = 0x00020000;

// DDSURFACEDESC2.dwFlags
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x20;
constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x40;
constexpr DWORD DDSD_ALPHABITDEPTH = 0x80;
constexpr DWORD DDSD_LPSURFACE = 0x800;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_CKDESTOVERLAY = 0x2000;
constexpr DWORD DDSD_CKDESTBLT = 0x4000;
constexpr DWORD DDSD_CKSRCOVERLAY = 0x8000;
constexpr DWORD DDSD_CKSRCBLT = 0x00010000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x00020000;
constexpr DWORD DDSD_REFRESHRATE = 0x00040000;
constexpr DWORD DDSD_LINEARSIZE = 0x00080000;
constexpr DWORD DDSD_TEXTURESTAGE = 0x00100000;
constexpr DWORD DDSD_FVF = 0x00200000;
constexpr DWORD DDSD_SRCVBHANDLE = 0x00400000;
constexpr DWORD DDSD_DEPTH = 0x00800000;
constexpr DWORD DDSD_ALL = 0x00FFF9EE;

// DDPIXELFORMAT.dwFlags
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_ALPHA = 0x2;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED4 = 0x8;
constexpr DWORD DDPF_PALETTEINDEXEDTO8 = 0x10;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_COMPRESSED = 0x80;
constexpr DWORD DDPF_RGBTOYUV = 0x100;
constexpr DWORD DDPF_YUV = 0x200;
constexpr DWORD DDPF_ZBUFFER = 0x400;
constexpr DWORD DDPF_PALETTEINDEXED1 = 0x800;
constexpr DWORD DDPF_PALETTEINDEXED2 = 0x1000;
constexpr DWORD DDPF_ZPIXELS = 0x2000;
constexpr DWORD DDPF_STENCILBUFFER = 0x4000;
constexpr DWORD DDPF_ALPHAPREMULT = 0x8000;
constexpr DWORD DDPF_LUMINANCE = 0x00020000;
constexpr DWORD DDPF_BUMPLUMINANCE = 0x00040000;
constexpr DWORD DDPF_BUMPDUDV = 0x00080000;

// Lock flags
constexpr DWORD DDLOCK_SURFACEMEMORYPTR = 0x0;
constexpr DWORD DDLOCK_WAIT = 0x1;
constexpr DWORD DDLOCK_EVENT = 0x2;
constexpr DWORD DDLOCK_READONLY = 0x10;
constexpr DWORD DDLOCK_WRITEONLY = 0x20;
constexpr DWORD DDLOCK_NOSYSLOCK = 0x800;
constexpr DWORD DDLOCK_NOOVERWRITE = 0x1000;
constexpr DWORD DDLOCK_DISCARDCONTENTS = 0x2000;
constexpr DWORD DDLOCK_OKTOSWAP = 0x2000;
constexpr DWORD DDLOCK_DONOTWAIT = 0x4000;
constexpr DWORD DDLOCK_HASVOLUMETEXTUREBOXRECT = 0x8000;
constexpr DWORD DDLOCK_NODIRTYUPDATE = 0x00010000;

// Blt flags
constexpr DWORD DDBLT_ALPHADEST = 0x1;
constexpr DWORD DDBLT_ALPHADESTCONSTOVERRIDE = 0x2;
constexpr DWORD DDBLT_ALPHADESTNEG = 0x4;
constexpr DWORD DDBLT_ALPHADESTSURFACEOVERRIDE = 0x8;
constexpr DWORD DDBLT_ALPHAEDGEBLEND = 0x10;
constexpr DWORD DDBLT_ALPHASRC = 0x20;
constexpr DWORD DDBLT_ALPHASRCCONSTOVERRIDE = 0x40;
constexpr DWORD DDBLT_ALPHASRCNEG = 0x80;
constexpr DWORD DDBLT_ALPHASRCSURFACEOVERRIDE = 0x100;
constexpr DWORD DDBLT_ASYNC = 0x200;
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_DDFX = 0x800;
constexpr DWORD DDBLT_DDROPS = 0x1000;
constexpr DWORD DDBLT_KEYDEST = 0x2000;
constexpr DWORD DDBLT_KEYDESTOVERRIDE = 0x4000;
constexpr DWORD DDBLT_KEYSRC = 0x8000;
constexpr DWORD DDBLT_KEYSRCOVERRIDE = 0x00010000;
constexpr DWORD DDBLT_ROP = 0x00020000;
constexpr DWORD DDBLT_ROTATIONANGLE = 0x00040000;
constexpr DWORD DDBLT_ZBUFFER = 0x00080000;
constexpr DWORD DDBLT_ZBUFFERDESTCONSTOVERRIDE = 0x00100000;
constexpr DWORD DDBLT_ZBUFFERDESTOVERRIDE = 0x00200000;
constexpr DWORD DDBLT_ZBUFFERSRCCONSTOVERRIDE = 0x00400000;
constexpr DWORD DDBLT_ZBUFFERSRCOVERRIDE = 0x00800000;
constexpr DWORD DDBLT_WAIT = 0x01000000;
constexpr DWORD DDBLT_DEPTHFILL = 0x02000000;
constexpr DWORD DDBLT_DONOTWAIT = 0x08000000;

// BltFast flags
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_DESTCOLORKEY = 0x2;
constexpr DWORD DDBLTFAST_WAIT = 0x10;
constexpr DWORD DDBLTFAST_DONOTWAIT = 0x20;

// Flip flags
constexpr DWORD DDFLIP_WAIT = 0x1;
constexpr DWORD DDFLIP_EVEN = 0x2;
constexpr DWORD DDFLIP_ODD = 0x4;
constexpr DWORD DDFLIP_NOVSYNC = 0x8;
constexpr DWORD DDFLIP_STEREO = 0x10;
constexpr DWORD DDFLIP_DONOTWAIT = 0x20;
constexpr DWORD DDFLIP_INTERVAL2 = 0x02000000;
constexpr DWORD DDFLIP_INTERVAL3 = 0x03000000;
constexpr DWORD DDFLIP_INTERVAL4 = 0x04000000;

// SetCooperativeLevel flags
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x4;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_EXCLUSIVE = 0x10;
constexpr DWORD DDSCL_ALLOWMODEX = 0x40;
constexpr DWORD DDSCL_SETFOCUSWINDOW = 0x80;
constexpr DWORD DDSCL_SETDEVICEWINDOW = 0x100;
constexpr DWORD DDSCL_CREATEDEVICEWINDOW = 0x200;
constexpr DWORD DDSCL_MULTITHREADED = 0x400;
constexpr DWORD DDSCL_FPUSETUP = 0x800;
constexpr DWORD DDSCL_FPUPRESERVE = 0x1000;

// Enumeration flags and callback results
constexpr HRESULT DDENUMRET_CANCEL = 0x0;
constexpr HRESULT DDENUMRET_OK = 0x1;
constexpr DWORD DDENUMSURFACES_ALL = 0x1;
constexpr DWORD DDENUMSURFACES_MATCH = 0x2;
constexpr DWORD DDENUMSURFACES_NOMATCH = 0x4;
constexpr DWORD DDENUMSURFACES_CANBECREATED = 0x8;
constexpr DWORD DDENUMSURFACES_DOESEXIST = 0x10;
constexpr DWORD DDEDM_REFRESHRATES = 0x1;
constexpr DWORD DDEDM_STANDARDVGAMODES = 0x2;
constexpr DWORD DDENUM_ATTACHEDSECONDARYDEVICES = 0x1;
constexpr DWORD DDENUM_DETACHEDSECONDARYDEVICES = 0x2;
constexpr DWORD DDENUM_NONDISPLAYDEVICES = 0x4;

// SetColorKey flags
constexpr DWORD DDCKEY_COLORSPACE = 0x1;
constexpr DWORD DDCKEY_DESTBLT = 0x2;
constexpr DWORD DDCKEY_DESTOVERLAY = 0x4;
constexpr DWORD DDCKEY_SRCBLT = 0x8;
constexpr DWORD DDCKEY_SRCOVERLAY = 0x10;

// WaitForVerticalBlank flags
constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x1;
constexpr DWORD DDWAITVB_BLOCKBEGINEVENT = 0x2;
constexpr DWORD DDWAITVB_BLOCKEND = 0x4;

// ---------------------------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------------------------

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DD_FALSE = S_FALSE;
constexpr HRESULT DDERR_ALREADYINITIALIZED = static_cast<HRESULT>(0x88760005u);
constexpr HRESULT DDERR_CANNOTATTACHSURFACE = static_cast<HRESULT>(0x8876000Au);
constexpr HRESULT DDERR_CANNOTDETACHSURFACE = static_cast<HRESULT>(0x88760014u);
constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = static_cast<HRESULT>(0x88760028u);
constexpr HRESULT DDERR_EXCEPTION = static_cast<HRESULT>(0x88760037u);
constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT DDERR_HEIGHTALIGN = static_cast<HRESULT>(0x8876005Au);
constexpr HRESULT DDERR_INCOMPATIBLEPRIMARY = static_cast<HRESULT>(0x8876005Fu);
constexpr HRESULT DDERR_INVALIDCAPS = static_cast<HRESULT>(0x88760064u);
constexpr HRESULT DDERR_INVALIDCLIPLIST = static_cast<HRESULT>(0x8876006Eu);
constexpr HRESULT DDERR_INVALIDMODE = static_cast<HRESULT>(0x88760078u);
constexpr HRESULT DDERR_INVALIDOBJECT = static_cast<HRESULT>(0x88760082u);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
constexpr HRESULT DDERR_LOCKEDSURFACES = static_cast<HRESULT>(0x887600A0u);
constexpr HRESULT DDERR_NO3D = static_cast<HRESULT>(0x887600AAu);
constexpr HRESULT DDERR_NOALPHAHW = static_cast<HRESULT>(0x887600B4u);
constexpr HRESULT DDERR_NOSTEREOHARDWARE = static_cast<HRESULT>(0x887600B5u);
constexpr HRESULT DDERR_NOSURFACELEFT = static_cast<HRESULT>(0x887600B6u);
constexpr HRESULT DDERR_NOCLIPLIST = static_cast<HRESULT>(0x887600CDu);
constexpr HRESULT DDERR_NOCOLORCONVHW = static_cast<HRESULT>(0x887600D2u);
constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = static_cast<HRESULT>(0x887600D4u);
constexpr HRESULT DDERR_NOCOLORKEY = static_cast<HRESULT>(0x887600D7u);
constexpr HRESULT DDERR_NOCOLORKEYHW = static_cast<HRESULT>(0x887600DCu);
constexpr HRESULT DDERR_NODIRECTDRAWSUPPORT = static_cast<HRESULT>(0x887600DEu);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = static_cast<HRESULT>(0x887600E1u);
constexpr HRESULT DDERR_NOFLIPHW = static_cast<HRESULT>(0x887600E6u);
constexpr HRESULT DDERR_NOGDI = static_cast<HRESULT>(0x887600F0u);
constexpr HRESULT DDERR_NOMIRRORHW = static_cast<HRESULT>(0x887600FAu);
constexpr HRESULT DDERR_NOTFOUND = static_cast<HRESULT>(0x887600FFu);
constexpr HRESULT DDERR_NOOVERLAYHW = static_cast<HRESULT>(0x88760104u);
constexpr HRESULT DDERR_OVERLAPPINGRECTS = static_cast<HRESULT>(0x8876010Eu);
constexpr HRESULT DDERR_NORASTEROPHW = static_cast<HRESULT>(0x88760118u);
constexpr HRESULT DDERR_NOROTATIONHW = static_cast<HRESULT>(0x88760122u);
constexpr HRESULT DDERR_NOSTRETCHHW = static_cast<HRESULT>(0x88760136u);
constexpr HRESULT DDERR_NOT4BITCOLOR = static_cast<HRESULT>(0x8876013Cu);
constexpr HRESULT DDERR_NOT4BITCOLORINDEX = static_cast<HRESULT>(0x8876013Du);
constexpr HRESULT DDERR_NOT8BITCOLOR = static_cast<HRESULT>(0x88760140u);
constexpr HRESULT DDERR_NOTEXTUREHW = static_cast<HRESULT>(0x8876014Au);
constexpr HRESULT DDERR_NOVSYNCHW = static_cast<HRESULT>(0x8876014Fu);
constexpr HRESULT DDERR_NOZBUFFERHW = static_cast<HRESULT>(0x88760154u);
constexpr HRESULT DDERR_NOZOVERLAYHW = static_cast<HRESULT>(0x8876015Eu);
constexpr HRESULT DDERR_OUTOFCAPS = static_cast<HRESULT>(0x88760168u);
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT DDERR_OVERLAYCANTCLIP = static_cast<HRESULT>(0x8876017Eu);
constexpr HRESULT DDERR_OVERLAYCOLORKEYONLYONEACTIVE = static_cast<HRESULT>(0x88760180u);
constexpr HRESULT DDERR_PALETTEBUSY = static_cast<HRESULT>(0x88760183u);
constexpr HRESULT DDERR_COLORKEYNOTSET = static_cast<HRESULT>(0x88760190u);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = static_cast<HRESULT>(0x8876019Au);
constexpr HRESULT DDERR_SURFACEALREADYDEPENDENT = static_cast<HRESULT>(0x887601A4u);
constexpr HRESULT DDERR_SURFACEBUSY = static_cast<HRESULT>(0x887601AEu);
constexpr HRESULT DDERR_CANTLOCKSURFACE = static_cast<HRESULT>(0x887601B3u);
constexpr HRESULT DDERR_SURFACEISOBSCURED = static_cast<HRESULT>(0x887601B8u);
constexpr HRESULT DDERR_SURFACELOST = static_cast<HRESULT>(0x887601C2u);
constexpr HRESULT DDERR_SURFACENOTATTACHED = static_cast<HRESULT>(0x887601CCu);
constexpr HRESULT DDERR_TOOBIGHEIGHT = static_cast<HRESULT>(0x887601D6u);
constexpr HRESULT DDERR_TOOBIGSIZE = static_cast<HRESULT>(0x887601E0u);
constexpr HRESULT DDERR_TOOBIGWIDTH = static_cast<HRESULT>(0x887601EAu);
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_UNSUPPORTEDFORMAT = static_cast<HRESULT>(0x887601FEu);
constexpr HRESULT DDERR_UNSUPPORTEDMASK = static_cast<HRESULT>(0x88760208u);
constexpr HRESULT DDERR_INVALIDSTREAM = static_cast<HRESULT>(0x88760209u);
constexpr HRESULT DDERR_VERTICALBLANKINPROGRESS = static_cast<HRESULT>(0x88760219u);
constexpr HRESULT DDERR_WASSTILLDRAWING = static_cast<HRESULT>(0x8876021Cu);
constexpr HRESULT DDERR_DDSCAPSCOMPLEXREQUIRED = static_cast<HRESULT>(0x8876021Eu);
constexpr HRESULT DDERR_XALIGN = static_cast<HRESULT>(0x88760230u);
constexpr HRESULT DDERR_INVALIDDIRECTDRAWGUID = static_cast<HRESULT>(0x88760231u);
constexpr HRESULT DDERR_DIRECTDRAWALREADYCREATED = static_cast<HRESULT>(0x88760232u);
constexpr HRESULT DDERR_NODIRECTDRAWHW = static_cast<HRESULT>(0x88760233u);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = static_cast<HRESULT>(0x88760234u);
constexpr HRESULT DDERR_NOEMULATION = static_cast<HRESULT>(0x88760235u);
constexpr HRESULT DDERR_REGIONTOOSMALL = static_cast<HRESULT>(0x88760236u);
constexpr HRESULT DDERR_CLIPPERISUSINGHWND = static_cast<HRESULT>(0x88760237u);
constexpr HRESULT DDERR_NOCLIPPERATTACHED = static_cast<HRESULT>(0x88760238u);
constexpr HRESULT DDERR_NOHWND = static_cast<HRESULT>(0x88760239u);
constexpr HRESULT DDERR_HWNDSUBCLASSED = static_cast<HRESULT>(0x8876023Au);
constexpr HRESULT DDERR_HWNDALREADYSET = static_cast<HRESULT>(0x8876023Bu);
constexpr HRESULT DDERR_NOPALETTEATTACHED = static_cast<HRESULT>(0x8876023Cu);
constexpr HRESULT DDERR_NOPALETTEHW = static_cast<HRESULT>(0x8876023Du);
constexpr HRESULT DDERR_BLTFASTCANTCLIP = static_cast<HRESULT>(0x8876023Eu);
constexpr HRESULT DDERR_NOBLTHW = static_cast<HRESULT>(0x8876023Fu);
constexpr HRESULT DDERR_NODDROPSHW = static_cast<HRESULT>(0x88760240u);
constexpr HRESULT DDERR_OVERLAYNOTVISIBLE = static_cast<HRESULT>(0x88760241u);
constexpr HRESULT DDERR_NOOVERLAYDEST = static_cast<HRESULT>(0x88760242u);
constexpr HRESULT DDERR_INVALIDPOSITION = static_cast<HRESULT>(0x88760243u);
constexpr HRESULT DDERR_NOTAOVERLAYSURFACE = static_cast<HRESULT>(0x88760244u);
constexpr HRESULT DDERR_EXCLUSIVEMODEALREADYSET = static_cast<HRESULT>(0x88760245u);
constexpr HRESULT DDERR_NOTFLIPPABLE = static_cast<HRESULT>(0x88760246u);
constexpr HRESULT DDERR_CANTDUPLICATE = static_cast<HRESULT>(0x88760247u);
constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x88760248u);
constexpr HRESULT DDERR_CANTCREATEDC = static_cast<HRESULT>(0x88760249u);
constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x8876024Au);
constexpr HRESULT DDERR_WRONGMODE = static_cast<HRESULT>(0x8876024Bu);
constexpr HRESULT DDERR_IMPLICITLYCREATED = static_cast<HRESULT>(0x8876024Cu);
constexpr HRESULT DDERR_NOTPALETTIZED = static_cast<HRESULT>(0x8876024Du);
constexpr HRESULT DDERR_UNSUPPORTEDMODE = static_cast<HRESULT>(0x8876024Eu);
constexpr HRESULT DDERR_NOMIPMAPHW = static_cast<HRESULT>(0x8876024Fu);
constexpr HRESULT DDERR_INVALIDSURFACETYPE = static_cast<HRESULT>(0x88760250u);
constexpr HRESULT DDERR_NOOPTIMIZEHW = static_cast<HRESULT>(0x88760258u);
constexpr HRESULT DDERR_NOTLOADED = static_cast<HRESULT>(0x88760259u);
constexpr HRESULT DDERR_NOFOCUSWINDOW = static_cast<HRESULT>(0x8876025Au);
constexpr HRESULT DDERR_NOTONMIPMAPSUBLEVEL = static_cast<HRESULT>(0x8876025Bu);
constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026Cu);
constexpr HRESULT DDERR_NONONLOCALVIDMEM = static_cast<HRESULT>(0x88760276u);
constexpr HRESULT DDERR_CANTPAGELOCK = static_cast<HRESULT>(0x88760280u);
constexpr HRESULT DDERR_CANTPAGEUNLOCK = static_cast<HRESULT>(0x88760294u);
constexpr HRESULT DDERR_NOTPAGELOCKED = static_cast<HRESULT>(0x887602A8u);
constexpr HRESULT DDERR_MOREDATA = static_cast<HRESULT>(0x887602B2u);
constexpr HRESULT DDERR_EXPIRED = static_cast<HRESULT>(0x887602B3u);
constexpr HRESULT DDERR_TESTFINISHED = static_cast<HRESULT>(0x887602B4u);
constexpr HRESULT DDERR_NEWMODE = static_cast<HRESULT>(0x887602B5u);
constexpr HRESULT DDERR_D3DNOTINITIALIZED = static_cast<HRESULT>(0x887602B6u);
constexpr HRESULT DDERR_VIDEONOTACTIVE = static_cast<HRESULT>(0x887602B7u);
constexpr HRESULT DDERR_NOMONITORINFORMATION = static_cast<HRESULT>(0x887602B8u);
constexpr HRESULT DDERR_NODRIVERSUPPORT = static_cast<HRESULT>(0x887602B9u);
constexpr HRESULT DDERR_DEVICEDOESNTOWNSURFACE = static_cast<HRESULT>(0x887602BBu);
constexpr HRESULT DDERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);

// ---------------------------------------------------------------------------------------------
// Interface GUIDs
// ---------------------------------------------------------------------------------------------

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
inline constexpr GUID IID_IDirectDrawSurface7 = {
    0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
inline constexpr GUID IID_IDirectDrawClipper = {
    0x6c14db85, 0xa733, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
