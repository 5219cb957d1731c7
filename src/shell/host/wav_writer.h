// WAV files of 16-bit PCM: the captured sound track, written as it is rendered.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file with a header for the given format. False when it cannot be created.
  bool open(const std::string& path, int sampleRate, int channels);
  // Appends frames of interleaved samples (channels values each).
  bool write(const std::int16_t* samples, std::size_t frames);
  // Writes the final sizes into the header and closes the file. False on any write error.
  bool close();

  std::uint64_t framesWritten() const { return frames_; }

 private:
  std::FILE* file_ = nullptr;
  int channels_ = 2;
  std::uint64_t frames_ = 0;
  bool failed_ = false;
};
