#include <cctype>
#include <charconv>
#include <optional>
#include <system_error>
#include <thread>

#include "desktop/desktop_pictures.h"
#include "platform/store/desktop_settings.h"
#include "platform/store/registry.h"
#include "platform/ui/display.h"

namespace desktop {
namespace {

// "R G B" in decimal, as "Control Panel\Colors" holds its colours.
std::optional<gfx::COLORREF> ParseRgbTriple(std::string_view text) {
  int channel[3];
  const char* p = text.data();
  const char* end = p + text.size();
  for (int& c : channel) {
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    auto [next, ec] = std::from_chars(p, end, c);
    if (ec != std::errc() || c < 0 || c > 255) return std::nullopt;
    p = next;
  }
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (p != end) return std::nullopt;
  return gfx::RGB(static_cast<uint8_t>(channel[0]), static_cast<uint8_t>(channel[1]),
                  static_cast<uint8_t>(channel[2]));
}

void WriteBmpFile(const std::string& fileName, const imaging::PixelBuffer& pixels, int w, int h) {
  const imaging::StreamHandle target = imaging::OpenTarget(fileName);
  if (target == imaging::kNoStream) return;
  imaging::WriteBmp(target, pixels.span(), w, h, 24);
  imaging::CloseTarget(target);
}

}  // namespace

gfx::COLORREF DesktopColor(const DesktopSources& sources) {
  if (sources.store) {
    auto key =
        store::RegistryKey::Open(*sources.store, store::Root::CurrentUser, "Control Panel\\Colors");
    if (key) {
      if (auto text = key->ReadString("Background")) {
        if (auto color = ParseRgbTriple(*text)) return *color;
      }
    }
  }
  if (sources.useDesktopSettings) {
    if (auto rgb = store::ReadDesktopColor()) return gfx::RGB(rgb->red, rgb->green, rgb->blue);
  }
  return kClassicDesktopColor;
}

bool CaptureDesktop(const std::string& fileName, const DesktopSources& sources) {
  std::optional<gfx::Surface> screen;
  if (sources.grabScreen) screen = sources.grabScreen();
  if (!screen || screen->Empty()) {
    const ui::ScreenSize size = ui::GetScreenSize();
    screen.emplace(size.width, size.height, gfx::PixelFromColorRef(DesktopColor(sources)));
  }
  const int w = screen->Width(), h = screen->Height();
  const imaging::PixelBuffer pixels = imaging::CaptureFromDC(&*screen, 0, 0, w, h);
  WriteBmpFile(fileName, pixels, w, h);
  return true;
}

void MakeDesktopFiles(const std::string& desktopFile, const std::string& wallpaperFile,
                      int32_t& style, const DesktopSources& sources) {
  // The snapshot (a grab and a BMP) and the wallpaper (a decode, a layout and a BMP) share
  // nothing but settings reads: the start waits for the slower of the two, not for both.
  std::optional<std::thread> capture;
  try {
    capture.emplace([&] {
      try {
        CaptureDesktop(desktopFile, sources);
      } catch (const std::exception&) {
        // No snapshot: a show that uses one shows nothing there, as with an unreadable file.
      }
    });
  } catch (const std::system_error&) {
    CaptureDesktop(desktopFile, sources);  // no thread to be had: one after the other
  }
  MakeWallpaperImage(wallpaperFile, style, sources);
  if (capture) capture->join();
}

bool MakePlainDesktopImage(const std::string& fileName, const DesktopSources& sources) {
  const ui::ScreenSize size = ui::GetScreenSize();
  const gfx::Surface plain(size.width, size.height, gfx::PixelFromColorRef(DesktopColor(sources)));
  const imaging::PixelBuffer pixels = imaging::CaptureFromDC(&plain, 0, 0, size.width, size.height);
  const imaging::StreamHandle target = imaging::OpenTarget(fileName);
  if (target == imaging::kNoStream) return true;
  const imaging::JpegDensity density;  // 1 x 1, no unit
  imaging::WriteJpeg(target, pixels.span(), size.width, size.height, 100, /*progressive=*/true, 24,
                     &density);
  imaging::CloseTarget(target);
  return true;
}

}  // namespace desktop
