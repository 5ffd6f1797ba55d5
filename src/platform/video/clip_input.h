#pragma once
// The guarded open of a clip file that the picture and the sound readers share: a local
// file only, read only as AVI, with the stream count capped, one stream of the wanted kind
// chosen with a decoder open for it and every other stream discarded.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

#include "platform/video/clip_decoder.h"

namespace video {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// One open of the file: what a rewind makes again.
struct ClipInput {
  std::unique_ptr<AVFormatContext, FormatCloser> format;
  std::unique_ptr<AVCodecContext, CodecFreer> codec;
  int stream = -1;
  AVRational timeBase{1, 1};
  bool draining = false;
  bool ended = false;
};

std::string AvErrorText(int code);

// `kind`: AVMEDIA_TYPE_VIDEO or AVMEDIA_TYPE_AUDIO. The checks of the stream's own
// parameters (picture size, sample rate) are the caller's.
ClipError OpenClipInput(const std::string& path, const ClipLimits& limits, AVMediaType kind,
                        ClipInput& in, std::string* detail);

// Reads packets of the chosen stream into the decoder until it has a frame for `frame`;
// false at the end of the stream (or at the first error: the rest is dropped).
bool ReceiveClipFrame(ClipInput& in, AVPacket* packet, AVFrame* frame);

}  // namespace video
