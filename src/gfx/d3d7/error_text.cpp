// Table of DirectDraw result codes and their published descriptions.
#include "gfx/d3d7/error_text.h"

#include <cstdio>

namespace {

// DirectDraw results are built as severity | facility 0x876 | code.
constexpr HRESULT ddResult(unsigned code) { return static_cast<HRESULT>(0x88760000u | code); }
constexpr HRESULT kComNotInitialized = static_cast<HRESULT>(0x800401F0u);

struct ErrorEntry {
  HRESULT code;
  const char* text;
};

constexpr ErrorEntry kErrors[] = {
    {0, "The request completed successfully."},
    {ddResult(5), "The object has already been initialized."},  // ALREADYINITIALIZED
    {ddResult(574),                                             // BLTFASTCANTCLIP
     "A DirectDrawClipper object is attached to a source surface that has passed into a call to the "
     "IDirectDrawSurface7::BltFast method."},
    {ddResult(10), "A surface cannot be attached to another requested surface."},    // CANNOTATTACHSURFACE
    {ddResult(20), "A surface cannot be detached from another requested surface."},  // CANNOTDETACHSURFACE
    {ddResult(585),                                                                  // CANTCREATEDC
     "Windows cannot create any more device contexts (DCs), or a DC has requested a palette-indexed surface "
     "when the surface had no palette and the display mode was not palette-indexed (in this case DirectDraw "
     "cannot select a proper palette into the DC)."},
    {ddResult(583),  // CANTDUPLICATE
     "Primary and 3-D surfaces, or surfaces that are implicitly created, cannot be duplicated."},
    {ddResult(435),  // CANTLOCKSURFACE
     "Access to this surface is refused because an attempt was made to lock the primary surface without DCI "
     "support."},
    {ddResult(640),  // CANTPAGELOCK
     "An attempt to page-lock a surface failed. Page lock does not work on a display-memory surface or an "
     "emulated primary surface."},
    {ddResult(660),  // CANTPAGEUNLOCK
     "An attempt to page-unlock a surface failed. Page unlock does not work on a display-memory surface or an "
     "emulated primary surface."},
    {ddResult(567),  // CLIPPERISUSINGHWND
     "An attempt was made to set a clip list for a DirectDrawClipper object that is already monitoring a "
     "window handle."},
    {ddResult(400), "No source color key is specified for this operation."},                 // COLORKEYNOTSET
    {ddResult(40), "No support is currently available."},                                    // CURRENTLYNOTAVAIL
    {ddResult(542), "New for DirectX 7.0. The surface requires the DDSCAPS_COMPLEX flag."},  // DDSCAPSCOMPLEXREQUIRED
    {ddResult(620),                                                                          // DCALREADYCREATED
     "A device context (DC) has already been returned for this surface. Only one DC can be retrieved for "
     "each surface."},
    {ddResult(699),  // DEVICEDOESNTOWNSURFACE
     "Surfaces created by one DirectDraw device cannot be used directly by another DirectDraw device."},
    {ddResult(562),  // DIRECTDRAWALREADYCREATED
     "A DirectDraw object representing this driver has already been created for this process."},
    {ddResult(55), "An exception was encountered while performing the requested operation."},  // EXCEPTION
    {ddResult(581),  // EXCLUSIVEMODEALREADYSET
     "An attempt was made to set the cooperative level when it was already set to exclusive."},
    {ddResult(691), "The data has expired and is therefore no longer valid."},  // EXPIRED
    {E_FAIL, "There is an undefined error condition."},                         // GENERIC
    {ddResult(90),                                                              // HEIGHTALIGN
     "The height of the provided rectangle is not a multiple of the required alignment."},
    {ddResult(571),  // HWNDALREADYSET
     "The DirectDraw cooperative-level window handle has already been set. It cannot be reset while the "
     "process has surfaces or palettes created."},
    {ddResult(570),  // HWNDSUBCLASSED
     "DirectDraw is prevented from restoring state because the DirectDraw cooperative-level window handle "
     "has been subclassed."},
    {ddResult(588),  // IMPLICITLYCREATED
     "The surface cannot be restored because it is an implicitly created surface."},
    {ddResult(95),  // INCOMPATIBLEPRIMARY
     "The primary surface creation request does not match the existing primary surface."},
    {ddResult(100),  // INVALIDCAPS
     "One or more of the capability bits passed to the callback function are incorrect."},
    {ddResult(110), "DirectDraw does not support the provided clip list."},  // INVALIDCLIPLIST
    {ddResult(561),                                                          // INVALIDDIRECTDRAWGUID
     "The globally unique identifier (GUID) passed to the DirectDrawCreate function is not a valid "
     "DirectDraw driver identifier."},
    {ddResult(120), "DirectDraw does not support the requested mode."},  // INVALIDMODE
    {ddResult(130),                                                      // INVALIDOBJECT
     "DirectDraw received a pointer that was an invalid DirectDraw object."},
    {E_INVALIDARG, "One or more of the parameters passed to the method are incorrect."},    // INVALIDPARAMS
    {ddResult(145), "The pixel format was invalid as specified."},                          // INVALIDPIXELFORMAT
    {ddResult(579), "The position of the overlay on the destination is no longer legal."},  // INVALIDPOSITION
    {ddResult(150), "The provided rectangle was invalid."},                                 // INVALIDRECT
    {ddResult(521), "The specified stream contains invalid data."},                         // INVALIDSTREAM
    {ddResult(592), "The surface was of the wrong type."},                                  // INVALIDSURFACETYPE
    {ddResult(160), "One or more surfaces are locked, preventing the operation."},          // LOCKEDSURFACES
    {ddResult(690),                                                                         // MOREDATA
     "There is more data available than the specified buffer size can hold."},
    {ddResult(693),  // NEWMODE
     "New for DirectX 7.0. When IDirectDraw7::StartModeTest is called with the DDSMT_ISTESTREQUIRED flag, it "
     "may return this value to denote that some or all of the resolutions can and should be tested. "
     "IDirectDraw7::EvaluateMode returns this value to indicate that the test has switched to a new display "
     "mode."},
    {ddResult(170), "No 3-D hardware or emulation is present."},  // NO3D
    {ddResult(180),                                               // NOALPHAHW
     "No alpha-acceleration hardware is present or available, causing the failure of the requested "
     "operation."},
    {ddResult(575), "No blitter hardware is present."},                                 // NOBLTHW
    {ddResult(205), "No clip list is available."},                                      // NOCLIPLIST
    {ddResult(568), "No DirectDrawClipper object is attached to the surface object."},  // NOCLIPPERATTACHED
    {ddResult(210), "No color-conversion hardware is present or available."},           // NOCOLORCONVHW
    {ddResult(215), "The surface does not currently have a color key."},                // NOCOLORKEY
    {ddResult(220), "There is no hardware support for the destination color key."},     // NOCOLORKEYHW
    {ddResult(212),                                                                     // NOCOOPERATIVELEVELSET
     "A create function was called without the IDirectDraw7::SetCooperativeLevel method."},
    {ddResult(586), "No device context (DC) has ever been created for this surface."},  // NODC
    {ddResult(576), "No DirectDraw raster-operation (ROP) hardware is available."},     // NODDROPSHW
    {ddResult(563),                                                                     // NODIRECTDRAWHW
     "Hardware-only DirectDraw object creation is not possible; the driver does not support any hardware."},
    {ddResult(222),  // NODIRECTDRAWSUPPORT
     "DirectDraw support is not possible with the current display driver."},
    {ddResult(697),  // NODRIVERSUPPORT
     "New for DirectX 7.0. Testing cannot proceed because the display adapter driver does not enumerate "
     "refresh rates."},
    {ddResult(565), "Software emulation is not available."},  // NOEMULATION
    {ddResult(225),                                           // NOEXCLUSIVEMODE
     "The operation requires the application to have exclusive mode, but the application does not have "
     "exclusive mode."},
    {ddResult(230), "Flipping visible surfaces is not supported."},  // NOFLIPHW
    {ddResult(602),                                                  // NOFOCUSWINDOW
     "An attempt was made to create or set a device window without first setting the focus window."},
    {ddResult(240), "No GDI is present."},  // NOGDI
    {ddResult(569),                         // NOHWND
     "Clipper notification requires a window handle, or no window handle has been previously set as the "
     "cooperative level window handle."},
    {ddResult(591), "No mipmap-capable texture mapping hardware is present or available."},  // NOMIPMAPHW
    {ddResult(250), "No mirroring hardware is present or available."},                       // NOMIRRORHW
    {ddResult(696),                                                                          // NOMONITORINFORMATION
     "New for DirectX 7.0. Testing cannot proceed because the monitor has no associated EDID data."},
    {ddResult(630),  // NONONLOCALVIDMEM
     "An attempt was made to allocate nonlocal video memory from a device that does not support nonlocal "
     "video memory."},
    {ddResult(600), "The device does not support optimized surfaces."},  // NOOPTIMIZEHW
    {ddResult(578),                                                      // NOOVERLAYDEST
     "The IDirectDrawSurface7::GetOverlayPosition method is called on an overlay that the "
     "IDirectDrawSurface7::UpdateOverlay method has not been called on to establish as a destination."},
    {ddResult(260), "No overlay hardware is present or available."},                       // NOOVERLAYHW
    {ddResult(572), "No palette object is attached to this surface."},                     // NOPALETTEATTACHED
    {ddResult(573), "There is no hardware support for 16- or 256-color palettes."},        // NOPALETTEHW
    {ddResult(280), "No appropriate raster-operation hardware is present or available."},  // NORASTEROPHW
    {ddResult(290), "No rotation hardware is present or available."},                      // NOROTATIONHW
    {ddResult(181), "There is no stereo hardware present or available."},                  // NOSTEREOHARDWARE
    {ddResult(310), "There is no hardware support for stretching."},                       // NOSTRETCHHW
    {ddResult(182), "There is no hardware present that supports stereo surfaces."},        // NOSURFACELEFT
    {ddResult(316),                                                                        // NOT4BITCOLOR
     "The DirectDrawSurface object is not using a 4-bit color palette, and the requested operation requires "
     "a 4-bit color palette."},
    {ddResult(317),  // NOT4BITCOLORINDEX
     "The DirectDrawSurface object is not using a 4-bit color index palette, and the requested operation "
     "requires a 4-bit color index palette."},
    {ddResult(320),  // NOT8BITCOLOR
     "The DirectDrawSurface object is not using an 8-bit color palette, and the requested operation requires "
     "an 8-bit color palette."},
    {ddResult(580), "An overlay component is called for a nonoverlay surface."},  // NOTAOVERLAYSURFACE
    {ddResult(330),                                                               // NOTEXTUREHW
     "The operation cannot be carried out because no texture-mapping hardware is present or available."},
    {ddResult(582), "An attempt was made to flip a surface that cannot be flipped."},  // NOTFLIPPABLE
    {ddResult(255), "The requested item was not found."},                              // NOTFOUND
    {kComNotInitialized,                                                               // NOTINITIALIZED
     "An attempt was made to call an interface method of a DirectDraw object created by CoCreateInstance "
     "before the object was initialized."},
    {ddResult(601),  // NOTLOADED
     "The surface is an optimized surface, but it has not yet been allocated any memory."},
    {ddResult(584), "An attempt was made to unlock a surface that was not locked."},  // NOTLOCKED
    {ddResult(680),                                                                   // NOTPAGELOCKED
     "An attempt was made to page-unlock a surface with no outstanding page locks."},
    {ddResult(589), "The surface being used is not a palette-based surface."},  // NOTPALETTIZED
    {ddResult(335),                                                             // NOVSYNCHW
     "There is no hardware support for vertical blank-synchronized operations."},
    {ddResult(340),  // NOZBUFFERHW
     "The operation to create a z-buffer in display memory or to perform a blit, using a z-buffer cannot be "
     "carried out because there is no hardware support for z-buffers."},
    {ddResult(350),  // NOZOVERLAYHW
     "The overlay surfaces cannot be z-layered, based on the z-order because the hardware does not support "
     "z-ordering of overlays."},
    {ddResult(360), "The hardware needed for the requested operation has already been allocated."},  // OUTOFCAPS
    {E_OUTOFMEMORY, "DirectDraw does not have enough memory to perform the operation."},             // OUTOFMEMORY
    {ddResult(380),                                                                                  // OUTOFVIDEOMEMORY
     "DirectDraw does not have enough display memory to perform the operation."},
    {ddResult(270),  // OVERLAPPINGRECTS
     "The source and destination rectangles are on the same surface and overlap each other."},
    {ddResult(382), "The hardware does not support clipped overlays."},  // OVERLAYCANTCLIP
    {ddResult(384),                                                      // OVERLAYCOLORKEYONLYONEACTIVE
     "An attempt was made to have more than one color key active on an overlay."},
    {ddResult(577),  // OVERLAYNOTVISIBLE
     "The IDirectDrawSurface7::GetOverlayPosition method was called on a hidden overlay."},
    {ddResult(387),  // PALETTEBUSY
     "Access to this palette is refused because the palette is locked by another thread."},
    {ddResult(564), "This process has already created a primary surface."},  // PRIMARYSURFACEALREADYEXISTS
    {ddResult(566),                                                          // REGIONTOOSMALL
     "The region passed to the IDirectDrawClipper::GetClipList method is too small."},
    {ddResult(410),  // SURFACEALREADYATTACHED
     "An attempt was made to attach a surface to another surface to which it is already attached."},
    {ddResult(420),  // SURFACEALREADYDEPENDENT
     "An attempt was made to make a surface a dependency of another surface on which it is already "
     "dependent."},
    {ddResult(430),  // SURFACEBUSY
     "Access to the surface is refused because the surface is locked by another thread."},
    {ddResult(440), "Access to the surface is refused because the surface is obscured."},  // SURFACEISOBSCURED
    {ddResult(450),                                                                        // SURFACELOST
     "Access to the surface is refused because the surface memory is gone. Call the "
     "IDirectDrawSurface7::Restore method on this surface to restore the memory associated with it."},
    {ddResult(460), "The requested surface is not attached."},  // SURFACENOTATTACHED
    {ddResult(692),                                             // TESTFINISHED
     "New for DirectX 7.0. When returned by the IDirectDraw7::StartModeTest method, this value means that no "
     "test could be initiated because all the resolutions chosen for testing already have refresh rate "
     "information in the registry. When returned by IDirectDraw7::EvaluateMode, the value means that "
     "DirectDraw has completed a refresh rate test."},
    {ddResult(470), "The height requested by DirectDraw is too large."},  // TOOBIGHEIGHT
    {ddResult(480),                                                       // TOOBIGSIZE
     "The size requested by DirectDraw is too large. However, the individual height and width are valid "
     "sizes."},
    {ddResult(490), "The width requested by DirectDraw is too large."},             // TOOBIGWIDTH
    {E_NOTIMPL, "The operation is not supported."},                                 // UNSUPPORTED
    {ddResult(510), "The pixel format requested is not supported by DirectDraw."},  // UNSUPPORTEDFORMAT
    {ddResult(520),                                                                 // UNSUPPORTEDMASK
     "The bitmask in the pixel format requested is not supported by DirectDraw."},
    {ddResult(590), "The display is currently in an unsupported mode."},  // UNSUPPORTEDMODE
    {ddResult(537), "A vertical blank is in progress."},                  // VERTICALBLANKINPROGRESS
    {ddResult(695), "The video port is not active."},                     // VIDEONOTACTIVE
    {ddResult(540),                                                       // WASSTILLDRAWING
     "The previous blit operation that is transferring information to or from this surface is incomplete."},
    {ddResult(587),  // WRONGMODE
     "This surface cannot be restored because it was created in a different mode."},
    {ddResult(560),  // XALIGN
     "The provided rectangle was not horizontally aligned on a required boundary."},
};

char errorBuffer[kErrorTextCapacity];

}  // namespace

const char* errorText(HRESULT code) {
  for (const ErrorEntry& entry : kErrors) {
    if (entry.code == code) {
      std::snprintf(errorBuffer, sizeof errorBuffer, "%s", entry.text);
      return errorBuffer;
    }
  }
  std::snprintf(errorBuffer, sizeof errorBuffer, "Unknown error: 0x%x", static_cast<unsigned>(code));
  return errorBuffer;
}

// Number of entries, for tests of the table's completeness.
int errorTextEntryCount() { return static_cast<int>(sizeof kErrors / sizeof kErrors[0]); }
