// The adapters the subset reports and their display modes (platform-internal).
#pragma once

#include <string>
#include <vector>

#include "platform/dx7/dx7_platform.h"

struct Dx7Adapter {
  GUID guid;  // all zero for the primary display (reported as a null GUID)
  std::string description;
  std::string driverName;
  std::vector<AdapterDisplayMode> modes;  // sorted by width, height, depth
  int sdlDisplay;                         // SDL display index, -1 when none
  DWORD desktopWidth;
  DWORD desktopHeight;
};

// The profile's adapters, or one per SDL display (one virtual display when headless).
std::vector<Dx7Adapter> dx7Adapters();
// Index of the adapter with this GUID (null: the primary display), -1 when unknown.
int dx7AdapterIndex(const std::vector<Dx7Adapter>& adapters, const GUID* guid);
