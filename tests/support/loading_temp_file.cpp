// Test helper: temporary files for the loader tests.
#include "support/loading_temp_file.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

LoadingTempFile::LoadingTempFile(const void* bytes, std::size_t count) {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/vellumite_loading_XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return;
  path_ = pattern;
  const char* p = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n = write(fd, p, count);
    if (n <= 0) break;
    p += n;
    count -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

LoadingTempFile::~LoadingTempFile() {
  if (!path_.empty()) std::remove(path_.c_str());
}
