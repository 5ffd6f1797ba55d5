#pragma once
// Fonts from a LOGFONT: a face chosen through fontconfig (the usual Windows faces stand for
// their metric-compatible free ones), sized and styled the way Windows sizes them, with its
// glyphs rendered by FreeType and kept per font and size.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/char_set_decoder.h"

namespace text {

struct LOGFONT {
  int32_t lfHeight = 0;  // < 0: character height in pixels; > 0: cell height; 0: default
  int32_t lfWidth = 0;   // average character width; 0: as the face is drawn
  int32_t lfEscapement = 0;
  int32_t lfOrientation = 0;
  int32_t lfWeight = 0;  // 0 or 400 normal, 700 bold
  uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0;
  uint8_t lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
  std::string lfFaceName;
};

inline constexpr int32_t FW_NORMAL = 400;
inline constexpr int32_t FW_BOLD = 700;
inline constexpr uint8_t DEFAULT_QUALITY = 0;
inline constexpr uint8_t NONANTIALIASED_QUALITY = 3;
inline constexpr uint8_t FIXED_PITCH = 1;
inline constexpr uint8_t FF_ROMAN = 0x10;
inline constexpr uint8_t FF_SWISS = 0x20;
inline constexpr uint8_t FF_MODERN = 0x30;

struct TEXTMETRIC {
  int tmHeight = 0, tmAscent = 0, tmDescent = 0;
  int tmInternalLeading = 0, tmExternalLeading = 0;
  int tmAveCharWidth = 0, tmMaxCharWidth = 0;
};

// One rendered glyph: coverage 0..255 per pixel (only 0 and 255 for monochrome fonts),
// placed at (pen + left, baseline - top).
struct GlyphImage {
  int left = 0, top = 0, width = 0, height = 0;
  int advance = 0;
  std::vector<uint8_t> coverage;
};

// The free family that stands for a Windows face name (Arial -> Liberation Sans, ...);
// the name itself when it needs no stand-in.
std::string SubstituteFamily(std::string_view faceName);

class SizedFace;

class Font {
 public:
  // Never fails: a face that does not exist falls back by the LOGFONT's pitch and family
  // to a serif, sans or monospaced face, as Windows falls back. Fonts with equal LOGFONTs
  // are shared.
  static std::shared_ptr<const Font> Create(const LOGFONT& lf);
  ~Font();

  const TEXTMETRIC& Metrics() const { return metrics_; }
  // The family and file that were chosen (empty when the system has no fonts at all:
  // every character is then drawn as a box).
  const std::string& Family() const { return family_; }
  const std::string& File() const;
  bool Monochrome() const;
  int CodePage() const { return decoder_.CodePage(); }
  bool Underline() const { return underline_; }
  bool StrikeOut() const { return strikeOut_; }
  // Position (below the baseline) and thickness of the underline; the strikeout's
  // position above the baseline and thickness.
  int UnderlineOffset() const { return underlineOffset_; }
  int UnderlineThickness() const { return underlineThickness_; }
  int StrikeOutOffset() const { return strikeOutOffset_; }
  int StrikeOutThickness() const { return strikeOutThickness_; }

  std::u32string Decode(std::string_view bytes) const { return decoder_.Decode(bytes); }
  // The glyphs of the characters; control characters have none (null, no width).
  // kMissingChar and characters the face lacks give its missing glyph.
  void Glyphs(std::u32string_view chars, std::vector<const GlyphImage*>& out) const;

  Font(std::shared_ptr<SizedFace> face, std::string family, const LOGFONT& lf);

 private:
  std::shared_ptr<SizedFace> face_;
  std::string family_;
  CharSetDecoder decoder_;
  TEXTMETRIC metrics_;
  bool underline_ = false, strikeOut_ = false;
  int underlineOffset_ = 0, underlineThickness_ = 1, strikeOutOffset_ = 0, strikeOutThickness_ = 1;
};

}  // namespace text
