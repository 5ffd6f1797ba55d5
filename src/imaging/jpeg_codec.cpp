// JPEG reading and writing through libjpeg (IJG 6b interface).
//
// libjpeg reports fatal errors through error_exit, which here jumps back with longjmp. The
// functions that call setjmp (DecodeJpeg, EncodeJpeg) and the libjpeg callbacks hold only
// trivially destructible objects, so no C++ destructor is ever skipped by the jump; all
// state that must survive it lives in the heap context.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "imaging/decoder_state.h"

namespace imaging {
namespace {

using detail::Call;
using detail::Stream;

constexpr size_t kIoBufferSize = 64 * 1024;
// Rows asked of libjpeg at once.
constexpr JDIMENSION kRowBatch = 8;
// libjpeg's own work memory for one picture (progressive files keep all coefficients).
constexpr size_t kMaxLibjpegMemory = size_t{1} << 30;

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {}  // the decoder never prints

struct SourceManager {
  jpeg_source_mgr pub;
  Stream* stream;
  JOCTET buffer[kIoBufferSize];
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  size_t got = src->stream->ReadAt(src->stream->position, src->buffer, kIoBufferSize);
  src->stream->position += got;
  // A short file ends the picture with an error; the rows already read are kept.
  if (got == 0) ERREXIT(cinfo, JERR_INPUT_EOF);
  src->pub.next_input_byte = src->buffer;
  src->pub.bytes_in_buffer = got;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<SourceManager*>(cinfo->src);
  if (count <= 0) return;
  size_t n = static_cast<size_t>(count);
  while (n > src->pub.bytes_in_buffer) {
    n -= src->pub.bytes_in_buffer;
    src->pub.bytes_in_buffer = 0;
    FillInputBuffer(cinfo);
  }
  src->pub.next_input_byte += n;
  src->pub.bytes_in_buffer -= n;
}

void TermSource(j_decompress_ptr) {}

struct ReadContext {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  SourceManager src;
  bool created;
  int phase;  // 0 before the rows, 1 in the rows, 2 finishing
  int bits;
  int result;  // error code
  uint8_t* pixels;
  size_t pixelsSize;
  uint32_t width;
  uint32_t height;
  uint8_t* row;   // conversion row: width * components
  RowSink* sink;  // takes the rows instead of pixels
  uint8_t* rows;  // kRowBatch rows for the sink
  bool begun;     // the sink took the picture's size
  uint32_t delivered;
  detail::ThreadState* state;
  uint64_t dataBytes;  // from the start of the picture to the end of the stream
};

// Copies the kept markers into the thread's lists. Runs between libjpeg calls, never inside
// one, so a bad_alloc here cannot meet a longjmp.
bool KeepMarkers(ReadContext& ctx) {
  try {
    for (jpeg_saved_marker_ptr m = ctx.cinfo.marker_list; m; m = m->next) {
      if (m->marker == JPEG_COM) {
        ctx.state->readComments.emplace_back(reinterpret_cast<const char*>(m->data),
                                             m->data_length);
      } else {
        JpegMarker marker;
        marker.code = m->marker;
        marker.data.assign(m->data, m->data + m->data_length);
        ctx.state->readMarkers.push_back(std::move(marker));
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Everything from creating the decompressor to the last row. Returns with ctx.result set;
// ctx.pixels holds the buffer when one came back.
void DecodeJpeg(ReadContext& ctx) {
  ctx.cinfo.err = jpeg_std_error(&ctx.err.pub);
  ctx.err.pub.error_exit = ErrorExit;
  ctx.err.pub.output_message = OutputMessage;
  if (setjmp(ctx.err.jump)) {
    // libjpeg failed: before the rows the picture is lost, inside them it is partial.
    if (ctx.phase == 0) {
      std::free(ctx.pixels);
      ctx.pixels = nullptr;
      ctx.result = kErrJpegHeader;
    } else if (ctx.phase == 1) {
      ctx.result = kErrShort;
    } else {
      ctx.result = kOk;  // a broken tail after the last row does not spoil the picture
    }
    return;
  }
  jpeg_create_decompress(&ctx.cinfo);
  ctx.created = true;
  ctx.cinfo.mem->max_memory_to_use =
      static_cast<long>(std::min<size_t>(kMaxLibjpegMemory, detail::BufferLimit() * 4));
  ctx.cinfo.src = &ctx.src.pub;
  ctx.src.pub.init_source = InitSource;
  ctx.src.pub.fill_input_buffer = FillInputBuffer;
  ctx.src.pub.skip_input_data = SkipInputData;
  ctx.src.pub.resync_to_restart = jpeg_resync_to_restart;
  ctx.src.pub.term_source = TermSource;
  ctx.src.pub.bytes_in_buffer = 0;
  ctx.src.pub.next_input_byte = nullptr;

  jpeg_save_markers(&ctx.cinfo, JPEG_COM, 0xFFFF);
  for (int n = 1; n <= 14; ++n) jpeg_save_markers(&ctx.cinfo, JPEG_APP0 + n, 0xFFFF);
  jpeg_read_header(&ctx.cinfo, TRUE);
  ctx.cinfo.scale_num = ctx.state->jpeg.scaleNum;
  ctx.cinfo.scale_denom = ctx.state->jpeg.scaleDenom;
  if (ctx.state->jpeg.dctMethod >= 0)
    ctx.cinfo.dct_method = static_cast<J_DCT_METHOD>(ctx.state->jpeg.dctMethod);
  jpeg_calc_output_dimensions(&ctx.cinfo);
  if (!KeepMarkers(ctx)) {
    ctx.result = kErrNoMemory;
    jpeg_abort_decompress(&ctx.cinfo);
    return;
  }

  const int comps = ctx.cinfo.output_components;
  const J_COLOR_SPACE space = ctx.cinfo.jpeg_color_space;
  const bool cmyk = comps == 4 && (space == JCS_CMYK || space == JCS_YCCK);
  const bool supported =
      ctx.bits == 24 ? (comps == 3 || comps == 1 || cmyk) : (comps == 1 || comps == 3);
  if (!supported) {
    ctx.result = kErrJpegLayout;
    return;
  }
  // The size limits are checked before libjpeg sets up its own buffers for the picture.
  const size_t size = BufferSize(ctx.cinfo.output_width, ctx.cinfo.output_height, ctx.bits / 8);
  if (size == 0 || size > detail::BufferLimit() ||
      !PictureSizeAllowed(ctx.cinfo.output_width, ctx.cinfo.output_height)) {
    ctx.result = kErrNoMemory;
    return;
  }
  if (!DataCanHold(ctx.cinfo.image_width, ctx.cinfo.image_height, ctx.dataBytes)) {
    ctx.result = kErrShort;
    return;
  }
  jpeg_start_decompress(&ctx.cinfo);
  ctx.width = ctx.cinfo.output_width;
  ctx.height = ctx.cinfo.output_height;
  const size_t w = ctx.width;
  const size_t stride = w * static_cast<size_t>(ctx.bits / 8);
  ctx.row = static_cast<uint8_t*>(std::malloc(w * static_cast<size_t>(comps)));
  if (ctx.sink) {
    // A few rows at a time for the sink: the picture is never held whole.
    ctx.rows = static_cast<uint8_t*>(std::malloc(stride * kRowBatch));
    ctx.begun = ctx.row && ctx.rows && ctx.sink->Begin(ctx.cinfo.output_width, ctx.height);
    if (!ctx.begun) {
      ctx.result = kErrNoMemory;
      return;
    }
  } else {
    ctx.pixels = static_cast<uint8_t*>(std::calloc(size, 1));
    if (!ctx.pixels || !ctx.row) {
      ctx.result = kErrNoMemory;
      std::free(ctx.pixels);
      ctx.pixels = nullptr;
      return;
    }
    ctx.pixelsSize = size;
  }
  ctx.phase = 1;

  const bool direct = (ctx.bits == 24 && comps == 3) || (ctx.bits == 8 && comps == 1);
  while (ctx.cinfo.output_scanline < ctx.height) {
    const size_t y = ctx.cinfo.output_scanline;
    uint8_t* out = ctx.sink ? ctx.rows : ctx.pixels + y * stride;
    if (direct) {
      // Straight into the buffer, a few rows per call.
      JSAMPROW rows[kRowBatch];
      JDIMENSION want = ctx.height - ctx.cinfo.output_scanline;
      if (want > kRowBatch) want = kRowBatch;
      for (JDIMENSION i = 0; i < want; ++i) rows[i] = out + i * stride;
      const JDIMENSION got = jpeg_read_scanlines(&ctx.cinfo, rows, want);
      if (got == 0) {
        ctx.result = kErrTooManyRows;
        return;
      }
      if (ctx.sink) {
        for (JDIMENSION i = 0; i < got; ++i) ctx.sink->Row(out + i * stride);
        ctx.delivered += got;
      }
      continue;
    }
    JSAMPROW row = ctx.row;
    if (jpeg_read_scanlines(&ctx.cinfo, &row, 1) != 1) {
      ctx.result = kErrTooManyRows;
      return;
    }
    const uint8_t* in = ctx.row;
    if (ctx.bits == 24 && comps == 1) {
      for (size_t x = 0; x < w; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
    } else if (ctx.bits == 24) {  // CMYK or YCCK, delivered as C, M, Y, K
      for (size_t x = 0; x < w; ++x) {
        const unsigned k = in[4 * x + 3];
        out[3 * x] = static_cast<uint8_t>(in[4 * x] * k / 255);
        out[3 * x + 1] = static_cast<uint8_t>(in[4 * x + 1] * k / 255);
        out[3 * x + 2] = static_cast<uint8_t>(in[4 * x + 2] * k / 255);
      }
    } else {  // three components to grey
      for (size_t x = 0; x < w; ++x)
        out[x] =
            static_cast<uint8_t>(0.299 * in[3 * x] + 0.587 * in[3 * x + 1] + 0.114 * in[3 * x + 2]);
    }
    if (ctx.sink) {
      ctx.sink->Row(out);
      ++ctx.delivered;
    }
  }
  ctx.phase = 2;
  jpeg_finish_decompress(&ctx.cinfo);
  ctx.result = kOk;
}

void FinishQuietly(ReadContext& ctx) {
  if (setjmp(ctx.err.jump)) return;
  if (ctx.created) jpeg_destroy_decompress(&ctx.cinfo);
  ctx.created = false;
}

struct DestinationManager {
  jpeg_destination_mgr pub;
  Stream* stream;
  bool failed;
  int64_t written;
  JOCTET buffer[kIoBufferSize];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* dst = reinterpret_cast<DestinationManager*>(cinfo->dest);
  dst->pub.next_output_byte = dst->buffer;
  dst->pub.free_in_buffer = kIoBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dst = reinterpret_cast<DestinationManager*>(cinfo->dest);
  if (!dst->stream->Write(dst->buffer, kIoBufferSize)) {
    dst->failed = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  dst->written += static_cast<int64_t>(kIoBufferSize);
  dst->pub.next_output_byte = dst->buffer;
  dst->pub.free_in_buffer = kIoBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dst = reinterpret_cast<DestinationManager*>(cinfo->dest);
  const size_t n = kIoBufferSize - dst->pub.free_in_buffer;
  if (n > 0 && !dst->stream->Write(dst->buffer, n)) {
    dst->failed = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
  dst->written += static_cast<int64_t>(n);
}

struct WriteContext {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  DestinationManager dst;
  bool created;
  const uint8_t* pixels;
  int width;
  int height;
  int quality;
  bool progressive;
  int bits;
  JpegDensity density;
  detail::ThreadState* state;
};

bool EncodeJpeg(WriteContext& ctx) {
  ctx.cinfo.err = jpeg_std_error(&ctx.err.pub);
  ctx.err.pub.error_exit = ErrorExit;
  ctx.err.pub.output_message = OutputMessage;
  if (setjmp(ctx.err.jump)) return false;
  jpeg_create_compress(&ctx.cinfo);
  ctx.created = true;
  ctx.cinfo.dest = &ctx.dst.pub;
  ctx.dst.pub.init_destination = InitDestination;
  ctx.dst.pub.empty_output_buffer = EmptyOutputBuffer;
  ctx.dst.pub.term_destination = TermDestination;

  ctx.cinfo.image_width = static_cast<JDIMENSION>(ctx.width);
  ctx.cinfo.image_height = static_cast<JDIMENSION>(ctx.height);
  ctx.cinfo.input_components = ctx.bits == 24 ? 3 : 1;
  ctx.cinfo.in_color_space = ctx.bits == 24 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&ctx.cinfo);
  jpeg_set_quality(&ctx.cinfo, ctx.quality, TRUE);
  if (ctx.progressive) jpeg_simple_progression(&ctx.cinfo);
  ctx.cinfo.density_unit = ctx.density.unit;
  ctx.cinfo.X_density = ctx.density.x;
  ctx.cinfo.Y_density = ctx.density.y;
  if (ctx.state->jpeg.dctMethod >= 0)
    ctx.cinfo.dct_method = static_cast<J_DCT_METHOD>(ctx.state->jpeg.dctMethod);
  jpeg_start_compress(&ctx.cinfo, TRUE);
  for (const std::string& c : ctx.state->addComments)
    jpeg_write_marker(&ctx.cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(c.data()),
                      static_cast<unsigned>(c.size() > 65533 ? 65533 : c.size()));
  for (const JpegMarker& m : ctx.state->addMarkers)
    jpeg_write_marker(&ctx.cinfo, m.code, m.data.data(),
                      static_cast<unsigned>(m.data.size() > 65533 ? 65533 : m.data.size()));
  const size_t stride = static_cast<size_t>(ctx.width) * static_cast<size_t>(ctx.bits / 8);
  while (ctx.cinfo.next_scanline < ctx.cinfo.image_height) {
    // libjpeg does not write through its row pointers.
    JSAMPROW row = const_cast<JSAMPROW>(ctx.pixels + ctx.cinfo.next_scanline * stride);
    jpeg_write_scanlines(&ctx.cinfo, &row, 1);
  }
  jpeg_finish_compress(&ctx.cinfo);
  return true;
}

void DestroyQuietly(WriteContext& ctx) {
  if (setjmp(ctx.err.jump)) return;
  if (ctx.created) jpeg_destroy_compress(&ctx.cinfo);
  ctx.created = false;
}

template <typename T>
struct CFree {
  void operator()(T* p) const { std::free(p); }
};

}  // namespace

namespace {

using ReadContextPtr = std::unique_ptr<ReadContext, CFree<ReadContext>>;

// Decodes the picture at the stream's position into pixels, or into sink when given;
// null when no context could be had (the error is set).
ReadContextPtr Read(Call& call, Stream* stream, int bits, RowSink* sink) {
  call.state().readComments.clear();
  call.state().readMarkers.clear();
  ReadContextPtr ctx(static_cast<ReadContext*>(std::calloc(1, sizeof(ReadContext))));
  if (!ctx) return call.Fail(kErrNoMemory, nullptr);
  ctx->src.stream = stream;
  ctx->bits = bits;
  ctx->sink = sink;
  ctx->state = &call.state();
  const uint64_t streamSize = stream->Size();
  ctx->dataBytes = streamSize > stream->position ? streamSize - stream->position : 0;
  DecodeJpeg(*ctx);
  FinishQuietly(*ctx);
  std::free(ctx->row);
  ctx->row = nullptr;
  call.Set(ctx->result);
  return ctx;
}

}  // namespace

PixelBuffer ReadJpeg(StreamHandle handle, int* width, int* height, int bits) {
  Call call;
  if (!call) return {};
  Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, PixelBuffer{});
  if (!width || !height) return call.Fail(kErrArgument, PixelBuffer{});
  *width = 0;
  *height = 0;
  if (bits != 24 && bits != 8) return call.Fail(kErrArgument, PixelBuffer{});
  const ReadContextPtr ctx = Read(call, stream, bits, nullptr);
  if (!ctx) return {};
  PixelBuffer out = PixelBuffer::Adopt(ctx->pixels, ctx->pixelsSize);
  ctx->pixels = nullptr;
  if (out) {
    *width = static_cast<int>(ctx->width);
    *height = static_cast<int>(ctx->height);
  }
  return out;
}

bool ReadJpegRows(StreamHandle handle, int bits, RowSink& sink) {
  Call call;
  if (!call) return false;
  Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, false);
  if (bits != 24 && bits != 8) return call.Fail(kErrArgument, false);
  const ReadContextPtr ctx = Read(call, stream, bits, &sink);
  if (!ctx) return false;
  // Rows a damaged picture did not reach stay black, as in ReadJpeg's zeroed buffer.
  if (ctx->begun && ctx->delivered < ctx->height) {
    const size_t stride = static_cast<size_t>(ctx->width) * static_cast<size_t>(bits / 8);
    std::memset(ctx->rows, 0, stride);
    for (uint32_t y = ctx->delivered; y < ctx->height; ++y) sink.Row(ctx->rows);
  }
  std::free(ctx->rows);
  ctx->rows = nullptr;
  return ctx->begun;
}

int64_t WriteJpeg(StreamHandle handle, std::span<const uint8_t> pixels, int width, int height,
                  int quality, bool progressive, int bits, const JpegDensity* density) {
  Call call;
  if (!call) return 0;
  Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, int64_t{0});
  if (bits != 24 && bits != 8) return call.Fail(kErrArgument, int64_t{0});
  const size_t size = BufferSize(width, height, bits / 8);
  if (pixels.empty() || size == 0 || pixels.size() < size || width > JPEG_MAX_DIMENSION ||
      height > JPEG_MAX_DIMENSION)
    return call.Fail(kErrArgument, int64_t{0});

  std::unique_ptr<WriteContext, CFree<WriteContext>> ctx(
      static_cast<WriteContext*>(std::calloc(1, sizeof(WriteContext))));
  if (!ctx) return call.Fail(kErrNoMemory, int64_t{0});
  ctx->dst.stream = stream;
  ctx->pixels = pixels.data();
  ctx->width = width;
  ctx->height = height;
  ctx->quality = quality < 0 ? 0 : (quality > 100 ? 100 : quality);
  ctx->progressive = progressive;
  ctx->bits = bits;
  ctx->density = density ? *density : JpegDensity{};
  ctx->state = &call.state();
  const bool ok = EncodeJpeg(*ctx);
  DestroyQuietly(*ctx);
  if (!ok) return call.Fail(kErrWrite, int64_t{0});
  call.Set(kOk);
  return ctx->dst.written;
}

}  // namespace imaging
