// The processor query answered from register tables, the MHz measurement on a fake clock,
// and querySystemInfo.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "math/quaternion.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"
#include "shell/system_info.h"

namespace {

struct FakeCpu {
  bool hasCpuid = true;
  bool sseRuns = true;
  int sseChecks = 0;
  std::map<std::uint32_t, CpuidRegisters> leaves;
  DWORD* clock = nullptr;  // milliseconds
  std::uint32_t cyclesPerMs = 0;

  void vendor(const char* text, std::uint32_t highestLeaf) {
    CpuidRegisters r{highestLeaf, 0, 0, 0};
    std::memcpy(&r.ebx, text, 4);
    std::memcpy(&r.edx, text + 4, 4);
    std::memcpy(&r.ecx, text + 8, 4);
    leaves[0] = r;
  }
  void signature(std::uint32_t family, std::uint32_t model, std::uint32_t standardFlags) {
    leaves[1] = CpuidRegisters{(family << 8) | (model << 4), 0, 0, standardFlags};
  }
  void brand(const char* text) {  // 48 bytes over three leaves
    char padded[48] = {};
    std::strncpy(padded, text, 47);
    for (std::uint32_t i = 0; i < 3; ++i) {
      CpuidRegisters r{};
      std::memcpy(&r, padded + 16 * i, 16);
      leaves[0x80000002u + i] = r;
    }
  }
};

bool fakeHasCpuid(void* c) { return static_cast<FakeCpu*>(c)->hasCpuid; }
CpuidRegisters fakeCpuid(void* c, std::uint32_t leaf) {
  auto& leaves = static_cast<FakeCpu*>(c)->leaves;
  auto it = leaves.find(leaf);
  return it != leaves.end() ? it->second : CpuidRegisters{};
}
bool fakeSse(void* c) {
  auto* cpu = static_cast<FakeCpu*>(c);
  ++cpu->sseChecks;
  return cpu->sseRuns;
}
std::uint32_t fakeTimeStamp(void* c) {
  auto* cpu = static_cast<FakeCpu*>(c);
  return cpu->clock != nullptr ? *cpu->clock * cpu->cyclesPerMs : 0;
}
// Every reading advances the clock by one millisecond.
DWORD tickingClock(void* context) { return (*static_cast<DWORD*>(context))++; }

constexpr std::uint32_t kMmx = 1u << 23, kFxsr = 1u << 24, kSse = 1u << 25;
constexpr std::uint32_t kAmdMmxExt = 1u << 22, k3DNowExt = 1u << 30, k3DNow = 1u << 31;

class CpuQueryTest : public ::testing::Test {
 protected:
  void use() {
    CpuInstructionSource source{fakeHasCpuid, fakeCpuid, fakeSse, fakeTimeStamp, &cpu};
    setCpuInstructionSource(&source);
  }
  void TearDown() override {
    setCpuInstructionSource(nullptr);
    win32SetClockSource(nullptr, nullptr);
  }
  FakeCpu cpu;
};

TEST_F(CpuQueryTest, WithoutCpuidEveryAnswerIsZero) {
  cpu.hasCpuid = false;
  cpu.vendor("GenuineIntel", 1);
  use();
  EXPECT_EQ(probeCpu(), -1);
  for (int selector = 0; selector < 60; ++selector) EXPECT_EQ(cpuQuery(selector), 0u) << selector;
  EXPECT_STREQ(cpuQueryText(2), "");
  EXPECT_STREQ(cpuQueryText(3), "");
}

TEST_F(CpuQueryTest, IntelWithoutExtendedLeavesAnswersFromLeafOne) {
  cpu.vendor("GenuineIntel", 2);
  cpu.signature(6, 7, kMmx | kFxsr | kSse | 1u | (1u << 11) | (1u << 10));
  use();
  EXPECT_EQ(probeCpu(), 1);
  EXPECT_EQ(cpuQuery(0), 2u);
  EXPECT_EQ(cpuQuery(1), 19u);
  EXPECT_STREQ(cpuQueryText(2), "GenuineIntel");
  EXPECT_STREQ(cpuQueryText(3), "");
  EXPECT_EQ(cpuQuery(2), 0u);
  EXPECT_EQ(cpuQuery(4), 1u);
  EXPECT_EQ(cpuQuery(5), 1u);   // bit 0
  EXPECT_EQ(cpuQuery(14), 0u);  // bit 9
  EXPECT_EQ(cpuQuery(15), 1u);  // bit 11: bit 10 has no selector
  EXPECT_EQ(cpuQuery(22), 1u);
  EXPECT_EQ(cpuQuery(23), 1u);
  EXPECT_EQ(cpuQuery(24), 1u);
  EXPECT_EQ(cpuQuery(28), 1u);
  EXPECT_EQ(cpuQuery(25), 0u);
  EXPECT_EQ(cpuQuery(26), 0u);
  EXPECT_EQ(cpuQuery(27), 0u);
  EXPECT_EQ(cpuQuery(29), 1u);
}

TEST_F(CpuQueryTest, ModelClassesFollowVendorFamilyAndModel) {
  struct Case {
    const char* vendor;
    std::uint32_t family, model, expected;
  } cases[] = {{"GenuineIntel", 6, 2, 0},  {"GenuineIntel", 6, 4, 0},  {"GenuineIntel", 6, 3, 17},
               {"GenuineIntel", 6, 5, 17}, {"GenuineIntel", 4, 1, 7},  {"GenuineIntel", 4, 6, 0},
               {"GenuineIntel", 5, 4, 15}, {"GenuineIntel", 15, 1, 0}, {"AuthenticAMD", 4, 9, 1},
               {"AuthenticAMD", 5, 3, 2},  {"AuthenticAMD", 5, 7, 3},  {"AuthenticAMD", 5, 8, 4},
               {"AuthenticAMD", 5, 15, 5}, {"AuthenticAMD", 6, 0, 6},  {"CyrixInstead", 6, 0, 0}};
  for (const Case& c : cases) {
    FakeCpu fresh;
    fresh.vendor(c.vendor, 1);
    fresh.signature(c.family, c.model, 0);
    cpu = fresh;
    use();
    EXPECT_EQ(cpuQuery(1), c.expected) << c.vendor << " " << c.family << "/" << c.model;
  }
}

TEST_F(CpuQueryTest, AmdAnswersCacheFieldsByModelClass) {
  cpu.vendor("AuthenticAMD", 1);
  cpu.signature(6, 2, kMmx);
  cpu.leaves[0x80000000u] = CpuidRegisters{0x80000006u, 0, 0, 0};
  cpu.leaves[0x80000001u] = CpuidRegisters{0, 0, 0, kAmdMmxExt | k3DNowExt | k3DNow};
  cpu.leaves[0x80000005u] = CpuidRegisters{0x11223344u, 0x55667788u, 0x99AABBCCu, 0xDDEEFF00u};
  cpu.leaves[0x80000006u] = CpuidRegisters{0xA123B456u, 0xC789D012u, 0x0100A540u, 0};
  cpu.brand("AMD Athlon(tm) Processor");
  use();
  EXPECT_STREQ(cpuQueryText(3), "AMD Athlon(tm) Processor");
  EXPECT_EQ(cpuQuery(22), 1u);  // MMX extensions without SSE
  EXPECT_EQ(cpuQuery(25), 1u);
  EXPECT_EQ(cpuQuery(26), 1u);
  EXPECT_EQ(cpuQuery(27), 1u);
  EXPECT_EQ(cpuQuery(29), 0u);
  EXPECT_EQ(cpu.sseChecks, 0);
  EXPECT_EQ(cpuQuery(30), 0x55u);
  EXPECT_EQ(cpuQuery(33), 0x88u);
  EXPECT_EQ(cpuQuery(34), 0x11u);
  EXPECT_EQ(cpuQuery(37), 0x44u);
  EXPECT_EQ(cpuQuery(38), 0x99u);
  EXPECT_EQ(cpuQuery(45), 0x00u);
  EXPECT_EQ(cpuQuery(42), 0xDDu);
  EXPECT_EQ(cpuQuery(46), 0x0100u);
  EXPECT_EQ(cpuQuery(47), 0xAu);
  EXPECT_EQ(cpuQuery(48), 0x5u);
  EXPECT_EQ(cpuQuery(49), 0x40u);
  EXPECT_EQ(cpuQuery(50), 0xAu);
  EXPECT_EQ(cpuQuery(51), 0x123u);
  EXPECT_EQ(cpuQuery(52), 0xBu);
  EXPECT_EQ(cpuQuery(53), 0x456u);
  EXPECT_EQ(cpuQuery(54), 0xCu);
  EXPECT_EQ(cpuQuery(57), 0x012u);

  // Another AMD class: cache fields of leaf 0x80000005 EBX stay, class-6 fields go.
  cpu.signature(5, 8, kMmx);
  use();
  EXPECT_EQ(cpuQuery(1), 4u);
  EXPECT_EQ(cpuQuery(30), 0x55u);
  EXPECT_EQ(cpuQuery(34), 0u);
  EXPECT_EQ(cpuQuery(50), 0u);

  // The same registers on an Intel processor answer none of the AMD-only questions.
  cpu.vendor("GenuineIntel", 1);
  cpu.signature(6, 7, kSse);
  use();
  EXPECT_EQ(cpuQuery(30), 0u);
  EXPECT_EQ(cpuQuery(46), 0u);
  EXPECT_EQ(cpuQuery(22), 1u);  // SSE
}

TEST_F(CpuQueryTest, SseCheckFailsWhenTheSystemDoesNotEnableIt) {
  cpu.vendor("GenuineIntel", 1);
  cpu.signature(6, 7, kSse);
  cpu.sseRuns = false;
  use();
  EXPECT_EQ(cpuQuery(28), 1u);
  EXPECT_EQ(cpuQuery(29), 0u);
}

TEST_F(CpuQueryTest, MeasuredMhzCountsCyclesOverAtLeast1001Ms) {
  DWORD now = 0xFFFFFF00u;  // the millisecond clock wraps during the measurement
  win32SetClockSource(tickingClock, &now);
  cpu.vendor("GenuineIntel", 1);
  cpu.clock = &now;
  cpu.cyclesPerMs = 700000;  // 700 MHz
  use();
  // 1001 ms of cycles divided by one million, truncated.
  EXPECT_EQ(measureCpuMhz(), 700);
  cpu.cyclesPerMs = 2000000;
  EXPECT_EQ(measureCpuMhz(), 2002);
}

TEST_F(CpuQueryTest, QuerySystemInfoFillsTheTitleRecord) {
  DWORD now = 1000;
  win32SetClockSource(tickingClock, &now);
  cpu.vendor("AuthenticAMD", 1);
  cpu.signature(6, 4, kMmx);
  cpu.leaves[0x80000000u] = CpuidRegisters{0x80000004u, 0, 0, 0};
  cpu.leaves[0x80000001u] = CpuidRegisters{0, 0, 0, k3DNow};
  cpu.brand("AMD-K7(tm) Processor");
  cpu.clock = &now;
  cpu.cyclesPerMs = 1000000;
  use();
  quaternionOperations = QuaternionOperations{};
  EXPECT_TRUE(querySystemInfo());
  EXPECT_STREQ(systemInfo.cpuName, "AMD-K7(tm) Processor");
  EXPECT_EQ(systemInfo.cpuMhz, 1001);
  EXPECT_TRUE(systemInfo.has3DNow);
  EXPECT_TRUE(systemInfo.hasMmx);
  EXPECT_FALSE(systemInfo.hasSse);
  EXPECT_NE(quaternionOperations.quatSlerp, nullptr);
}

}  // namespace
