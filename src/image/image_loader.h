// Picture decoders. Every loader returns a malloc'ed buffer of width × height × 3 bytes,
// blue-green-red, top row first, rows tightly packed, which the caller releases with free;
// null on any failure (the out-parameters may already hold the header's size then).
#pragma once

#include <cstddef>
#include <cstdint>

// Largest width or height a loader accepts; larger headers are treated as damaged.
constexpr int32_t kMaxImageSide = 16384;

// Picks the decoder by the last three letters of the name (jpg, pcx, bmp, tga; any case).
unsigned char* loadImage(const char* fileName, int32_t* width, int32_t* height);

unsigned char* loadJpeg(const char* fileName, int32_t* width, int32_t* height);
unsigned char* loadPcx(const char* fileName, int32_t* width, int32_t* height);
unsigned char* loadBmp(const char* fileName, int32_t* width, int32_t* height);
unsigned char* loadTga(const char* fileName, int32_t* width, int32_t* height);

// The same decoders on a file already in memory (used by the file loaders, tests and fuzzing).
// maxPixels bounds width × height so a fuzzer can keep each decode small.
unsigned char* decodeJpeg(const unsigned char* data, size_t size, int32_t* width, int32_t* height,
                          uint64_t maxPixels = uint64_t(kMaxImageSide) * kMaxImageSide);
unsigned char* decodePcx(const unsigned char* data, size_t size, int32_t* width, int32_t* height,
                         uint64_t maxPixels = uint64_t(kMaxImageSide) * kMaxImageSide);
unsigned char* decodeBmp(const unsigned char* data, size_t size, int32_t* width, int32_t* height,
                         uint64_t maxPixels = uint64_t(kMaxImageSide) * kMaxImageSide);
unsigned char* decodeTga(const unsigned char* data, size_t size, int32_t* width, int32_t* height,
                         uint64_t maxPixels = uint64_t(kMaxImageSide) * kMaxImageSide);
