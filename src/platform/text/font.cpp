#include "platform/text/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "platform/text/face_matcher.h"

namespace text {
namespace {

constexpr int kDefaultCellHeight = 16;
constexpr int kMaxPixelSize = 4096;  // stored heights are untrusted

int RoundScaled(long units, int ppem, int unitsPerEm) {
  if (unitsPerEm <= 0) return 0;
  return static_cast<int>(std::lround(static_cast<double>(units) * ppem / unitsPerEm));
}

struct FaceKey {
  std::string file;
  int index, xPixels, yPixels;
  bool embolden, oblique, mono;
  auto operator<=>(const FaceKey&) const = default;
};

}  // namespace

// A face at one size with its glyph cache; shared by every Font that uses it. It holds its
// own FreeType library so that fonts used on different threads (the scene thread, the
// preview caption) never share one.
class SizedFace {
 public:
  explicit SizedFace(const FaceKey& key) : key_(key) {
    if (key.file.empty() || FT_Init_FreeType(&library_) != 0) return;
    if (FT_New_Face(library_, key.file.c_str(), key.index, &face_) != 0) {
      face_ = nullptr;
      return;
    }
    if (FT_Set_Pixel_Sizes(face_, static_cast<FT_UInt>(key.xPixels),
                           static_cast<FT_UInt>(key.yPixels)) != 0) {
      FT_Done_Face(face_);
      face_ = nullptr;
    }
  }
  ~SizedFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  SizedFace(const SizedFace&) = delete;
  SizedFace& operator=(const SizedFace&) = delete;

  FT_Face face() const { return face_; }
  const FaceKey& key() const { return key_; }

  void Glyphs(std::u32string_view chars, std::vector<const GlyphImage*>& out) {
    std::lock_guard lock(mutex_);
    out.clear();
    out.reserve(chars.size());
    for (char32_t c : chars) {
      if (c < 0x20 || c == 0x7F) {
        out.push_back(nullptr);
        continue;
      }
      std::unique_ptr<GlyphImage>& slot = cache_[c];
      if (!slot) slot = Render(c);
      out.push_back(slot.get());
    }
  }

 private:
  std::unique_ptr<GlyphImage> Render(char32_t c) {
    auto glyph = std::make_unique<GlyphImage>();
    if (!face_) return Box(std::move(glyph));
    FT_UInt index = 0;
    if (c != kMissingChar) {
      index = FT_Get_Char_Index(face_, c);
      // Symbol faces keep their glyphs in the private area U+F000..U+F0FF.
      if (index == 0 && c < 0x100) index = FT_Get_Char_Index(face_, 0xF000 + c);
    }
    const FT_Int32 load = key_.mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL;
    if (FT_Load_Glyph(face_, index, load) != 0) return Box(std::move(glyph));
    FT_GlyphSlot slot = face_->glyph;
    if (key_.embolden) FT_GlyphSlot_Embolden(slot);
    if (key_.oblique) FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, key_.mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0)
      return Box(std::move(glyph));
    const FT_Bitmap& bm = slot->bitmap;
    glyph->left = slot->bitmap_left;
    glyph->top = slot->bitmap_top;
    glyph->width = static_cast<int>(bm.width);
    glyph->height = static_cast<int>(bm.rows);
    glyph->advance = static_cast<int>((slot->advance.x + 32) >> 6);
    glyph->coverage.assign(static_cast<size_t>(glyph->width) * glyph->height, 0);
    for (int y = 0; y < glyph->height; ++y) {
      const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
      uint8_t* out = glyph->coverage.data() + static_cast<size_t>(y) * glyph->width;
      for (int x = 0; x < glyph->width; ++x) {
        if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
          out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
          out[x] = key_.mono ? (row[x] >= 128 ? 255 : 0) : row[x];
      }
    }
    return glyph;
  }

  // Without a face every character is an empty box, so text still has a size.
  std::unique_ptr<GlyphImage> Box(std::unique_ptr<GlyphImage> glyph) const {
    const int h = std::max(2, key_.yPixels * 3 / 4), w = std::max(2, key_.xPixels / 2);
    glyph->left = 1;
    glyph->top = h;
    glyph->width = w;
    glyph->height = h;
    glyph->advance = w + 2;
    glyph->coverage.assign(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (y == 0 || y == h - 1 || x == 0 || x == w - 1)
          glyph->coverage[static_cast<size_t>(y) * w + x] = 255;
    return glyph;
  }

  FaceKey key_;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  std::mutex mutex_;
  std::unordered_map<char32_t, std::unique_ptr<GlyphImage>> cache_;
};

namespace {

// Sizes from the face's own tables: Windows measures cells by the OS/2 "win" ascent and
// descent, and the average width by xAvgCharWidth.
struct FaceTables {
  int unitsPerEm = 2048;
  long ascent = 1854, descent = 434, lineGap = 67, hheaSpan = 2288;
  long averageWidth = 0, maxAdvance = 0;
  long underlinePosition = -217, underlineThickness = 150;
  long strikeOutPosition = 530, strikeOutSize = 102;
};

FaceTables ReadTables(const std::string& file, int index) {
  FaceTables t;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (file.empty() || FT_Init_FreeType(&library) != 0) return t;
  if (FT_New_Face(library, file.c_str(), index, &face) == 0) {
    t.unitsPerEm = face->units_per_EM ? face->units_per_EM : 2048;
    t.ascent = face->ascender;
    t.descent = -face->descender;
    t.hheaSpan = face->ascender - face->descender;
    t.lineGap = std::max<long>(0, face->height - t.hheaSpan);
    t.maxAdvance = face->max_advance_width;
    t.underlinePosition = face->underline_position;
    t.underlineThickness = face->underline_thickness;
    t.strikeOutPosition = t.unitsPerEm * 26 / 100;
    t.strikeOutSize = face->underline_thickness;
    if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->version != 0xFFFF) {
      if (os2->usWinAscent + os2->usWinDescent > 0) {
        t.ascent = os2->usWinAscent;
        t.descent = os2->usWinDescent;
      }
      t.averageWidth = os2->xAvgCharWidth;
      if (os2->yStrikeoutSize > 0) {
        t.strikeOutPosition = os2->yStrikeoutPosition;
        t.strikeOutSize = os2->yStrikeoutSize;
      }
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return t;
}

std::mutex& CacheMutex() {
  static std::mutex mutex;
  return mutex;
}

// Typewriter steps create the same font for every letter; keeping the last few fonts
// keeps their glyphs.
constexpr size_t kCachedFonts = 32;

std::string KeyOf(const LOGFONT& lf) {
  std::string key;
  for (int32_t v : {lf.lfHeight, lf.lfWidth, lf.lfEscapement, lf.lfOrientation, lf.lfWeight})
    key += std::to_string(v) + ",";
  for (uint8_t v : {lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut, lf.lfCharSet, lf.lfQuality,
                    lf.lfPitchAndFamily})
    key += std::to_string(v) + ",";
  return key + lf.lfFaceName;
}

}  // namespace

const std::string& Font::File() const { return face_->key().file; }
bool Font::Monochrome() const { return face_->key().mono; }

void Font::Glyphs(std::u32string_view chars, std::vector<const GlyphImage*>& out) const {
  face_->Glyphs(chars, out);
}

Font::~Font() = default;

Font::Font(std::shared_ptr<SizedFace> face, std::string family, const LOGFONT& lf)
    : face_(std::move(face)), family_(std::move(family)), decoder_(CodePageOf(lf.lfCharSet)) {
  underline_ = lf.lfUnderline != 0;
  strikeOut_ = lf.lfStrikeOut != 0;
}

std::shared_ptr<const Font> Font::Create(const LOGFONT& lf) {
  const std::string cacheKey = KeyOf(lf);
  static std::map<std::string, std::shared_ptr<const Font>> fonts;
  static std::map<FaceKey, std::weak_ptr<SizedFace>> faces;
  {
    std::lock_guard lock(CacheMutex());
    if (auto it = fonts.find(cacheKey); it != fonts.end()) return it->second;
  }

  const FaceChoice choice = MatchFace(lf);
  static std::map<std::pair<std::string, int>, FaceTables> tables;
  FaceTables t;
  {
    std::unique_lock lock(CacheMutex());
    const auto file = std::make_pair(choice.file, choice.index);
    if (auto it = tables.find(file); it != tables.end()) {
      t = it->second;
    } else {
      lock.unlock();
      t = ReadTables(choice.file, choice.index);
      lock.lock();
      tables.emplace(file, t);
    }
  }
  const long cellUnits = std::max<long>(1, t.ascent + t.descent);

  // Height: negative is the em (character) height, positive the cell height.
  long ppem = 0;
  if (lf.lfHeight < 0)
    ppem = -static_cast<long>(lf.lfHeight);
  else
    ppem = std::lround(static_cast<double>(lf.lfHeight ? lf.lfHeight : kDefaultCellHeight) *
                       t.unitsPerEm / cellUnits);
  ppem = std::clamp<long>(ppem, 1, kMaxPixelSize);
  long xppem = ppem;
  if (lf.lfWidth != 0 && t.averageWidth > 0)
    xppem = std::clamp<long>(
        std::lround(std::abs(static_cast<double>(lf.lfWidth)) * t.unitsPerEm / t.averageWidth), 1,
        kMaxPixelSize);

  FaceKey key{choice.file, choice.index, static_cast<int>(xppem), static_cast<int>(ppem),
              lf.lfWeight >= 600 && !choice.bold, lf.lfItalic != 0 && !choice.italic,
              // 3, or a smoothing quality with 3 OR-ed in, as text bitmaps ask for it.
              (lf.lfQuality & NONANTIALIASED_QUALITY) == NONANTIALIASED_QUALITY};

  std::shared_ptr<SizedFace> sized;
  {
    std::lock_guard lock(CacheMutex());
    sized = faces[key].lock();
  }
  if (!sized) {
    sized = std::make_shared<SizedFace>(key);
    std::lock_guard lock(CacheMutex());
    std::erase_if(faces, [](const auto& entry) { return entry.second.expired(); });
    faces[key] = sized;
  }

  auto font = std::make_shared<Font>(sized, sized->face() ? choice.family : std::string(), lf);
  const int p = static_cast<int>(ppem), px = static_cast<int>(xppem);
  TEXTMETRIC& m = font->metrics_;
  if (sized->face()) {
    m.tmAscent = RoundScaled(t.ascent, p, t.unitsPerEm);
    m.tmDescent = RoundScaled(t.descent, p, t.unitsPerEm);
    m.tmHeight = m.tmAscent + m.tmDescent;
    m.tmInternalLeading = std::max(0, m.tmHeight - p);
    m.tmExternalLeading =
        std::max(0, RoundScaled(t.hheaSpan + t.lineGap - cellUnits, p, t.unitsPerEm));
    m.tmAveCharWidth = RoundScaled(t.averageWidth, px, t.unitsPerEm);
    m.tmMaxCharWidth = RoundScaled(t.maxAdvance, px, t.unitsPerEm);
    if (key.embolden) m.tmMaxCharWidth += 1;
    if (m.tmAveCharWidth <= 0) m.tmAveCharWidth = std::max(1, px / 2);
    font->underlineOffset_ = std::max(1, RoundScaled(-t.underlinePosition, p, t.unitsPerEm));
    font->underlineThickness_ = std::max(1, RoundScaled(t.underlineThickness, p, t.unitsPerEm));
    font->strikeOutOffset_ = std::max(1, RoundScaled(t.strikeOutPosition, p, t.unitsPerEm));
    font->strikeOutThickness_ = std::max(1, RoundScaled(t.strikeOutSize, p, t.unitsPerEm));
  } else {
    m.tmAscent = std::max(2, p * 3 / 4) + 1;
    m.tmDescent = std::max(1, p / 4);
    m.tmHeight = m.tmAscent + m.tmDescent;
    m.tmAveCharWidth = m.tmMaxCharWidth = std::max(2, px / 2) + 2;
    font->underlineOffset_ = 1;
    font->strikeOutOffset_ = std::max(1, p / 3);
  }
  m.tmMaxCharWidth = std::max(m.tmMaxCharWidth, m.tmAveCharWidth);

  std::lock_guard lock(CacheMutex());
  if (fonts.size() >= kCachedFonts) fonts.clear();
  fonts.emplace(cacheKey, font);
  return font;
}

}  // namespace text
