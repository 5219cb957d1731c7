// Win32 system services: message boxes, the millisecond clock, debug output, screen
// metrics and process exit.
#pragma once

#include "platform/win32/win32_types.h"

// MessageBoxA styles and results.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A modal message box on the desktop; headless (or when the desktop cannot show one) the
// caption and text go to stderr. Returns the button pressed (IDOK for MB_OK).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD timeGetTime();
UINT timeBeginPeriod(UINT period);
UINT timeEndPeriod(UINT period);
void Sleep(DWORD milliseconds);

// Debug output: stderr when VELLUMITE_DEBUG=1, the file named by VELLUMITE_DEBUG_FILE when
// that is set, nowhere otherwise.
void OutputDebugStringA(LPCSTR text);

int GetSystemMetrics(int index);

// The handle of a loaded module. There is one module, the program itself: a null name gives
// its handle (the instance WinMain receives), any other name null.
HMODULE GetModuleHandleA(LPCSTR moduleName);

// Ends the process with the given code (buffered output is flushed first).
[[noreturn]] void ExitProcess(UINT exitCode);
