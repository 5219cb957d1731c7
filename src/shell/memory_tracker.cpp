// Memory tracker: the program's global operator new and delete (every variant), the record
// table of tracked blocks and the leak report on the debug output.
#include "shell/memory_tracker.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/win32_system.h"

namespace {

// Front guard: heap block address (8 bytes, whatever the pointer size), guard word, index.
// Back guard: word, index.
constexpr std::size_t kFrontGuard = 16;
constexpr std::size_t kBackGuard = 8;

MemoryTrackerState state{};

struct FrontGuard {
  std::uint64_t heapBlock;
  std::uint32_t word;
  std::int32_t index;
};
static_assert(sizeof(FrontGuard) == kFrontGuard);

FrontGuard* frontOf(void* p) { return reinterpret_cast<FrontGuard*>(static_cast<char*>(p) - kFrontGuard); }
void* heapBlockOf(const FrontGuard* front) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(front->heapBlock));
}

void writeBackGuard(void* p, int size, std::uint32_t word, std::int32_t index) {
  char* back = static_cast<char*>(p) + size;
  std::memcpy(back, &word, 4);
  std::memcpy(back + 4, &index, 4);
}

void writeBackIndex(const AllocationRecord& r, std::int32_t index) {
  std::memcpy(reinterpret_cast<char*>(r.address) + r.size + 4, &index, 4);
}

// A heap block of size + extra bytes whose user part (after the front guard) is aligned.
void* allocateBlock(std::size_t size, std::size_t alignment, std::size_t extra, std::uint32_t word,
                    std::int32_t index) {
  std::size_t bytes = memoryBlockBytes(size, alignment, extra);
  if (bytes == 0) return nullptr;
  void* heapBlock = std::malloc(bytes);
  if (heapBlock == nullptr) return nullptr;
  void* p = memoryBlockUserPart(heapBlock, alignment);
  FrontGuard* front = frontOf(p);
  front->heapBlock = reinterpret_cast<std::uintptr_t>(heapBlock);
  front->word = word;
  front->index = index;
  return p;
}

// The source file as the report names it: from the source tree's "src/" on when the path
// holds one, at most 31 characters.
void copyFileName(char* out, const char* file) {
  if (file == nullptr) file = "";
  const char* start = file;
  for (const char* s = std::strstr(file, "src/"); s != nullptr; s = std::strstr(s + 1, "src/"))
    if (s == file || s[-1] == '/') start = s;
  std::strncpy(out, start, 31);
  out[31] = '\0';
}

// Room for one more slot at the end of the table: the capacity doubles, so appending costs
// constant time on average.
bool reserveSlot() {
  if (state.slotCount < state.slotCapacity) return true;
  int capacity = state.slotCapacity < 16 ? 16 : state.slotCapacity * 2;
  if (capacity < state.slotCapacity) return false;
  auto* grown = static_cast<AllocationRecord*>(std::realloc(state.records, sizeof(AllocationRecord) * capacity));
  if (grown == nullptr) return false;
  state.records = grown;
  state.slotCapacity = capacity;
  return true;
}

void* trackedAllocate(std::size_t size, std::size_t alignment, const char* file, int line) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return nullptr;
  if (!reserveSlot()) return nullptr;
  int slot = state.slotCount;
  void* p = allocateBlock(size, alignment, kBackGuard, kTrackedGuardWord, slot);
  if (p == nullptr) return nullptr;
  AllocationRecord& r = state.records[slot];
  r.address = reinterpret_cast<std::uintptr_t>(p);
  r.size = static_cast<int>(size);
  r.line = line;
  copyFileName(r.file, file);
  writeBackGuard(p, r.size, kTrackedGuardWord, slot);
  state.slotCount = slot + 1;
  state.recordCount += 1;
  state.allocationCount += 1;
  state.userBytes += r.size;
  state.managerBytes += kManagerBytesPerBlock;
  return p;
}

// Moves the live records down over the empty slots, keeping their order, and renumbers
// their guards. Runs when empty slots outnumber live ones, so each release pays for at most
// a constant share of it.
void compactTable() {
  int kept = 0;
  for (int i = 0; i < state.slotCount; ++i) {
    AllocationRecord& r = state.records[i];
    if (r.address == 0) continue;
    if (kept != i) {
      frontOf(reinterpret_cast<void*>(r.address))->index = kept;
      writeBackIndex(r, kept);
      state.records[kept] = r;
    }
    ++kept;
  }
  state.slotCount = kept;
  if (state.slotCapacity > 64 && kept < state.slotCapacity / 4) {
    int capacity = state.slotCapacity / 2;
    auto* shrunk = static_cast<AllocationRecord*>(std::realloc(state.records, sizeof(AllocationRecord) * capacity));
    if (shrunk != nullptr) {
      state.records = shrunk;
      state.slotCapacity = capacity;
    }
  }
}

void* plainAllocate(std::size_t size, std::size_t alignment) {
  return allocateBlock(size, alignment, 0, kPlainGuardWord, 0);
}

void* orThrow(void* p) {
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

// The one release path of every global delete.
void release(void* p) {
  if (p == nullptr) return;
  FrontGuard* front = frontOf(p);
  if (front->word == kPlainGuardWord) {
    front->word = kReleasedGuardWord;
    std::free(heapBlockOf(front));
    return;
  }
  if (front->word == kTrackedGuardWord) {
    trackedDelete(p);
    return;
  }
  // Released twice, or never ours: leave it alone.
  OutputDebugStringA("\n\ndelete ERROR!\n\n");
}

void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
}

const char kDumpBorder[] =
    "        +----------+----------------------------------------------------+------------------+\n";

void dumpBlock(const AllocationRecord& r, int limit) {
  int n = r.size < limit ? r.size : limit;
  if (n < 0) n = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(r.address);
  OutputDebugStringA(kDumpBorder);
  for (int offset = 0; offset < n; offset += 16) {
    OutputDebugStringA("        |");
    OutputDebugStringA(" ");
    report("%08" PRIxPTR, r.address + static_cast<std::uintptr_t>(offset));
    OutputDebugStringA(" | ");
    for (int i = 0; i < 16; ++i) {
      int at = offset + i;
      if (at >= n)
        OutputDebugStringA(" **");
      else if (bytes[at] > 15)
        report(" %x", bytes[at]);
      else
        report(" 0%x", bytes[at]);
      if (i == 7) OutputDebugStringA("  ");
    }
    OutputDebugStringA(" | ");
    for (int i = 0; i < 16; ++i) {
      int at = offset + i;
      // Plain characters only: control codes and bytes above 127 show as dots.
      if (at < n && bytes[at] > 13 && bytes[at] < 128)
        report("%c", bytes[at]);
      else
        OutputDebugStringA(".");
    }
    OutputDebugStringA(" |\n");
  }
  OutputDebugStringA(kDumpBorder);
}

}  // namespace

const MemoryTrackerState& memoryTrackerState() { return state; }

MemoryTrackerState memoryTrackerExchange(const MemoryTrackerState& next) {
  MemoryTrackerState previous = state;
  state = next;
  return previous;
}

int releaseRecord(AllocationRecord* record) {
  if (state.recordCount <= 0 || record == nullptr) return 0;
  // The record must be a live slot of the table.
  if (record < state.records || record >= state.records + state.slotCount || record->address == 0) return 0;
  AllocationRecord& r = *record;
  state.releaseCount += 1;
  state.userBytes -= r.size;
  state.managerBytes -= kManagerBytesPerBlock;

  void* p = reinterpret_cast<void*>(r.address);
  FrontGuard* front = frontOf(p);
  void* heapBlock = heapBlockOf(front);
  front->word = kReleasedGuardWord;
  front->index = -1;
  writeBackGuard(p, r.size, kReleasedGuardWord, -1);
  std::free(heapBlock);
  r.address = 0;

  state.recordCount -= 1;
  if (state.recordCount == 0) {
    std::free(state.records);
    state.records = nullptr;
    state.slotCount = 0;
    state.slotCapacity = 0;
  } else if (state.slotCount - state.recordCount > state.recordCount && state.slotCount >= 32) {
    compactTable();
  } else {
    // Empty slots at the end are reused at once (each slot is trimmed once per allocation).
    while (state.slotCount > 0 && state.records[state.slotCount - 1].address == 0) state.slotCount -= 1;
  }
  return 1;
}

void trackedDelete(void* p) {
  if (p == nullptr) return;
  std::int32_t index = frontOf(p)->index;
  // The index must name this block's own record: a stale or foreign index never frees
  // another block.
  if (index >= state.slotCount || (index >= 0 && state.records[index].address != reinterpret_cast<std::uintptr_t>(p))) {
    OutputDebugStringA("\n\ndelete ERROR!\n\n");
    return;
  }
  if (index < 0) return;
  releaseRecord(&state.records[index]);
}

void reportMemoryStatus(bool dump, int limit) {
  OutputDebugStringA("### Memory status ###\n");
  report("New/Malloc called %d times\nDelete/Free called %d\n", state.allocationCount, state.releaseCount);
  if (state.userBytes == 0) {
    OutputDebugStringA("No leaks detected\n");
    return;
  }
  report("Memory allocated by user: %db\n", state.userBytes);
  report("Memory allocated by memory manager: %db\n", state.managerBytes);
  report("Memory blocks (%d)\n", state.recordCount);
  for (int i = 0; i < state.slotCount; ++i) {
    const AllocationRecord& r = state.records[i];
    if (r.address == 0) continue;  // released
    report("%s(%d) : Memory leak : ", r.file, r.line);
    report("Address 0x%" PRIxPTR " : ", r.address);
    report("Size %d bytes\n", r.size);
    if (dump) dumpBlock(r, limit);
  }
}

// Tracked allocation.
void* operator new(std::size_t size, const char* file, int line) {
  return orThrow(trackedAllocate(size, kMemoryBlockAlignment, file, line));
}
void* operator new[](std::size_t size, const char* file, int line) {
  return orThrow(trackedAllocate(size, kMemoryBlockAlignment, file, line));
}
void* operator new(std::size_t size, std::align_val_t alignment, const char* file, int line) {
  return orThrow(trackedAllocate(size, static_cast<std::size_t>(alignment), file, line));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const char* file, int line) {
  return orThrow(trackedAllocate(size, static_cast<std::size_t>(alignment), file, line));
}
void operator delete(void* p, const char*, int) noexcept { release(p); }
void operator delete[](void* p, const char*, int) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, const char*, int) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, const char*, int) noexcept { release(p); }

// The program's global allocation: plain blocks.
void* operator new(std::size_t size) { return orThrow(plainAllocate(size, kMemoryBlockAlignment)); }
void* operator new[](std::size_t size) { return orThrow(plainAllocate(size, kMemoryBlockAlignment)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return plainAllocate(size, kMemoryBlockAlignment);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return plainAllocate(size, kMemoryBlockAlignment);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
  return orThrow(plainAllocate(size, static_cast<std::size_t>(alignment)));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return orThrow(plainAllocate(size, static_cast<std::size_t>(alignment)));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return plainAllocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return plainAllocate(size, static_cast<std::size_t>(alignment));
}

// The program's global release: every variant ends in the same path.
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }

std::size_t memoryBlockBytes(std::size_t size, std::size_t alignment, std::size_t extra, std::size_t heapAlignment) {
  if (alignment < kMemoryBlockAlignment) alignment = kMemoryBlockAlignment;
  // The heap's blocks may start on any multiple of heapAlignment: the user part may have to
  // move up by alignment - heapAlignment bytes to be aligned.
  std::size_t slack = alignment > heapAlignment ? alignment - heapAlignment : 0;
  std::size_t overhead = kFrontGuard + extra + slack;
  if (size > SIZE_MAX - overhead) return 0;
  return size + overhead;
}

void* memoryBlockUserPart(void* heapBlock, std::size_t alignment) {
  if (alignment < kMemoryBlockAlignment) alignment = kMemoryBlockAlignment;
  std::uintptr_t user = reinterpret_cast<std::uintptr_t>(heapBlock) + kFrontGuard;
  user = (user + alignment - 1) & ~(static_cast<std::uintptr_t>(alignment) - 1);
  return reinterpret_cast<void*>(user);
}
