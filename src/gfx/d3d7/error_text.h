// Readable sentences for DirectDraw result codes, shown in the driver's message boxes.
#pragma once

#include "platform/win32/win32_types.h"

// Capacity of the text buffer errorText writes into, terminator included.
constexpr int kErrorTextCapacity = 512;

// The platform's description of a DirectDraw result, or "Unknown error: 0x%x". The text
// lives in one static buffer that the next call overwrites.
const char* errorText(HRESULT code);

// Number of result codes the table knows (DD_OK included).
int errorTextEntryCount();
