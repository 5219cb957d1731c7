// Helpers shared by the PCX, BMP and TGA decoders: size checks, the picture allocation and a
// DataFile served from bytes already in memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "loading/data_file.h"

namespace picture {

// True when width and height are 1..kMaxImageSide and width × height stays within maxPixels.
bool sizeAccepted(int64_t width, int64_t height, uint64_t maxPixels);

// malloc of width × height × 3 bytes (sizes already accepted); null on failure.
unsigned char* allocate(int32_t width, int32_t height);

// Gives file its own copy of the bytes, as if it had been opened (little-endian); false when
// the copy cannot be made.
bool attach(DataFile& file, const unsigned char* data, size_t size);

// Bytes left to read in the file.
inline uint32_t remaining(const DataFile& file) { return file.position < file.size ? file.size - file.position : 0; }

}  // namespace picture
