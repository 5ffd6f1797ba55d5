#include "platform/video/clip_sound.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/video/clip_input.h"

namespace video {
namespace {

// Sound streams whose declared rate or channel count lie outside these are not played: a
// resampler from 1 Hz would turn each sample into tens of thousands.
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr int kMaxChannels = 16;

struct ResamplerFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

bool Playable(const AVCodecParameters* par) {
  return par->sample_rate >= kMinRate && par->sample_rate <= kMaxRate &&
         par->ch_layout.nb_channels >= 1 && par->ch_layout.nb_channels <= kMaxChannels;
}

class FfmpegClipSound final : public ClipSound {
 public:
  FfmpegClipSound(std::string path, int rate, const ClipLimits& limits, ClipInput input)
      : path_(std::move(path)), rate_(rate), limits_(limits), in_(std::move(input)) {}
  ~FfmpegClipSound() override { av_channel_layout_uninit(&inLayout_); }
  FfmpegClipSound(const FfmpegClipSound&) = delete;
  FfmpegClipSound& operator=(const FfmpegClipSound&) = delete;

  bool Valid() const { return frame_ && packet_; }

  size_t Read(int16_t* out, size_t frames) override {
    size_t given = 0;
    while (given < frames) {
      if (pos_ == pending_.size() && !Refill()) break;
      const size_t n = std::min(frames - given, (pending_.size() - pos_) / 2);
      std::memcpy(out + given * 2, pending_.data() + pos_, n * 2 * sizeof(int16_t));
      pos_ += n * 2;
      given += n;
    }
    return given;
  }

  bool Rewind() override {
    ClipInput again;
    if (OpenClipInput(path_, limits_, AVMEDIA_TYPE_AUDIO, again, nullptr) != ClipError::kNone ||
        !Playable(again.format->streams[again.stream]->codecpar))
      return false;
    in_ = std::move(again);
    resampler_.reset();
    flushed_ = false;
    pending_.clear();
    pos_ = 0;
    return true;
  }

 private:
  // Converts the next decoded frame (or, at the end, what the resampler holds back) into
  // pending_; false when nothing is left.
  bool Refill() {
    pending_.clear();
    pos_ = 0;
    while (pending_.empty()) {
      if (ReceiveClipFrame(in_, packet_.get(), frame_.get())) {
        const bool ok = Convert(frame_.get());
        av_frame_unref(frame_.get());
        if (!ok) continue;  // a frame the resampler cannot take is dropped
      } else {
        if (flushed_ || !resampler_) return false;
        flushed_ = true;
        Convert(nullptr);
        if (pending_.empty()) return false;
      }
    }
    return true;
  }

  bool Convert(const AVFrame* frame) {
    if (frame) {
      if (frame->sample_rate < kMinRate || frame->sample_rate > kMaxRate ||
          frame->ch_layout.nb_channels < 1 || frame->ch_layout.nb_channels > kMaxChannels ||
          frame->nb_samples <= 0 || frame->format < 0)
        return false;
      // The first frame sets the resampler up; a frame whose format differs (a damaged
      // stream) sets it up again.
      if (!resampler_ || frame->sample_rate != inRate_ || frame->format != inFormat_ ||
          av_channel_layout_compare(&frame->ch_layout, &inLayout_) != 0) {
        SwrContext* raw = nullptr;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        if (swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, rate_,
                                const_cast<AVChannelLayout*>(&frame->ch_layout),
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(raw) < 0) {
          swr_free(&raw);
          resampler_.reset();
          return false;
        }
        resampler_.reset(raw);
        inRate_ = frame->sample_rate;
        inFormat_ = frame->format;
        av_channel_layout_uninit(&inLayout_);
        if (av_channel_layout_copy(&inLayout_, &frame->ch_layout) < 0) return false;
      }
    }
    if (!resampler_) return false;
    const int room = swr_get_out_samples(resampler_.get(), frame ? frame->nb_samples : 0);
    if (room <= 0) return frame != nullptr;
    pending_.resize(static_cast<size_t>(room) * 2);
    uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(pending_.data())};
    const int got = swr_convert(resampler_.get(), dst, room,
                                frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                frame ? frame->nb_samples : 0);
    pending_.resize(static_cast<size_t>(std::max(got, 0)) * 2);
    return got >= 0;
  }

  std::string path_;
  int rate_;
  ClipLimits limits_;
  ClipInput in_;
  std::unique_ptr<AVFrame, FrameFreer> frame_{av_frame_alloc()};
  std::unique_ptr<AVPacket, PacketFreer> packet_{av_packet_alloc()};
  std::unique_ptr<SwrContext, ResamplerFreer> resampler_;
  int inRate_ = 0, inFormat_ = -1;
  AVChannelLayout inLayout_{};
  bool flushed_ = false;
  std::vector<int16_t> pending_;  // converted frames not yet read
  size_t pos_ = 0;                // samples of pending_ read
};

}  // namespace

std::unique_ptr<ClipSound> ClipSound::Open(const std::string& path, int rate,
                                           const ClipLimits& limits) {
  if (rate < 8000 || rate > 192000) return nullptr;
  ClipInput in;
  if (OpenClipInput(path, limits, AVMEDIA_TYPE_AUDIO, in, nullptr) != ClipError::kNone ||
      !Playable(in.format->streams[in.stream]->codecpar))
    return nullptr;
  auto s = std::make_unique<FfmpegClipSound>(path, rate, limits, std::move(in));
  if (!s->Valid()) return nullptr;
  return s;
}

}  // namespace video
