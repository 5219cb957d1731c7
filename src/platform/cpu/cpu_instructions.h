// The processor instructions the shell's processor query needs: CPUID (after the EFLAGS
// ID-bit test), the time-stamp counter and the SSE check. On processors other than x86
// there is no CPUID: cpuidAvailable answers false and the rest answers zero.
#pragma once

#include <cstdint>

// Registers of one CPUID leaf.
struct CpuidRegisters {
  std::uint32_t eax;
  std::uint32_t ebx;
  std::uint32_t ecx;
  std::uint32_t edx;
};

// True when the ID bit (bit 21) of EFLAGS can be flipped, i.e. CPUID exists.
bool cpuidAvailable();
// Executes CPUID for the leaf (sub-leaf 0); all zero without CPUID.
CpuidRegisters cpuid(std::uint32_t leaf);
// Low 32 bits of the time-stamp counter (RDTSC); 0 where there is none.
std::uint32_t readTimeStampLow();
// True when an SSE instruction (orps of a register with itself) runs without a fault,
// i.e. the operating system has SSE enabled.
bool sseInstructionRuns();
