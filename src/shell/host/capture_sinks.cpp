// The capture's outputs: PNG and WAV files written as frames arrive, and the video file
// encoded beside the rendering.
#include "shell/host/capture_sinks.h"

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "port/png_writer.h"
#include "shell/host/wav_writer.h"

namespace {

constexpr int kSampleRate = 44100;

std::string withReason(const std::string& what, int error) {
  return error != 0 ? what + ": " + std::strerror(error) : what;
}

// The optional WAV file of the frame sinks.
class SoundFile {
 public:
  bool open(const std::string& path, std::string* error) {
    path_ = path;
    if (path.empty()) return true;
    if (wav_.open(path, kSampleRate, 2)) return true;
    *error = withReason("cannot write " + path, errno);
    return false;
  }
  bool write(const std::int16_t* sound, std::size_t frames, std::string* error) {
    if (path_.empty() || sound == nullptr || frames == 0) return true;
    if (wav_.write(sound, frames)) return true;
    *error = withReason("cannot write the sound track " + path_, errno);
    return false;
  }
  bool close(std::string* error) {
    if (path_.empty() || wav_.close()) return true;
    *error = withReason("cannot finish " + path_, errno);
    return false;
  }

 private:
  std::string path_;
  WavWriter wav_;
};

class PngSequenceSink : public FrameSink {
 public:
  explicit PngSequenceSink(std::string folder) : directory(std::move(folder)) { output_ = directory; }
  bool write(std::vector<std::uint32_t>& pixels, int width, int height, const std::int16_t* sound,
             std::size_t soundFrames) override {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.png", index);
    std::string path = directory + name;
    if (!writePngArgb(path.c_str(), pixels.data(), width, height)) {
      error_ = withReason("cannot write " + path, errno);
      return false;
    }
    ++index;
    return sound_.write(sound, soundFrames, &error_);
  }
  bool finish() override { return sound_.close(&error_); }

  std::string directory;
  int index = 0;
  SoundFile sound_;
};

class DiscardSink : public FrameSink {
 public:
  bool write(std::vector<std::uint32_t>&, int, int, const std::int16_t* sound, std::size_t soundFrames) override {
    return sound_.write(sound, soundFrames, &error_);
  }
  bool finish() override { return sound_.close(&error_); }

  SoundFile sound_;
};

// Frames wait in a short queue for the encoder's thread; the rendering waits only when the
// queue is full. Buffers circulate between the two sides instead of being copied.
class VideoSink : public FrameSink {
 public:
  struct Item {
    std::vector<std::uint32_t> pixels;
    std::vector<std::int16_t> sound;
  };

  ~VideoSink() override { abandon(); }

  bool start(const VideoSettings& videoSettings, std::string* error) {
    settings = videoSettings;
    output_ = settings.path;
    if (!encoder.open(settings)) {
      *error = encoder.error();
      encoder.abandon();
      return false;
    }
    worker = std::thread([this] { encode(); });
    return true;
  }

  bool write(std::vector<std::uint32_t>& pixels, int width, int height, const std::int16_t* sound,
             std::size_t soundFrames) override {
    if (width != settings.width || height != settings.height) {
      error_ = "the rendered frame changed its size";
      return false;
    }
    std::unique_lock<std::mutex> lock(mutex);
    roomLeft.wait(lock, [&] { return failed || queue.size() < kVideoQueueFrames; });
    if (failed) {
      error_ = encoder.error();
      return false;
    }
    Item item;
    if (!spare.empty()) {
      item = std::move(spare.back());
      spare.pop_back();
    }
    item.pixels.swap(pixels);
    if (sound != nullptr) {
      item.sound.assign(sound, sound + soundFrames * 2);
    } else {
      item.sound.clear();
    }
    queue.push_back(std::move(item));
    itemReady.notify_one();
    return true;
  }

  bool finish() override {
    stopWorker(false);
    if (failed) {
      error_ = encoder.error();
      encoder.abandon();
      return false;
    }
    if (!encoder.finish()) {
      error_ = encoder.error();
      return false;
    }
    return true;
  }

  void abandon() override {
    stopWorker(true);
    encoder.abandon();
  }

 private:
  void encode() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      itemReady.wait(lock, [&] { return closing || !queue.empty(); });
      if (queue.empty() || dropping) break;
      Item item = std::move(queue.front());
      queue.pop_front();
      bool skip = failed;
      lock.unlock();
      bool ok = skip || (encoder.writeFrame(item.pixels.data()) &&
                         encoder.writeSound(item.sound.data(), item.sound.size() / 2));
      lock.lock();
      if (!ok) failed = true;
      spare.push_back(std::move(item));
      roomLeft.notify_one();
    }
  }

  // Lets the encoder finish the queue (or, dropping, stop at once) and waits for its thread.
  void stopWorker(bool drop) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      closing = true;
      dropping = dropping || drop;
    }
    itemReady.notify_all();
    if (worker.joinable()) worker.join();
  }

  VideoSettings settings;
  VideoEncoder encoder;
  std::thread worker;
  std::mutex mutex;
  std::condition_variable itemReady;
  std::condition_variable roomLeft;
  std::deque<Item> queue;
  std::vector<Item> spare;
  bool closing = false;
  bool dropping = false;
  bool failed = false;
};

}  // namespace

std::unique_ptr<FrameSink> createPngSequenceSink(const std::string& folder, const std::string& wavPath,
                                                 std::string* error) {
  auto sink = std::make_unique<PngSequenceSink>(folder);
  if (!sink->sound_.open(wavPath, error)) return nullptr;
  return sink;
}

std::unique_ptr<FrameSink> createDiscardSink(const std::string& wavPath, std::string* error) {
  auto sink = std::make_unique<DiscardSink>();
  if (!sink->sound_.open(wavPath, error)) return nullptr;
  return sink;
}

std::unique_ptr<FrameSink> createVideoSink(const VideoSettings& settings, std::string* error) {
  auto sink = std::make_unique<VideoSink>();
  if (!sink->start(settings, error)) return nullptr;
  return sink;
}
