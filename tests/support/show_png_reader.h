// Reads back the PNG and WAV files the capture writes (PNG through libpng's reader).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ShowPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// Decodes a PNG file; false when it is unreadable, damaged or of another kind.
bool showReadPng(const std::string& path, ShowPicture& picture);

struct ShowWav {
  int sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;
  std::vector<std::int16_t> samples;  // interleaved
};
bool showReadWav(const std::string& path, ShowWav& wav);

std::vector<std::uint8_t> showReadFile(const std::string& path);
