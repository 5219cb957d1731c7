// CPUID, RDTSC and the SSE check on x86 and x86-64; "no CPUID" elsewhere.
#include "platform/cpu/cpu_instructions.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <x86intrin.h>

#include <csetjmp>
#include <csignal>

namespace {

sigjmp_buf sseFault;

void onIllegalInstruction(int) { siglongjmp(sseFault, 1); }

}  // namespace

bool cpuidAvailable() {
#if defined(__x86_64__)
  unsigned long long original = __builtin_ia32_readeflags_u64();
  __builtin_ia32_writeeflags_u64(original ^ 0x200000u);
  unsigned long long flipped = __builtin_ia32_readeflags_u64();
  __builtin_ia32_writeeflags_u64(original);
#else
  unsigned int original = __builtin_ia32_readeflags_u32();
  __builtin_ia32_writeeflags_u32(original ^ 0x200000u);
  unsigned int flipped = __builtin_ia32_readeflags_u32();
  __builtin_ia32_writeeflags_u32(original);
#endif
  return ((original ^ flipped) & 0x200000u) != 0;
}

CpuidRegisters cpuid(std::uint32_t leaf) {
  CpuidRegisters r{};
  __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

std::uint32_t readTimeStampLow() { return static_cast<std::uint32_t>(__rdtsc()); }

bool sseInstructionRuns() {
  struct sigaction handler {};
  struct sigaction previous {};
  handler.sa_handler = onIllegalInstruction;
  sigemptyset(&handler.sa_mask);
  if (sigaction(SIGILL, &handler, &previous) != 0) return false;
  bool runs = false;
  if (sigsetjmp(sseFault, 1) == 0) {
    __asm__ volatile("orps %%xmm0, %%xmm0" ::: "xmm0");
    runs = true;
  }
  sigaction(SIGILL, &previous, nullptr);
  return runs;
}

#else

bool cpuidAvailable() { return false; }
CpuidRegisters cpuid(std::uint32_t) { return CpuidRegisters{}; }
std::uint32_t readTimeStampLow() { return 0; }
bool sseInstructionRuns() { return false; }

#endif
