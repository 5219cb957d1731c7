// Serves fuzz input to a DataFile as if the file had been read from disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "loading/data_file.h"

namespace loading_fuzz {

// The file holds a malloc'ed copy of the bytes (as open leaves it); false when the copy
// cannot be had.
inline bool serve(DataFile& file, const uint8_t* data, size_t size) {
  if (size > 0xffffffffu) return false;
  auto* copy = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
  if (copy == nullptr) return false;
  if (size > 0) std::memcpy(copy, data, size);
  file.close();
  file.data = copy;
  file.size = static_cast<uint32_t>(size);
  file.position = 0;
  file.littleEndian = 1;
  return true;
}

// Stops the run where a reader broke its own promise, so the fuzzer records the input.
inline void require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace loading_fuzz
