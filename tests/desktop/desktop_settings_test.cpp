// The wallpaper and colour of the user's desktop environment, read through GSettings from
// test schemas in a memory backend: never the machine's own desktop.

#include "platform/store/desktop_settings.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "desktop_test_util.h"

namespace desktop::test {
namespace {

// Before any GSettings call of the process: only the test schemas, values in memory.
const bool kIsolated = [] {
  setenv("GSETTINGS_SCHEMA_DIR", SP_TEST_SCHEMA_DIR, 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("XDG_DATA_DIRS", "/nonexistent-sp-test", 1);
  setenv("XDG_DATA_HOME", "/nonexistent-sp-test", 1);
  unsetenv("XDG_CURRENT_DESKTOP");
  return true;
}();

void Set(const char* schema, const char* key, const std::string& value) {
  GSettings* settings = g_settings_new(schema);
  ASSERT_TRUE(g_settings_set_string(settings, key, value.c_str()));
  g_object_unref(settings);
}

void ResetAll() {
  for (const char* schema :
       {"org.gnome.desktop.background", "org.gnome.desktop.interface", "org.mate.background"}) {
    GSettings* settings = g_settings_new(schema);
    GSettingsSchema* s = nullptr;
    g_object_get(settings, "settings-schema", &s, nullptr);
    gchar** keys = g_settings_schema_list_keys(s);
    for (gchar** k = keys; *k; ++k) g_settings_reset(settings, *k);
    g_strfreev(keys);
    g_settings_schema_unref(s);
    g_object_unref(settings);
  }
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string out = uri;
  g_free(uri);
  return out;
}

class DesktopSettingsTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kIsolated);
    DesktopTest::SetUp();
    sources_.useDesktopSettings = true;
    ResetAll();
  }
  void TearDown() override {
    ResetAll();
    unsetenv("XDG_CURRENT_DESKTOP");
  }
};

TEST(DesktopSettingsParsing, PictureOptionsAndColours) {
  using store::WallpaperLayout;
  EXPECT_EQ(store::LayoutFromPictureOption("wallpaper"), WallpaperLayout::Tile);
  EXPECT_EQ(store::LayoutFromPictureOption("centered"), WallpaperLayout::Centre);
  for (const char* resized : {"stretched", "zoom", "scaled", "spanned"})
    EXPECT_EQ(store::LayoutFromPictureOption(resized), WallpaperLayout::Stretch) << resized;
  EXPECT_EQ(store::LayoutFromPictureOption("none"), std::nullopt);
  EXPECT_EQ(store::LayoutFromPictureOption("Wallpaper"), std::nullopt);

  using store::DesktopRgb;
  EXPECT_EQ(store::ParseDesktopColor("#023c88"), (DesktopRgb{0x02, 0x3C, 0x88}));
  EXPECT_EQ(store::ParseDesktopColor("#F80"), (DesktopRgb{0xFF, 0x88, 0x00}));
  EXPECT_EQ(store::ParseDesktopColor("#58589191bcbc"), (DesktopRgb{0x58, 0x91, 0xBC}));
  for (const char* bad : {"", "#", "023c88", "#023c8", "#023c88ff", "#0g3c88", "rgb(1,2,3)"})
    EXPECT_EQ(store::ParseDesktopColor(bad), std::nullopt) << bad;
}

TEST_F(DesktopSettingsTest, TheDesktopWallpaperIsUsedWhenThePlayerHasNone) {
  // A name that needs escaping in a URI.
  const std::string file = scratch_.File("my wallpaper #1.bmp");
  WritePicture(file, 100, 100, [](int x, int y) { return uint32_t(x * 2) << 16 | uint32_t(y); });
  Set("org.gnome.desktop.background", "picture-uri", FileUri(file));
  Set("org.gnome.desktop.background", "picture-options", "wallpaper");
  Set("org.gnome.desktop.background", "primary-color", "#102030");

  int32_t style = 0;
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), file);
  EXPECT_EQ(style, WallpaperTile);
  EXPECT_EQ(DesktopColor(sources_), gfx::RGB(0x10, 0x20, 0x30));

  // Laid out as the desktop says: tiled across the screen.
  style = 0;
  const std::string out = scratch_.File("wallpaper.bmp");
  ASSERT_TRUE(MakeWallpaperImage(out, style, sources_));
  EXPECT_EQ(style, WallpaperTile);
  const Picture pic = ReadPicture(out);
  ASSERT_EQ(pic.format, imaging::kFormatBmp);
  EXPECT_EQ(pic.At(1023, 767), (uint32_t(23 * 2) << 16) | 67u);

  // The dark picture when the dark style is on, the light one when none is set.
  Set("org.gnome.desktop.interface", "color-scheme", "prefer-dark");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), file);
  Set("org.gnome.desktop.background", "picture-uri-dark", FileUri("/dark.jpg"));
  Set("org.gnome.desktop.background", "picture-options", "zoom");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/dark.jpg");
  EXPECT_EQ(style, WallpaperStretch);

  // The player's own setting wins, even one that counts as no wallpaper.
  SetDesktopValue("Wallpaper", "/mine.bmp");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "");
  SetDesktopValue("WallpaperStyle", "0");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/mine.bmp");
  EXPECT_EQ(style, WallpaperCentre);
  // So does its colour; the desktop's is only the fallback.
  SetDesktopValue("Background", "1 2 3", "Control Panel\\Colors");
  EXPECT_EQ(DesktopColor(sources_), gfx::RGB(1, 2, 3));
}

TEST_F(DesktopSettingsTest, NoPictureOrAForeignOneMeansNoWallpaper) {
  int32_t style = 7;
  // Defaults: an empty picture.
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "");
  EXPECT_EQ(DesktopColor(sources_), gfx::RGB(0x02, 0x3C, 0x88));
  Set("org.gnome.desktop.background", "picture-uri", FileUri("/w.jpg"));
  Set("org.gnome.desktop.background", "picture-options", "none");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "");
  Set("org.gnome.desktop.background", "picture-options", "centered");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/w.jpg");
  Set("org.gnome.desktop.background", "picture-uri", "https://example.org/w.jpg");
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "");
  Set("org.gnome.desktop.background", "primary-color", "blue");
  EXPECT_EQ(DesktopColor(sources_), kClassicDesktopColor);
  // Turned off, the desktop's settings are not asked.
  Set("org.gnome.desktop.background", "picture-uri", FileUri("/w.jpg"));
  sources_.useDesktopSettings = false;
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "");
}

TEST_F(DesktopSettingsTest, TheRunningDesktopsSchemaIsAskedFirst) {
  Set("org.gnome.desktop.background", "picture-uri", FileUri("/gnome.jpg"));
  Set("org.mate.background", "picture-filename", "/mate.jpg");
  int32_t style = 0;
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/gnome.jpg");
  setenv("XDG_CURRENT_DESKTOP", "Unity:MATE", 1);
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/mate.jpg");
  EXPECT_EQ(style, WallpaperTile);
  EXPECT_EQ(DesktopColor(sources_), gfx::RGB(0x58, 0x91, 0xBC));
  // Cinnamon's schema is not installed here: the others are asked in turn.
  setenv("XDG_CURRENT_DESKTOP", "X-Cinnamon", 1);
  EXPECT_EQ(ReadWallpaperSetting(false, style, sources_), "/gnome.jpg");
}

}  // namespace
}  // namespace desktop::test
