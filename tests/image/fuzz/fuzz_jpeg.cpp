// Fuzz target for the JPEG decoder (libFuzzer entry point; also driven by the corpus replay).
#include "fuzz_common.h"
#include "image/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return image_fuzz::run(decodeJpeg, data, size);
}
