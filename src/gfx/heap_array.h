// Heap lists that grow and shrink by count, as the engine's lists do, with a hook that lets
// tests make the next reallocations fail. The storage grows geometrically underneath, so a
// list built one entry at a time costs linear time however long it gets.
#pragma once

#include <malloc.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace heap_array_detail {
// Number of successful reallocations left before the next one fails; negative: never fail.
inline int failureCountdown = -1;
}  // namespace heap_array_detail

// Tests: let `successes` more reallocations succeed, then fail one (negative: stop failing).
inline void failHeapArrayGrowthAfter(int successes) { heap_array_detail::failureCountdown = successes; }

// Resizes `array` to `count` entries, keeping the leading entries. Returns false and leaves
// `array` untouched when the storage cannot be obtained. A count of 0 frees the storage.
// Entries are moved bytewise, so T must be relocatable (plain records and pointers).
template <typename T>
bool resizeHeapArray(T*& array, std::size_t count) {
  if (count == 0) {
    std::free(static_cast<void*>(array));
    array = nullptr;
    return true;
  }
  if (heap_array_detail::failureCountdown == 0) {
    heap_array_detail::failureCountdown = -1;
    return false;
  }
  if (heap_array_detail::failureCountdown > 0) --heap_array_detail::failureCountdown;
  if (count > SIZE_MAX / sizeof(T) / 2) return false;
  const std::size_t needed = count * sizeof(T);
  const std::size_t held = array != nullptr ? malloc_usable_size(static_cast<void*>(array)) : 0;
  // Keep the block while the entries fit and it is not far too large for them.
  if (needed <= held && needed >= held / 4) return true;
  // Growth reserves half as much again, so appending one entry at a time reallocates
  // (and copies) only now and then.
  const std::size_t wanted = needed > held ? needed + needed / 2 : needed;
  void* grown = std::realloc(static_cast<void*>(array), wanted);
  if (grown == nullptr) return false;
  array = static_cast<T*>(grown);
  return true;
}

// Frees a list's storage.
template <typename T>
void freeHeapArray(T*& array) {
  std::free(static_cast<void*>(array));
  array = nullptr;
}
