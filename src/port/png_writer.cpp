// PNG output through libpng: one row at a time from the caller's layout into RGB bytes.
#include "port/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace {

// Fills one RGB row (width × 3 bytes) for row y.
using RowSource = void (*)(const void* pixels, int width, int y, unsigned char* rgb);

void bgrRow(const void* pixels, int width, int y, unsigned char* rgb) {
  const unsigned char* in = static_cast<const unsigned char*>(pixels) + static_cast<std::size_t>(y) * width * 3;
  for (int x = 0; x < width; ++x) {
    rgb[3 * x] = in[3 * x + 2];
    rgb[3 * x + 1] = in[3 * x + 1];
    rgb[3 * x + 2] = in[3 * x];
  }
}

void argbRow(const void* pixels, int width, int y, unsigned char* rgb) {
  const std::uint32_t* in = static_cast<const std::uint32_t*>(pixels) + static_cast<std::size_t>(y) * width;
  for (int x = 0; x < width; ++x) {
    rgb[3 * x] = static_cast<unsigned char>(in[x] >> 16);
    rgb[3 * x + 1] = static_cast<unsigned char>(in[x] >> 8);
    rgb[3 * x + 2] = static_cast<unsigned char>(in[x]);
  }
}

// libpng reports errors by longjmp: nothing with a destructor may live across setjmp, so
// the row buffer belongs to the caller.
bool encodeRows(std::FILE* file, const void* pixels, int width, int height, RowSource source, unsigned char* row) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  // Frames are written while the show renders: favour speed over size (fast deflate and
  // the cheap left-neighbour filter, which still suits rendered gradients).
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    source(pixels, width, y, row);
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool writeRows(const char* path, const void* pixels, int width, int height, RowSource source) {
  if (path == nullptr || pixels == nullptr || width <= 0 || height <= 0) return false;
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
  bool encoded = encodeRows(file, pixels, width, height, source, row.data());
  bool closed = std::fclose(file) == 0;
  if (!encoded || !closed) std::remove(path);
  return encoded && closed;
}

}  // namespace

bool writePngBgr(const char* path, const unsigned char* bgr, int width, int height) {
  return writeRows(path, bgr, width, height, bgrRow);
}

bool writePngArgb(const char* path, const std::uint32_t* pixels, int width, int height) {
  return writeRows(path, pixels, width, height, argbRow);
}
