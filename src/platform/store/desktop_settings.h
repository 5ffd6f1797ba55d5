#pragma once
// The user's own desktop settings, where the desktop environment keeps them in GSettings
// (GNOME and Budgie: org.gnome.desktop.background, Cinnamon: org.cinnamon.desktop.background,
// MATE: org.mate.background). A schema is asked only when it is installed, so a machine
// without it simply has no such setting.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// The three ways the player can lay a wallpaper out.
enum class WallpaperLayout { Centre, Tile, Stretch };

struct DesktopWallpaper {
  std::string file;  // a local file name
  WallpaperLayout layout = WallpaperLayout::Centre;
};

struct DesktopRgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const DesktopRgb&) const = default;
};

// The wallpaper of the first installed schema, the running desktop's (XDG_CURRENT_DESKTOP)
// first. nullopt when none is installed, it names no local file or its layout is "none".
// The dark picture is taken when the dark style is chosen and one is set.
std::optional<DesktopWallpaper> ReadDesktopWallpaper();
// The desktop's plain colour ("primary-color") from the same schema.
std::optional<DesktopRgb> ReadDesktopColor();

// "picture-options" to the nearest layout: "wallpaper" tiles, "centered" centres,
// "stretched" stretches; "zoom", "scaled" and "spanned" resize the picture to the screen,
// of which stretching is the nearest. "none" and unknown names give nullopt.
std::optional<WallpaperLayout> LayoutFromPictureOption(std::string_view option);
// "#rgb", "#rrggbb" or "#rrrrggggbbbb"; nullopt for anything else.
std::optional<DesktopRgb> ParseDesktopColor(std::string_view text);

}  // namespace store
