// The processor instructions on the build machine.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/cpu/cpu_instructions.h"

TEST(CpuInstructions, AnswerConsistentlyOnThisProcessor) {
#if defined(__x86_64__) || defined(__i386__)
  ASSERT_TRUE(cpuidAvailable());
  CpuidRegisters leaf0 = cpuid(0);
  EXPECT_GE(leaf0.eax, 1u);
  char vendor[13] = {};
  std::memcpy(vendor, &leaf0.ebx, 4);
  std::memcpy(vendor + 4, &leaf0.edx, 4);
  std::memcpy(vendor + 8, &leaf0.ecx, 4);
  EXPECT_EQ(std::strlen(vendor), 12u);
  // Every x86-64 processor has SSE, and the system enables it.
  EXPECT_NE(cpuid(1).edx & (1u << 25), 0u);
  EXPECT_TRUE(sseInstructionRuns());
  std::uint32_t a = readTimeStampLow();
  std::uint32_t b = readTimeStampLow();
  EXPECT_NE(a, b);
#else
  EXPECT_FALSE(cpuidAvailable());
  EXPECT_EQ(cpuid(0).eax, 0u);
  EXPECT_FALSE(sseInstructionRuns());
#endif
}
