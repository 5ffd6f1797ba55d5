#include "platform/video/clip_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <memory>
#include <vector>

namespace video {
namespace {

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct Writer {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* scale = nullptr;
  AVStream* stream = nullptr;
  AVCodecContext* soundCodec = nullptr;
  AVFrame* soundFrame = nullptr;
  AVStream* soundStream = nullptr;
  ~Writer() {
    sws_freeContext(scale);
    av_packet_free(&packet);
    av_frame_free(&frame);
    av_frame_free(&soundFrame);
    avcodec_free_context(&codec);
    avcodec_free_context(&soundCodec);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
  int Drain(AVCodecContext* from, AVStream* to) {
    for (;;) {
      int rc = avcodec_receive_packet(from, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return 0;
      if (rc < 0) return rc;
      av_packet_rescale_ts(packet, from->time_base, to->time_base);
      packet->stream_index = to->index;
      rc = av_interleaved_write_frame(format, packet);
      if (rc < 0) return rc;
    }
  }
};

bool Fail(const std::string& path, std::string* error, const std::string& why) {
  if (error) *error = why;
  std::remove(path.c_str());
  return false;
}

}  // namespace

bool WriteClip(const std::string& path, const ClipSpec& params, const PaintFrame& paint,
               std::string* error, const PaintSound& sound) {
  if (params.width <= 0 || params.height <= 0 || params.width % 2 || params.height % 2 ||
      params.fps <= 0 || params.frames < 0 || params.soundRate < 0 ||
      (params.soundRate > 0 && !sound)) {
    if (error) *error = "the clip needs an even size, a frame rate and a frame count";
    return false;
  }
  Writer w;
  int rc = avformat_alloc_output_context2(&w.format, nullptr, "avi", path.c_str());
  if (rc < 0 || !w.format) return Fail(path, error, "no AVI muxer");
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (!encoder) return Fail(path, error, "no MPEG-4 encoder");
  w.stream = avformat_new_stream(w.format, nullptr);
  w.codec = avcodec_alloc_context3(encoder);
  w.frame = av_frame_alloc();
  w.packet = av_packet_alloc();
  if (!w.stream || !w.codec || !w.frame || !w.packet) return Fail(path, error, "out of memory");
  w.codec->width = params.width;
  w.codec->height = params.height;
  w.codec->pix_fmt = AV_PIX_FMT_YUV420P;
  w.codec->time_base = AVRational{1, params.fps};
  w.codec->framerate = AVRational{params.fps, 1};
  w.codec->gop_size = 12;
  w.codec->max_b_frames = 0;
  w.codec->thread_count = 1;
  w.codec->flags |= AV_CODEC_FLAG_QSCALE;
  w.codec->global_quality = FF_QP2LAMBDA * params.quality;
  if (w.format->oformat->flags & AVFMT_GLOBALHEADER) w.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  rc = avcodec_open2(w.codec, encoder, nullptr);
  if (rc < 0) return Fail(path, error, AvError(rc));
  avcodec_parameters_from_context(w.stream->codecpar, w.codec);
  w.stream->time_base = w.codec->time_base;
  if (params.soundRate > 0) {
    const AVCodec* pcm = avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (!pcm) return Fail(path, error, "no PCM encoder");
    w.soundStream = avformat_new_stream(w.format, nullptr);
    w.soundCodec = avcodec_alloc_context3(pcm);
    w.soundFrame = av_frame_alloc();
    if (!w.soundStream || !w.soundCodec || !w.soundFrame) return Fail(path, error, "out of memory");
    w.soundCodec->sample_fmt = AV_SAMPLE_FMT_S16;
    w.soundCodec->sample_rate = params.soundRate;
    w.soundCodec->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    w.soundCodec->time_base = AVRational{1, params.soundRate};
    rc = avcodec_open2(w.soundCodec, pcm, nullptr);
    if (rc < 0) return Fail(path, error, AvError(rc));
    avcodec_parameters_from_context(w.soundStream->codecpar, w.soundCodec);
    w.soundStream->time_base = w.soundCodec->time_base;
  }
  rc = avio_open(&w.format->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (rc < 0) return Fail(path, error, AvError(rc));
  rc = avformat_write_header(w.format, nullptr);
  if (rc < 0) return Fail(path, error, AvError(rc));
  w.frame->format = AV_PIX_FMT_YUV420P;
  w.frame->width = params.width;
  w.frame->height = params.height;
  if (av_frame_get_buffer(w.frame, 0) < 0) return Fail(path, error, "out of memory");
  w.scale =
      sws_getContext(params.width, params.height, AV_PIX_FMT_BGR0, params.width, params.height,
                     AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!w.scale) return Fail(path, error, "no colour conversion");
  std::vector<uint32_t> pixels(static_cast<size_t>(params.width) * params.height);
  for (int i = 0; i < params.frames; ++i) {
    paint(i, pixels.data(), static_cast<size_t>(params.width));
    if (av_frame_make_writable(w.frame) < 0) return Fail(path, error, "out of memory");
    const uint8_t* src[4] = {reinterpret_cast<const uint8_t*>(pixels.data()), nullptr, nullptr,
                             nullptr};
    const int srcStride[4] = {params.width * 4, 0, 0, 0};
    sws_scale(w.scale, src, srcStride, 0, params.height, w.frame->data, w.frame->linesize);
    w.frame->pts = i;
    rc = avcodec_send_frame(w.codec, w.frame);
    if (rc >= 0) rc = w.Drain(w.codec, w.stream);
    if (rc < 0) return Fail(path, error, AvError(rc));
    if (w.soundCodec) {
      // The sound of this picture's time, in one packet beside it.
      const int64_t first = int64_t{i} * params.soundRate / params.fps;
      const int64_t end = int64_t{i + 1} * params.soundRate / params.fps;
      if (end <= first) continue;
      av_frame_unref(w.soundFrame);
      w.soundFrame->format = AV_SAMPLE_FMT_S16;
      w.soundFrame->sample_rate = params.soundRate;
      w.soundFrame->nb_samples = static_cast<int>(end - first);
      if (av_channel_layout_copy(&w.soundFrame->ch_layout, &w.soundCodec->ch_layout) < 0 ||
          av_frame_get_buffer(w.soundFrame, 0) < 0)
        return Fail(path, error, "out of memory");
      sound(first, reinterpret_cast<int16_t*>(w.soundFrame->data[0]),
            static_cast<size_t>(end - first));
      w.soundFrame->pts = first;
      rc = avcodec_send_frame(w.soundCodec, w.soundFrame);
      if (rc >= 0) rc = w.Drain(w.soundCodec, w.soundStream);
      if (rc < 0) return Fail(path, error, AvError(rc));
    }
  }
  rc = avcodec_send_frame(w.codec, nullptr);
  if (rc >= 0) rc = w.Drain(w.codec, w.stream);
  if (rc >= 0 && w.soundCodec) {
    rc = avcodec_send_frame(w.soundCodec, nullptr);
    if (rc >= 0) rc = w.Drain(w.soundCodec, w.soundStream);
  }
  if (rc >= 0) rc = av_write_trailer(w.format);
  if (rc < 0) return Fail(path, error, AvError(rc));
  if (avio_closep(&w.format->pb) < 0) return Fail(path, error, "the file could not be completed");
  return true;
}

}  // namespace video
