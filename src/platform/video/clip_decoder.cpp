#include "platform/video/clip_decoder.h"

#include "platform/video/clip_input.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

#include "platform/sys/large_alloc.h"

namespace video {

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

ClipError OpenClipInput(const std::string& path, const ClipLimits& limits, AVMediaType kind,
                        ClipInput& r, std::string* detail) {
  // A damaged clip makes the libraries talk on stderr; the player shows no clip errors.
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
  const AVInputFormat* avi = av_find_input_format("avi");
  if (!avi) {
    if (detail) *detail = "FFmpeg has no AVI demuxer";
    return ClipError::kNotAvi;
  }
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return ClipError::kOutOfMemory;
  // Local files only, read only as AVI: a clip never makes us open another name, a network
  // address or a playlist.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  av_dict_set(&options, "format_whitelist", "avi", 0);
  av_dict_set_int(&options, "max_streams", limits.maxStreams, 0);
  // "file:" in front, so a name that looks like a protocol ("subfile:...") stays a file name.
  int rc = avformat_open_input(&raw, ("file:" + path).c_str(), avi, &options);
  av_dict_free(&options);
  if (rc < 0) {
    if (detail) *detail = AvErrorText(rc);
    if (rc == AVERROR(ENOENT) || rc == AVERROR(EACCES) || rc == AVERROR(EISDIR))
      return ClipError::kCannotOpen;
    // The demuxer says so when the header declares more streams than max_streams.
    return rc == AVERROR(ENOMEM) ? ClipError::kTooLarge : ClipError::kNotAvi;
  }
  r.format.reset(raw);
  if (static_cast<int>(r.format->nb_streams) > limits.maxStreams) return ClipError::kTooLarge;

  const AVCodec* decoder = nullptr;
  rc = av_find_best_stream(r.format.get(), kind, -1, -1, &decoder, 0);
  if (rc < 0 || !decoder) {
    if (detail) *detail = rc < 0 ? AvErrorText(rc) : "no decoder";
    return ClipError::kNoVideo;
  }
  r.stream = rc;
  for (unsigned i = 0; i < r.format->nb_streams; ++i) {
    if (static_cast<int>(i) != r.stream) r.format->streams[i]->discard = AVDISCARD_ALL;
  }
  AVStream* st = r.format->streams[r.stream];
  const AVCodecParameters* par = st->codecpar;
  if (kind == AVMEDIA_TYPE_VIDEO) {
    if (par->width <= 0 || par->height <= 0) return ClipError::kNoVideo;
    if (par->width > limits.maxWidth || par->height > limits.maxHeight) return ClipError::kTooLarge;
  }
  r.timeBase = st->time_base.num > 0 && st->time_base.den > 0 ? st->time_base : AVRational{1, 25};

  r.codec.reset(avcodec_alloc_context3(decoder));
  if (!r.codec) return ClipError::kOutOfMemory;
  if (avcodec_parameters_to_context(r.codec.get(), par) < 0) return ClipError::kNoVideo;
  // One thread: the machine's cores belong to the show's drawing as well.
  r.codec->thread_count = 1;
  // A damaged stream cannot make the decoder allocate pictures above the limits.
  r.codec->max_pixels = static_cast<int64_t>(limits.maxWidth) * limits.maxHeight;
  rc = avcodec_open2(r.codec.get(), decoder, nullptr);
  if (rc < 0) {
    if (detail) *detail = AvErrorText(rc);
    return ClipError::kNoVideo;
  }
  return ClipError::kNone;
}

bool ReceiveClipFrame(ClipInput& r, AVPacket* packet, AVFrame* frame) {
  if (r.ended) return false;
  for (;;) {
    int rc = avcodec_receive_frame(r.codec.get(), frame);
    if (rc == 0) return true;
    if (rc != AVERROR(EAGAIN) || r.draining) {
      r.ended = true;
      return false;
    }
    rc = av_read_frame(r.format.get(), packet);
    if (rc < 0) {
      avcodec_send_packet(r.codec.get(), nullptr);
      r.draining = true;
      continue;
    }
    if (packet->stream_index == r.stream) {
      // A damaged packet is skipped; the next key picture repairs the clip.
      avcodec_send_packet(r.codec.get(), packet);
    }
    av_packet_unref(packet);
  }
}

namespace {

constexpr auto kDefaultFrameDuration = std::chrono::milliseconds(40);

struct ScaleFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using Reading = ClipInput;

class FfmpegClipDecoder final : public ClipDecoder {
 public:
  FfmpegClipDecoder(std::string path, const ClipLimits& limits, Reading reading)
      : path_(std::move(path)), limits_(limits), r_(std::move(reading)) {
    const AVCodecParameters* par = r_.format->streams[r_.stream]->codecpar;
    width_ = par->width;
    height_ = par->height;
    AVRational rate = r_.format->streams[r_.stream]->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = r_.format->streams[r_.stream]->r_frame_rate;
    frameDuration_ = kDefaultFrameDuration;
    if (rate.num > 0 && rate.den > 0) {
      const double s = static_cast<double>(rate.den) / rate.num;
      if (std::isfinite(s) && s > 0.001) {
        frameDuration_ = std::chrono::nanoseconds(static_cast<int64_t>(
            std::min(s, std::chrono::duration<double>(limits_.maxFrameGap).count()) * 1e9));
      }
    }
  }

  bool Valid() const { return frame_ && packet_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::chrono::nanoseconds FrameDuration() const override { return frameDuration_; }

  bool NextFrame(uint32_t* pixels, size_t stride, std::chrono::nanoseconds* time) override {
    std::chrono::nanoseconds t{};
    while (DecodeNext(&t)) {
      // A picture that cannot be converted is dropped.
      if (!ConvertHeldInto(pixels, stride)) continue;
      *time = t;
      return true;
    }
    return false;
  }

  bool DecodeNext(std::chrono::nanoseconds* time) override {
    av_frame_unref(frame_.get());
    held_ = false;
    if (!ReceiveClipFrame(r_, packet_.get(), frame_.get())) return false;
    held_ = true;
    *time = TimeOf(frame_->best_effort_timestamp);
    return true;
  }

  const uint32_t* ConvertHeld(size_t* stride) override {
    if (!held_ || !Prepare() || !Buffer()) return nullptr;
    if (!Scale(converted_, paddedBytes_)) return nullptr;
    *stride = paddedBytes_ / 4;
    return reinterpret_cast<const uint32_t*>(converted_);
  }

  bool ConvertHeldInto(uint32_t* pixels, size_t stride) override {
    if (!held_ || !Prepare()) return false;
    const size_t bytes = stride * 4;
    // Straight into the caller's rows when the converter writes nothing past them: its
    // vector code writes whole groups of 16 pixels (a clip 40 wide gets 48), so a width of
    // whole groups, aligned rows, and no fitting of a picture of another size.
    if (width_ % 16 == 0 && frame_->width == width_ && frame_->height == height_ &&
        reinterpret_cast<uintptr_t>(pixels) % 16 == 0 && bytes % 16 == 0 &&
        bytes <= static_cast<size_t>(INT_MAX)) {
      return Scale(reinterpret_cast<uint8_t*>(pixels), bytes);
    }
    size_t from = 0;
    const uint32_t* rows = ConvertHeld(&from);
    if (!rows) return false;
    for (int y = 0; y < height_; ++y) {
      std::memcpy(pixels + static_cast<size_t>(y) * stride, rows + static_cast<size_t>(y) * from,
                  static_cast<size_t>(width_) * 4);
    }
    return true;
  }

  bool Rewind() override {
    Reading again;
    if (OpenClipInput(path_, limits_, AVMEDIA_TYPE_VIDEO, again, nullptr) != ClipError::kNone)
      return false;
    const AVCodecParameters* par = again.format->streams[again.stream]->codecpar;
    if (par->width != width_ || par->height != height_) return false;
    av_frame_unref(frame_.get());
    held_ = false;
    r_ = std::move(again);
    haveTime_ = false;
    return true;
  }

 private:
  // The converter for the held picture.
  bool Prepare() {
    const int w = frame_->width, h = frame_->height;
    if (w <= 0 || h <= 0 || w > limits_.maxWidth || h > limits_.maxHeight) return false;
    if (frame_->format < 0) return false;
    // A picture of another size than the clip's (a damaged stream) is fitted to it.
    scale_.reset(sws_getCachedContext(scale_.release(), w, h,
                                      static_cast<AVPixelFormat>(frame_->format), width_, height_,
                                      AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr));
    return scale_ != nullptr;
  }

  // libswscale's vector code may write past the end of a row: pictures it cannot write
  // straight into a caller's rows go to an aligned, padded picture of the decoder's own.
  bool Buffer() {
    if (converted_) return true;
    const size_t rowBytes = static_cast<size_t>(width_) * 4;
    paddedBytes_ = (rowBytes + 64 + 63) / 64 * 64;
    // In large blocks: a big picture's fresh pages would cost a fault each. Aligned as
    // av_malloc would align it.
    try {
      convertedBlock_.resize(paddedBytes_ * (height_ + 1) + kAlign);
    } catch (const std::bad_alloc&) {
      return false;
    }
    const auto at = reinterpret_cast<uintptr_t>(convertedBlock_.data());
    converted_ = convertedBlock_.data() + (kAlign - at % kAlign) % kAlign;
    return true;
  }

  bool Scale(uint8_t* to, size_t bytesPerRow) {
    uint8_t* dst[4] = {to, nullptr, nullptr, nullptr};
    const int dstStride[4] = {static_cast<int>(bytesPerRow), 0, 0, 0};
    return sws_scale(scale_.get(), frame_->data, frame_->linesize, 0, frame_->height, dst,
                     dstStride) == height_;
  }

  std::chrono::nanoseconds TimeOf(int64_t pts) {
    std::chrono::nanoseconds t;
    if (!haveTime_) {
      t = std::chrono::nanoseconds(0);
      startPts_ = pts;
    } else if (pts == AV_NOPTS_VALUE || startPts_ == AV_NOPTS_VALUE) {
      t = lastTime_ + frameDuration_;
    } else {
      // In floating point: stamps anywhere in 64 bits cannot overflow the difference.
      const double s = (static_cast<double>(pts) - static_cast<double>(startPts_)) *
                       r_.timeBase.num / r_.timeBase.den;
      const double last = std::chrono::duration<double>(lastTime_).count();
      const double maxGap = std::chrono::duration<double>(limits_.maxFrameGap).count();
      t = std::chrono::nanoseconds(std::llround(std::clamp(s, last, last + maxGap) * 1e9));
      if (t < lastTime_) t = lastTime_;
    }
    haveTime_ = true;
    lastTime_ = t;
    return t;
  }

  std::string path_;
  ClipLimits limits_;
  Reading r_;
  int width_ = 0, height_ = 0;
  std::chrono::nanoseconds frameDuration_{};
  std::unique_ptr<AVFrame, FrameFreer> frame_{av_frame_alloc()};
  std::unique_ptr<AVPacket, PacketFreer> packet_{av_packet_alloc()};
  std::unique_ptr<SwsContext, ScaleFreer> scale_;
  static constexpr size_t kAlign = 64;
  sys::LargeVector<uint8_t> convertedBlock_;
  uint8_t* converted_ = nullptr;
  size_t paddedBytes_ = 0;
  bool held_ = false;
  bool haveTime_ = false;
  int64_t startPts_ = 0;
  std::chrono::nanoseconds lastTime_{0};
};

}  // namespace

std::string ClipErrorText(int code) {
  switch (static_cast<ClipError>(code)) {
    case ClipError::kNone:
      return "The clip was opened.";
    case ClipError::kCannotOpen:
      return "The video file cannot be opened.";
    case ClipError::kNotAvi:
      return "The file is not a video clip in a known format, or it is damaged.";
    case ClipError::kNoVideo:
      return "The file holds no picture stream that can be played.";
    case ClipError::kTooLarge:
      return "The clip's pictures or streams exceed what can be played.";
    case ClipError::kOutOfMemory:
      return "There is not enough memory to play the clip.";
  }
  return "Error code not known.";
}

std::unique_ptr<ClipDecoder> ClipDecoder::Open(const std::string& path, ClipError* error,
                                               std::string* detail, const ClipLimits& limits) {
  Reading r;
  ClipError e = OpenClipInput(path, limits, AVMEDIA_TYPE_VIDEO, r, detail);
  std::unique_ptr<FfmpegClipDecoder> d;
  if (e == ClipError::kNone) {
    d = std::make_unique<FfmpegClipDecoder>(path, limits, std::move(r));
    if (!d->Valid()) {
      d.reset();
      e = ClipError::kOutOfMemory;
    }
  }
  if (error) *error = e;
  return d;
}

}  // namespace video
