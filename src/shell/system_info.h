// System information: the processor query (numbered questions answered from CPUID
// registers read once and cached), the clock measurement with the time-stamp counter, and
// querySystemInfo, which fills the SystemInfo record the window title is made from.
#pragma once

#include <cstdint>

#include "platform/cpu/cpu_instructions.h"

struct SystemInfo {
  char cpuName[64];  // brand string, empty when the processor reports none
  int cpuMhz;
  bool has3DNow;
  bool hasSse;
  bool hasMmx;
};

// The process-wide record, zero until querySystemInfo fills it.
extern SystemInfo systemInfo;

// Fills systemInfo (about one second: measureCpuMhz) and installs the quaternion
// operations. Always true.
bool querySystemInfo();

// Answer to a numbered question about the processor; 0 for "no" or "unknown" and for
// every question on a processor without CPUID. The texts (selectors 2 and 3) do not fit
// in 32 bits: cpuQuery answers 0 for them and cpuQueryText gives them.
std::uint32_t cpuQuery(int selector);
// Selector 2: the 12-character vendor text; 3: the brand text. Empty (never null) when
// the processor reports none and for other selectors.
const char* cpuQueryText(int selector);
// Reads and caches the registers: -1 without CPUID, 1 once probed.
int probeCpu();
// Clock rate in MHz: time-stamp counter cycles over at least 1001 ms of timeGetTime.
int measureCpuMhz();

// The instructions behind the query; tests put register tables in their place.
struct CpuInstructionSource {
  bool (*cpuidAvailable)(void* context);
  CpuidRegisters (*cpuid)(void* context, std::uint32_t leaf);
  bool (*sseRuns)(void* context);
  std::uint32_t (*timeStampLow)(void* context);
  void* context;
};
// Replaces the instructions (null: the processor's own) and forgets the cached probe.
void setCpuInstructionSource(const CpuInstructionSource* source);
