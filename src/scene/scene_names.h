// Owned copies of item names: allocated with the name's length plus one.
#pragma once

#include <cstring>

#include "shell/memory_tracker.h"

// A heap copy of name (an empty one for null); free it with delete[].
inline char* copySceneName(const char* name) {
  if (name == nullptr) name = "";
  std::size_t length = std::strlen(name);
  char* copy = TRACKED_NEW char[length + 1];
  std::memcpy(copy, name, length + 1);
  return copy;
}
