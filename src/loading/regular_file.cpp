// Regular-file opening on POSIX: open without blocking, check the kind, then read normally.
#include "loading/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::FILE* openRegularFile(const char* path, RegularFileStatus* status) {
  RegularFileStatus ignored;
  if (status == nullptr) status = &ignored;
  *status = RegularFileStatus::missing;
  if (path == nullptr || path[0] == '\0') return nullptr;
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    *status = RegularFileStatus::notRegular;
    ::close(fd);
    return nullptr;
  }
  // Reads of a regular file never wait; the flag is cleared only to leave a plain stream.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    ::close(fd);
    return nullptr;
  }
  *status = RegularFileStatus::ok;
  return file;
}
