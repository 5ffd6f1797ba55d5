// The wallpaper and colour values come from a settings file anyone may have edited, and the
// desktop's colour from its own settings. Input: four lines, stored as "Wallpaper",
// "WallpaperStyle", "TileWallpaper" and "Background".
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/desktop_pictures.h"
#include "platform/store/desktop_settings.h"
#include "platform/store/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> fields;
  while (fields.size() < 4) {
    const size_t end = text.find('\n');
    fields.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  fields.resize(4);

  auto store = store::Store::InMemory();
  for (const char* path :
       {"Control Panel\\Desktop", "Software\\Microsoft\\Internet Explorer\\Desktop\\General"}) {
    auto key = store::RegistryKey::Create(*store, store::Root::CurrentUser, path);
    if (!key) std::abort();
    key->WriteString("Wallpaper", fields[0]);
    key->WriteString("WallpaperStyle", fields[1]);
    key->WriteString("TileWallpaper", fields[2]);
  }
  auto colors =
      store::RegistryKey::Create(*store, store::Root::CurrentUser, "Control Panel\\Colors");
  colors->WriteString("Background", fields[3]);

  desktop::DesktopSources sources;
  sources.store = store.get();
  sources.useDesktopSettings = false;
  for (bool activeDesktop : {false, true}) {
    int32_t style = -1;
    const std::string name = desktop::ReadWallpaperSetting(activeDesktop, style, sources);
    if (style < desktop::WallpaperCentre || style > desktop::WallpaperStretch) std::abort();
    // The stored name comes back as written (or expanded), never from elsewhere.
    if (!activeDesktop && !name.empty() && name != fields[0].substr(0, fields[0].find('\0')))
      std::abort();
  }
  desktop::DesktopColor(sources);
  store::ParseDesktopColor(fields[3]);
  store::LayoutFromPictureOption(fields[1]);
  return 0;
}
