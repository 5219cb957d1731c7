// Byte building for the binary files the tools and tests write (little-endian, and big-endian
// for IFF files), and saving bytes to a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using ByteBuffer = std::vector<std::uint8_t>;

void appendU8(ByteBuffer& out, std::uint8_t v);
void appendU16(ByteBuffer& out, std::uint16_t v);
void appendU32(ByteBuffer& out, std::uint32_t v);
void appendFloat(ByteBuffer& out, float v);
// Big-endian, most significant byte first (IFF chunks).
void appendU16BigEndian(ByteBuffer& out, std::uint16_t v);
void appendU32BigEndian(ByteBuffer& out, std::uint32_t v);
void appendFloatBigEndian(ByteBuffer& out, float v);
// The characters and a terminating NUL.
void appendString(ByteBuffer& out, const std::string& s);
// The characters cut or padded with NULs to exactly width bytes (no terminator of its own).
void appendFixedString(ByteBuffer& out, const std::string& s, std::size_t width);

// Writes the bytes to path, replacing the file; false when it cannot be written completely.
bool saveBytes(const std::string& path, const ByteBuffer& bytes);
bool saveText(const std::string& path, const std::string& text);
