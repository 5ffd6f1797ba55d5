// Format recognition by signature, with the file-name rules for WBMP and TGA.

#include <algorithm>
#include <cctype>
#include <cstring>

#include "imaging/decoder_state.h"

namespace imaging {
namespace {

constexpr size_t kProbeBytes = 44;

struct Signature {
  int code;
  size_t offset;
  const char* bytes;
  size_t length;
};

// Checked in this order, first match wins.
constexpr Signature kSignatures[] = {
    {kFormatBmp, 0, "BM", 2},
    {kFormatPax, 0, "PAX", 3},
    {kFormatGif, 0, "GIF89a", 6},
    {kFormatGif, 0, "GIF87a", 6},
    {kFormatJpeg, 0, "\xFF\xD8\xFF\xE0", 4},
    {kFormatJpeg, 0, "\xFF\xD8\xFF", 3},
    {kFormatPcx, 0, "\x0A\x00", 2},
    {kFormatPcx, 0, "\x0A\x02", 2},
    {kFormatPcx, 0, "\x0A\x03", 2},
    {kFormatPcx, 0, "\x0A\x05", 2},
    {kFormatTiff, 0, "MM", 2},
    {kFormatTiff, 0, "II", 2},
    {kFormatPng, 0, "\x89PNG\x0D\x0A\x1A\x0A", 8},
    {kFormatWmf, 0, "\x01\x00\x09\x00\x00", 5},
    {kFormatWmf, 0, "\xD7\xCD\xC6\x9A", 4},
    {kFormatEmf, 40, " EMF", 4},
    {kFormatPsd, 0, "8BPS", 4},
    {kFormat11, 0, "TLA\x01", 4},
    {kFormat12, 0, "TLAU", 4},
    {kFormatWbmp, 0, "\x00\x00", 2},
};

int FormatFromName(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return kFormatNone;
  std::string ext = name.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".wbmp" || ext == ".wbm") return kFormatWbmp;
  if (ext == ".tga") return kFormatTga;
  return kFormatNone;
}

}  // namespace

const char* FormatName(int code) {
  static constexpr const char* kNames[] = {
      "none", "BMP", "GIF", "JPEG", "PNG", "PCX", "TIFF", "Windows metafile",
      "enhanced metafile", "PAX", "Photoshop", "format 11", "format 12", "WBMP", "TGA"};
  if (code < 0 || code > kFormatTga) return "unknown";
  return kNames[code];
}

int DetectFormat(StreamHandle handle) {
  detail::Call call;
  if (!call) return kFormatNone;
  detail::Stream* stream = detail::FindStream(handle);
  if (!stream) return call.Fail(kErrBadHandle, kFormatNone);

  uint8_t head[kProbeBytes];
  size_t got = stream->ReadAt(stream->position, head, kProbeBytes);
  stream->position += got;
  if (got < kProbeBytes) return call.Fail(kErrShort, kFormatNone);

  int bySignature = kFormatNone;
  for (const Signature& s : kSignatures) {
    if (std::memcmp(head + s.offset, s.bytes, s.length) == 0) {
      bySignature = s.code;
      break;
    }
  }
  call.Set(kOk);
  if (bySignature != kFormatWbmp) return bySignature;
  // Two zero bytes start both WBMP and most TGA files; only the name tells them apart.
  return FormatFromName(stream->name) == kFormatTga ? kFormatTga : kFormatWbmp;
}

}  // namespace imaging
