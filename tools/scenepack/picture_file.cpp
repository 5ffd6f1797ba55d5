#include "scenepack/picture_file.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <webp/decode.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>

#include "imaging/image_decoder.h"
#include "scenepack/exif_orientation.h"

namespace scenepack {

namespace {

bool StartsWith(std::span<const uint8_t> f, size_t at, std::string_view magic) {
  return f.size() >= at + magic.size() &&
         std::memcmp(f.data() + at, magic.data(), magic.size()) == 0;
}

// Rows of R, G, B with the dimension checks every decoder gets before it allocates.
struct Rgb {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

void CheckSize(int64_t w, int64_t h) {
  if (w <= 0 || h <= 0) throw PictureError("it declares no pixels");
  if (!imaging::PictureSizeAllowed(w, h))
    throw PictureError("it is " + std::to_string(w) + " x " + std::to_string(h) +
                       " pixels, more than a show may hold");
}

Rgb Allocate(int64_t w, int64_t h) {
  CheckSize(w, h);
  Rgb out;
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  return out;
}

struct Colour {
  uint8_t r, g, b;
};
Colour Of(uint32_t colorref) {
  return {static_cast<uint8_t>(colorref), static_cast<uint8_t>(colorref >> 8),
          static_cast<uint8_t>(colorref >> 16)};
}

uint8_t Over(uint8_t c, uint8_t a, uint8_t bg) {
  return static_cast<uint8_t>((c * a + bg * (255 - a) + 127) / 255);
}

// ---- PNG ----

Rgb DecodePng(std::span<const uint8_t> f, Colour bg) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, f.data(), f.size()))
    throw PictureError(std::string("the PNG cannot be read: ") + image.message);
  image.format = PNG_FORMAT_RGB;
  Rgb out;
  try {
    out = Allocate(image.width, image.height);
  } catch (...) {
    png_image_free(&image);
    throw;
  }
  png_color background{bg.r, bg.g, bg.b};
  if (!png_image_finish_read(&image, &background, out.pixels.data(), 0, nullptr))
    throw PictureError(std::string("the PNG cannot be decoded: ") + image.message);
  return out;
}

// ---- GIF: the first frame on the logical screen ----

struct GifInput {
  std::span<const uint8_t> data;
  size_t at = 0;
};
int ReadGif(GifFileType* gif, GifByteType* dst, int n) {
  auto* in = static_cast<GifInput*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(n), in->data.size() - in->at);
  std::memcpy(dst, in->data.data() + in->at, take);
  in->at += take;
  return static_cast<int>(take);
}

Rgb DecodeGif(std::span<const uint8_t> f, Colour bg) {
  GifInput input{f};
  int error = 0;
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> gif(DGifOpen(&input, ReadGif, &error),
                                                           [](GifFileType* g) {
                                                             int e;
                                                             DGifCloseFile(g, &e);
                                                           });
  auto fail = [&](int code) {
    const char* why = GifErrorString(code);
    throw PictureError(std::string("the GIF cannot be read: ") + (why ? why : "unknown error"));
  };
  if (!gif) fail(error);
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) fail(gif->Error);
    if (type == TERMINATE_RECORD_TYPE) throw PictureError("the GIF holds no picture");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) fail(gif->Error);
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
        GraphicsControlBlock gcb;
        if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
      }
      while (ext) {
        if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) fail(gif->Error);
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) fail(gif->Error);
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map) throw PictureError("the GIF has no colour table");
    CheckSize(d.Width, d.Height);
    const int64_t sw = std::max<int64_t>(gif->SWidth, int64_t{d.Left} + d.Width);
    const int64_t sh = std::max<int64_t>(gif->SHeight, int64_t{d.Top} + d.Height);
    Rgb out = Allocate(sw, sh);
    for (size_t i = 0; i < out.pixels.size(); i += 3) {
      out.pixels[i] = bg.r;
      out.pixels[i + 1] = bg.g;
      out.pixels[i + 2] = bg.b;
    }
    std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
    auto put = [&](int row) {
      uint8_t* dst =
          out.pixels.data() + ((static_cast<size_t>(d.Top) + row) * out.width + d.Left) * 3;
      for (int x = 0; x < d.Width; ++x, dst += 3) {
        const int c = line[static_cast<size_t>(x)];
        if (c == transparent || c >= map->ColorCount) continue;
        dst[0] = map->Colors[c].Red;
        dst[1] = map->Colors[c].Green;
        dst[2] = map->Colors[c].Blue;
      }
    };
    if (d.Interlace) {
      static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < d.Height; y += kStep[pass]) {
          if (DGifGetLine(gif.get(), line.data(), d.Width) == GIF_ERROR) fail(gif->Error);
          put(y);
        }
    } else {
      for (int y = 0; y < d.Height; ++y) {
        if (DGifGetLine(gif.get(), line.data(), d.Width) == GIF_ERROR) fail(gif->Error);
        put(y);
      }
    }
    return out;
  }
}

// ---- WebP ----

Rgb DecodeWebp(std::span<const uint8_t> f, Colour bg) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(f.data(), f.size(), &features) != VP8_STATUS_OK)
    throw PictureError("the WebP cannot be read");
  if (features.has_animation) throw PictureError("an animated WebP is not a still picture");
  CheckSize(features.width, features.height);
  int w = 0, h = 0;
  std::unique_ptr<uint8_t, void (*)(void*)> rgba(WebPDecodeRGBA(f.data(), f.size(), &w, &h),
                                                 WebPFree);
  if (!rgba) throw PictureError("the WebP cannot be decoded");
  Rgb out = Allocate(w, h);
  const uint8_t* s = rgba.get();
  for (size_t i = 0, n = static_cast<size_t>(w) * static_cast<size_t>(h); i < n; ++i, s += 4) {
    out.pixels[i * 3] = Over(s[0], s[3], bg.r);
    out.pixels[i * 3 + 1] = Over(s[1], s[3], bg.g);
    out.pixels[i * 3 + 2] = Over(s[2], s[3], bg.b);
  }
  return out;
}

// ---- TIFF ----

struct TiffInput {
  std::span<const uint8_t> data;
  uint64_t at = 0;
};
thread_local std::string tiffMessage;

void TiffError(const char*, const char* fmt, va_list ap) {
  char buf[256];
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  if (tiffMessage.empty()) tiffMessage = buf;
}
void TiffWarning(const char*, const char*, va_list) {}

tmsize_t TiffRead(thandle_t h, void* dst, tmsize_t n) {
  auto* in = static_cast<TiffInput*>(h);
  if (n < 0 || in->at >= in->data.size()) return 0;
  const uint64_t take = std::min<uint64_t>(static_cast<uint64_t>(n), in->data.size() - in->at);
  std::memcpy(dst, in->data.data() + in->at, take);
  in->at += take;
  return static_cast<tmsize_t>(take);
}
tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t TiffSeek(thandle_t h, toff_t off, int whence) {
  auto* in = static_cast<TiffInput*>(h);
  uint64_t base = whence == SEEK_CUR ? in->at : whence == SEEK_END ? in->data.size() : 0;
  in->at = base + off;
  return in->at;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffInput*>(h)->data.size(); }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

Rgb DecodeTiff(std::span<const uint8_t> f, Colour bg) {
  TIFFSetErrorHandler(TiffError);
  TIFFSetWarningHandler(TiffWarning);
  tiffMessage.clear();
  TiffInput input{f};
  std::unique_ptr<TIFF, void (*)(TIFF*)> tif(
      TIFFClientOpen("picture", "rm", &input, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                     TiffMap, TiffUnmap),
      TIFFClose);
  auto fail = [&](const char* what) {
    throw PictureError(std::string(what) + (tiffMessage.empty() ? "" : ": " + tiffMessage));
  };
  if (!tif) fail("the TIFF cannot be read");
  uint32_t w = 0, h = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &h);
  CheckSize(w, h);
  char why[1024] = "";
  if (!TIFFRGBAImageOK(tif.get(), why)) throw PictureError(std::string("the TIFF: ") + why);
  std::vector<uint32_t> raster(static_cast<size_t>(w) * h);
  if (!TIFFReadRGBAImageOriented(tif.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 1))
    fail("the TIFF cannot be decoded");
  Rgb out = Allocate(w, h);
  // The raster's colours are already multiplied by their alpha.
  for (size_t i = 0; i < raster.size(); ++i) {
    const uint32_t p = raster[i];
    const unsigned a = TIFFGetA(p);
    auto put = [&](unsigned c, uint8_t b) {
      return static_cast<uint8_t>(std::min(255u, c + (b * (255 - a) + 127) / 255));
    };
    out.pixels[i * 3] = put(TIFFGetR(p), bg.r);
    out.pixels[i * 3 + 1] = put(TIFFGetG(p), bg.g);
    out.pixels[i * 3 + 2] = put(TIFFGetB(p), bg.b);
  }
  return out;
}

// ---- JPEG turned upright ----

struct TjHandle {
  tjhandle h;
  explicit TjHandle(tjhandle handle) : h(handle) {
    if (!h) throw PictureError("libjpeg-turbo cannot start");
  }
  ~TjHandle() { tjDestroy(h); }
  std::string Why() const { return tjGetErrorStr2(h); }
};

// Pixels turned as orientation `o` says, so the result stands upright.
Rgb Orient(const Rgb& in, int o) {
  const bool swap = o >= 5;
  Rgb out = Allocate(swap ? in.height : in.width, swap ? in.width : in.height);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) {
      int sx = x, sy = y;  // source of out(x, y)
      switch (o) {
        case 2:
          sx = in.width - 1 - x;
          break;
        case 3:
          sx = in.width - 1 - x;
          sy = in.height - 1 - y;
          break;
        case 4:
          sy = in.height - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = in.height - 1 - x;
          break;
        case 7:
          sx = in.width - 1 - y;
          sy = in.height - 1 - x;
          break;
        case 8:
          sx = in.width - 1 - y;
          sy = x;
          break;
        default:
          break;
      }
      std::memcpy(&out.pixels[(static_cast<size_t>(y) * out.width + x) * 3],
                  &in.pixels[(static_cast<size_t>(sy) * in.width + sx) * 3], 3);
    }
  return out;
}

std::vector<uint8_t> UprightJpeg(std::span<const uint8_t> f, const ExifOrientation& exif,
                                 const PictureOptions& opt, std::string& note) {
  static constexpr int kOps[9] = {TJXOP_NONE,   TJXOP_NONE,       TJXOP_HFLIP,
                                  TJXOP_ROT180, TJXOP_VFLIP,      TJXOP_TRANSPOSE,
                                  TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
  TjHandle t(tjInitTransform());
  tjtransform xf{};
  xf.op = kOps[exif.value];
  xf.options = opt.trimEdges ? TJXOPT_TRIM : TJXOPT_PERFECT;
  unsigned char* dst = nullptr;
  unsigned long dstSize = 0;
  if (tjTransform(t.h, f.data(), f.size(), 1, &dst, &dstSize, &xf, 0) == 0) {
    std::vector<uint8_t> out(dst, dst + dstSize);
    tjFree(dst);
    // The markers came along; the stored orientation must not turn it a second time.
    if (auto moved = FindExifOrientation(out)) SetExifOrientation(out, *moved, 1);
    note = "turned upright losslessly (Exif orientation " + std::to_string(exif.value) + ")";
    if (opt.trimEdges) note += ", partial edge blocks trimmed";
    return out;
  }
  tjFree(dst);
  // The turn cannot be lossless: decode, turn, encode again.
  TjHandle d(tjInitDecompress());
  int w = 0, h = 0, subsamp = 0, colourspace = 0;
  if (tjDecompressHeader3(d.h, f.data(), f.size(), &w, &h, &subsamp, &colourspace) != 0)
    throw PictureError("the JPEG cannot be read: " + d.Why());
  Rgb rgb = Allocate(w, h);
  if (tjDecompress2(d.h, f.data(), f.size(), rgb.pixels.data(), w, 0, h, TJPF_RGB,
                    TJFLAG_ACCURATEDCT) != 0)
    throw PictureError("the JPEG cannot be decoded: " + d.Why());
  const Rgb turned = Orient(rgb, exif.value);
  note = "turned upright (Exif orientation " + std::to_string(exif.value) +
         ") by decoding and encoding again at quality " + std::to_string(opt.jpegQuality) +
         " (its size is not a whole number of blocks; --trim-edges keeps it lossless)";
  return EncodeJpeg(turned.pixels, turned.width, turned.height, opt.jpegQuality);
}

// Halves a picture by averaging 2 x 2 blocks (the last odd row or column is dropped).
Rgb Halve(const Rgb& in) {
  Rgb out = Allocate(std::max(1, in.width / 2), std::max(1, in.height / 2));
  for (int y = 0; y < out.height; ++y) {
    const int y0 = std::min(2 * y, in.height - 1), y1 = std::min(2 * y + 1, in.height - 1);
    for (int x = 0; x < out.width; ++x) {
      const int x0 = std::min(2 * x, in.width - 1), x1 = std::min(2 * x + 1, in.width - 1);
      for (int c = 0; c < 3; ++c) {
        auto at = [&](int px, int py) {
          return int{in.pixels[(static_cast<size_t>(py) * in.width + px) * 3 + c]};
        };
        out.pixels[(static_cast<size_t>(y) * out.width + x) * 3 + c] =
            static_cast<uint8_t>((at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1) + 2) / 4);
      }
    }
  }
  return out;
}

// The picture scaled to w x h: halved while it is twice as large or more, then the
// player's own bilinear scaling for the rest.
Rgb ScaleDown(Rgb in, int w, int h) {
  while (in.width >= 2 * w && in.height >= 2 * h) in = Halve(in);
  if (in.width == w && in.height == h) return in;
  Rgb out = Allocate(w, h);
  if (!imaging::ResizePixels(in.pixels, in.width, in.height, out.pixels, w, h, 3))
    throw PictureError("cannot scale it down");
  return out;
}

Rgb PlayerDecode(std::span<const uint8_t> bytes) {
  imaging::InitDecoder();
  const imaging::StreamHandle s = imaging::OpenMemorySource(bytes);
  const int format = imaging::DetectFormat(s);
  imaging::SeekSource(s, 0, 0);
  int w = 0, h = 0;
  imaging::PixelBuffer pixels = format == imaging::kFormatJpeg
                                    ? imaging::ReadJpeg(s, &w, &h, 24)
                                    : imaging::ReadBmp(s, &w, &h, 24, nullptr);
  imaging::CloseSource(s);
  if (!pixels) throw PictureError("the player's decoder refuses it");
  Rgb out;
  out.width = w;
  out.height = h;
  out.pixels.assign(pixels.data(), pixels.data() + pixels.size());
  return out;
}

const char* DecoderReason(int code) {
  switch (code) {
    case imaging::kErrNoMemory:
      return "too large";
    case imaging::kErrShort:
      return "its data ends early or is damaged";
    case imaging::kErrBmpStructure:
      return "a BMP layout the player does not read";
    case imaging::kErrBmpRle:
      return "a run-length encoding the player does not read";
    case imaging::kErrJpegHeader:
      return "its JPEG header cannot be read";
    case imaging::kErrJpegLayout:
      return "a colour layout the player does not read (CMYK?)";
    case imaging::kErrTooManyRows:
      return "more rows than it declares";
    default:
      return "the picture is damaged";
  }
}

}  // namespace

std::string SniffPicture(std::span<const uint8_t> f) {
  if (StartsWith(f, 0, "\xFF\xD8\xFF")) return "JPEG";
  if (StartsWith(f, 0, "BM")) return "BMP";
  if (StartsWith(f, 0, "\x89PNG\r\n\x1A\n")) return "PNG";
  if (StartsWith(f, 0, "GIF87a") || StartsWith(f, 0, "GIF89a")) return "GIF";
  if (StartsWith(f, 0, "RIFF") && StartsWith(f, 8, "WEBP")) return "WebP";
  if (StartsWith(f, 0, std::string_view("II*\0", 4)) ||
      StartsWith(f, 0, std::string_view("MM\0*", 4)))
    return "TIFF";
  if (StartsWith(f, 0, std::string_view("\0\0\1\0", 4)) ||
      StartsWith(f, 0, std::string_view("\0\0\2\0", 4)))
    return "icon";
  return "";
}

std::pair<int, int> PlayerDecodeSize(std::span<const uint8_t> bytes) {
  imaging::InitDecoder();
  const imaging::StreamHandle s = imaging::OpenMemorySource(bytes);
  if (s == imaging::kNoStream) throw PictureError("the player's decoder cannot open it");
  const int format = imaging::DetectFormat(s);
  imaging::SeekSource(s, 0, 0);
  int w = 0, h = 0;
  imaging::PixelBuffer pixels;
  if (format == imaging::kFormatJpeg) pixels = imaging::ReadJpeg(s, &w, &h, 24);
  if (format == imaging::kFormatBmp) pixels = imaging::ReadBmp(s, &w, &h, 24, nullptr);
  const int code = imaging::GetLastErrorCode();
  imaging::CloseSource(s);
  if (format != imaging::kFormatJpeg && format != imaging::kFormatBmp)
    throw PictureError("the player's decoder refuses it: it does not take it for a JPEG or BMP");
  if (!pixels)
    throw PictureError(std::string("the player's decoder refuses it: ") + DecoderReason(code) +
                       " (error code " + std::to_string(code) + ")");
  return {w, h};
}

PackedPicture PackPicture(std::span<const uint8_t> file, const PictureOptions& opt) {
  PackedPicture out;
  out.format = SniffPicture(file);
  if (out.format.empty()) throw PictureError("not a picture format scenepack knows");
  const Colour bg = Of(opt.background);
  if (out.format == "icon") {
    // The player draws icons and cursors itself.
    out.storedAs = "icon";
    out.bytes.assign(file.begin(), file.end());
    return out;
  }
  if (out.format == "JPEG" || out.format == "BMP") {
    std::optional<ExifOrientation> exif;
    if (out.format == "JPEG" && opt.orient) exif = FindExifOrientation(file);
    if (exif && exif->value != 1) {
      out.bytes = UprightJpeg(file, *exif, opt, out.note);
      out.converted = true;
    } else {
      out.bytes.assign(file.begin(), file.end());
    }
    out.storedAs = out.format;
  } else {
    Rgb rgb;
    if (out.format == "PNG") rgb = DecodePng(file, bg);
    if (out.format == "GIF") rgb = DecodeGif(file, bg);
    if (out.format == "WebP") rgb = DecodeWebp(file, bg);
    if (out.format == "TIFF") rgb = DecodeTiff(file, bg);
    const bool jpeg = opt.store == PictureOptions::Store::Jpeg;
    out.bytes = jpeg ? EncodeJpeg(rgb.pixels, rgb.width, rgb.height, opt.jpegQuality)
                     : EncodeBmp(rgb.pixels, rgb.width, rgb.height);
    out.storedAs = jpeg ? "JPEG" : "BMP";
    out.converted = true;
    out.note = "converted from " + out.format + " to " + out.storedAs;
  }
  std::tie(out.width, out.height) = PlayerDecodeSize(out.bytes);
  if (opt.maxWidth > 0 && opt.maxHeight > 0 &&
      (out.width > opt.maxWidth || out.height > opt.maxHeight)) {
    // As large as fits, keeping the aspect.
    int w = opt.maxWidth;
    int h = static_cast<int>(int64_t{out.height} * opt.maxWidth / out.width);
    if (h > opt.maxHeight) {
      h = opt.maxHeight;
      w = static_cast<int>(int64_t{out.width} * opt.maxHeight / out.height);
    }
    const Rgb scaled = ScaleDown(PlayerDecode(out.bytes), std::max(w, 1), std::max(h, 1));
    const bool jpeg = opt.store == PictureOptions::Store::Jpeg;
    out.bytes = jpeg ? EncodeJpeg(scaled.pixels, scaled.width, scaled.height, opt.jpegQuality)
                     : EncodeBmp(scaled.pixels, scaled.width, scaled.height);
    out.note += std::string(out.note.empty() ? "" : "; ") + "scaled down from " +
                std::to_string(out.width) + " x " + std::to_string(out.height) + " to " +
                std::to_string(scaled.width) + " x " + std::to_string(scaled.height) + " (" +
                (jpeg ? "JPEG" : "BMP") + ")";
    out.storedAs = jpeg ? "JPEG" : "BMP";
    out.converted = true;
    std::tie(out.width, out.height) = PlayerDecodeSize(out.bytes);
  }
  return out;
}

std::vector<uint8_t> EncodeJpeg(std::span<const uint8_t> rgb, int width, int height, int quality) {
  TjHandle c(tjInitCompress());
  unsigned char* dst = nullptr;
  unsigned long size = 0;
  if (tjCompress2(c.h, rgb.data(), width, 0, height, TJPF_RGB, &dst, &size, TJSAMP_444, quality,
                  TJFLAG_ACCURATEDCT) != 0) {
    tjFree(dst);
    throw PictureError("cannot encode a JPEG: " + c.Why());
  }
  std::vector<uint8_t> out(dst, dst + size);
  tjFree(dst);
  return out;
}

std::vector<uint8_t> EncodeBmp(std::span<const uint8_t> rgb, int width, int height) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const size_t pixelBytes = stride * static_cast<size_t>(height);
  if (54 + pixelBytes > 0xFFFFFFFFu) throw PictureError("too large for a BMP");
  std::vector<uint8_t> out(54 + pixelBytes, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<uint32_t>(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(width));
  put32(22, static_cast<uint32_t>(height));
  out[26] = 1;
  out[28] = 24;
  put32(34, static_cast<uint32_t>(pixelBytes));
  put32(38, 2835);  // 72 dpi
  put32(42, 2835);
  // Bottom-up rows of B, G, R.
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = rgb.data() + static_cast<size_t>(height - 1 - y) * width * 3;
    uint8_t* d = out.data() + 54 + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x, s += 3, d += 3) {
      d[0] = s[2];
      d[1] = s[1];
      d[2] = s[0];
    }
  }
  return out;
}

}  // namespace scenepack
