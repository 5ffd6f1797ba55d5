#include "platform/video/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace video {
namespace {

struct Container {
  const char* suffix;
  const char* format;
  const char* videoCodec;
  const char* audioCodec;
  int defaultCrf;
};

// The codecs every common player of each container knows.
constexpr Container kContainers[] = {
    {".mp4", "mp4", "libx264", "aac", 23},
    {".mkv", "matroska", "libx264", "aac", 23},
    {".webm", "webm", "libvpx-vp9", "libopus", 32},
};

// Fixed so that the same show gives the same file on any machine: the codecs' output
// depends on how many threads split the work.
constexpr int kCodecThreads = 4;

const Container* ContainerOf(const std::string& path) {
  for (const auto& c : kContainers) {
    const size_t n = std::strlen(c.suffix);
    if (path.size() > n && strcasecmp(path.c_str() + path.size() - n, c.suffix) == 0) return &c;
  }
  return nullptr;
}

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

class Picture final : public ConvertedPicture {
 public:
  explicit Picture(AVFrame* frame) : frame_(frame) {}
  ~Picture() override { av_frame_free(&frame_); }
  const AVFrame* Frame() const { return frame_; }

 private:
  AVFrame* frame_;
};

class FfmpegEncoder final : public VideoEncoder {
 public:
  ~FfmpegEncoder() override {
    if (!finished_) Abandon();
    for (SwsContext* s : scalers_) sws_freeContext(s);
  }

  bool Init(const std::string& path, const Container& container, const EncoderSettings& settings,
            PcmSource* audio, std::string* error);

  std::shared_ptr<const ConvertedPicture> Convert(const uint32_t* pixels,
                                                  size_t stride) const override;
  bool Write(const std::shared_ptr<const ConvertedPicture>& picture, std::string* error) override;
  bool Finish(std::string* error) override;
  void Abandon() override;
  std::string PartialPath() const override { return partPath_; }
  int64_t FramesWritten() const override { return framesWritten_; }
  const char* CodecName() const override { return videoCodecName_; }

 private:
  bool Fail(std::string* error, const std::string& what) {
    if (error) *error = what;
    return false;
  }
  bool OpenAudio(const Container& container, std::string* error);
  bool Drain(AVCodecContext* codec, AVStream* stream, std::string* error);
  bool PumpAudio(int64_t sourceFramesDue, bool flush, std::string* error);
  bool EncodeAudioFrames(bool all, std::string* error);
  void Close();

  std::string finalPath_, partPath_;
  EncoderSettings settings_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVStream* videoStream_ = nullptr;
  const char* videoCodecName_ = "";
  AVPacket* packet_ = nullptr;
  int64_t framesWritten_ = 0;
  bool headerWritten_ = false;
  bool finished_ = false;

  PcmSource* audio_ = nullptr;
  AVCodecContext* audioCodec_ = nullptr;
  AVStream* audioStream_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  int64_t sourceFramesRead_ = 0;
  int64_t audioSamplesSent_ = 0;
  std::vector<int16_t> pcm_;

  mutable std::mutex scalerMutex_;
  mutable std::vector<SwsContext*> scalers_;  // idle conversion contexts
};

bool FfmpegEncoder::Init(const std::string& path, const Container& container,
                         const EncoderSettings& settings, PcmSource* audio, std::string* error) {
  settings_ = settings;
  finalPath_ = path;
  if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 || settings.height % 2) {
    return Fail(error, "a video needs an even width and height, not " +
                           std::to_string(settings.width) + "x" + std::to_string(settings.height));
  }
  if (settings.fps <= 0) return Fail(error, "a video needs at least 1 frame per second");
  const AVCodec* codec = avcodec_find_encoder_by_name(container.videoCodec);
  if (!codec) return Fail(error, std::string("this FFmpeg has no ") + container.videoCodec);
  videoCodecName_ = container.videoCodec;

  if (avformat_alloc_output_context2(&format_, nullptr, container.format, nullptr) < 0) {
    return Fail(error, "cannot set up the container");
  }
  // No random identifiers or version strings: two renders of a show give the same bytes.
  format_->flags |= AVFMT_FLAG_BITEXACT;

  video_ = avcodec_alloc_context3(codec);
  packet_ = av_packet_alloc();
  if (!video_ || !packet_) return Fail(error, "out of memory");
  video_->width = settings.width;
  video_->height = settings.height;
  video_->time_base = AVRational{1, settings.fps};
  video_->framerate = AVRational{settings.fps, 1};
  video_->pix_fmt = AV_PIX_FMT_YUV420P;
  video_->gop_size = settings.fps * 5;
  video_->thread_count = kCodecThreads;
  video_->color_range = AVCOL_RANGE_MPEG;
  video_->colorspace = AVCOL_SPC_BT709;
  video_->color_primaries = AVCOL_PRI_BT709;
  video_->color_trc = AVCOL_TRC_BT709;
  video_->flags |= AV_CODEC_FLAG_BITEXACT;
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  const int crf = settings.crf >= 0 ? settings.crf : container.defaultCrf;
  if (std::strcmp(container.videoCodec, "libx264") == 0) {
    av_opt_set(video_->priv_data, "preset", "veryfast", 0);
    av_opt_set_int(video_->priv_data, "crf", crf, 0);
  } else {
    video_->bit_rate = 0;  // constant quality
    av_opt_set_int(video_->priv_data, "crf", crf, 0);
    av_opt_set(video_->priv_data, "deadline", "good", 0);
    av_opt_set_int(video_->priv_data, "cpu-used", 5, 0);
    av_opt_set_int(video_->priv_data, "row-mt", 1, 0);
  }
  if (int rc = avcodec_open2(video_, codec, nullptr); rc < 0) {
    return Fail(error, std::string("cannot open ") + container.videoCodec + ": " + AvError(rc));
  }
  videoStream_ = avformat_new_stream(format_, nullptr);
  if (!videoStream_) return Fail(error, "out of memory");
  videoStream_->time_base = video_->time_base;
  videoStream_->avg_frame_rate = video_->framerate;
  avcodec_parameters_from_context(videoStream_->codecpar, video_);

  audio_ = audio;
  if (audio_ && !OpenAudio(container, error)) return false;

  // The file is made under a private name beside the final one and renamed when complete, so
  // an unfinished render never stands under the name the user asked for.
  partPath_ = path + ".XXXXXX.part";
  const int fd = mkstemps(partPath_.data(), 5);
  if (fd < 0) {
    const int e = errno;
    partPath_.clear();
    return Fail(error, "cannot create " + path + ": " + std::strerror(e));
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  ::close(fd);
  // "file:" so that no part of a name is taken for another protocol.
  if (int rc = avio_open(&format_->pb, ("file:" + partPath_).c_str(), AVIO_FLAG_WRITE); rc < 0) {
    return Fail(error, "cannot create " + path + ": " + AvError(rc));
  }
  if (int rc = avformat_write_header(format_, nullptr); rc < 0) {
    return Fail(error, "cannot write " + path + ": " + AvError(rc));
  }
  headerWritten_ = true;
  return true;
}

bool FfmpegEncoder::OpenAudio(const Container& container, std::string* error) {
  const AVCodec* codec = avcodec_find_encoder_by_name(container.audioCodec);
  if (!codec) return Fail(error, std::string("this FFmpeg has no ") + container.audioCodec);
  audioCodec_ = avcodec_alloc_context3(codec);
  if (!audioCodec_) return Fail(error, "out of memory");
  const int sourceRate = audio_->SampleRate();
  if (sourceRate <= 0 || sourceRate > 384000) {
    return Fail(error, "unusable sound rate " + std::to_string(sourceRate));
  }
  // Opus runs at 48 kHz only; AAC keeps the source's rate when it is a common one.
  int rate = 48000;
  if (codec->supported_samplerates && std::strcmp(container.audioCodec, "libopus") != 0) {
    for (const int* r = codec->supported_samplerates; *r; ++r) {
      if (*r == sourceRate) rate = sourceRate;
    }
  }
  audioCodec_->sample_rate = rate;
  audioCodec_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&audioCodec_->ch_layout, 2);
  audioCodec_->bit_rate = 160000;
  audioCodec_->time_base = AVRational{1, rate};
  audioCodec_->flags |= AV_CODEC_FLAG_BITEXACT;
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) {
    audioCodec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (int rc = avcodec_open2(audioCodec_, codec, nullptr); rc < 0) {
    return Fail(error, std::string("cannot open ") + container.audioCodec + ": " + AvError(rc));
  }
  audioStream_ = avformat_new_stream(format_, nullptr);
  if (!audioStream_) return Fail(error, "out of memory");
  audioStream_->time_base = audioCodec_->time_base;
  avcodec_parameters_from_context(audioStream_->codecpar, audioCodec_);

  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (swr_alloc_set_opts2(&resampler_, &audioCodec_->ch_layout, audioCodec_->sample_fmt, rate,
                          &stereo, AV_SAMPLE_FMT_S16, sourceRate, 0, nullptr) < 0 ||
      swr_init(resampler_) < 0) {
    return Fail(error, "cannot set up the sound conversion");
  }
  fifo_ = av_audio_fifo_alloc(audioCodec_->sample_fmt, 2, std::max(audioCodec_->frame_size, 1024));
  if (!fifo_) return Fail(error, "out of memory");
  return true;
}

std::shared_ptr<const ConvertedPicture> FfmpegEncoder::Convert(const uint32_t* pixels,
                                                               size_t stride) const {
  SwsContext* sws = nullptr;
  {
    std::lock_guard lock(scalerMutex_);
    if (!scalers_.empty()) {
      sws = scalers_.back();
      scalers_.pop_back();
    }
  }
  if (!sws) {
    // 0x00RRGGBB words are B, G, R, 0 in memory on this little-endian machine.
    sws = sws_getContext(settings_.width, settings_.height, AV_PIX_FMT_BGR0, settings_.width,
                         settings_.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR | SWS_ACCURATE_RND,
                         nullptr, nullptr, nullptr);
    if (!sws) return nullptr;
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(sws, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
  }
  AVFrame* frame = av_frame_alloc();
  std::shared_ptr<const ConvertedPicture> result;
  if (frame) {
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = settings_.width;
    frame->height = settings_.height;
    if (av_frame_get_buffer(frame, 0) == 0) {
      const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(pixels)};
      const int srcStride[1] = {static_cast<int>(stride * 4)};
      sws_scale(sws, src, srcStride, 0, settings_.height, frame->data, frame->linesize);
      result = std::make_shared<Picture>(frame);
    } else {
      av_frame_free(&frame);
    }
  }
  std::lock_guard lock(scalerMutex_);
  scalers_.push_back(sws);
  return result;
}

bool FfmpegEncoder::Drain(AVCodecContext* codec, AVStream* stream, std::string* error) {
  for (;;) {
    int rc = avcodec_receive_packet(codec, packet_);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) return Fail(error, "the encoder failed: " + AvError(rc));
    av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    rc = av_interleaved_write_frame(format_, packet_);
    if (rc < 0) return Fail(error, "cannot write " + finalPath_ + ": " + AvError(rc));
  }
}

bool FfmpegEncoder::Write(const std::shared_ptr<const ConvertedPicture>& picture,
                          std::string* error) {
  const auto* p = dynamic_cast<const Picture*>(picture.get());
  if (!p || !headerWritten_ || finished_) return Fail(error, "no picture to write");
  // A new reference to the same converted planes: nothing is converted or copied again.
  AVFrame* frame = av_frame_clone(p->Frame());
  if (!frame) return Fail(error, "out of memory");
  frame->pts = framesWritten_;
  int rc = avcodec_send_frame(video_, frame);
  av_frame_free(&frame);
  if (rc < 0) return Fail(error, "the encoder failed: " + AvError(rc));
  ++framesWritten_;
  if (!Drain(video_, videoStream_, error)) return false;
  if (audio_) {
    // Sound up to the start of this frame only: when a frame is written the show has just
    // passed its instant, so a mixer that follows the show has that much ready, not more.
    const int64_t due = (framesWritten_ - 1) * audio_->SampleRate() / settings_.fps;
    if (!PumpAudio(due, false, error)) return false;
  }
  return true;
}

bool FfmpegEncoder::PumpAudio(int64_t sourceFramesDue, bool flush, std::string* error) {
  while (sourceFramesRead_ < sourceFramesDue || flush) {
    const int64_t n = std::min<int64_t>(sourceFramesDue - sourceFramesRead_, 4096);
    if (n > 0) {
      pcm_.resize(static_cast<size_t>(n) * 2);
      audio_->Read(pcm_.data(), static_cast<size_t>(n));
      sourceFramesRead_ += n;
    }
    const int in = static_cast<int>(std::max<int64_t>(n, 0));
    const int room = swr_get_out_samples(resampler_, in);
    if (room < 0) return Fail(error, "the sound conversion failed");
    std::vector<uint8_t*> planes(2, nullptr);
    if (av_samples_alloc(planes.data(), nullptr, 2, std::max(room, 1), audioCodec_->sample_fmt, 0) <
        0) {
      return Fail(error, "out of memory");
    }
    const uint8_t* src[1] = {reinterpret_cast<const uint8_t*>(pcm_.data())};
    const int got = swr_convert(resampler_, planes.data(), room, in > 0 ? src : nullptr, in);
    if (got > 0) av_audio_fifo_write(fifo_, reinterpret_cast<void**>(planes.data()), got);
    av_freep(&planes[0]);
    if (got < 0) return Fail(error, "the sound conversion failed");
    if (!EncodeAudioFrames(false, error)) return false;
    if (flush && n <= 0) break;
  }
  return true;
}

bool FfmpegEncoder::EncodeAudioFrames(bool all, std::string* error) {
  const int frameSize = audioCodec_->frame_size > 0 ? audioCodec_->frame_size : 1024;
  while (av_audio_fifo_size(fifo_) >= frameSize || (all && av_audio_fifo_size(fifo_) > 0)) {
    AVFrame* frame = av_frame_alloc();
    if (!frame) return Fail(error, "out of memory");
    const int available = av_audio_fifo_size(fifo_);
    const bool small = audioCodec_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    frame->nb_samples = available < frameSize && small ? available : frameSize;
    frame->format = audioCodec_->sample_fmt;
    frame->sample_rate = audioCodec_->sample_rate;
    av_channel_layout_copy(&frame->ch_layout, &audioCodec_->ch_layout);
    if (av_frame_get_buffer(frame, 0) < 0) {
      av_frame_free(&frame);
      return Fail(error, "out of memory");
    }
    // The last frame is padded with silence when the codec wants whole frames.
    av_samples_set_silence(frame->data, 0, frame->nb_samples, 2, audioCodec_->sample_fmt);
    av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data),
                       std::min(available, frame->nb_samples));
    frame->pts = audioSamplesSent_;
    audioSamplesSent_ += frame->nb_samples;
    const int rc = avcodec_send_frame(audioCodec_, frame);
    av_frame_free(&frame);
    if (rc < 0) return Fail(error, "the sound encoder failed: " + AvError(rc));
    if (!Drain(audioCodec_, audioStream_, error)) return false;
  }
  return true;
}

bool FfmpegEncoder::Finish(std::string* error) {
  if (!headerWritten_ || finished_) return Fail(error, "the file is not open");
  bool ok = avcodec_send_frame(video_, nullptr) >= 0 && Drain(video_, videoStream_, error);
  if (ok && audio_) {
    const int64_t due = framesWritten_ * audio_->SampleRate() / settings_.fps;
    ok = PumpAudio(due, true, error) && EncodeAudioFrames(true, error) &&
         avcodec_send_frame(audioCodec_, nullptr) >= 0 && Drain(audioCodec_, audioStream_, error);
  }
  if (ok) {
    if (int rc = av_write_trailer(format_); rc < 0) {
      ok = Fail(error, "cannot complete " + finalPath_ + ": " + AvError(rc));
    }
  }
  if (ok && avio_closep(&format_->pb) < 0) ok = Fail(error, "cannot write " + finalPath_);
  if (ok && std::rename(partPath_.c_str(), finalPath_.c_str()) != 0) {
    ok = Fail(error, "cannot create " + finalPath_ + ": " + std::strerror(errno));
  }
  if (!ok) {
    Abandon();
    return false;
  }
  partPath_.clear();
  finished_ = true;
  Close();
  return true;
}

void FfmpegEncoder::Abandon() {
  if (format_ && format_->pb) avio_closep(&format_->pb);
  if (!partPath_.empty()) std::remove(partPath_.c_str());
  partPath_.clear();
  finished_ = true;
  Close();
}

void FfmpegEncoder::Close() {
  if (format_) {
    if (format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
    format_ = nullptr;
  }
  avcodec_free_context(&video_);
  avcodec_free_context(&audioCodec_);
  av_packet_free(&packet_);
  swr_free(&resampler_);
  if (fifo_) av_audio_fifo_free(fifo_);
  fifo_ = nullptr;
}

}  // namespace

bool VideoEncoder::KnownContainer(const std::string& path) { return ContainerOf(path) != nullptr; }

std::unique_ptr<VideoEncoder> VideoEncoder::Open(const std::string& path,
                                                 const EncoderSettings& settings, PcmSource* audio,
                                                 std::string* error) {
  const Container* container = ContainerOf(path);
  if (!container) {
    if (error) *error = "cannot tell the video format of " + path + " (use .mp4, .mkv or .webm)";
    return nullptr;
  }
  av_log_set_level(AV_LOG_ERROR);
  auto encoder = std::make_unique<FfmpegEncoder>();
  if (!encoder->Init(path, *container, settings, audio, error)) {
    encoder->Abandon();
    return nullptr;
  }
  return encoder;
}

}  // namespace video
