// One video file encoded in-process with the FFmpeg libraries: H.264 with AAC in MP4, or VP9
// with Opus in WebM. Frames arrive as 0xAARRGGBB pixels, the sound as 44100 Hz stereo 16-bit
// samples. The file is written under a temporary name beside the final one and renamed only
// when it is complete; a file that cannot be completed is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class VideoCodec {
  kH264,  // H.264 (libx264) and AAC in MP4
  kVp9,   // VP9 (libvpx) and Opus in WebM
};

struct VideoSettings {
  std::string path;  // the finished file
  VideoCodec codec = VideoCodec::kH264;
  int width = 1280;  // odd sides are padded with a black row or column
  int height = 720;
  int fps = 30;
  int crf = -1;  // constant rate factor; negative: the codec's default (18 H.264, 31 VP9)
  bool sound = true;
  int sampleRate = 44100;
};

// The file name extension of a codec's container, with its dot.
const char* videoFileExtension(VideoCodec codec);
// The highest constant rate factor of a codec (51 H.264, 63 VP9).
int videoMaxCrf(VideoCodec codec);
// Empty when the libraries have the codec's encoders, else what is missing.
std::string videoCodecMissing(VideoCodec codec);

class VideoEncoder {
 public:
  VideoEncoder();
  ~VideoEncoder();  // without finish(): the incomplete file is removed
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Sets up the encoders and creates the temporary file. False: error() says why.
  bool open(const VideoSettings& settings);
  // The next frame (settings' width x height, top row first).
  bool writeFrame(const std::uint32_t* pixels);
  // The next stereo sample frames.
  bool writeSound(const std::int16_t* samples, std::size_t frames);
  // Flushes the encoders, completes the file and gives it its final name.
  bool finish();
  // Closes and removes the incomplete file.
  void abandon();

  const std::string& error() const;
  std::int64_t framesWritten() const;
  std::int64_t soundFramesWritten() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};
