// Entry points of the DirectDraw subset: adapter enumeration and DirectDraw object creation.
#include "platform/dx7/ddraw.h"

HRESULT DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA callback, LPVOID context, DWORD) {
  if (!callback) return DDERR_INVALIDPARAMS;
  char description[] = "Display";
  char name[] = "display";
  callback(nullptr, description, name, context, nullptr);
  return DD_OK;
}

HRESULT DirectDrawCreateEx(GUID*, LPVOID* directDraw, REFIID, IUnknown*) {
  if (directDraw) *directDraw = nullptr;
  return DDERR_NODIRECTDRAWHW;
}
