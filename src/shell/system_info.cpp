// The processor query on CPUID, the MHz measurement and querySystemInfo.
#include "shell/system_info.h"

#include <cstdio>
#include <cstring>

#include "math/quaternion.h"
#include "platform/win32/win32_system.h"

SystemInfo systemInfo{};

namespace {

bool hardwareCpuidAvailable(void*) { return cpuidAvailable(); }
CpuidRegisters hardwareCpuid(void*, std::uint32_t leaf) { return cpuid(leaf); }
bool hardwareSseRuns(void*) { return sseInstructionRuns(); }
std::uint32_t hardwareTimeStamp(void*) { return readTimeStampLow(); }

const CpuInstructionSource hardware{hardwareCpuidAvailable, hardwareCpuid, hardwareSseRuns, hardwareTimeStamp, nullptr};
CpuInstructionSource source = hardware;

// Registers cached by the probe.
struct CpuProbe {
  int state;  // 0 not probed, -1 no CPUID, 1 probed
  char vendor[13];
  char brand[49];
  std::uint32_t signature;
  std::uint32_t standardFeatures;
  std::uint32_t extendedFeatures;
  CpuidRegisters cacheLeaf5;  // 0x80000005
  CpuidRegisters cacheLeaf6;  // 0x80000006
};
CpuProbe probe{};

CpuidRegisters run(std::uint32_t leaf) { return source.cpuid(source.context, leaf); }

std::uint32_t bit(std::uint32_t flags, int n) { return (flags >> n) & 1u; }

std::uint32_t byteOf(std::uint32_t value, int n) { return (value >> (8 * n)) & 0xFFu; }

std::uint32_t vendorId() {
  if (std::memcmp(probe.vendor, "AuthenticAMD", 12) == 0) return 1;
  if (std::memcmp(probe.vendor, "GenuineIntel", 12) == 0) return 2;
  if (std::memcmp(probe.vendor, "CyrixInstead", 12) == 0) return 3;
  if (std::memcmp(probe.vendor, "CentaurHauls", 12) == 0) return 4;
  return 0;
}

std::uint32_t modelClass() {
  std::uint32_t family = (probe.signature >> 8) & 0xF;
  std::uint32_t model = (probe.signature >> 4) & 0xF;
  switch (vendorId()) {
    case 1:
      if (family == 4) return 1;
      if (family == 5) {
        if (model <= 3) return 2;
        if (model <= 7) return 3;
        if (model == 8) return 4;
        return 5;
      }
      if (family == 6) return 6;
      return 0;
    case 2:
      if (family == 4) {
        switch (model) {
          case 0:
          case 1:
            return 7;
          case 2:
            return 8;
          case 3:
            return 9;
          case 4:
            return 10;
          case 5:
            return 11;
          case 7:
            return 12;
          case 8:
            return 13;
          default:
            return 0;
        }
      }
      if (family == 5) {
        if (model >= 1 && model <= 3) return 14;
        if (model == 4) return 15;
        return 0;
      }
      if (family == 6) {
        switch (model) {
          case 1:
            return 16;
          case 3:
          case 5:
            return 17;
          case 6:
            return 18;
          case 7:
            return 19;
          default:
            return 0;
        }
      }
      return 0;
    default:
      return 0;
  }
}

void storeRegisters(char* out, const CpuidRegisters& r) {
  std::memcpy(out, &r.eax, 4);
  std::memcpy(out + 4, &r.ebx, 4);
  std::memcpy(out + 8, &r.ecx, 4);
  std::memcpy(out + 12, &r.edx, 4);
}

int probeOnce() {
  if (!source.cpuidAvailable(source.context)) return -1;
  CpuidRegisters leaf0 = run(0);
  std::memcpy(probe.vendor, &leaf0.ebx, 4);
  std::memcpy(probe.vendor + 4, &leaf0.edx, 4);
  std::memcpy(probe.vendor + 8, &leaf0.ecx, 4);
  probe.vendor[12] = '\0';
  if (leaf0.eax == 0) return 1;
  CpuidRegisters leaf1 = run(1);
  probe.signature = leaf1.eax;
  probe.standardFeatures = leaf1.edx;
  std::uint32_t highest = run(0x80000000u).eax;
  // Without extended leaves the probe still succeeded (leaf 0 and 1 answer).
  if (highest < 0x80000001u) return 1;
  if (highest >= 0x80000004u) {
    if (highest >= 0x80000005u) {
      if (highest >= 0x80000006u) probe.cacheLeaf6 = run(0x80000006u);
      probe.cacheLeaf5 = run(0x80000005u);
    }
    storeRegisters(probe.brand, run(0x80000002u));
    storeRegisters(probe.brand + 16, run(0x80000003u));
    storeRegisters(probe.brand + 32, run(0x80000004u));
    probe.brand[48] = '\0';
  }
  probe.extendedFeatures = run(0x80000001u).edx;
  return 1;
}

}  // namespace

void setCpuInstructionSource(const CpuInstructionSource* replacement) {
  source = replacement != nullptr ? *replacement : hardware;
  probe = CpuProbe{};
}

int probeCpu() {
  if (probe.state == 0) probe.state = probeOnce();
  return probe.state;
}

std::uint32_t cpuQuery(int selector) {
  if (probeCpu() == -1) return 0;
  bool amd = vendorId() == 1;
  bool amdClass6 = modelClass() == 6;
  std::uint32_t standard = probe.standardFeatures;
  std::uint32_t extended = probe.extendedFeatures;
  const CpuidRegisters& l5 = probe.cacheLeaf5;
  const CpuidRegisters& l6 = probe.cacheLeaf6;
  if (selector >= 5 && selector <= 14) return bit(standard, selector - 5);
  if (selector >= 15 && selector <= 21) return bit(standard, selector - 4);
  if (selector >= 30 && selector <= 33) return amd ? byteOf(l5.ebx, 33 - selector) : 0;
  if (selector >= 34 && selector <= 37) return amdClass6 ? byteOf(l5.eax, 37 - selector) : 0;
  if (selector >= 38 && selector <= 41) return amd ? byteOf(l5.ecx, 41 - selector) : 0;
  if (selector >= 42 && selector <= 45) return amd ? byteOf(l5.edx, 45 - selector) : 0;
  if (selector >= 50 && selector <= 57) {
    if (!amdClass6) return 0;
    std::uint32_t value = selector <= 53 ? l6.eax : l6.ebx;
    switch ((selector - 50) % 4) {
      case 0:
        return value >> 28;
      case 1:
        return (value >> 16) & 0xFFF;
      case 2:
        return (value >> 12) & 0xF;
      default:
        return value & 0xFFF;
    }
  }
  switch (selector) {
    case 0:
      return vendorId();
    case 1:
      return modelClass();
    case 4:
      return 1;
    case 22:
      return (bit(standard, 25) | bit(extended, 22));
    case 23:
      return bit(standard, 23);
    case 24:
      return bit(standard, 24);
    case 25:
      return bit(extended, 30);
    case 26:
      return bit(extended, 31);
    case 27:
      return bit(extended, 22);
    case 28:
      return bit(standard, 25);
    case 29:
      return bit(standard, 25) != 0 && source.sseRuns(source.context) ? 1 : 0;
    case 46:
      return amd ? l6.ecx >> 16 : 0;
    case 47:
      return amd ? (l6.ecx >> 12) & 0xF : 0;
    case 48:
      return amd ? (l6.ecx >> 8) & 0xF : 0;
    case 49:
      return amd ? l6.ecx & 0xFF : 0;
    default:
      return 0;  // 2 and 3 are texts (cpuQueryText)
  }
}

const char* cpuQueryText(int selector) {
  if (probeCpu() == -1) return "";
  if (selector == 2) return probe.vendor;
  if (selector == 3) return probe.brand;
  return "";
}

int measureCpuMhz() {
  DWORD t0 = timeGetTime();
  DWORD t1 = timeGetTime();
  while (t1 - t0 <= 1) t1 = timeGetTime();
  run(0);
  std::uint32_t c1 = source.timeStampLow(source.context);
  while (timeGetTime() - t1 <= 1000) {}
  run(0);
  std::uint32_t c2 = source.timeStampLow(source.context);
  return static_cast<int>((c2 - c1) / 1000000u);
}

bool querySystemInfo() {
  systemInfo.cpuMhz = measureCpuMhz();
  systemInfo.has3DNow = cpuQuery(26) != 0;
  cpuQuery(25);
  systemInfo.hasMmx = cpuQuery(23) != 0;
  systemInfo.hasSse = cpuQuery(28) != 0;
  char vendor[64];
  std::snprintf(vendor, sizeof vendor, "%s", cpuQueryText(2));
  std::snprintf(systemInfo.cpuName, sizeof systemInfo.cpuName, "%s", cpuQueryText(3));
  installQuaternionOperations();
  return true;
}
