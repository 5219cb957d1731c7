// DataFile: reads a whole file into memory once, then serves it as binary values in a
// chosen byte order or as text tokens separated by blanks and line breaks.
#pragma once

#include <cstdint>

class DataFile {
 public:
  DataFile();
  ~DataFile();
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Loads the whole file. False when it cannot be opened, measured, allocated or fully
  // read; a buffer already held then stays, except after a failed allocation (released).
  bool open(const char* path, uint8_t littleEndian);
  // Releases the buffer when one is held.
  void close();
  // origin 0: from the start, 1: from position, 2: from the last byte. The result is
  // clamped below size. False when no buffer is held (or for an unknown origin).
  bool seek(int32_t offset, int32_t origin);

  uint8_t readByte();    // 0xFF at the end
  uint16_t readWord();   // 0xFFFF at the end
  uint32_t readDword();  // 0xFFFFFFFF at the end
  float readFloat();     // -1.0 at the end
  // Copies up to count bytes; the number copied, or -1 at the end (or without buffer/dst).
  int32_t readBytes(void* dst, int32_t count);

  // Next blank/line-break separated token, NUL-terminated, at most capacity - 1 characters.
  void readToken(char* dst, int32_t capacity);
  int32_t readInt();   // token as decimal integer (0 when not a number)
  uint32_t readHex();  // token as hexadecimal, saturating at 0xFFFFFFFF
  double readReal();   // token as real number (0.0 when not a number)

  // True when every byte has been read (or nothing is loaded).
  bool atEnd() const { return data == nullptr || position >= size; }

  uint8_t* data;
  uint32_t size;
  uint32_t position;
  uint8_t littleEndian;
};
