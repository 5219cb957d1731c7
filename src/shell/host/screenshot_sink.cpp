// The screenshot's picture: the first frame written as one PNG file.
#include <cerrno>
#include <cstring>

#include "port/png_writer.h"
#include "shell/host/capture_sinks.h"

namespace {

class SinglePngSink : public FrameSink {
 public:
  explicit SinglePngSink(std::string file) { output_ = std::move(file); }
  bool write(std::vector<std::uint32_t>& pixels, int width, int height, const std::int16_t*, std::size_t) override {
    if (written) return true;
    if (!writePngArgb(output_.c_str(), pixels.data(), width, height)) {
      int error = errno;
      error_ = "cannot write " + output_;
      if (error != 0) error_ += std::string(": ") + std::strerror(error);
      return false;
    }
    written = true;
    return true;
  }
  bool finish() override { return true; }

  bool written = false;
};

}  // namespace

std::unique_ptr<FrameSink> createScreenshotSink(const std::string& path) {
  return std::make_unique<SinglePngSink>(path);
}
