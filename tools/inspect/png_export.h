// Writing a decoded picture (blue-green-red, top row first) as an 8-bit RGB PNG file.
#pragma once

#include <cstdint>

bool writePicturePng(const char* path, const unsigned char* bgr, std::int32_t width, std::int32_t height);
