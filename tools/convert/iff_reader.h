// Reading the big-endian IFF data that LightWave objects are made of: numbers, strings padded
// to an even length, point indices, and the walk over a run of chunks padded to even sizes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace convert {

// A chunk's four-letter id as the number the file holds.
constexpr std::uint32_t iffId(const char (&text)[5]) {
  return (std::uint32_t(static_cast<unsigned char>(text[0])) << 24) |
         (std::uint32_t(static_cast<unsigned char>(text[1])) << 16) |
         (std::uint32_t(static_cast<unsigned char>(text[2])) << 8) | static_cast<unsigned char>(text[3]);
}

enum class IffChunk { kEnd, kDamaged, kRead };

class IffReader {
 public:
  IffReader(const unsigned char* data, std::size_t size) : p(data), end(data + size) {}
  bool has(std::size_t n) const { return static_cast<std::size_t>(end - p) >= n; }
  std::uint32_t u1() { return *p++; }
  std::uint32_t u2() {
    const std::uint32_t v = (std::uint32_t(p[0]) << 8) | p[1];
    p += 2;
    return v;
  }
  std::uint32_t u4() {
    const std::uint32_t v =
        (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
    p += 4;
    return v;
  }
  float f4() {
    const std::uint32_t v = u4();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  // A NUL-terminated string padded to an even length; false when it runs past the end.
  bool s0(std::string& s) {
    const unsigned char* start = p;
    while (p < end && *p != 0) ++p;
    if (p == end) return false;
    s.assign(reinterpret_cast<const char*>(start), static_cast<std::size_t>(p - start));
    ++p;
    if ((p - start) % 2 != 0 && p < end) ++p;
    return true;
  }
  // A point number: two bytes, or four when the first is 0xFF.
  bool vx(int& index) {
    if (!has(2)) return false;
    if (*p == 0xFF) {
      if (!has(4)) return false;
      index = static_cast<int>(u4() & 0x00FFFFFF);
    } else {
      index = static_cast<int>(u2());
    }
    return true;
  }
  // The next chunk: its id, and its body as a reader of its own. Its length takes
  // `lengthBytes` bytes (4 in a file's top level, 2 inside a surface). The reader moves past
  // the body and its pad byte. kEnd when no chunk header is left; kDamaged when the body runs
  // past the data.
  IffChunk next(std::size_t lengthBytes, std::uint32_t& id, IffReader& body) {
    if (!has(4 + lengthBytes)) return IffChunk::kEnd;
    id = u4();
    const std::uint32_t length = lengthBytes == 2 ? u2() : u4();
    if (!has(length)) return IffChunk::kDamaged;
    body = IffReader(p, length);
    p += std::min<std::size_t>(length + (length % 2), static_cast<std::size_t>(end - p));
    return IffChunk::kRead;
  }

  const unsigned char* p;
  const unsigned char* end;
};

}  // namespace convert
