// PNG and WAV read-back for the capture tests.
#include "support/show_png_reader.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::vector<std::uint8_t> showReadFile(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  std::uint8_t buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool showReadPng(const std::string& path, ShowPicture& picture) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGRA;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
  if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  for (auto& p : picture.pixels) p &= 0xFFFFFFu;
  return true;
}

bool showReadWav(const std::string& path, ShowWav& wav) {
  std::vector<std::uint8_t> file = showReadFile(path);
  if (file.size() < 44 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(&file[8], "WAVE", 4) != 0)
    return false;
  auto le32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(file[at]) | (static_cast<std::uint32_t>(file[at + 1]) << 8) |
           (static_cast<std::uint32_t>(file[at + 2]) << 16) | (static_cast<std::uint32_t>(file[at + 3]) << 24);
  };
  if (le32(4) != file.size() - 8) return false;
  std::size_t at = 12;
  bool haveFormat = false;
  while (at + 8 <= file.size()) {
    std::uint32_t length = le32(at + 4);
    if (at + 8 + length > file.size()) return false;
    if (std::memcmp(&file[at], "fmt ", 4) == 0) {
      if (file[at + 8] != 1 || file[at + 9] != 0) return false;
      wav.channels = file[at + 10] | (file[at + 11] << 8);
      wav.sampleRate = static_cast<int>(le32(at + 12));
      wav.bitsPerSample = file[at + 22] | (file[at + 23] << 8);
      haveFormat = true;
    } else if (std::memcmp(&file[at], "data", 4) == 0) {
      if (!haveFormat || wav.bitsPerSample != 16) return false;
      wav.samples.resize(length / 2);
      for (std::size_t i = 0; i < wav.samples.size(); ++i)
        wav.samples[i] = static_cast<std::int16_t>(file[at + 8 + 2 * i] | (file[at + 9 + 2 * i] << 8));
      return true;
    }
    at += 8 + length;
  }
  return false;
}
