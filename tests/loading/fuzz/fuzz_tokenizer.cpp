// Fuzz target for the data file reader: a program of reads and seeks (the first bytes of the
// input) runs over the rest of the input as the file. Every read must stay inside the
// buffer, tokens must fit their capacity, and the position must never pass the size.
#include <cstring>

#include "fuzz_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using loading_fuzz::require;
  const size_t programLength = size < 8 ? size : 8;
  const uint8_t* program = data;
  DataFile file;
  if (!loading_fuzz::serve(file, data + programLength, size - programLength)) return 0;
  char token[600];
  uint8_t bytes[64];
  for (int step = 0; step < 4096 && !file.atEnd(); ++step) {
    const uint8_t op = programLength > 0 ? program[step % programLength] : 0;
    switch (op % 10) {
      case 0:
      case 1: {
        // Capacities from 1 to 512, the scene parser's keyword buffer.
        const int32_t capacity = 1 + (op * 37) % 512;
        std::memset(token, 'x', sizeof token);
        file.readToken(token, capacity);
        require(std::memchr(token, '\0', static_cast<size_t>(capacity)) != nullptr);
        break;
      }
      case 2:
        file.readInt();
        break;
      case 3:
        file.readHex();
        break;
      case 4:
        file.readReal();
        break;
      case 5:
        file.readByte();
        break;
      case 6:
        file.readWord();
        break;
      case 7:
        file.readDword();
        file.readFloat();
        break;
      case 8: {
        const int32_t count = static_cast<int32_t>(op) - 140;  // also negative counts
        const int32_t got = file.readBytes(bytes, count > 64 ? 64 : count);
        require(got <= 64);
        break;
      }
      default:
        file.seek(static_cast<int32_t>(op) * 977 - 100000, op % 3);
        break;
    }
    require(file.position <= file.size);
  }
  return 0;
}
