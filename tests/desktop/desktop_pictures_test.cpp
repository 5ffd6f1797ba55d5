// The desktop snapshot and the wallpaper picture, from store values to the written files.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "desktop_test_util.h"
#include "platform/ui/message_box.h"

namespace desktop::test {
namespace {

uint32_t Rgb(gfx::COLORREF c) {
  return (uint32_t{gfx::GetRValue(c)} << 16) | (uint32_t{gfx::GetGValue(c)} << 8) |
         gfx::GetBValue(c);
}

// A pattern where every pixel of a picture up to 4096 wide tells where it came from.
uint32_t Pattern(int x, int y) {
  return (uint32_t(x & 255) << 16) | (uint32_t(y & 255) << 8) | uint32_t((x >> 8) * 16 + (y >> 8));
}

bool IsProgressiveJpeg(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (uint8_t(bytes[i]) == 0xFF && uint8_t(bytes[i + 1]) == 0xC2) return true;  // SOF2
  }
  return false;
}

// Every pixel within tolerance of one colour (JPEG rounds a flat colour by a step or so).
void ExpectPlain(const Picture& pic, uint32_t rgb, int tolerance) {
  int bad = 0;
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x) {
      const uint32_t p = pic.At(x, y);
      for (int shift : {16, 8, 0}) {
        if (std::abs(int((p >> shift) & 255) - int((rgb >> shift) & 255)) > tolerance) ++bad;
      }
    }
  EXPECT_EQ(bad, 0);
}

TEST_F(DesktopTest, TheWallpaperSettingFollowsTheStoredValues) {
  setenv("SP_DESK_TEST_DIR", "/pictures", 1);
  struct Row {
    const char* what;
    const char* wallpaper;  // nullptr: value absent
    const char* style;
    const char* tile;
    bool activeDesktop;
    std::string name;
    int32_t expectedStyle;
  } rows[] = {
      {"nothing stored", nullptr, nullptr, nullptr, false, "", WallpaperCentre},
      {"empty name", "", "0", "0", false, "", WallpaperCentre},
      {"no WallpaperStyle counts as none", "/a.bmp", nullptr, "1", false, "", WallpaperCentre},
      {"centred", "/a.bmp", "0", "0", false, "/a.bmp", WallpaperCentre},
      {"stretched", "/a.bmp", "2", "0", false, "/a.bmp", WallpaperStretch},
      {"no TileWallpaper keeps the style", "/a.bmp", "2", nullptr, false, "/a.bmp",
       WallpaperStretch},
      {"tiling wins over stretching", "/a.bmp", "2", "1", false, "/a.bmp", WallpaperTile},
      {"other numbers centre", "/a.bmp", "1", "2", false, "/a.bmp", WallpaperCentre},
      {"browser key expands variables", "%SP_DESK_TEST_DIR%\\w.jpg%NOPE%", "0", "1", true,
       "/pictures\\w.jpg%NOPE%", WallpaperTile},
      {"browser key, no TileWallpaper: as written", "%SP_DESK_TEST_DIR%", "0", nullptr, true,
       "%SP_DESK_TEST_DIR%", WallpaperCentre},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    store_ = store::Store::InMemory();
    sources_.store = store_.get();
    const std::string key = row.activeDesktop
                                ? "Software\\Microsoft\\Internet Explorer\\Desktop\\General"
                                : "Control Panel\\Desktop";
    if (row.wallpaper) SetDesktopValue("Wallpaper", row.wallpaper, key);
    if (row.style) SetDesktopValue("WallpaperStyle", row.style, key);
    if (row.tile) SetDesktopValue("TileWallpaper", row.tile, key);
    int32_t style = 9;
    EXPECT_EQ(ReadWallpaperSetting(row.activeDesktop, style, sources_), row.name);
    EXPECT_EQ(style, row.expectedStyle);
  }
  unsetenv("SP_DESK_TEST_DIR");
}

TEST_F(DesktopTest, WallpapersThatCannotBeShownGiveThePlainColourAsAProgressiveJpeg) {
  const std::string bmp = scratch_.File("real.bmp");
  WritePicture(bmp, 8, 8, Pattern);
  // Real pictures under names that say they are not pictures.
  for (const char* name : {"wall.bmp.html", "WALL.BMP.HTM", "wall.Gif"}) {
    std::filesystem::copy_file(bmp, scratch_.File(name));
  }
  const std::string notAPicture = scratch_.File("text.bmp");
  std::ofstream(notAPicture) << "plain text, not a picture";
  // A 54-byte BMP that declares 8000 x 6000 pixels and holds none.
  const std::string huge = scratch_.File("huge.bmp");
  {
    std::vector<uint8_t> b(54, 0);
    auto put32 = [&b](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B', b[1] = 'M';
    put32(2, 54), put32(10, 54), put32(14, 40), put32(18, 8000), put32(22, 6000);
    b[26] = 1, b[28] = 24;
    std::ofstream(huge, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), 54);
  }
  struct Row {
    const char* what;
    std::string wallpaper;  // empty: nothing stored
    const char* style;
  } rows[] = {
      {"a tiny file declaring a huge picture", huge, "0"},
      {"nothing stored", "", "0"},
      {"Wallpaper without WallpaperStyle", bmp, nullptr},
      {".html", scratch_.File("wall.bmp.html"), "0"},
      {".HTM", scratch_.File("WALL.BMP.HTM"), "0"},
      {".gif", scratch_.File("wall.Gif"), "0"},
      {"missing file", scratch_.File("missing.bmp"), "0"},
      {"not a picture", notAPicture, "0"},
  };
  const std::string out = scratch_.File("wallpaper.bmp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    store_ = store::Store::InMemory();
    sources_.store = store_.get();
    if (!row.wallpaper.empty()) SetWallpaper(row.wallpaper, row.style, "0");
    int32_t style = 5;
    EXPECT_TRUE(MakeWallpaperImage(out, style, sources_));
    EXPECT_EQ(style, !row.wallpaper.empty() && row.style ? WallpaperCentre : 5);
    const Picture pic = ReadPicture(out);
    EXPECT_EQ(pic.format, imaging::kFormatJpeg);
    EXPECT_TRUE(IsProgressiveJpeg(out));
    EXPECT_EQ(pic.width, 1024);
    EXPECT_EQ(pic.height, 768);
    ExpectPlain(pic, Rgb(kClassicDesktopColor), 2);
  }
}

TEST_F(DesktopTest, EachStyleLaysThePictureOutAsTheDesktopWould) {
  const uint32_t teal = Rgb(kClassicDesktopColor);
  struct Row {
    const char* what;
    int w, h;
    const char* style;
    const char* tile;
    int32_t expectedStyle;
    std::function<uint32_t(int, int)> expect;  // screen pixel from picture pixels
  } rows[] = {
      // 11 columns by 8 rows, the last column and row cut by the edge.
      {"100x100 tiled on 1024x768 (tile and stretch both set)", 100, 100, "2", "1", WallpaperTile,
       [](int x, int y) { return Pattern(x % 100, y % 100); }},
      {"wider than the screen, centred: left offset -88", 1200, 100, "0", "0", WallpaperCentre,
       [teal](int x, int y) { return y >= 334 && y < 434 ? Pattern(x + 88, y - 334) : teal; }},
      {"larger both ways, centred: offsets -88 and -66", 1200, 900, "0", "0", WallpaperCentre,
       [](int x, int y) { return Pattern(x + 88, y + 66); }},
      {"taller than the screen, centred: top offset -16", 20, 800, "0", "0", WallpaperCentre,
       [teal](int x, int y) { return x >= 502 && x < 522 ? Pattern(x - 502, y + 16) : teal; }},
      {"odd size centred, offsets truncated", 101, 51, "0", "0", WallpaperCentre,
       [teal](int x, int y) {
         return x >= 461 && x < 562 && y >= 358 && y < 409 ? Pattern(x - 461, y - 358) : teal;
       }},
      {"stretched over the whole screen", 4, 3, "2", "0", WallpaperStretch,
       [](int x, int y) { return Pattern(x * 4 / 1024, y * 3 / 768); }},
  };
  const std::string out = scratch_.File("wallpaper.bmp");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string file = scratch_.File("picture.bmp");
    WritePicture(file, row.w, row.h, Pattern);
    SetWallpaper(file, row.style, row.tile);
    int32_t style = 0;
    EXPECT_TRUE(MakeWallpaperImage(out, style, sources_));
    EXPECT_EQ(style, row.expectedStyle);
    const Picture pic = ReadPicture(out);
    ASSERT_EQ(pic.format, imaging::kFormatBmp);
    ASSERT_EQ(pic.width, 1024);
    ASSERT_EQ(pic.height, 768);
    int bad = 0;
    for (int y = 0; y < 768; ++y)
      for (int x = 0; x < 1024; ++x)
        if (pic.At(x, y) != row.expect(x, y) && bad++ < 3)
          ADD_FAILURE() << "at " << x << "," << y << std::hex << ": " << pic.At(x, y)
                        << " != " << row.expect(x, y);
    EXPECT_EQ(bad, 0);
  }
}

class RecordingPresenter final : public ui::MessagePresenter {
 public:
  void Show(const std::string& text, ui::MessageIcon) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

TEST_F(DesktopTest, AVeryWidePictureIsCentredLikeAnyOther) {
  // Bitmaps take every picture the decoder reads (up to 65535 a side): no message, and the
  // middle of the picture stands on the middle row.
  const std::string file = scratch_.File("huge.bmp");
  WritePicture(file, 40000, 1, Pattern);
  SetWallpaper(file, "0", "0");
  SetDesktopValue("Background", "10 20 30", "Control Panel\\Colors");
  RecordingPresenter presenter;
  ui::MessagePresenter* previous = ui::SetMessagePresenter(&presenter);
  int32_t style = 0;
  EXPECT_TRUE(MakeWallpaperImage(scratch_.File("wallpaper.bmp"), style, sources_));
  ui::SetMessagePresenter(previous);
  EXPECT_TRUE(presenter.texts.empty());
  const Picture pic = ReadPicture(scratch_.File("wallpaper.bmp"));
  ASSERT_EQ(pic.format, imaging::kFormatBmp);
  ASSERT_EQ(pic.width, 1024);
  ASSERT_EQ(pic.height, 768);
  int bad = 0;
  for (int y = 0; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const uint32_t want = y == 383 ? Pattern(x + (40000 - 1024) / 2, 0) : 0x0A141Eu;
      if (pic.At(x, y) != want && bad++ < 3) {
        ADD_FAILURE() << "at " << x << "," << y << std::hex << ": " << pic.At(x, y)
                      << " != " << want;
      }
    }
  }
  EXPECT_EQ(bad, 0);
}

TEST_F(DesktopTest, TheDesktopColourComesFromTheStoreWhenItReadsAsRgb) {
  struct Row {
    const char* text;
    uint32_t rgb;
  } rows[] = {
      {"10 20 30", 0x0A141E},
      {"  255\t0 7 ", 0xFF0007},
      {"256 0 0", Rgb(kClassicDesktopColor)},
      {"1 2", Rgb(kClassicDesktopColor)},
      {"1 2 3 4", Rgb(kClassicDesktopColor)},
      {"-1 2 3", Rgb(kClassicDesktopColor)},
      {"", Rgb(kClassicDesktopColor)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    SetDesktopValue("Background", row.text, "Control Panel\\Colors");
    EXPECT_EQ(Rgb(DesktopColor(sources_)), row.rgb);
  }
  sources_.store = nullptr;
  EXPECT_EQ(DesktopColor(sources_), kClassicDesktopColor);
}

// Made together, as the player makes them, the two files are those made one after the other.
TEST_F(DesktopTest, BothPicturesAtOnceAreThePicturesOneByOne) {
  sources_.grabScreen = [] {
    gfx::Surface screen(160, 120);
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) screen.At(x, y) = Pattern(x, y);
    return std::optional<gfx::Surface>(std::move(screen));
  };
  ui::SetScreenSize({160, 120});
  const std::string wall = scratch_.File("wall.bmp");
  WritePicture(wall, 40, 30, Pattern);
  SetWallpaper(wall, "0", "1");
  int32_t alone = -1, together = -1;
  CaptureDesktop(scratch_.File("d1.bmp"), sources_);
  MakeWallpaperImage(scratch_.File("w1.bmp"), alone, sources_);
  MakeDesktopFiles(scratch_.File("d2.bmp"), scratch_.File("w2.bmp"), together, sources_);
  EXPECT_EQ(together, alone);
  EXPECT_EQ(together, WallpaperTile);
  auto bytes = [&](const char* name) {
    std::ifstream in(scratch_.File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_GT(bytes("d1.bmp").size(), 160u * 120 * 3);
  EXPECT_EQ(bytes("d1.bmp"), bytes("d2.bmp"));
  EXPECT_EQ(bytes("w1.bmp"), bytes("w2.bmp"));
}

TEST_F(DesktopTest, TheSnapshotIsTheGrabbedScreenOrAScreenOfTheDesktopColour) {
  const std::string out = scratch_.File("desktop.bmp");
  sources_.grabScreen = [] {
    gfx::Surface screen(300, 200);
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x) screen.At(x, y) = Pattern(x, y);
    return std::optional<gfx::Surface>(std::move(screen));
  };
  EXPECT_TRUE(CaptureDesktop(out, sources_));
  Picture pic = ReadPicture(out);
  ASSERT_EQ(pic.format, imaging::kFormatBmp);
  ASSERT_EQ(pic.width, 300);
  ASSERT_EQ(pic.height, 200);
  for (int y = 0; y < 200; y += 7)
    for (int x = 0; x < 300; x += 3) ASSERT_EQ(pic.At(x, y), Pattern(x, y)) << x << "," << y;

  // No window system (headless), or one that cannot be read: the desktop colour.
  SetDesktopValue("Background", "1 2 3", "Control Panel\\Colors");
  ui::SetScreenSize({320, 240});
  for (bool withGrabber : {false, true}) {
    sources_.grabScreen = nullptr;
    if (withGrabber) sources_.grabScreen = [] { return std::optional<gfx::Surface>(); };
    EXPECT_TRUE(CaptureDesktop(out, sources_));
    pic = ReadPicture(out);
    EXPECT_EQ(pic.format, imaging::kFormatBmp);
    EXPECT_EQ(pic.width, 320);
    EXPECT_EQ(pic.height, 240);
    ExpectPlain(pic, 0x010203, 0);
  }
}

}  // namespace
}  // namespace desktop::test
