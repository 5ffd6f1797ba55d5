#include "platform/gfx/png_writer.h"

#include <libdeflate.h>
#include <png.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define SP_PNG_SSSE3 1
#endif

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/sys/large_alloc.h"

namespace gfx {
namespace {

struct ErrorState {
  std::string message;
};

void OnError(png_structp png, png_const_charp message) {
  auto* state = static_cast<ErrorState*>(png_get_error_ptr(png));
  if (state) state->message = message;
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool grown = true;
  if (out->capacity() - out->size() < size) {
    // No exception may pass through libpng: a failure becomes its own error.
    try {
      out->reserve(std::max(out->capacity() * 2, out->size() + size));
    } catch (const std::bad_alloc&) {
      grown = false;
    }
  }
  if (!grown) png_error(png, "out of memory");
  out->insert(out->end(), data, data + size);
}

void NoFlush(png_structp) {}

// Everything libpng may jump out of lives here, with no objects that need destructors. Into
// `file` when given, else appended to `memory`.
bool Encode(std::FILE* file, std::vector<uint8_t>* memory, int level, const Surface& surface,
            std::vector<png_byte>& row, ErrorState& state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
  if (!png) {
    state.message = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    state.message = "out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  if (file) {
    png_init_io(png, file);
  } else {
    png_set_write_fn(png, memory, AppendBytes, NoFlush);
  }
  png_set_compression_level(png, level);
  // Trying every filter on every row costs more than the fast levels' compression itself.
  if (level <= 1) {
    png_set_filter(png, PNG_FILTER_TYPE_BASE, level == 0 ? PNG_FILTER_NONE : PNG_FILTER_SUB);
  }
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface.Width()),
               static_cast<png_uint_32>(surface.Height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < surface.Height(); ++y) {
    const Pixel* p = surface.Row(y);
    // 0x00RRGGBB byte-swapped and shifted is R, G, B, 0 in memory: one 4-byte store per
    // pixel, each overlapping the next one's first byte (the row has a spare byte at the end).
    for (int x = 0; x < surface.Width(); ++x) {
      const uint32_t rgb = __builtin_bswap32(p[x]) >> 8;
      std::memcpy(&row[static_cast<size_t>(x) * 3], &rgb, 4);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// Appends one chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  PutBigEndian(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  PutBigEndian(out, libdeflate_crc32(0, out.data() + start, size + 4));
}

struct DeflateFreer {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// A row's pixels as R, G, B bytes, each byte minus the same channel of the pixel to its
// left (PNG's SUB filter). Writes up to kRowSpare bytes past the row's end.
using SubRowFilter = void (*)(const Pixel* p, size_t w, uint8_t* out);
constexpr size_t kRowSpare = 16;

void SubFilterPixels(const Pixel* p, size_t from, size_t w, uint8_t* out) {
  uint32_t left = from ? __builtin_bswap32(p[from - 1]) >> 8 : 0;
  for (size_t x = from; x < w; ++x) {
    const uint32_t rgb = __builtin_bswap32(p[x]) >> 8;  // R, G, B, 0 in memory
    // Four byte-wise subtractions in one word, no borrow crossing a byte.
    const uint32_t d = ((rgb | 0x808080u) - (left & 0x7F7F7Fu)) ^ ((rgb ^ ~left) & 0x808080u);
    std::memcpy(out + x * 3, &d, 4);  // the spare 4th byte is overwritten next
    left = rgb;
  }
}

void SubFilterRow(const Pixel* p, size_t w, uint8_t* out) { SubFilterPixels(p, 0, w, out); }

#ifdef SP_PNG_SSSE3
// Four pixels at a time: B, G, R, X in memory, minus the four one pixel to the left, bytes
// reordered to R, G, B and the fourth dropped.
__attribute__((target("ssse3"))) void SubFilterRowSsse3(const Pixel* p, size_t w, uint8_t* out) {
  const __m128i toRgb = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  __m128i previous = _mm_setzero_si128();  // left of the first pixel is 0
  size_t x = 0;
  for (; x + 4 <= w; x += 4) {
    const __m128i current = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + x));
    const __m128i left = _mm_alignr_epi8(current, previous, 12);
    const __m128i rgb = _mm_shuffle_epi8(_mm_sub_epi8(current, left), toRgb);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 3), rgb);  // 12 bytes and 4 spare
    previous = current;
  }
  SubFilterPixels(p, x, w, out);
}
#endif

SubRowFilter ChooseSubRowFilter() {
#ifdef SP_PNG_SSSE3
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return SubFilterRowSsse3;
#endif
  return SubFilterRow;
}

// Level 1 for bulk export: the same PNG as libpng writes (8-bit RGB, every row with the SUB
// filter, one IDAT), its zlib stream made by libdeflate, which compresses about three times
// as fast as zlib's fastest level and a little smaller.
bool EncodeFast(const Surface& surface, std::vector<uint8_t>* out, std::string* error) {
  const size_t w = static_cast<size_t>(surface.Width());
  const size_t rowBytes = 1 + w * 3;
  // Kept per encoding thread: fresh blocks of this size would be fresh pages every frame.
  static thread_local sys::LargeVector<uint8_t> raw, packed;
  try {
    raw.resize(rowBytes * static_cast<size_t>(surface.Height()) + kRowSpare);
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  const SubRowFilter filter = ChooseSubRowFilter();
  for (int y = 0; y < surface.Height(); ++y) {
    uint8_t* row = raw.data() + rowBytes * static_cast<size_t>(y);
    row[0] = 1;  // SUB
    filter(surface.Row(y), w, row + 1);
  }
  static thread_local std::unique_ptr<libdeflate_compressor, DeflateFreer> compressor(
      libdeflate_alloc_compressor(1));
  if (!compressor) {
    *error = "out of memory";
    return false;
  }
  try {
    packed.resize(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
  } catch (const std::bad_alloc&) {
    *error = "out of memory";
    return false;
  }
  const size_t packedSize = libdeflate_zlib_compress(
      compressor.get(), raw.data(), raw.size() - kRowSpare, packed.data(), packed.size());
  if (packedSize == 0) {
    *error = "cannot compress the picture";
    return false;
  }
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  out->reserve(out->size() + 8 + 25 + 12 + packedSize + 12);
  out->insert(out->end(), kSignature, kSignature + 8);
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(surface.Width()));
  PutBigEndian(header, static_cast<uint32_t>(surface.Height()));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, adaptive, no interlace
  PutChunk(*out, "IHDR", header.data(), header.size());
  PutChunk(*out, "IDAT", packed.data(), packedSize);
  PutChunk(*out, "IEND", nullptr, 0);
  return true;
}

}  // namespace

bool WritePng(const Surface& surface, const std::string& path, std::string* error) {
  if (surface.Empty()) {
    if (error) *error = "empty picture";
    return false;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (error) *error = "cannot create " + path;
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(surface.Width()) * 3 + 1);
  ErrorState state;
  // Frames are written in bulk; speed matters more than the last few percent of size.
  bool ok = Encode(file, nullptr, 3, surface, row, state);
  if (std::fclose(file) != 0 && ok) {
    ok = false;
    state.message = "cannot write " + path;
  }
  if (!ok) {
    std::remove(path.c_str());
    if (error) *error = state.message.empty() ? "cannot write " + path : state.message;
  }
  return ok;
}

bool EncodePng(const Surface& surface, int level, std::vector<uint8_t>* out, std::string* error) {
  if (surface.Empty()) {
    if (error) *error = "empty picture";
    return false;
  }
  out->clear();
  if (level == 1) {
    std::string why;
    if (EncodeFast(surface, out, &why)) return true;
    if (error) *error = why;
    return false;
  }
  // Room for a frame that hardly compresses: growing the buffer would copy it repeatedly.
  out->reserve(static_cast<size_t>(surface.Width()) * surface.Height() * 3 / 2 + 4096);
  std::vector<png_byte> row(static_cast<size_t>(surface.Width()) * 3 + 1);
  ErrorState state;
  if (!Encode(nullptr, out, level < 0 ? 0 : (level > 9 ? 9 : level), surface, row, state)) {
    if (error) *error = state.message.empty() ? "cannot encode the picture" : state.message;
    return false;
  }
  return true;
}

}  // namespace gfx
