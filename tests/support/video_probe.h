#pragma once
// Reads a video file back through FFmpeg's own demuxer and decoders, for tests of what the
// player wrote: container, streams, and every video frame as 24-bit RGB.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct VideoStreamInfo {
  std::string codec;  // FFmpeg's codec name: "h264", "vp9", "aac", "opus"
  bool video = false;
  int width = 0, height = 0;
  int64_t packets = 0;
  double seconds = 0;  // from the first packet's start to the last packet's end
};

struct VideoProbe {
  bool ok = false;
  std::string format;  // the demuxer's name
  std::vector<VideoStreamInfo> streams;
  std::vector<std::vector<uint8_t>> frames;  // decoded video frames, RGB24, in order
  int width = 0, height = 0;
  const VideoStreamInfo* Stream(bool video) const {
    for (const auto& s : streams) {
      if (s.video == video) return &s;
    }
    return nullptr;
  }
};

inline VideoProbe ProbeVideo(const std::string& path, bool decode) {
  VideoProbe probe;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return probe;
  if (avformat_find_stream_info(format, nullptr) < 0) {
    avformat_close_input(&format);
    return probe;
  }
  probe.format = format->iformat->name;
  std::vector<int64_t> first(format->nb_streams, INT64_MIN), end(format->nb_streams, 0);
  int videoIndex = -1;
  AVCodecContext* decoder = nullptr;
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVCodecParameters* par = format->streams[i]->codecpar;
    VideoStreamInfo info;
    info.codec = avcodec_get_name(par->codec_id);
    info.video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    info.width = par->width;
    info.height = par->height;
    probe.streams.push_back(info);
    if (info.video && videoIndex < 0) {
      videoIndex = static_cast<int>(i);
      probe.width = par->width;
      probe.height = par->height;
      if (decode) {
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, par);
        decoder->thread_count = 1;
        if (avcodec_open2(decoder, codec, nullptr) < 0) avcodec_free_context(&decoder);
      }
    }
  }
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  auto take = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      sws = sws_getCachedContext(sws, frame->width, frame->height,
                                 static_cast<AVPixelFormat>(frame->format), frame->width,
                                 frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR | SWS_ACCURATE_RND,
                                 nullptr, nullptr, nullptr);
      // The colours the file declares, as a player would show them.
      const int* matrix = sws_getCoefficients(
          frame->colorspace == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT);
      sws_setColorspaceDetails(sws, matrix, frame->color_range == AVCOL_RANGE_JPEG, matrix, 1, 0,
                               1 << 16, 1 << 16);
      std::vector<uint8_t> rgb(static_cast<size_t>(frame->width) * frame->height * 3);
      uint8_t* dst[1] = {rgb.data()};
      int dstStride[1] = {frame->width * 3};
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
      probe.frames.push_back(std::move(rgb));
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    const int s = packet->stream_index;
    auto& info = probe.streams[static_cast<size_t>(s)];
    ++info.packets;
    const AVRational tb = format->streams[s]->time_base;
    if (packet->pts != AV_NOPTS_VALUE) {
      const int64_t start = av_rescale_q(packet->pts, tb, AVRational{1, 1000000});
      const int64_t stop = av_rescale_q(packet->pts + packet->duration, tb, AVRational{1, 1000000});
      if (first[s] == INT64_MIN || start < first[s]) first[s] = start;
      if (stop > end[s]) end[s] = stop;
    }
    if (decoder && s == videoIndex && avcodec_send_packet(decoder, packet) >= 0) take();
    av_packet_unref(packet);
  }
  if (decoder) {
    avcodec_send_packet(decoder, nullptr);
    take();
  }
  for (size_t i = 0; i < probe.streams.size(); ++i) {
    if (first[i] != INT64_MIN)
      probe.streams[i].seconds = static_cast<double>(end[i] - first[i]) / 1e6;
  }
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  probe.ok = true;
  return probe;
}

// The first sound stream of a file decoded to interleaved 16-bit stereo (the first two
// channels; a mono stream is doubled), placed by its timestamps from time 0; empty when the
// file has none. `rate` receives the stream's sample rate.
inline std::vector<int16_t> DecodeSoundStereo(const std::string& path, int* rate) {
  std::vector<int16_t> out;
  AVFormatContext* format = nullptr;
  if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
  if (avformat_find_stream_info(format, nullptr) < 0) {
    avformat_close_input(&format);
    return out;
  }
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  AVCodecContext* decoder = nullptr;
  if (index >= 0) {
    const AVCodecParameters* par = format->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, par);
    if (avcodec_open2(decoder, codec, nullptr) < 0) avcodec_free_context(&decoder);
  }
  if (!decoder) {
    avformat_close_input(&format);
    return out;
  }
  *rate = decoder->sample_rate;
  const AVRational tb = format->streams[index]->time_base;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto sample = [&](int ch, int i) -> float {
    const auto fmt = static_cast<AVSampleFormat>(frame->format);
    const int channels = frame->ch_layout.nb_channels;
    ch = std::min(ch, channels - 1);
    const bool planar = av_sample_fmt_is_planar(fmt);
    const uint8_t* base = planar ? frame->extended_data[ch] : frame->extended_data[0];
    const int at = planar ? i : i * channels + ch;
    switch (av_get_packed_sample_fmt(fmt)) {
      case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(base)[at];
      case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(base)[at] / 32768.0f;
      case AV_SAMPLE_FMT_S32:
        return static_cast<float>(reinterpret_cast<const int32_t*>(base)[at] / 2147483648.0);
      default:
        return 0;
    }
  };
  auto take = [&] {
    while (avcodec_receive_frame(decoder, frame) == 0) {
      int64_t first = static_cast<int64_t>(out.size() / 2);
      if (frame->pts != AV_NOPTS_VALUE) {
        first = av_rescale_q(frame->pts, tb, AVRational{1, *rate});
      }
      for (int i = 0; i < frame->nb_samples; ++i) {
        const int64_t at = first + i;
        if (at < 0) continue;
        if (static_cast<size_t>(2 * at + 2) > out.size())
          out.resize(static_cast<size_t>(2 * at + 2), 0);
        for (int ch = 0; ch < 2; ++ch) {
          const float v = std::clamp(sample(ch, i), -1.0f, 1.0f);
          out[static_cast<size_t>(2 * at + ch)] = static_cast<int16_t>(std::lround(v * 32767));
        }
      }
    }
  };
  while (av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index && avcodec_send_packet(decoder, packet) >= 0) take();
    av_packet_unref(packet);
  }
  avcodec_send_packet(decoder, nullptr);
  take();
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&decoder);
  avformat_close_input(&format);
  return out;
}

}  // namespace testsupport
