// Where the frames and the sound track of a capture go: numbered PNG files with a WAV file,
// one picture (a screenshot), nowhere (benchmarks, with the WAV file), or a video file
// encoded on a thread of its own behind a short queue of frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "shell/host/video_encoder.h"

class FrameSink {
 public:
  virtual ~FrameSink() = default;
  // The next frame (0xAARRGGBB, top row first) and the stereo sound that plays during it
  // (null or 0 frames: none). The sink may swap `pixels` with a buffer of its own.
  virtual bool write(std::vector<std::uint32_t>& pixels, int width, int height, const std::int16_t* sound,
                     std::size_t soundFrames) = 0;
  // After the last frame: completes the output. False when it could not be completed.
  virtual bool finish() = 0;
  // After a failure: stops and removes what cannot be completed.
  virtual void abandon() {}
  // Why the last call failed.
  const std::string& error() const { return error_; }
  // The file or folder the output is in.
  const std::string& output() const { return output_; }

 protected:
  std::string error_;
  std::string output_;
};

// Frame files frame_00000.png, ... in `folder`; the sound in `wavPath` (empty: no sound file).
// Null when the sound file cannot be created (the reason in *error).
std::unique_ptr<FrameSink> createPngSequenceSink(const std::string& folder, const std::string& wavPath,
                                                 std::string* error);
// Frames are dropped; the sound goes to `wavPath` as above.
std::unique_ptr<FrameSink> createDiscardSink(const std::string& wavPath, std::string* error);
// A screenshot: the first frame as one PNG picture (screenshot_sink.cpp); on the page, the
// frame kept on the canvas and its pixels in a file (web/screenshot_sink_web.cpp).
std::unique_ptr<FrameSink> createScreenshotSink(const std::string& path);
// A video file; the encoder runs on its own thread behind a queue of kVideoQueueFrames frames.
// Null when the encoder cannot start or the file cannot be created (the reason in *error).
constexpr int kVideoQueueFrames = 4;
std::unique_ptr<FrameSink> createVideoSink(const VideoSettings& settings, std::string* error);
