// The whole text written to a temporary stream (tmpfile), read back from its start; closes it.
#pragma once

#include <cstdio>
#include <string>

inline std::string readAll(std::FILE* f) {
  std::rewind(f);
  std::string text;
  char buffer[256];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}
