// Captures into video files, decoded back with the FFmpeg libraries: frame count and size,
// pictures against screenshots, the sound stream's length; Ctrl+C; outputs that cannot be
// written or completed.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/host/capture.h"
#include "support/scene_files.h"
#include "support/show_fakes.h"
#include "support/show_png_reader.h"
#include "support/show_test_files.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

// What a video file holds, as a player would decode it.
struct DecodedVideo {
  bool ok = false;
  std::string videoCodec;
  std::string soundCodec;
  int width = 0;
  int height = 0;
  int frames = 0;
  double soundSeconds = 0.0;
  std::vector<std::uint32_t> firstFrame;  // 0x00RRGGBB
};

class Decoder {
 public:
  ~Decoder() {
    avcodec_free_context(&codec);
    av_frame_free(&frame);
  }
  bool open(AVFormatContext* format, int index) {
    stream = index;
    AVCodecParameters* parameters = format->streams[index]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) return false;
    name = decoder->name;
    codec = avcodec_alloc_context3(decoder);
    frame = av_frame_alloc();
    return codec != nullptr && frame != nullptr && avcodec_parameters_to_context(codec, parameters) >= 0 &&
           avcodec_open2(codec, decoder, nullptr) >= 0;
  }
  // Sends a packet (null: the end) and calls `take` with each frame decoded.
  template <typename Take>
  bool decode(const AVPacket* packet, Take take) {
    if (avcodec_send_packet(codec, packet) < 0) return false;
    for (;;) {
      int code = avcodec_receive_frame(codec, frame);
      if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
      if (code < 0) return false;
      take(frame);
    }
  }
  int stream = -1;
  std::string name;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
};

std::vector<std::uint32_t> toRgb(const AVFrame* frame) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(frame->width) * static_cast<std::size_t>(frame->height));
  SwsContext* scaler =
      sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                     frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (scaler == nullptr) return {};
  const int* table = sws_getCoefficients(frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
  sws_setColorspaceDetails(scaler, table, frame->color_range == AVCOL_RANGE_JPEG, table, 1, 0, 1 << 16, 1 << 16);
  std::uint8_t* planes[1] = {reinterpret_cast<std::uint8_t*>(pixels.data())};
  int stride[1] = {frame->width * 4};
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, stride);
  sws_freeContext(scaler);
  for (std::uint32_t& p : pixels) p &= 0xFFFFFFu;
  return pixels;
}

DecodedVideo decodeVideo(const std::string& path) {
  DecodedVideo out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
  Decoder video, sound;
  bool ok = avformat_find_stream_info(format, nullptr) >= 0;
  int videoIndex = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  int soundIndex = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ok = ok && videoIndex >= 0 && video.open(format, videoIndex);
  if (ok && soundIndex >= 0) ok = sound.open(format, soundIndex);
  std::int64_t samples = 0;
  int sampleRate = 0;
  auto takePicture = [&](const AVFrame* f) {
    if (out.frames++ == 0) {
      out.width = f->width;
      out.height = f->height;
      out.firstFrame = toRgb(f);
    }
  };
  auto takeSound = [&](const AVFrame* f) {
    samples += f->nb_samples;
    sampleRate = f->sample_rate;
  };
  AVPacket* packet = av_packet_alloc();
  while (ok && av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == video.stream) ok = video.decode(packet, takePicture);
    if (packet->stream_index == sound.stream) ok = sound.decode(packet, takeSound);
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  if (ok) ok = video.decode(nullptr, takePicture);
  if (ok && sound.stream >= 0) ok = sound.decode(nullptr, takeSound);
  avformat_close_input(&format);
  out.ok = ok;
  out.videoCodec = video.name;
  out.soundCodec = sound.name;
  out.soundSeconds = sampleRate > 0 ? static_cast<double>(samples) / sampleRate : 0.0;
  return out;
}

// Mean difference of the colour channels, 0..255.
double meanError(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size() || a.empty()) return 255.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      int x = static_cast<int>((a[i] >> shift) & 0xFF);
      int y = static_cast<int>((b[i] >> shift) & 0xFF);
      sum += x > y ? x - y : y - x;
    }
  }
  return sum / (3.0 * static_cast<double>(a.size()));
}

bool anyPartialFile(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.path().extension() == ".part") return true;
  }
  return false;
}

// Presses Ctrl+C (or sends another signal) while the sound of frame `frame` is rendered.
class InterruptingMusic : public VolumeCaptureMusic {
 public:
  explicit InterruptingMusic(int frame, int sent = SIGINT) : atFrame(frame), signal(sent) {}
  void render(std::int16_t* out, std::size_t frames, int volume) override {
    VolumeCaptureMusic::render(out, frames, volume);
    if (++calls == atFrame) std::raise(signal);
  }
  int atFrame;
  int signal;
  int calls = 0;
};

class CaptureVideoTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(writeShowTestScene(dir)); }

  CaptureOptions videoCapture(const std::string& out, int width, int height) {
    CaptureOptions options;
    options.outDirectory = dir.file(out);
    options.fps = 30;
    options.to = 2.0;
    options.width = width;
    options.height = height;
    options.progress = nullptr;
    options.services = &quiet;
    options.music = &music;
    return options;
  }

  SceneTempDir dir;
  QuietShowServices quiet;
  VolumeCaptureMusic music;
};

TEST_F(CaptureVideoTest, TwoSecondsOfH264DecodeBackToTheFramesOfTheScreenshotsAndTheirSound) {
  CaptureOptions options = videoCapture("h264", 160, 120);
  CaptureResult result;
  ASSERT_EQ(runCapture(options, &result), kRunOk);
  EXPECT_EQ(result.output, options.outDirectory + "/show.mp4");
  EXPECT_EQ(result.frames, 60);
  EXPECT_FALSE(result.interrupted);
  // One video file, nothing beside it.
  EXPECT_FALSE(std::filesystem::exists(options.outDirectory + "/audio.wav"));
  EXPECT_FALSE(std::filesystem::exists(options.outDirectory + "/frame_00000.png"));
  EXPECT_FALSE(anyPartialFile(options.outDirectory));

  DecodedVideo video = decodeVideo(result.output);
  ASSERT_TRUE(video.ok);
  EXPECT_EQ(video.videoCodec, "h264");
  EXPECT_EQ(video.soundCodec, "aac");
  EXPECT_EQ(video.frames, 60);
  EXPECT_EQ(video.width, 160);
  EXPECT_EQ(video.height, 120);
  EXPECT_NEAR(video.soundSeconds, 2.0, 0.03);

  CaptureOptions shotOptions = options;
  ASSERT_EQ(runScreenshot(0.0, dir.file("first.png"), shotOptions), kRunOk);
  ShowPicture shot;
  ASSERT_TRUE(showReadPng(dir.file("first.png"), shot));
  EXPECT_LT(meanError(video.firstFrame, shot.pixels), 4.0);
  // A later screenshot differs clearly (the quad moves): the comparison can tell frames apart.
  ASSERT_EQ(runScreenshot(1.5, dir.file("later.png"), shotOptions), kRunOk);
  ShowPicture later;
  ASSERT_TRUE(showReadPng(dir.file("later.png"), later));
  EXPECT_GT(meanError(video.firstFrame, later.pixels), meanError(video.firstFrame, shot.pixels) + 2.0);
}

TEST_F(CaptureVideoTest, Vp9InWebmAndOddSidesPaddedToEvenOnes) {
  CaptureOptions options = videoCapture("vp9", 81, 61);
  options.codec = VideoCodec::kVp9;
  options.to = 1.0;
  options.fps = 24;
  CaptureResult result;
  ASSERT_EQ(runCapture(options, &result), kRunOk);
  EXPECT_EQ(result.output, options.outDirectory + "/show.webm");
  DecodedVideo video = decodeVideo(result.output);
  ASSERT_TRUE(video.ok);
  EXPECT_EQ(video.videoCodec, "vp9");
  EXPECT_EQ(video.soundCodec, "opus");
  EXPECT_EQ(video.frames, 24);
  EXPECT_EQ(video.width, 82);
  EXPECT_EQ(video.height, 62);
  EXPECT_NEAR(video.soundSeconds, 1.0, 0.03);

  // A name of the user's choice, without sound.
  CaptureOptions named = videoCapture("named", 64, 48);
  named.videoName = "clip.mp4";
  named.writeAudio = false;
  named.to = 0.5;
  ASSERT_EQ(runCapture(named, &result), kRunOk);
  EXPECT_EQ(result.output, named.outDirectory + "/clip.mp4");
  video = decodeVideo(result.output);
  ASSERT_TRUE(video.ok);
  EXPECT_EQ(video.frames, 15);
  EXPECT_EQ(video.soundCodec, "");
}

TEST_F(CaptureVideoTest, CtrlCStopsTheCaptureWithAPlayableFileOfWhatWasRendered) {
  InterruptingMusic interrupting(12);
  CaptureOptions options = videoCapture("stopped", 96, 64);
  options.to = -1.0;  // the whole show, were it not stopped
  options.music = &interrupting;
  std::FILE* err = std::tmpfile();
  options.err = err;
  void (*before)(int) = std::signal(SIGINT, SIG_DFL);
  CaptureResult result;
  ASSERT_EQ(runCapture(options, &result), kRunInterrupted);
  EXPECT_EQ(std::signal(SIGINT, before), SIG_DFL);  // the handler before the capture is back
  std::fclose(err);
  EXPECT_TRUE(result.interrupted);
  EXPECT_EQ(result.frames, 12);
  EXPECT_FALSE(anyPartialFile(options.outDirectory));
  DecodedVideo video = decodeVideo(result.output);
  ASSERT_TRUE(video.ok);
  EXPECT_EQ(video.frames, 12);
  EXPECT_NEAR(video.soundSeconds, 12.0 / 30.0, 0.03);

  // PNG frames stop the same way, with a complete sound file.
  InterruptingMusic again(5);
  CaptureOptions png = videoCapture("stopped-png", 32, 24);
  png.to = -1.0;
  png.music = &again;
  png.frames = CaptureFrames::kPng;
  ASSERT_EQ(runCapture(png, &result), kRunInterrupted);
  EXPECT_TRUE(std::filesystem::exists(png.outDirectory + "/frame_00004.png"));
  EXPECT_FALSE(std::filesystem::exists(png.outDirectory + "/frame_00005.png"));
  ShowWav wav;
  ASSERT_TRUE(showReadWav(png.outDirectory + "/audio.wav", wav));
  EXPECT_EQ(wav.samples.size(), 2u * 5u * 44100u / 30u);

  // SIGTERM too, told apart by the exit code.
  InterruptingMusic terminating(3, SIGTERM);
  CaptureOptions term = videoCapture("terminated", 32, 24);
  term.to = -1.0;
  term.music = &terminating;
  ASSERT_EQ(runCapture(term, &result), kRunTerminated);
  EXPECT_TRUE(result.interrupted);
  EXPECT_EQ(decodeVideo(result.output).frames, 3);
}

TEST_F(CaptureVideoTest, OutputsThatCannotBeWrittenOrCompletedFailWithCode1AndLeaveNoVideo) {
  auto message = [](std::FILE* f) {
    std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
    std::rewind(f);
    text.resize(std::fread(text.data(), 1, text.size(), f));
    std::fclose(f);
    return text;
  };

  // A folder that cannot be created.
  dir.writeText("plain-file", "x");
  CaptureOptions blocked = videoCapture("plain-file/sub", 64, 48);
  blocked.err = std::tmpfile();
  EXPECT_EQ(runCapture(blocked), kRunFailed);
  EXPECT_NE(message(blocked.err).find("plain-file/sub"), std::string::npos);

  // A folder that cannot be written into.
  if (geteuid() != 0) {
    std::filesystem::create_directories(dir.file("locked"));
    std::filesystem::permissions(dir.file("locked"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    CaptureOptions locked = videoCapture("locked", 64, 48);
    locked.err = std::tmpfile();
    EXPECT_EQ(runCapture(locked), kRunFailed);
    EXPECT_NE(message(locked.err).find("cannot write"), std::string::npos);
    std::filesystem::permissions(dir.file("locked"), std::filesystem::perms::owner_all);
  }

  // The disk fills up while encoding (a file size limit stands in for it): the capture fails
  // and neither the video nor its temporary file remains.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 20000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  CaptureOptions full = videoCapture("full", 320, 240);
  full.crf = 0;
  full.err = std::tmpfile();
  int code = runCapture(full);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(code, kRunFailed);
  EXPECT_NE(message(full.err).find("File too large"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(full.outDirectory + "/show.mp4"));
  EXPECT_FALSE(anyPartialFile(full.outDirectory));

  // A quality beyond the codec's range is a bad request.
  CaptureOptions crf = videoCapture("crf", 64, 48);
  crf.crf = 52;
  crf.err = std::tmpfile();
  EXPECT_EQ(runCapture(crf), kRunBadRequest);
  std::fclose(crf.err);
}

}  // namespace
