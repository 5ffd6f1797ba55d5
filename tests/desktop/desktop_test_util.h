#pragma once
// Scratch folders, pictures written and read back through the decoder, and a store holding
// the wallpaper values, for the desktop picture tests.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "desktop/desktop_pictures.h"
#include "imaging/image_decoder.h"
#include "platform/store/registry.h"
#include "platform/ui/display.h"

namespace desktop::test {

class Scratch {
 public:
  Scratch() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sp_desk_XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct Picture {
  int format = imaging::kFormatNone;
  int width = 0, height = 0;
  imaging::PixelBuffer pixels;
  uint32_t At(int x, int y) const {
    const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
};

// 0xRRGGBB of each pixel.
using PixelFn = std::function<uint32_t(int x, int y)>;

inline void WritePicture(const std::string& path, int w, int h, const PixelFn& f) {
  imaging::PixelBuffer pixels = imaging::PixelBuffer::Allocate(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = pixels.data() + (size_t(y) * w + x) * 3;
      const uint32_t c = f(x, y);
      p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
    }
  auto target = imaging::OpenTarget(path);
  ASSERT_NE(target, imaging::kNoStream);
  ASSERT_GT(imaging::WriteBmp(target, pixels.span(), w, h, 24), 0);
  imaging::CloseTarget(target);
}

inline Picture ReadPicture(const std::string& path) {
  Picture pic;
  auto source = imaging::OpenSource(path);
  if (source == imaging::kNoStream) return pic;
  pic.format = imaging::DetectFormat(source);
  imaging::SeekSource(source, 0, 0);
  if (pic.format == imaging::kFormatBmp)
    pic.pixels = imaging::ReadBmp(source, &pic.width, &pic.height, 24);
  else if (pic.format == imaging::kFormatJpeg)
    pic.pixels = imaging::ReadJpeg(source, &pic.width, &pic.height, 24);
  imaging::CloseSource(source);
  return pic;
}

// A fresh in-memory store, a 1024 x 768 screen, no desktop environment settings.
class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    imaging::InitDecoder();
    ui::SetScreenSize({1024, 768});
    store_ = store::Store::InMemory();
    sources_.store = store_.get();
    sources_.useDesktopSettings = false;
  }
  void SetDesktopValue(const std::string& name, const std::string& text,
                       const std::string& key = "Control Panel\\Desktop") {
    auto k = store::RegistryKey::Create(*store_, store::Root::CurrentUser, key);
    ASSERT_TRUE(k && k->WriteString(name, text));
  }
  void SetWallpaper(const std::string& file, const char* style, const char* tile) {
    SetDesktopValue("Wallpaper", file);
    if (style) SetDesktopValue("WallpaperStyle", style);
    if (tile) SetDesktopValue("TileWallpaper", tile);
  }

  Scratch scratch_;
  std::unique_ptr<store::Store> store_;
  DesktopSources sources_;
};

}  // namespace desktop::test
