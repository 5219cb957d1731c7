// The video file encoder on libavformat, libavcodec, libswscale and libswresample.
#include "shell/host/video_encoder.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

struct CodecNames {
  const char* video;
  const char* sound;
  const char* container;
  const char* label;  // for messages
};

CodecNames codecNames(VideoCodec codec) {
  if (codec == VideoCodec::kVp9) return {"libvpx-vp9", "libopus", "webm", "VP9 with Opus"};
  return {"libx264", "aac", "mp4", "H.264 with AAC"};
}

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

const char* videoFileExtension(VideoCodec codec) { return codec == VideoCodec::kVp9 ? ".webm" : ".mp4"; }

int videoMaxCrf(VideoCodec codec) { return codec == VideoCodec::kVp9 ? 63 : 51; }

std::string videoCodecMissing(VideoCodec codec) {
  CodecNames names = codecNames(codec);
  std::string missing;
  if (avcodec_find_encoder_by_name(names.video) == nullptr) missing = names.video;
  if (avcodec_find_encoder_by_name(names.sound) == nullptr)
    missing += (missing.empty() ? "" : " and ") + std::string(names.sound);
  if (av_guess_format(names.container, nullptr, nullptr) == nullptr)
    missing += (missing.empty() ? "the " : " and the ") + std::string(names.container) + " container";
  return missing;
}

struct VideoEncoder::State {
  VideoSettings settings;
  std::string partPath;
  std::string error;
  bool fileOpen = false;
  bool done = false;

  AVFormatContext* format = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* sound = nullptr;
  AVStream* videoStream = nullptr;
  AVStream* soundStream = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* picture = nullptr;
  AVFrame* samples = nullptr;
  AVPacket* packet = nullptr;
  std::int64_t frames = 0;
  std::int64_t soundIn = 0;
  std::int64_t soundOut = 0;  // sample frames handed to the sound encoder, at its rate

  ~State() { release(); }

  bool fail(const std::string& what, int code = 0) {
    if (error.empty()) error = code != 0 ? what + ": " + avError(code) : what;
    return false;
  }

  void release() {
    if (format != nullptr && fileOpen) avio_closep(&format->pb);
    fileOpen = false;
    avformat_free_context(format);
    format = nullptr;
    avcodec_free_context(&video);
    avcodec_free_context(&sound);
    sws_freeContext(scaler);
    scaler = nullptr;
    swr_free(&resampler);
    if (fifo != nullptr) av_audio_fifo_free(fifo);
    fifo = nullptr;
    av_frame_free(&picture);
    av_frame_free(&samples);
    av_packet_free(&packet);
  }

  bool openVideo(const AVCodec* codec) {
    video = avcodec_alloc_context3(codec);
    if (video == nullptr) return fail("cannot set up the video encoder", AVERROR(ENOMEM));
    // H.264 in 4:2:0 wants even sides.
    video->width = (settings.width + 1) & ~1;
    video->height = (settings.height + 1) & ~1;
    video->time_base = AVRational{1, settings.fps};
    video->framerate = AVRational{settings.fps, 1};
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->color_range = AVCOL_RANGE_MPEG;
    video->colorspace = AVCOL_SPC_BT709;
    video->color_primaries = AVCOL_PRI_BT709;
    video->color_trc = AVCOL_TRC_BT709;
    video->thread_count = 0;  // the encoder's own threads, as many as it likes
    int crf = settings.crf >= 0 ? settings.crf : (settings.codec == VideoCodec::kVp9 ? 31 : 18);
    if (settings.codec == VideoCodec::kVp9) {
      video->bit_rate = 0;  // constant quality
      av_opt_set_int(video->priv_data, "crf", crf, 0);
      av_opt_set(video->priv_data, "deadline", "realtime", 0);
      av_opt_set_int(video->priv_data, "cpu-used", 8, 0);
      av_opt_set_int(video->priv_data, "row-mt", 1, 0);
    } else {
      // The fastest preset that keeps CABAC and the deblocking filter: less processor time
      // than "veryfast" for a somewhat larger file.
      av_opt_set(video->priv_data, "preset", "superfast", 0);
      av_opt_set_int(video->priv_data, "crf", crf, 0);
    }
    video->gop_size = settings.fps * 4;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(video, codec, nullptr);
    if (code < 0) return fail(std::string("cannot start the ") + codec->name + " encoder", code);
    videoStream = avformat_new_stream(format, nullptr);
    if (videoStream == nullptr) return fail("cannot set up the video stream", AVERROR(ENOMEM));
    videoStream->time_base = video->time_base;
    videoStream->avg_frame_rate = video->framerate;
    code = avcodec_parameters_from_context(videoStream->codecpar, video);
    if (code < 0) return fail("cannot set up the video stream", code);

    scaler = sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGRA, settings.width, settings.height,
                            AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr) return fail("cannot set up the colour conversion");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    picture = av_frame_alloc();
    if (picture == nullptr) return fail("cannot set up the video encoder", AVERROR(ENOMEM));
    picture->format = video->pix_fmt;
    picture->width = video->width;
    picture->height = video->height;
    code = av_frame_get_buffer(picture, 0);
    if (code < 0) return fail("cannot set up the video encoder", code);
    return true;
  }

  bool openSound(const AVCodec* codec) {
    sound = avcodec_alloc_context3(codec);
    if (sound == nullptr) return fail("cannot set up the sound encoder", AVERROR(ENOMEM));
    // Opus runs at 48 kHz only: the sound is resampled where the codec needs it.
    int rate = settings.sampleRate;
    if (codec->supported_samplerates != nullptr) {
      int best = codec->supported_samplerates[0];
      for (const int* r = codec->supported_samplerates; *r != 0; ++r) {
        if (*r == settings.sampleRate) best = *r;
      }
      rate = best;
    }
    sound->sample_rate = rate;
    sound->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&sound->ch_layout, &stereo);
    sound->bit_rate = settings.codec == VideoCodec::kVp9 ? 160000 : 192000;
    sound->time_base = AVRational{1, rate};
    if (format->oformat->flags & AVFMT_GLOBALHEADER) sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int code = avcodec_open2(sound, codec, nullptr);
    if (code < 0) return fail(std::string("cannot start the ") + codec->name + " encoder", code);
    soundStream = avformat_new_stream(format, nullptr);
    if (soundStream == nullptr) return fail("cannot set up the sound stream", AVERROR(ENOMEM));
    soundStream->time_base = sound->time_base;
    code = avcodec_parameters_from_context(soundStream->codecpar, sound);
    if (code < 0) return fail("cannot set up the sound stream", code);

    code = swr_alloc_set_opts2(&resampler, &sound->ch_layout, sound->sample_fmt, rate, &stereo, AV_SAMPLE_FMT_S16,
                               settings.sampleRate, 0, nullptr);
    if (code < 0 || swr_init(resampler) < 0) return fail("cannot set up the sound conversion", code);
    fifo = av_audio_fifo_alloc(sound->sample_fmt, 2, 4096);
    samples = av_frame_alloc();
    if (fifo == nullptr || samples == nullptr) return fail("cannot set up the sound encoder", AVERROR(ENOMEM));
    return true;
  }

  // Sends a frame (null: the end) and writes every packet the encoder has ready.
  bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    int code = avcodec_send_frame(codec, frame);
    if (code < 0) return fail("cannot encode", code);
    for (;;) {
      code = avcodec_receive_packet(codec, packet);
      if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
      if (code < 0) return fail("cannot encode", code);
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      code = av_interleaved_write_frame(format, packet);
      if (code < 0) return fail("cannot write " + settings.path, code);
    }
  }

  // Encodes whole codec frames from the FIFO; with `last`, the rest too.
  bool drainSound(bool last) {
    int frameSize = sound->frame_size > 0 ? sound->frame_size : 1024;
    while (av_audio_fifo_size(fifo) >= frameSize || (last && av_audio_fifo_size(fifo) > 0)) {
      int count = av_audio_fifo_size(fifo) < frameSize ? av_audio_fifo_size(fifo) : frameSize;
      av_frame_unref(samples);
      samples->nb_samples = count;
      samples->format = sound->sample_fmt;
      samples->sample_rate = sound->sample_rate;
      av_channel_layout_copy(&samples->ch_layout, &sound->ch_layout);
      int code = av_frame_get_buffer(samples, 0);
      if (code < 0) return fail("cannot encode the sound", code);
      if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(samples->data), count) != count)
        return fail("cannot encode the sound");
      samples->pts = soundOut;
      soundOut += count;
      if (!encode(sound, soundStream, samples)) return false;
    }
    return true;
  }

  bool convertSound(const std::int16_t* in, std::size_t sampleFrames) {
    const std::uint8_t* input[1] = {reinterpret_cast<const std::uint8_t*>(in)};
    int inCount = static_cast<int>(sampleFrames);
    int room = swr_get_out_samples(resampler, inCount);
    if (room < 0) return fail("cannot convert the sound", room);
    if (room == 0) return true;
    std::uint8_t** output = nullptr;
    int code = av_samples_alloc_array_and_samples(&output, nullptr, 2, room, sound->sample_fmt, 0);
    if (code < 0) return fail("cannot convert the sound", code);
    int converted = swr_convert(resampler, output, room, in != nullptr ? input : nullptr, in != nullptr ? inCount : 0);
    bool ok = converted >= 0;
    if (!ok) fail("cannot convert the sound", converted);
    if (ok && converted > 0 && av_audio_fifo_write(fifo, reinterpret_cast<void**>(output), converted) < converted)
      ok = fail("cannot convert the sound", AVERROR(ENOMEM));
    av_freep(&output[0]);
    av_freep(&output);
    return ok;
  }
};

VideoEncoder::VideoEncoder() : state_(std::make_unique<State>()) {}

VideoEncoder::~VideoEncoder() {
  if (!state_->done) abandon();
}

bool VideoEncoder::open(const VideoSettings& settings) {
  State& s = *state_;
  // The libraries' own reports stay quiet; failures come back as this encoder's error.
  av_log_set_level(AV_LOG_QUIET);
  s.settings = settings;
  s.partPath = settings.path + ".part";
  CodecNames names = codecNames(settings.codec);
  std::string missing = videoCodecMissing(settings.codec);
  if (!missing.empty())
    return s.fail("the FFmpeg libraries of this system cannot encode " + std::string(names.label) + ": " + missing +
                  " is missing");
  int code = avformat_alloc_output_context2(&s.format, nullptr, names.container, s.partPath.c_str());
  if (code < 0 || s.format == nullptr)
    return s.fail("cannot set up the " + std::string(names.container) + " file", code);
  s.packet = av_packet_alloc();
  if (s.packet == nullptr) return s.fail("cannot set up the encoder", AVERROR(ENOMEM));
  if (!s.openVideo(avcodec_find_encoder_by_name(names.video))) return false;
  if (settings.sound && !s.openSound(avcodec_find_encoder_by_name(names.sound))) return false;
  code = avio_open(&s.format->pb, s.partPath.c_str(), AVIO_FLAG_WRITE);
  if (code < 0) return s.fail("cannot write " + settings.path, code);
  s.fileOpen = true;
  code = avformat_write_header(s.format, nullptr);
  if (code < 0) return s.fail("cannot write " + settings.path, code);
  return true;
}

bool VideoEncoder::writeFrame(const std::uint32_t* pixels) {
  State& s = *state_;
  if (!s.error.empty() || s.video == nullptr) return false;
  int code = av_frame_make_writable(s.picture);
  if (code < 0) return s.fail("cannot encode a frame", code);
  const std::uint8_t* source[1] = {reinterpret_cast<const std::uint8_t*>(pixels)};
  const int stride[1] = {s.settings.width * 4};
  sws_scale(s.scaler, source, stride, 0, s.settings.height, s.picture->data, s.picture->linesize);
  // A padded column or row is black.
  if (s.video->width != s.settings.width) {
    for (int y = 0; y < s.video->height; ++y) s.picture->data[0][y * s.picture->linesize[0] + s.settings.width] = 16;
  }
  if (s.video->height != s.settings.height) {
    std::memset(s.picture->data[0] + s.settings.height * s.picture->linesize[0], 16,
                static_cast<std::size_t>(s.video->width));
  }
  s.picture->pts = s.frames++;
  return s.encode(s.video, s.videoStream, s.picture);
}

bool VideoEncoder::writeSound(const std::int16_t* samples, std::size_t frames) {
  State& s = *state_;
  if (!s.error.empty()) return false;
  if (s.sound == nullptr || frames == 0) return true;
  s.soundIn += static_cast<std::int64_t>(frames);
  return s.convertSound(samples, frames) && s.drainSound(false);
}

bool VideoEncoder::finish() {
  State& s = *state_;
  if (!s.error.empty() || s.format == nullptr) {
    abandon();
    return false;
  }
  bool ok = s.encode(s.video, s.videoStream, nullptr);
  if (ok && s.sound != nullptr)
    ok = s.convertSound(nullptr, 0) && s.drainSound(true) && s.encode(s.sound, s.soundStream, nullptr);
  if (ok) {
    int code = av_write_trailer(s.format);
    if (code < 0) ok = s.fail("cannot write " + s.settings.path, code);
  }
  if (ok) {
    avio_flush(s.format->pb);
    if (s.format->pb->error < 0) ok = s.fail("cannot write " + s.settings.path, s.format->pb->error);
  }
  if (ok) {
    s.fileOpen = false;
    int code = avio_closep(&s.format->pb);
    if (code < 0) ok = s.fail("cannot write " + s.settings.path, code);
  }
  if (ok && std::rename(s.partPath.c_str(), s.settings.path.c_str()) != 0)
    ok = s.fail("cannot name the file " + s.settings.path, AVERROR(errno));
  if (!ok) {
    abandon();
    return false;
  }
  s.release();
  s.done = true;
  return true;
}

void VideoEncoder::abandon() {
  State& s = *state_;
  if (s.done) return;
  s.release();
  if (!s.partPath.empty()) std::remove(s.partPath.c_str());
  s.done = true;
}

const std::string& VideoEncoder::error() const { return state_->error; }
std::int64_t VideoEncoder::framesWritten() const { return state_->frames; }
std::int64_t VideoEncoder::soundFramesWritten() const { return state_->soundIn; }
