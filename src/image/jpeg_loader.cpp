// JPEG pictures through the libjpeg API; library errors jump back to the decoder, which
// cleans up and returns null instead of letting the library end the process.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "image/image_loader.h"
#include "loading/regular_file.h"

namespace {

// The library's error manager followed by where to jump back to.
struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf returnPoint;
  void (*libraryEmitMessage)(j_common_ptr, int);
};

[[noreturn]] void jumpBackOnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  std::longjmp(manager->returnPoint, 1);
}

// The library's own messages would reach stderr without the file's name; the decoder stays
// silent like every loader, and the program names files it cannot read.
void keepMessageQuiet(j_common_ptr) {}

// Image data that ends before the picture does (the file ends, or a marker comes first) means
// a damaged file, not a picture: the library would pad the rest with grey, so those warnings
// end the decode like an error.
void stopAtPrematureEnd(j_common_ptr info, int level) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
  if (level < 0 && (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER)) {
    std::longjmp(manager->returnPoint, 1);
  }
  manager->libraryEmitMessage(info, level);
}

// Working memory the library may use for one picture (coefficient buffers of progressive
// files); a header asking for more is refused rather than attempted.
constexpr long kLibraryMemoryLimit = 512L * 1024 * 1024;

// Everything between setjmp and the end lives in this function and holds no object with a
// destructor, so a jump back skips nothing that needs cleaning up.
unsigned char* decodeJpegPixels(jpeg_decompress_struct* info, JpegErrorManager* errors, const unsigned char* data,
                                size_t size, int32_t* width, int32_t* height, uint64_t maxPixels) {
  unsigned char* volatile pixels = nullptr;
  info->err = jpeg_std_error(&errors->base);
  errors->base.error_exit = jumpBackOnError;
  errors->base.output_message = keepMessageQuiet;
  errors->libraryEmitMessage = errors->base.emit_message;
  errors->base.emit_message = stopAtPrematureEnd;
  if (setjmp(errors->returnPoint) != 0) {
    std::free(pixels);
    jpeg_destroy_decompress(info);
    return nullptr;
  }
  jpeg_create_decompress(info);
  info->mem->max_memory_to_use = kLibraryMemoryLimit;
  jpeg_mem_src(info, data, static_cast<unsigned long>(size));
  jpeg_read_header(info, TRUE);

  if (info->image_width == 0 || info->image_height == 0 || info->image_width > uint32_t(kMaxImageSide) ||
      info->image_height > uint32_t(kMaxImageSide) || uint64_t(info->image_width) * info->image_height > maxPixels) {
    jpeg_destroy_decompress(info);
    return nullptr;
  }
  *width = static_cast<int32_t>(info->image_width);
  *height = static_cast<int32_t>(info->image_height);

  jpeg_start_decompress(info);
  const int components = info->output_components;
  // Colour comes out as RGB and grey as one channel; anything else (CMYK) is not a picture here.
  if ((components != 3 && components != 1) || info->output_width != info->image_width ||
      info->output_height != info->image_height) {
    jpeg_destroy_decompress(info);
    return nullptr;
  }

  const size_t rowBytes = size_t(info->output_width) * 3;
  pixels = static_cast<unsigned char*>(std::malloc(rowBytes * info->output_height));
  if (pixels == nullptr) {
    jpeg_destroy_decompress(info);
    return nullptr;
  }
  JSAMPARRAY row =
      (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE, info->output_width * components, 1);
  while (info->output_scanline < info->output_height) {
    const JDIMENSION y = info->output_scanline;
    jpeg_read_scanlines(info, row, 1);
    unsigned char* out = pixels + rowBytes * y;
    const unsigned char* in = row[0];
    // The library delivers red, green, blue; the picture keeps blue, green, red.
    if (components == 3) {
      for (JDIMENSION x = 0; x < info->output_width; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    } else {
      for (JDIMENSION x = 0; x < info->output_width; ++x, ++in, out += 3) {
        out[0] = out[1] = out[2] = *in;
      }
    }
  }
  jpeg_finish_decompress(info);
  jpeg_destroy_decompress(info);
  return pixels;
}

}  // namespace

unsigned char* decodeJpeg(const unsigned char* data, size_t size, int32_t* width, int32_t* height, uint64_t maxPixels) {
  int32_t ignoredWidth = 0;
  int32_t ignoredHeight = 0;
  if (width == nullptr) width = &ignoredWidth;
  if (height == nullptr) height = &ignoredHeight;
  if (data == nullptr || size == 0 || size > 0xffffffffu) return nullptr;
  jpeg_decompress_struct info;
  JpegErrorManager errors;
  std::memset(&info, 0, sizeof info);
  std::memset(&errors, 0, sizeof errors);
  return decodeJpegPixels(&info, &errors, data, size, width, height, maxPixels);
}

unsigned char* loadJpeg(const char* fileName, int32_t* width, int32_t* height) {
  if (fileName == nullptr) return nullptr;
  std::FILE* file = openRegularFile(fileName);
  if (file == nullptr) return nullptr;
  unsigned char* data = nullptr;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size > 0 && std::fseek(file, 0, SEEK_SET) == 0) {
    data = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
    if (data != nullptr && std::fread(data, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) {
      std::free(data);
      data = nullptr;
    }
  }
  std::fclose(file);
  if (data == nullptr) return nullptr;
  unsigned char* pixels = decodeJpeg(data, static_cast<size_t>(size), width, height);
  std::free(data);
  return pixels;
}
