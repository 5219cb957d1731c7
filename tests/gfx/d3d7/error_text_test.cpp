// DirectDraw error texts: every code the platform names finds a message of its own (the table's
// numbers checked against the named constants), unknown codes, the shared buffer.
#include "gfx/d3d7/error_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ddraw_types.h"

TEST(D3d7ErrorText, EveryNamedCodeFindsItsOwnMessageThatFitsTheBuffer) {
  const HRESULT listed[] = {DDERR_ALREADYINITIALIZED,
                            DDERR_BLTFASTCANTCLIP,
                            DDERR_CANNOTATTACHSURFACE,
                            DDERR_CANNOTDETACHSURFACE,
                            DDERR_CANTCREATEDC,
                            DDERR_CANTDUPLICATE,
                            DDERR_CANTLOCKSURFACE,
                            DDERR_CANTPAGELOCK,
                            DDERR_CANTPAGEUNLOCK,
                            DDERR_CLIPPERISUSINGHWND,
                            DDERR_COLORKEYNOTSET,
                            DDERR_CURRENTLYNOTAVAIL,
                            DDERR_DDSCAPSCOMPLEXREQUIRED,
                            DDERR_DCALREADYCREATED,
                            DDERR_DEVICEDOESNTOWNSURFACE,
                            DDERR_DIRECTDRAWALREADYCREATED,
                            DDERR_EXCEPTION,
                            DDERR_EXCLUSIVEMODEALREADYSET,
                            DDERR_EXPIRED,
                            DDERR_GENERIC,
                            DDERR_HEIGHTALIGN,
                            DDERR_HWNDALREADYSET,
                            DDERR_HWNDSUBCLASSED,
                            DDERR_IMPLICITLYCREATED,
                            DDERR_INCOMPATIBLEPRIMARY,
                            DDERR_INVALIDCAPS,
                            DDERR_INVALIDCLIPLIST,
                            DDERR_INVALIDDIRECTDRAWGUID,
                            DDERR_INVALIDMODE,
                            DDERR_INVALIDOBJECT,
                            DDERR_INVALIDPARAMS,
                            DDERR_INVALIDPIXELFORMAT,
                            DDERR_INVALIDPOSITION,
                            DDERR_INVALIDRECT,
                            DDERR_INVALIDSTREAM,
                            DDERR_INVALIDSURFACETYPE,
                            DDERR_LOCKEDSURFACES,
                            DDERR_MOREDATA,
                            DDERR_NEWMODE,
                            DDERR_NO3D,
                            DDERR_NOALPHAHW,
                            DDERR_NOBLTHW,
                            DDERR_NOCLIPLIST,
                            DDERR_NOCLIPPERATTACHED,
                            DDERR_NOCOLORCONVHW,
                            DDERR_NOCOLORKEY,
                            DDERR_NOCOLORKEYHW,
                            DDERR_NOCOOPERATIVELEVELSET,
                            DDERR_NODC,
                            DDERR_NODDROPSHW,
                            DDERR_NODIRECTDRAWHW,
                            DDERR_NODIRECTDRAWSUPPORT,
                            DDERR_NODRIVERSUPPORT,
                            DDERR_NOEMULATION,
                            DDERR_NOEXCLUSIVEMODE,
                            DDERR_NOFLIPHW,
                            DDERR_NOFOCUSWINDOW,
                            DDERR_NOGDI,
                            DDERR_NOHWND,
                            DDERR_NOMIPMAPHW,
                            DDERR_NOMIRRORHW,
                            DDERR_NOMONITORINFORMATION,
                            DDERR_NONONLOCALVIDMEM,
                            DDERR_NOOPTIMIZEHW,
                            DDERR_NOOVERLAYDEST,
                            DDERR_NOOVERLAYHW,
                            DDERR_NOPALETTEATTACHED,
                            DDERR_NOPALETTEHW,
                            DDERR_NORASTEROPHW,
                            DDERR_NOROTATIONHW,
                            DDERR_NOSTEREOHARDWARE,
                            DDERR_NOSTRETCHHW,
                            DDERR_NOSURFACELEFT,
                            DDERR_NOT4BITCOLOR,
                            DDERR_NOT4BITCOLORINDEX,
                            DDERR_NOT8BITCOLOR,
                            DDERR_NOTAOVERLAYSURFACE,
                            DDERR_NOTEXTUREHW,
                            DDERR_NOTFLIPPABLE,
                            DDERR_NOTFOUND,
                            DDERR_NOTINITIALIZED,
                            DDERR_NOTLOADED,
                            DDERR_NOTLOCKED,
                            DDERR_NOTPAGELOCKED,
                            DDERR_NOTPALETTIZED,
                            DDERR_NOVSYNCHW,
                            DDERR_NOZBUFFERHW,
                            DDERR_NOZOVERLAYHW,
                            DDERR_OUTOFCAPS,
                            DDERR_OUTOFMEMORY,
                            DDERR_OUTOFVIDEOMEMORY,
                            DDERR_OVERLAPPINGRECTS,
                            DDERR_OVERLAYCANTCLIP,
                            DDERR_OVERLAYCOLORKEYONLYONEACTIVE,
                            DDERR_OVERLAYNOTVISIBLE,
                            DDERR_PALETTEBUSY,
                            DDERR_PRIMARYSURFACEALREADYEXISTS,
                            DDERR_REGIONTOOSMALL,
                            DDERR_SURFACEALREADYATTACHED,
                            DDERR_SURFACEALREADYDEPENDENT,
                            DDERR_SURFACEBUSY,
                            DDERR_SURFACEISOBSCURED,
                            DDERR_SURFACELOST,
                            DDERR_SURFACENOTATTACHED,
                            DDERR_TESTFINISHED,
                            DDERR_TOOBIGHEIGHT,
                            DDERR_TOOBIGSIZE,
                            DDERR_TOOBIGWIDTH,
                            DDERR_UNSUPPORTED,
                            DDERR_UNSUPPORTEDFORMAT,
                            DDERR_UNSUPPORTEDMASK,
                            DDERR_UNSUPPORTEDMODE,
                            DDERR_VERTICALBLANKINPROGRESS,
                            DDERR_VIDEONOTACTIVE,
                            DDERR_WASSTILLDRAWING,
                            DDERR_WRONGMODE,
                            DDERR_XALIGN};
  ASSERT_EQ(sizeof listed / sizeof listed[0], 117u);
  EXPECT_EQ(errorTextEntryCount(), 118);
  std::set<std::string> messages;
  for (HRESULT code : listed) {
    const std::string text = errorText(code);
    EXPECT_EQ(text.rfind("Unknown error", 0), std::string::npos) << std::hex << code;
    EXPECT_LT(text.size(), static_cast<std::size_t>(kErrorTextCapacity));
    messages.insert(text);
  }
  EXPECT_EQ(messages.size(), 117u);
  // Codes that share a meaning share the sentence; DirectX 7's additions say they are new.
  EXPECT_EQ(std::string(errorText(E_FAIL)), std::string(errorText(DDERR_GENERIC)));
  EXPECT_EQ(std::string(errorText(DDERR_DDSCAPSCOMPLEXREQUIRED)).rfind("New for DirectX 7.0. ", 0), 0u);
}

TEST(D3d7ErrorText, UnknownCodesAreShownInHexAndEachCallOverwritesTheBuffer) {
  const char* first = errorText(D3DERR_SCENE_IN_SCENE);
  EXPECT_STREQ(first, "Unknown error: 0x887602f8");
  EXPECT_STREQ(errorText(0x1234), "Unknown error: 0x1234");
  const char* second = errorText(DD_OK);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(first, "The request completed successfully.");
}
