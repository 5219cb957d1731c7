// Opening files that the loaders read whole: only regular files are opened, so a named
// pipe, a device or a folder in place of a show file never blocks or misleads a loader.
#pragma once

#include <cstdio>

enum class RegularFileStatus {
  ok,          // opened
  missing,     // cannot be opened (absent, no permission)
  notRegular,  // a folder, named pipe, device or socket
};

// Opens the path for binary reading when it is a regular file; null otherwise, with the
// reason in status (when given). The check and the open are one step: the file is opened
// without waiting for a writer and then checked, so a pipe never blocks.
std::FILE* openRegularFile(const char* path, RegularFileStatus* status = nullptr);
