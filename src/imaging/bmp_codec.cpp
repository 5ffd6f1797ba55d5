// Windows bitmap reading (every depth, bit fields, RLE8/RLE4) and writing.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/decoder_state.h"

namespace imaging {
namespace {

using detail::Call;
using sys::BoundedReader;
using sys::ReadError;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;

struct BmpHeader {
  uint32_t dataOffset = 0;
  uint32_t infoSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
};

// One channel of a 16-bit bit-field pixel: the first run of set bits of the mask.
struct Channel {
  int shift = 0;
  int length = 0;
};

Channel ChannelFromMask(uint32_t mask) {
  mask &= 0xFFFF;
  Channel c;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.length = std::countr_one(mask >> c.shift);
  return c;
}

// Brings a channel of `length` bits to 8 bits, its top bit on bit 7, freed low bits set.
inline uint8_t Widen(uint32_t value, int length) {
  if (length == 0) return 0;
  if (length >= 8) return static_cast<uint8_t>(value >> (length - 8));
  int freed = 8 - length;
  return static_cast<uint8_t>((value << freed) | ((1u << freed) - 1));
}

struct RowConverter {
  int bits = 24;
  bool indexed = false;  // output one index byte per pixel
  bool masks = false;
  Channel red{10, 5}, green{5, 5}, blue{0, 5};
  std::array<PaletteEntry, 256> table{};
  size_t tableCount = 0;

  void Convert(const uint8_t* in, uint8_t* out, int width) const {
    switch (bits) {
      case 1:
      case 4:
      case 8: {
        const unsigned mask = (1u << bits) - 1;
        const int perByte = 8 / bits;
        for (int x = 0; x < width; ++x) {
          const int shift = 8 - bits - (x % perByte) * bits;
          const unsigned index = (in[x / perByte] >> shift) & mask;
          if (indexed) {
            out[x] = static_cast<uint8_t>(index);
          } else if (index < tableCount) {
            out[3 * x] = table[index].red;
            out[3 * x + 1] = table[index].green;
            out[3 * x + 2] = table[index].blue;
          } else {
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = 0;
          }
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x) {
          const uint32_t v = in[2 * x] | (static_cast<uint32_t>(in[2 * x + 1]) << 8);
          out[3 * x] = Widen((v >> red.shift) & ((1u << red.length) - 1), red.length);
          out[3 * x + 1] = Widen((v >> green.shift) & ((1u << green.length) - 1), green.length);
          out[3 * x + 2] = Widen((v >> blue.shift) & ((1u << blue.length) - 1), blue.length);
        }
        break;
      case 24:
        for (int x = 0; x < width; ++x) {
          out[3 * x] = in[3 * x + 2];
          out[3 * x + 1] = in[3 * x + 1];
          out[3 * x + 2] = in[3 * x];
        }
        break;
      case 32:
        for (int x = 0; x < width; ++x) {
          out[3 * x] = in[4 * x + 2];
          out[3 * x + 1] = in[4 * x + 1];
          out[3 * x + 2] = in[4 * x];
        }
        break;
      default:
        break;
    }
  }
};

bool ReadTable(BoundedReader& r, size_t count, RowConverter& conv) {
  uint8_t quad[4];
  conv.tableCount = std::min<size_t>(count, conv.table.size());
  for (size_t i = 0; i < count; ++i) {
    r.Read(quad, 4);
    if (i < conv.table.size()) conv.table[i] = PaletteEntry{quad[2], quad[1], quad[0]};
  }
  return true;
}

void FillPalette(const RowConverter& conv, Palette* palette) {
  if (!palette) return;
  palette->assign(conv.table.begin(), conv.table.begin() + conv.tableCount);
}

// Run-length encoded rows, always bottom-up. Every write is checked against the picture,
// whatever the counts and deltas say.
PixelBuffer ReadRle(Call& call, BoundedReader& r, uint64_t begin, const BmpHeader& h,
                    RowConverter& conv, bool indexed, int* width, int* height, Palette* palette) {
  const bool rle8 = h.compression == kBiRle8 && h.bitCount == 8;
  const bool rle4 = h.compression == kBiRle4 && h.bitCount == 4;
  if (!rle8 && !rle4) return call.Fail(kErrBmpRle, PixelBuffer{});
  const int w = h.width;
  const int ht = h.height < 0 ? -h.height : h.height;
  const uint64_t tableEntries =
      h.coloursUsed == 0 ? (1u << h.bitCount) : static_cast<uint64_t>(h.coloursUsed);
  const uint64_t tableStart = 14 + static_cast<uint64_t>(h.infoSize);
  try {
    r.Seek(begin + tableStart);
    // The whole table as declared must be there; only the first 256 entries can be used.
    r.Require(tableEntries * 4);
    ReadTable(r, static_cast<size_t>(std::min<uint64_t>(tableEntries, 256)), conv);
  } catch (const ReadError&) {
    return call.Fail(kErrShort, PixelBuffer{});
  }
  if (h.dataOffset < tableStart + tableEntries * 4)
    return call.Fail(kErrBmpStructure, PixelBuffer{});
  if (!PictureSizeAllowed(w, ht)) return call.Fail(kErrNoMemory, PixelBuffer{});
  // An empty or tiny stream would otherwise stand for a huge blank picture.
  uint64_t dataBytes = 0;
  try {
    r.Seek(begin + h.dataOffset);
    dataBytes = r.Remaining();
  } catch (const ReadError&) {
  }
  if (!DataCanHold(w, ht, dataBytes)) return call.Fail(kErrShort, PixelBuffer{});

  const int bpp = indexed ? 1 : 3;
  PixelBuffer out = detail::AllocatePixels(w, ht, bpp);
  if (!out) return call.Fail(kErrNoMemory, PixelBuffer{});
  *width = w;
  *height = ht;
  FillPalette(conv, palette);
  const size_t stride = static_cast<size_t>(w) * bpp;
  if (!indexed && conv.tableCount > 0) {
    const PaletteEntry e = conv.table[0];
    uint8_t* p = out.data();
    for (size_t i = 0; i < out.size(); i += 3) {
      p[i] = e.red;
      p[i + 1] = e.green;
      p[i + 2] = e.blue;
    }
  }

  int x = 0;
  int y = 0;  // counted from the bottom row
  auto put = [&](unsigned index) {
    if (x < w && y < ht) {
      uint8_t* p = out.data() + static_cast<size_t>(ht - 1 - y) * stride;
      if (indexed) {
        p[x] = static_cast<uint8_t>(index);
      } else if (index < conv.tableCount) {
        p[3 * x] = conv.table[index].red;
        p[3 * x + 1] = conv.table[index].green;
        p[3 * x + 2] = conv.table[index].blue;
      } else {
        p[3 * x] = p[3 * x + 1] = p[3 * x + 2] = 0;
      }
    }
    if (x < w) ++x;  // runs past the right edge are cut there
  };

  try {
    r.Seek(begin + h.dataOffset);
    uint8_t literal[256];
    while (y < ht) {
      const unsigned count = r.U8();
      const unsigned code = r.U8();
      if (count > 0) {
        for (unsigned k = 0; k < count && x < w; ++k)
          put(rle8 ? code : ((k & 1) ? (code & 0x0F) : (code >> 4)));
        continue;
      }
      if (code == 0) {
        x = 0;
        ++y;
      } else if (code == 1) {
        break;
      } else if (code == 2) {
        const int dx = r.U8();
        const int dy = r.U8();
        x = std::min(x + dx, w);
        y += dy;
      } else {
        const size_t bytes = rle8 ? code : (code + 1) / 2;
        r.Read(literal, bytes);
        if (bytes & 1) r.Skip(1);
        for (unsigned k = 0; k < code && x < w; ++k)
          put(rle8 ? literal[k] : ((k & 1) ? (literal[k / 2] & 0x0F) : (literal[k / 2] >> 4)));
      }
    }
  } catch (const ReadError&) {
    return call.Fail(kErrShort, std::move(out));
  }
  call.Set(kOk);
  return out;
}

}  // namespace

PixelBuffer ReadBmp(StreamHandle handle, int* width, int* height, int bits, Palette* palette) {
  Call call;
  if (!call) return {};
  detail::Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, PixelBuffer{});
  if (!width || !height) return call.Fail(kErrArgument, PixelBuffer{});
  *width = 0;
  *height = 0;
  if (bits != 24 && bits != 8 && bits != 1) return call.Fail(kErrArgument, PixelBuffer{});
  const bool indexed = bits != 24;

  try {
    const uint64_t begin = stream->position;
    BoundedReader r(*stream, begin);
    struct PositionUpdate {
      detail::Stream* s;
      BoundedReader* r;
      ~PositionUpdate() { s->position = r->Position(); }
    } positionUpdate{stream, &r};

    BmpHeader h;
    uint8_t magic[2];
    try {
      r.Read(magic, 2);
      r.Skip(8);
      h.dataOffset = r.U32LE();
    } catch (const ReadError&) {
      return call.Fail(kErrShort, PixelBuffer{});
    }
    if (magic[0] != 'B' || magic[1] != 'M') return call.Fail(kErrBmpStructure, PixelBuffer{});
    try {
      h.infoSize = r.U32LE();
      h.width = r.I32LE();
      h.height = r.I32LE();
      r.Skip(2);  // planes
      h.bitCount = r.U16LE();
      h.compression = r.U32LE();
      r.Skip(12);  // image size, resolutions
      h.coloursUsed = r.U32LE();
      r.Skip(4);  // colours important
    } catch (const ReadError&) {
      return call.Fail(kErrShort, PixelBuffer{});
    }
    // Older core headers lay their fields out differently; later ones only add fields, so
    // the colour table is found after the header's own size.
    if (h.infoSize < 40 || h.infoSize > 4096) return call.Fail(kErrBmpStructure, PixelBuffer{});
    if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN)
      return call.Fail(kErrBmpStructure, PixelBuffer{});

    RowConverter conv;
    conv.bits = h.bitCount;
    conv.indexed = indexed;
    const bool paletted = h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8;
    if (indexed && (!paletted || (bits == 1 && h.bitCount != 1)))
      return call.Fail(kErrArgument, PixelBuffer{});

    uint64_t tableStart = 14 + static_cast<uint64_t>(h.infoSize);
    switch (h.compression) {
      case kBiRgb:
        break;
      case kBiRle8:
      case kBiRle4:
        if ((h.compression == kBiRle8 && h.bitCount == 8) ||
            (h.compression == kBiRle4 && h.bitCount == 4))
          return ReadRle(call, r, begin, h, conv, indexed, width, height, palette);
        return call.Fail(kErrBmpStructure, PixelBuffer{});
      case kBiBitfields: {
        uint32_t masks[3];
        try {
          r.Seek(begin + 54);  // the masks follow the 40-byte fields in every layout
          for (uint32_t& m : masks) m = r.U32LE();
        } catch (const ReadError&) {
          return call.Fail(kErrShort, PixelBuffer{});
        }
        if (h.infoSize == 40) tableStart += 12;
        if (h.bitCount == 16) {
          conv.masks = true;
          conv.red = ChannelFromMask(masks[0]);
          conv.green = ChannelFromMask(masks[1]);
          conv.blue = ChannelFromMask(masks[2]);
        }
        break;
      }
      default:
        return call.Fail(kErrBmpStructure, PixelBuffer{});
    }

    size_t tableEntries = 0;
    if (paletted) {
      tableEntries = h.coloursUsed == 0 ? (1u << h.bitCount) : h.coloursUsed;
    } else if (h.bitCount == 16) {
      tableEntries = h.coloursUsed;
    } else if (h.bitCount != 24 && h.bitCount != 32) {
      return call.Fail(kErrBmpStructure, PixelBuffer{});
    }
    tableEntries = std::min<size_t>(tableEntries, 256);
    try {
      r.Seek(begin + tableStart);
      ReadTable(r, tableEntries, conv);
    } catch (const ReadError&) {
      return call.Fail(kErrShort, PixelBuffer{});
    }
    if (h.bitCount == 16) conv.tableCount = 0;  // a 16-bit table is only a display hint

    // The data offset may point before the table too (seek back) but not past the end.
    try {
      r.Seek(begin + h.dataOffset);
    } catch (const ReadError&) {
      return call.Fail(kErrBmpStructure, PixelBuffer{});
    }

    const int w = h.width;
    const int ht = h.height < 0 ? -h.height : h.height;
    const int bpp = indexed ? 1 : 3;
    if (!PictureSizeAllowed(w, ht)) return call.Fail(kErrNoMemory, PixelBuffer{});
    const size_t rowBytes = ((static_cast<size_t>(w) * h.bitCount + 31) / 32) * 4;
    // Only whole rows present in the file are used. A file cut short still gives its rows,
    // but one that holds less than an eighth of them is refused before the buffer is made.
    const uint64_t rowsPresent = r.Remaining() / rowBytes;
    if (rowsPresent < static_cast<uint64_t>(ht) && int64_t{w} * ht > kFreePixels &&
        rowsPresent * 8 < static_cast<uint64_t>(ht))
      return call.Fail(kErrShort, PixelBuffer{});
    PixelBuffer out = detail::AllocatePixels(w, ht, bpp);
    if (!out) return call.Fail(kErrNoMemory, PixelBuffer{});
    *width = w;
    *height = ht;
    FillPalette(conv, palette);

    const size_t stride = static_cast<size_t>(w) * bpp;
    const bool bottomUp = h.height > 0;
    // Rows are read in blocks of about 1 MiB.
    const size_t rows = static_cast<size_t>(std::min<uint64_t>(rowsPresent, ht));
    const size_t rowsPerBlock =
        std::clamp<size_t>((1u << 20) / rowBytes, 1, std::max<size_t>(rows, 1));
    std::unique_ptr<uint8_t[]> block(new uint8_t[rowsPerBlock * rowBytes]);
    size_t done = 0;
    try {
      while (done < rows) {
        const size_t n = std::min(rowsPerBlock, rows - done);
        r.Read(block.get(), n * rowBytes);
        for (size_t i = 0; i < n; ++i) {
          const size_t row = done + i;
          const size_t target = bottomUp ? static_cast<size_t>(ht) - 1 - row : row;
          conv.Convert(block.get() + i * rowBytes, out.data() + target * stride, w);
        }
        done += n;
      }
    } catch (const ReadError&) {
      return call.Fail(kErrShort, std::move(out));
    }
    if (done < static_cast<size_t>(ht)) return call.Fail(kErrShort, std::move(out));
    call.Set(kOk);
    return out;
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, PixelBuffer{});
  }
}

bool ReadBmpRows(StreamHandle handle, int bits, RowSink& sink) {
  Call call;
  if (!call) return false;
  // Bitmaps are read whole (bottom-up files and run lengths do not come top to bottom).
  if (bits != 24 && bits != 8) return call.Fail(kErrArgument, false);
  int width = 0, height = 0;
  const PixelBuffer pixels = ReadBmp(handle, &width, &height, bits, nullptr);
  const int code = GetLastErrorCode();
  if (!pixels) return call.Fail(code, false);
  if (!sink.Begin(width, height)) return call.Fail(kErrNoMemory, false);
  const size_t stride = static_cast<size_t>(width) * static_cast<size_t>(bits / 8);
  for (int y = 0; y < height; ++y) sink.Row(pixels.data() + static_cast<size_t>(y) * stride);
  call.Set(code);
  return true;
}

int64_t WriteBmp(StreamHandle handle, std::span<const uint8_t> pixels, int width, int height,
                 int bits, int colours, const Palette* palette, bool /*runLength*/) {
  Call call;
  if (!call) return 0;
  detail::Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, int64_t{0});
  if (pixels.empty() || width <= 0 || height <= 0 || width > kMaxDimension ||
      height > kMaxDimension)
    return call.Fail(kErrArgument, int64_t{0});
  const bool paletted = bits == 1 || bits == 4 || bits == 8;
  if (paletted) {
    if (colours <= 0) colours = 1 << bits;
    if (!palette || colours > (1 << bits) || palette->size() < static_cast<size_t>(colours))
      return call.Fail(kErrArgument, int64_t{0});
  } else if (bits == 16 || bits == 24) {
    colours = 0;
  } else {
    return call.Fail(kErrArgument, int64_t{0});
  }
  const size_t inBpp = paletted ? 1 : 3;
  const size_t inStride = static_cast<size_t>(width) * inBpp;
  if (pixels.size() / inStride < static_cast<size_t>(height))
    return call.Fail(kErrArgument, int64_t{0});

  const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  const uint64_t imageSize = rowBytes * static_cast<uint64_t>(height);
  const uint64_t dataOffset = 54 + 4 * static_cast<uint64_t>(colours);
  const uint64_t fileSize = dataOffset + imageSize;
  if (fileSize > UINT32_MAX) return call.Fail(kErrArgument, int64_t{0});

  try {
    std::vector<uint8_t> head;
    head.reserve(dataOffset);
    auto u16 = [&](uint32_t v) {
      head.push_back(static_cast<uint8_t>(v));
      head.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
      u16(v & 0xFFFF);
      u16(v >> 16);
    };
    head.push_back('B');
    head.push_back('M');
    u32(static_cast<uint32_t>(fileSize));
    u32(0);
    u32(static_cast<uint32_t>(dataOffset));
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(static_cast<uint32_t>(bits));
    u32(0);
    u32(static_cast<uint32_t>(imageSize));
    u32(0);
    u32(0);
    u32(static_cast<uint32_t>(colours));
    u32(static_cast<uint32_t>(colours));
    for (int i = 0; i < colours; ++i) {
      const PaletteEntry& e = (*palette)[static_cast<size_t>(i)];
      head.insert(head.end(), {e.blue, e.green, e.red, 0});
    }
    if (!stream->Write(head.data(), head.size())) return call.Fail(kErrNoMemory, int64_t{0});

    const size_t rowsPerBlock = std::max<size_t>(1, (1u << 20) / rowBytes);
    std::vector<uint8_t> block(rowsPerBlock * rowBytes);
    int row = height - 1;
    while (row >= 0) {
      size_t n = 0;
      for (; n < rowsPerBlock && row >= 0; ++n, --row) {
        const uint8_t* in = pixels.data() + static_cast<size_t>(row) * inStride;
        uint8_t* out = block.data() + n * rowBytes;
        std::memset(out, 0, rowBytes);
        if (bits == 24) {
          for (int x = 0; x < width; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
          }
        } else if (bits == 16) {
          for (int x = 0; x < width; ++x) {
            const uint32_t v =
                ((in[3 * x] >> 3) << 10) | ((in[3 * x + 1] >> 3) << 5) | (in[3 * x + 2] >> 3);
            out[2 * x] = static_cast<uint8_t>(v);
            out[2 * x + 1] = static_cast<uint8_t>(v >> 8);
          }
        } else {
          const int perByte = 8 / bits;
          const unsigned mask = (1u << bits) - 1;
          for (int x = 0; x < width; ++x) {
            const int shift = 8 - bits - (x % perByte) * bits;
            out[x / perByte] |= static_cast<uint8_t>((in[x] & mask) << shift);
          }
        }
      }
      if (!stream->Write(block.data(), n * rowBytes)) return call.Fail(kErrWrite, int64_t{0});
    }
  } catch (const std::bad_alloc&) {
    return call.Fail(kErrNoMemory, int64_t{0});
  }
  call.Set(kOk);
  return static_cast<int64_t>(fileSize);
}

}  // namespace imaging
