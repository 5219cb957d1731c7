// The debug output (OutputDebugStringA) and its sink, on the C library alone: the bottom
// facility the memory tracker reports through, built as a library of its own so that it
// brings no windowing or drawing library with it.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"

namespace {

// Debug output destinations, decided at the first output after a reset.
std::mutex debugMutex;
bool debugDecided = false;
bool debugToStderr = false;
std::FILE* debugFile = nullptr;
Win32DebugSink debugSink = nullptr;
void* debugSinkContext = nullptr;

void closeDebugFile() {
  if (debugFile != nullptr) {
    std::fclose(debugFile);
    debugFile = nullptr;
  }
}

void decideDebugOutput() {
  if (debugDecided) return;
  debugDecided = true;
  const char* flag = std::getenv("VELLUMITE_DEBUG");
  debugToStderr = flag != nullptr && std::strcmp(flag, "1") == 0;
  const char* file = std::getenv("VELLUMITE_DEBUG_FILE");
  if (file != nullptr && *file != '\0') debugFile = std::fopen(file, "w");
}

}  // namespace

void win32SetDebugSink(Win32DebugSink sink, void* context) {
  std::lock_guard<std::mutex> lock(debugMutex);
  debugSink = sink;
  debugSinkContext = context;
  if (sink == nullptr) {
    closeDebugFile();
    debugDecided = false;
  }
}

void OutputDebugStringA(LPCSTR text) {
  if (text == nullptr) return;
  std::lock_guard<std::mutex> lock(debugMutex);
  if (debugSink != nullptr) {
    debugSink(text, debugSinkContext);
    return;
  }
  decideDebugOutput();
  if (debugToStderr) std::fputs(text, stderr);
  if (debugFile != nullptr) {
    std::fputs(text, debugFile);
    std::fflush(debugFile);
  }
}
