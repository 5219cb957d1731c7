// A private working folder for the scene fuzz target, whose loaders take file names: made
// once per process in memory-backed storage where there is some (the current folder from
// then on) and emptied when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace scene_fuzz {

class WorkFolder {
 public:
  WorkFolder() {
    char memory[] = "/dev/shm/vellumite_fuzz_XXXXXX";
    char disk[] = "/tmp/vellumite_fuzz_XXXXXX";
    const char* made = mkdtemp(memory);
    if (made == nullptr) made = mkdtemp(disk);
    if (made == nullptr || chdir(made) != 0) std::abort();
    path = made;
  }
  ~WorkFolder() {
    for (const std::string& name : written) std::remove(name.c_str());
    if (chdir("/") == 0) rmdir(path.c_str());
  }
  // Writes the bytes as the named file of the folder.
  void write(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    for (const std::string& seen : written)
      if (seen == name) return;
    written.push_back(name);
  }
  void remove(const std::string& name) { std::remove(name.c_str()); }

  std::string path;
  std::vector<std::string> written;
};

inline WorkFolder& folder() {
  static WorkFolder work;
  return work;
}

}  // namespace scene_fuzz
