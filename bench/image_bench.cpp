// Picture loading and pixel conversion speed: 1024×1024 JPEG and BMP files decoded from disk,
// box and bilinear scaling, and a 24-bit to 5-6-5 conversion.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/pixel_format.h"
#include "image/image_loader.h"
#include "image/pixel_conversion.h"
#include "support/image_writers.h"

namespace {

const PixelFormat kRgb565 = {16, 0, 0xf800, 0x07e0, 0x001f};

// A temporary folder for the process's picture files, removed at exit.
struct BenchFolder {
  std::string path = image_test::makeTempDir("image_bench");
  ~BenchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// Writes the picture into the folder once per process.
std::string pictureFile(const std::string& name, const image_test::Bytes& bytes) {
  static const BenchFolder folder;
  const std::string path = folder.path + "/" + name;
  if (!std::filesystem::exists(path)) image_test::writeFile(path, bytes);
  return path;
}

void decodeFile(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    int32_t width = 0, height = 0;
    unsigned char* pixels = loadImage(path.c_str(), &width, &height);
    if (pixels == nullptr) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
  // Throughput in decoded picture bytes.
  state.SetBytesProcessed(int64_t(state.iterations()) * 1024 * 1024 * 3);
}

void BM_DecodeJpeg1024(benchmark::State& state) {
  const auto bgr = image_test::makePattern(1024, 1024);
  decodeFile(state, pictureFile("picture.jpg", image_test::writeJpeg(bgr, 1024, 1024, 3, 90)));
}
BENCHMARK(BM_DecodeJpeg1024)->Unit(benchmark::kMillisecond);

void BM_DecodeBmp1024(benchmark::State& state) {
  const auto bgr = image_test::makePattern(1024, 1024);
  decodeFile(state, pictureFile("picture.bmp", image_test::writeBmp24(bgr, 1024, 1024)));
}
BENCHMARK(BM_DecodeBmp1024)->Unit(benchmark::kMillisecond);

void scale(benchmark::State& state, int sw, int sh, int dw, int dh) {
  const auto bgr = image_test::makePattern(sw, sh);
  const PixelFormat source = picture24Format();
  std::vector<uint16_t> out(size_t(dw) * dh);
  for (auto _ : state) {
    const bool ok = scaleImage(&source, bgr.data(), sw, sh, sw * 3, &kRgb565, out.data(), dw, dh, dw * 2);
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * sw * sh * 3);
}

void BM_ScaleBox1024To256(benchmark::State& state) { scale(state, 1024, 1024, 256, 256); }
BENCHMARK(BM_ScaleBox1024To256)->Unit(benchmark::kMillisecond);

void BM_ScaleBilinear100x60To128x64(benchmark::State& state) { scale(state, 100, 60, 128, 64); }
BENCHMARK(BM_ScaleBilinear100x60To128x64)->Unit(benchmark::kMicrosecond);

void BM_Convert1024To565(benchmark::State& state) {
  const auto bgr = image_test::makePattern(1024, 1024);
  const PixelFormat source = picture24Format();
  std::vector<uint16_t> out(1024 * 1024);
  for (auto _ : state) {
    const bool ok =
        convertPixels(&source, bgr.data(), 1024, 1024, 1024 * 3, &kRgb565, out.data(), 1024, 1024, 1024 * 2);
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * 1024 * 1024 * 3);
}
BENCHMARK(BM_Convert1024To565)->Unit(benchmark::kMillisecond);

}  // namespace
