#pragma once
// The two pictures of what the user had on screen when the saver started: the desktop
// snapshot and the wallpaper laid out on a screen-size picture (or, failing that, the plain
// desktop colour). Both are written as files that pictures of the show can load.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "imaging/image_decoder.h"
#include "platform/gfx/surface.h"

namespace store {
class Store;
}

namespace desktop {

// Wallpaper styles.
inline constexpr int32_t WallpaperCentre = 0;
inline constexpr int32_t WallpaperTile = 1;
inline constexpr int32_t WallpaperStretch = 2;

// The desktop colour when nothing sets one.
inline constexpr gfx::COLORREF kClassicDesktopColor = gfx::RGB(0, 128, 128);

// Where the pictures and settings come from.
struct DesktopSources {
  // Our settings store ("Control Panel\Desktop", "Control Panel\Colors"); null: none.
  store::Store* store = nullptr;
  // Whether the desktop environment's own settings (GSettings) are asked after the store.
  bool useDesktopSettings = true;
  // The screen as it is; null or nullopt when there is no window system to ask.
  std::function<std::optional<gfx::Surface>()> grabScreen;
};

// The desktop colour: the store's "Control Panel\Colors" "Background" ("R G B"), else the
// desktop environment's plain colour, else kClassicDesktopColor.
gfx::COLORREF DesktopColor(const DesktopSources& sources);

// Writes the screen as it is (or, without a window system, a screen-size picture of the
// desktop colour) to fileName as a BMP. Always true: the start never fails on it.
bool CaptureDesktop(const std::string& fileName, const DesktopSources& sources);

// Writes the wallpaper laid out on a screen-size picture as a BMP, or the plain desktop
// colour as a JPEG. When a wallpaper setting was read its style goes to style; otherwise
// style is left as it is. Always true.
bool MakeWallpaperImage(const std::string& fileName, int32_t& style, const DesktopSources& sources);

// Both pictures at once: the snapshot on a second thread while the wallpaper is laid out.
void MakeDesktopFiles(const std::string& desktopFile, const std::string& wallpaperFile,
                      int32_t& style, const DesktopSources& sources);

// The wallpaper file name and style. activeDesktop false: the store's "Control Panel\Desktop"
// when it holds "Wallpaper", else the desktop environment's setting; true: the store's
// browser desktop key, with %VARIABLES% in the name expanded. Empty when none.
std::string ReadWallpaperSetting(bool activeDesktop, int32_t& style, const DesktopSources& sources);

// There is no browser-drawn desktop on this platform.
bool IsBrowserInstalled();
bool IsActiveDesktopOn();

// The width x height picture laid out by style on a screen-size picture (GetScreenSize);
// empty when the picture cannot become a bitmap (after telling the user).
imaging::PixelBuffer ComposeWallpaper(std::span<const uint8_t> pixels, int width, int height,
                                      int32_t style, const DesktopSources& sources);

// Writes a screen-size picture of the desktop colour to fileName as a progressive JPEG.
// Always true.
bool MakePlainDesktopImage(const std::string& fileName, const DesktopSources& sources);

}  // namespace desktop
