// Whole-file reader: binary reads and text tokens served from one memory buffer.
#include "loading/data_file.h"

#include "loading/regular_file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

DataFile::DataFile() : data(nullptr), size(0), position(0), littleEndian(1) {}

DataFile::~DataFile() {
  if (data) close();
}

bool DataFile::open(const char* path, uint8_t littleEndian_) {
  if (!path) return false;
  FILE* f = openRegularFile(path);
  if (!f) return false;

  long length = -1;
  if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
  if (length < 0 || static_cast<unsigned long>(length) > 0xFFFFFFFFul || std::fseek(f, 0, SEEK_SET) != 0) {
    std::fclose(f);
    return false;
  }
  const uint32_t length32 = static_cast<uint32_t>(length);
  // At least one byte so that an empty file still counts as loaded.
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(length32 > 0 ? length32 : 1));
  if (!buffer) {
    std::fclose(f);
    close();
    return false;
  }
  const size_t got = length32 > 0 ? std::fread(buffer, 1, length32, f) : 0;
  std::fclose(f);
  if (got != length32) {
    // A short read would serve whatever the allocation held: refuse the file.
    std::free(buffer);
    return false;
  }
  close();  // a second open must not leak the first buffer
  data = buffer;
  size = length32;
  position = 0;
  littleEndian = littleEndian_;
  return true;
}

void DataFile::close() {
  if (!data) return;
  std::free(data);
  data = nullptr;
  size = 0;
  position = 0;
  littleEndian = 1;
}

bool DataFile::seek(int32_t offset, int32_t origin) {
  if (!data) return false;
  uint32_t base;
  switch (origin) {
    case 0:
      base = 0;
      break;
    case 1:
      base = position;
      break;
    case 2:
      base = size - 1;
      break;
    default:
      return false;
  }
  uint32_t p = base + static_cast<uint32_t>(offset);
  if (p >= size) p = size > 0 ? size - 1 : 0;
  position = p;
  return true;
}

uint8_t DataFile::readByte() {
  if (!data || position >= size) return 0xFF;
  return data[position++];
}

uint16_t DataFile::readWord() {
  uint32_t v = 0;
  for (int i = 0; i < 2; ++i) {
    if (!data || position >= size) return 0xFFFF;
    const uint32_t b = data[position++];
    v = littleEndian ? (v | (b << (8 * i))) : ((v << 8) | b);
  }
  return static_cast<uint16_t>(v);
}

uint32_t DataFile::readDword() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    if (!data || position >= size) return 0xFFFFFFFFu;
    const uint32_t b = data[position++];
    v = littleEndian ? (v | (b << (8 * i))) : ((v << 8) | b);
  }
  return v;
}

float DataFile::readFloat() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    if (!data || position >= size) return -1.0f;
    const uint32_t b = data[position++];
    v = littleEndian ? (v | (b << (8 * i))) : ((v << 8) | b);
  }
  float f;
  std::memcpy(&f, &v, sizeof f);
  return f;
}

int32_t DataFile::readBytes(void* dst, int32_t count) {
  if (!data || !dst || position >= size) return -1;
  const uint32_t left = size - position;
  const uint32_t wanted = count > 0 ? static_cast<uint32_t>(count) : 0;
  const uint32_t n = wanted < left ? wanted : left;
  std::memcpy(dst, data + position, n);
  position += n;
  return static_cast<int32_t>(n);
}

void DataFile::readToken(char* dst, int32_t capacity) {
  if (!dst || capacity <= 0) return;
  dst[0] = '\0';
  if (!data || position >= size) return;
  while (position < size && (data[position] == ' ' || data[position] == '\n' || data[position] == '\r')) {
    ++position;
  }
  if (position >= size) return;
  if (data[position] == 0) {
    ++position;
    return;
  }
  int32_t n = 0;
  for (;;) {
    const uint8_t c = data[position];
    if (c == '\n' || c == ' ' || n >= capacity - 1) {
      // The separator (or the character at the capacity limit) is eaten.
      ++position;
      break;
    }
    if (c != '\r') dst[n++] = static_cast<char>(c);
    ++position;
    if (position >= size) break;
    if (data[position] == 0) {
      ++position;
      break;
    }
  }
  dst[n] = '\0';
}

int32_t DataFile::readInt() {
  char token[256];
  readToken(token, sizeof token);
  const char* p = token;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // Accumulate with saturation so that long digit runs stay defined.
  int64_t v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + (*p++ - '0');
    if (v > 0x80000000ll) v = 0x80000000ll;
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFFll) v = 0x7FFFFFFFll;
  return static_cast<int32_t>(v);
}

uint32_t DataFile::readHex() {
  char token[256];
  readToken(token, sizeof token);
  const char* p = token;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2]))) {
    p += 2;
  }
  uint64_t v = 0;
  bool saturated = false;
  for (;; ++p) {
    int digit;
    if (*p >= '0' && *p <= '9')
      digit = *p - '0';
    else if (*p >= 'a' && *p <= 'f')
      digit = *p - 'a' + 10;
    else if (*p >= 'A' && *p <= 'F')
      digit = *p - 'A' + 10;
    else
      break;
    v = v * 16 + static_cast<uint64_t>(digit);
    if (v > 0xFFFFFFFFull) saturated = true, v = 0xFFFFFFFFull;
  }
  if (saturated) return 0xFFFFFFFFu;
  const uint32_t v32 = static_cast<uint32_t>(v);
  return negative ? 0u - v32 : v32;
}

double DataFile::readReal() {
  char token[256];
  readToken(token, sizeof token);
  return std::strtod(token, nullptr);
}
