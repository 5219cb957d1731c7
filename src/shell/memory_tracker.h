// Memory tracker: the engine's tracked allocation (with source position), the global
// release that every delete goes through, and the leak report written at exit.
//
// Every block from the global operator new carries a 16-byte front guard: the address of
// the underlying heap block (8 bytes whatever the pointer size), then a guard word and an index. Tracked blocks
// (TRACKED_NEW) have the tracked guard word, their index in the record table and an 8-byte back guard (the same word
// and index) after their last byte; plain blocks (the C++ runtime and the libraries) have the plain guard word and are
// never reported. Blocks keep 16-byte alignment (more when the type asks for it), also where the C heap gives less
// (32-bit heaps give 8).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// Tracked allocation: records the allocating source file and line.
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
void* operator new(std::size_t size, std::align_val_t alignment, const char* file, int line);
void* operator new[](std::size_t size, std::align_val_t alignment, const char* file, int line);
// Called only when a constructor throws during a tracked allocation.
void operator delete(void* p, const char* file, int line) noexcept;
void operator delete[](void* p, const char* file, int line) noexcept;
void operator delete(void* p, std::align_val_t alignment, const char* file, int line) noexcept;
void operator delete[](void* p, std::align_val_t alignment, const char* file, int line) noexcept;

// The engine allocates its objects with TRACKED_NEW so the report can name their origin.
#define TRACKED_NEW new (__FILE__, __LINE__)

// One live tracked block.
struct AllocationRecord {
  std::uintptr_t address;  // the block as the program sees it
  int size;                // bytes requested
  int line;                // source line of the allocation
  char file[32];           // source file of the allocation, zero-terminated
};

// The layout of one heap block: the alignment every block gets at least, the alignment the
// C heap is relied on for (two pointers, at most 16), the bytes to ask a heap of that
// alignment for a user part of `size` bytes followed by `extra` (0 when too large), and where in a heap block the
// aligned user part starts (the front guard lies in the 16 bytes before it).
constexpr std::size_t kMemoryBlockAlignment = 16;
constexpr std::size_t kHeapAlignment = 2 * sizeof(void*) < 16 ? 2 * sizeof(void*) : 16;
std::size_t memoryBlockBytes(std::size_t size, std::size_t alignment, std::size_t extra,
                             std::size_t heapAlignment = kHeapAlignment);
void* memoryBlockUserPart(void* heapBlock, std::size_t alignment);

// Guard words of the front and back guard areas.
constexpr std::uint32_t kTrackedGuardWord = 0x7EC0DE11u;
constexpr std::uint32_t kPlainGuardWord = 0x91A1B10Cu;
constexpr std::uint32_t kReleasedGuardWord = 0xDEADDEADu;
// The tracker's bookkeeping counted per live tracked block.
constexpr int kManagerBytesPerBlock = 60;

// The program's global release for tracked blocks: checks the index word, then releases
// the block's record ("\n\ndelete ERROR!\n\n" on the debug output for a bad index).
void trackedDelete(void* p);
// Releases the block of one record of the table: counters, guards, heap block; the record's
// slot is emptied in place (no later block is renumbered) and the table is compacted once
// empty slots outnumber live ones, so a release costs constant time on average. Returns 1
// when released, 0 when the record is unknown or already released.
int releaseRecord(AllocationRecord* record);
// Writes the report to the debug output; the shell passes no dump and the limit 512.
void reportMemoryStatus(bool dump, int limit);

// The tracker's whole state, for inspection. The table holds the records in allocation
// order; a released block leaves an empty slot (address 0) until the next compaction, and
// each block's guard index is its slot number.
struct MemoryTrackerState {
  AllocationRecord* records;  // slotCount slots in use, slotCapacity allocated; null when empty
  int recordCount;            // live blocks
  int allocationCount;        // "New/Malloc called"
  int releaseCount;           // "Delete/Free called"
  int userBytes;              // sum of the sizes of live blocks
  int managerBytes;           // kManagerBytesPerBlock per live block
  int slotCount;              // slots in use: live records and empty slots
  int slotCapacity;           // slots allocated
};
const MemoryTrackerState& memoryTrackerState();
// Puts another state in place and returns the one it replaces (tests run on a fresh
// table and put the program's back afterwards, with every block of theirs released).
MemoryTrackerState memoryTrackerExchange(const MemoryTrackerState& next);
