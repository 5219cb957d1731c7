// JPEG encoding through libjpeg into memory.
#include "writers/jpeg_writer.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>  // after <cstdio>: it needs FILE and size_t

std::vector<std::uint8_t> encodeJpeg(const std::uint8_t* pixels, int width, int height, JpegPixels layout,
                                     const JpegSettings& settings) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
  const int components = layout == JpegPixels::kGrey ? 1 : 3;
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, settings.quality, TRUE);
  if (settings.fullChroma) {
    for (int c = 0; c < info.num_components; ++c) {
      info.comp_info[c].h_samp_factor = 1;
      info.comp_info[c].v_samp_factor = 1;
    }
  }
  if (settings.progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(std::size_t(width) * components);
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* in = pixels + std::size_t(info.next_scanline) * width * components;
    for (int x = 0; x < width; ++x) {
      if (layout == JpegPixels::kBgr) {
        row[x * 3] = in[x * 3 + 2];
        row[x * 3 + 1] = in[x * 3 + 1];
        row[x * 3 + 2] = in[x * 3];
      } else {
        for (int c = 0; c < components; ++c) row[x * components + c] = in[x * components + c];
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}
