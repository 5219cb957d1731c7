// PNG files of captured frames and screenshots: 8-bit RGB, compressed with a small
// built-in deflate encoder (a frame per call, no state kept between calls).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes pixels (0xAARRGGBB values, top row first, alpha ignored) as a PNG file image.
std::vector<std::uint8_t> encodePng(const std::uint32_t* pixels, int width, int height);

// Writes the PNG to path. False (with errno from the failing call) when it cannot be written.
bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height);

// The zlib stream (RFC 1950) of the bytes, compressed with fixed-code deflate (RFC 1951).
std::vector<std::uint8_t> zlibCompress(const std::uint8_t* data, std::size_t size);
// CRC-32 of PNG chunks and Adler-32 of zlib streams.
std::uint32_t pngCrc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t size);
