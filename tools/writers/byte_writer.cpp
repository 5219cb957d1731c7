// Byte building (little- and big-endian) and file saving shared by the writers.
#include "writers/byte_writer.h"

#include <cstdio>
#include <cstring>

void appendU8(ByteBuffer& out, std::uint8_t v) { out.push_back(v); }

void appendU16(ByteBuffer& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void appendU32(ByteBuffer& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void appendFloat(ByteBuffer& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  appendU32(out, bits);
}

void appendU16BigEndian(ByteBuffer& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

void appendU32BigEndian(ByteBuffer& out, std::uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void appendFloatBigEndian(ByteBuffer& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  appendU32BigEndian(out, bits);
}

void appendString(ByteBuffer& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

void appendFixedString(ByteBuffer& out, const std::string& s, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) out.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

namespace {

bool saveData(const std::string& path, const void* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

}  // namespace

bool saveBytes(const std::string& path, const ByteBuffer& bytes) { return saveData(path, bytes.data(), bytes.size()); }

bool saveText(const std::string& path, const std::string& text) { return saveData(path, text.data(), text.size()); }
