// Test helper: writes bytes to a fresh file in the temporary directory and removes it
// when the helper goes out of scope.
#pragma once

#include <cstddef>
#include <string>

class LoadingTempFile {
 public:
  LoadingTempFile(const void* bytes, std::size_t count);
  explicit LoadingTempFile(const std::string& text) : LoadingTempFile(text.data(), text.size()) {}
  ~LoadingTempFile();
  LoadingTempFile(const LoadingTempFile&) = delete;
  LoadingTempFile& operator=(const LoadingTempFile&) = delete;

  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};
