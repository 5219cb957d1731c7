// DirectDraw enumeration callbacks that fill the driver's adapter list and each adapter's
// display modes.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx/d3d7/direct3d_driver.h"
#include "gfx/heap_array.h"

BOOL WINAPI enumerateAdapter(GUID* guid, LPSTR description, LPSTR driverName, LPVOID context, HMONITOR) {
  auto* driver = static_cast<Direct3DDriver*>(context);
  if (driver == nullptr) return FALSE;
  if (!resizeHeapArray(driver->adapters, static_cast<std::size_t>(driver->adapterCount) + 1)) return FALSE;
  AdapterInfo& adapter = driver->adapters[driver->adapterCount];
  std::memset(&adapter, 0, sizeof adapter);
  if (guid != nullptr) {
    adapter.guid = static_cast<GUID*>(std::malloc(sizeof(GUID)));
    // Without room for the GUID the adapter cannot be told apart from the primary one.
    if (adapter.guid == nullptr) return FALSE;
    std::memcpy(adapter.guid, guid, sizeof(GUID));
  }
  std::snprintf(adapter.description, sizeof adapter.description, "%s", description != nullptr ? description : "");
  std::snprintf(adapter.driverName, sizeof adapter.driverName, "%s", driverName != nullptr ? driverName : "");
  adapter.modeCount = 0;
  adapter.modes = nullptr;
  ++driver->adapterCount;
  return TRUE;
}

HRESULT WINAPI enumerateMode(LPDDSURFACEDESC2 mode, LPVOID context) {
  auto* adapter = static_cast<AdapterInfo*>(context);
  if (adapter == nullptr || mode == nullptr) return DDENUMRET_CANCEL;
  const DWORD bits = mode->ddpfPixelFormat.dwRGBBitCount;
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return DDENUMRET_OK;
  if (!resizeHeapArray(adapter->modes, static_cast<std::size_t>(adapter->modeCount) + 1)) return DDENUMRET_CANCEL;
  adapter->modes[adapter->modeCount] = *mode;
  ++adapter->modeCount;
  return DDENUMRET_OK;
}
