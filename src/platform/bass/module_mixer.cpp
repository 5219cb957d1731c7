// Module decoding and mixing on libopenmpt, shared by the live device and the offline renderer.
#include "platform/bass/module_mixer.h"

#include <libopenmpt/libopenmpt.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/bass/bass.h"

namespace bass_mixer {

openmpt_module* loadModule(const void* data, size_t size) {
  if (data == nullptr || size == 0) return nullptr;
  return openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr, openmpt_error_func_ignore,
                                            nullptr, nullptr, nullptr, nullptr);
}

// The file for reading when it is a regular file: a named pipe must not block the caller
// (it is opened without waiting, then refused), nor a folder be read.
static std::FILE* openRegular(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) ::close(fd);
  return file;
}

openmpt_module* loadModuleFile(const char* path, DWORD offset, DWORD length) {
  if (path == nullptr) return nullptr;
  std::FILE* file = openRegular(path);
  if (file == nullptr) return nullptr;
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  openmpt_module* module = nullptr;
  if (size > 0 && offset < static_cast<unsigned long>(size)) {
    size_t count = static_cast<size_t>(size) - offset;
    if (length != 0 && length < count) count = length;
    void* bytes = std::malloc(count);
    if (bytes != nullptr && std::fseek(file, long(offset), SEEK_SET) == 0 &&
        std::fread(bytes, 1, count, file) == count) {
      module = loadModule(bytes, count);
    }
    std::free(bytes);
  }
  std::fclose(file);
  return module;
}

void destroyModule(openmpt_module* module) {
  if (module != nullptr) openmpt_module_destroy(module);
}

void applyFlags(openmpt_module* module, DWORD flags) {
  openmpt_module_set_repeat_count(module, (flags & BASS_MUSIC_LOOP) != 0 ? -1 : 0);
}

void setPanSeparation(openmpt_module* module, DWORD pan) {
  if (pan > 100) pan = 100;
  openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_STEREOSEPARATION_PERCENT, int32_t(pan * 2));
}

void setPosition(openmpt_module* module, DWORD pos) {
  openmpt_module_set_position_order_row(module, int32_t(pos & 0xffff), int32_t(pos >> 16));
}

size_t mixChunk(openmpt_module* module, int32_t rate, int volume, float* scratch, float* accumulator, size_t frames) {
  if (frames > kChunkFrames) frames = kChunkFrames;
  const size_t produced = openmpt_module_read_interleaved_float_stereo(module, rate, frames, scratch);
  const float gain = float(volume) / 100.0f;
  for (size_t i = 0; i < produced * 2; ++i) accumulator[i] += scratch[i] * gain;
  return produced;
}

void toPcm16(const float* samples, int16_t* out, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    long v = std::lrintf(samples[i] * 32768.0f);
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    out[i] = int16_t(v);
  }
}

}  // namespace bass_mixer
