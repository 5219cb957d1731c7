// RIFF/WAVE writing: a 44-byte header whose sizes are filled in when the file is closed.
#include "shell/host/wav_writer.h"

#include <cstring>
#include <vector>

namespace {

void putU32(std::uint8_t* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putU16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

WavWriter::~WavWriter() {
  if (file_ != nullptr) close();
}

bool WavWriter::open(const std::string& path, int sampleRate, int channels) {
  if (file_ != nullptr) close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  channels_ = channels;
  frames_ = 0;
  failed_ = false;
  std::uint8_t header[44] = {};
  std::memcpy(header, "RIFF", 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  putU32(header + 16, 16);
  putU16(header + 20, 1);  // PCM
  putU16(header + 22, static_cast<std::uint16_t>(channels));
  putU32(header + 24, static_cast<std::uint32_t>(sampleRate));
  putU32(header + 28, static_cast<std::uint32_t>(sampleRate * channels * 2));
  putU16(header + 32, static_cast<std::uint16_t>(channels * 2));
  putU16(header + 34, 16);
  std::memcpy(header + 36, "data", 4);
  failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
  return !failed_;
}

bool WavWriter::write(const std::int16_t* samples, std::size_t frames) {
  if (file_ == nullptr || failed_) return false;
  std::size_t count = frames * static_cast<std::size_t>(channels_);
  // Samples are stored little-endian whatever the machine.
  std::vector<std::uint8_t> bytes(count * 2);
  for (std::size_t i = 0; i < count; ++i) putU16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
  if (!failed_) frames_ += frames;
  return !failed_;
}

bool WavWriter::close() {
  if (file_ == nullptr) return false;
  std::uint64_t dataBytes = frames_ * static_cast<std::uint64_t>(channels_) * 2;
  std::uint8_t size[4];
  bool ok = !failed_ && dataBytes + 36 <= 0xFFFFFFFFu;
  if (ok) {
    putU32(size, static_cast<std::uint32_t>(dataBytes + 36));
    ok = std::fseek(file_, 4, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
    putU32(size, static_cast<std::uint32_t>(dataBytes));
    ok = ok && std::fseek(file_, 40, SEEK_SET) == 0 && std::fwrite(size, 1, 4, file_) == 4;
  }
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}
