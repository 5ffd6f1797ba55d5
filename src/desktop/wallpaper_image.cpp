#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "desktop/desktop_pictures.h"
#include "platform/gfx/canvas.h"
#include "platform/store/desktop_settings.h"
#include "platform/store/registry.h"
#include "platform/ui/display.h"
#include "platform/ui/message_box.h"

namespace desktop {
namespace {

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kBrowserDesktopKey =
    "Software\\Microsoft\\Internet Explorer\\Desktop\\General";

// The leading decimal number of a value, as the settings dialogs store these ("2"); a
// number stored as a DWORD counts as that number.
std::optional<long> ReadNumber(const store::RegistryKey& key, const char* name) {
  const std::optional<store::Value> value = key.Read(name);
  if (!value) return std::nullopt;
  if (value->type == store::REG_DWORD && value->data.size() == 4) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
      v |= static_cast<uint32_t>(static_cast<uint8_t>(value->data[i])) << (8 * i);
    return static_cast<long>(v);
  }
  if (value->type != store::REG_SZ) return std::nullopt;
  const std::string text = value->data.substr(0, value->data.find('\0'));
  return std::strtol(text.c_str(), nullptr, 10);
}

// %NAME% replaced by the variable's value; unknown names and a lone '%' stay as written.
std::string ExpandVariables(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, i, open - i);
    const std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      out += value;
      i = close + 1;
    } else {
      // Unknown: keep the first '%' and look again from the second.
      out += '%';
      out.append(name);
      i = close;
    }
  }
  out.append(text, std::min(i, text.size()), std::string::npos);
  return out;
}

int32_t StyleOf(store::WallpaperLayout layout) {
  switch (layout) {
    case store::WallpaperLayout::Tile:
      return WallpaperTile;
    case store::WallpaperLayout::Stretch:
      return WallpaperStretch;
    case store::WallpaperLayout::Centre:
      break;
  }
  return WallpaperCentre;
}

// Pages and animations are not pictures the decoder reads.
bool NotAPicture(const std::string& name) {
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos ? name : name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext == "HTML" || ext == "HTM" || ext == "GIF";
}

// The wallpaper decoded to 24-bit pixels; empty when it cannot be.
imaging::PixelBuffer Decode(const std::string& name, int& w, int& h) {
  const imaging::StreamHandle source = imaging::OpenSource(name);
  if (source == imaging::kNoStream) return {};
  const int format = imaging::DetectFormat(source);
  imaging::SeekSource(source, 0, 0);
  imaging::PixelBuffer pixels;
  if (format == imaging::kFormatBmp) {
    pixels = imaging::ReadBmp(source, &w, &h, 24, nullptr);
  } else if (format == imaging::kFormatJpeg) {
    pixels = imaging::ReadJpeg(source, &w, &h, 24);
  }
  // A file cut short still gives the rows it holds; a wallpaper of mostly nothing is not
  // shown. (Closing the stream resets the code.)
  const bool complete = imaging::GetLastErrorCode() == imaging::kOk;
  imaging::CloseSource(source);
  if (!complete) return {};
  return pixels;
}

// A centred picture's rows go straight into the screen-size pixels: the bytes of drawing it
// on a surface over the desktop colour and reading that back, without the two screen-size
// surfaces (at startup their fresh pages cost more than the copying).
imaging::PixelBuffer CentredWallpaper(std::span<const uint8_t> pixels, int width, int height,
                                      int sw, int sh, gfx::COLORREF color) {
  gfx::Surface dot(1, 1);
  gfx::Canvas(dot).FillRect({0, 0, 1, 1}, color);
  const imaging::PixelBuffer fill = imaging::CaptureFromDC(&dot, 0, 0, 1, 1);
  if (!fill) return {};
  imaging::PixelBuffer out =
      imaging::PixelBuffer::Allocate(static_cast<size_t>(sw) * static_cast<size_t>(sh) * 3);
  if (!out) {
    ui::ShowMessage("Memory allocation problem during making of actual wallpaper image");
    return {};
  }
  // A picture larger than the screen shows its middle: the offset is negative.
  const int64_t left = (int64_t{sw} - width) / 2, top = (int64_t{sh} - height) / 2;
  const int64_t x0 = std::max<int64_t>(left, 0), x1 = std::min<int64_t>(left + width, sw);
  const int64_t y0 = std::max<int64_t>(top, 0), y1 = std::min<int64_t>(top + height, sh);
  const size_t row = static_cast<size_t>(sw) * 3;
  for (int64_t y = 0; y < sh; ++y) {
    uint8_t* o = out.data() + static_cast<size_t>(y) * row;
    const bool inside = y >= y0 && y < y1 && x0 < x1;
    const int64_t fillTo = inside ? x0 : sw;
    for (int64_t x = 0; x < fillTo; ++x) std::memcpy(o + x * 3, fill.data(), 3);
    if (!inside) continue;
    const uint8_t* in =
        pixels.data() + static_cast<size_t>(y - top) * static_cast<size_t>(width) * 3;
    std::memcpy(o + x0 * 3, in + (x0 - left) * 3, static_cast<size_t>(x1 - x0) * 3);
    for (int64_t x = x1; x < sw; ++x) std::memcpy(o + x * 3, fill.data(), 3);
  }
  return out;
}

}  // namespace

bool IsBrowserInstalled() { return false; }

// Without the browser there is no browser-drawn desktop and no shell setting to ask.
bool IsActiveDesktopOn() { return IsBrowserInstalled(); }

std::string ReadWallpaperSetting(bool activeDesktop, int32_t& style,
                                 const DesktopSources& sources) {
  style = WallpaperCentre;
  std::optional<store::RegistryKey> key;
  if (sources.store) {
    key = store::RegistryKey::Open(*sources.store, store::Root::CurrentUser,
                                   activeDesktop ? kBrowserDesktopKey : kDesktopKey);
  }
  std::optional<std::string> name;
  if (key) name = key->ReadString("Wallpaper");
  if (!name) {
    // Not set for the player: the desktop environment's own wallpaper, where it has one.
    if (activeDesktop || !sources.useDesktopSettings) return {};
    const std::optional<store::DesktopWallpaper> wallpaper = store::ReadDesktopWallpaper();
    if (!wallpaper) return {};
    style = StyleOf(wallpaper->layout);
    return wallpaper->file;
  }
  const std::optional<long> wallpaperStyle = ReadNumber(*key, "WallpaperStyle");
  if (!wallpaperStyle) return {};
  if (*wallpaperStyle == 2) style = WallpaperStretch;
  const std::optional<long> tile = ReadNumber(*key, "TileWallpaper");
  if (!tile) return *name;
  // Tiling wins over stretching.
  if (*tile == 1) style = WallpaperTile;
  if (activeDesktop) return ExpandVariables(*name);
  return *name;
}

imaging::PixelBuffer ComposeWallpaper(std::span<const uint8_t> pixels, int width, int height,
                                      int32_t style, const DesktopSources& sources) {
  const ui::ScreenSize screen = ui::GetScreenSize();
  const int sw = screen.width, sh = screen.height;
  const gfx::COLORREF desktopColor = DesktopColor(sources);
  if (style != WallpaperTile && style != WallpaperStretch && width > 0 && height > 0 &&
      pixels.size() / 3 / static_cast<size_t>(width) >= static_cast<size_t>(height)) {
    return CentredWallpaper(pixels, width, height, sw, sh, desktopColor);
  }
  std::unique_ptr<gfx::Surface> picture = imaging::PixelsToBitmap(pixels, width, height);
  if (!picture) {
    ui::ShowMessage("Memory allocation problem during making of actual wallpaper image");
    return {};
  }
  gfx::Surface target(sw, sh);
  gfx::Canvas dc(target);
  switch (style) {
    case WallpaperTile:
      // Whole pictures from (0, 0) across and down, the last ones cut by the edge; one fill
      // does what a copy per tile would.
      dc.TileBlt({0, 0, sw, sh}, *picture, 0, 0);
      break;
    case WallpaperStretch:
      dc.StretchBlt(0, 0, sw, sh, *picture, 0, 0, width, height, gfx::SRCCOPY);
      break;
    default:
      dc.FillRect({0, 0, sw, sh}, desktopColor);
      // A picture larger than the screen shows its middle: the offset is negative.
      if (width > 0 && height > 0) {
        dc.BitBlt((sw - width) / 2, (sh - height) / 2, width, height, *picture, 0, 0, gfx::SRCCOPY);
      }
      break;
  }
  return imaging::CaptureFromDC(&target, 0, 0, sw, sh);
}

bool MakeWallpaperImage(const std::string& fileName, int32_t& style,
                        const DesktopSources& sources) {
  int32_t s = WallpaperCentre;
  std::string name = ReadWallpaperSetting(false, s, sources);
  if (!name.empty()) style = s;
  if (IsActiveDesktopOn()) {
    name = ReadWallpaperSetting(true, s, sources);
    style = s;
  }
  if (name.empty() || NotAPicture(name)) return MakePlainDesktopImage(fileName, sources);
  int w = 0, h = 0;
  const imaging::PixelBuffer pixels = Decode(name, w, h);
  if (!pixels) return MakePlainDesktopImage(fileName, sources);
  const imaging::PixelBuffer composed = ComposeWallpaper(pixels.span(), w, h, style, sources);
  // A wallpaper that cannot be laid out still leaves a usable picture: the plain colour.
  if (!composed) return MakePlainDesktopImage(fileName, sources);
  const imaging::StreamHandle target = imaging::OpenTarget(fileName);
  if (target == imaging::kNoStream) return true;
  const ui::ScreenSize screen = ui::GetScreenSize();
  imaging::WriteBmp(target, composed.span(), screen.width, screen.height, 24);
  imaging::CloseTarget(target);
  return true;
}

}  // namespace desktop
