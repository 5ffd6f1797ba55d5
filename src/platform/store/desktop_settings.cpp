#include "platform/store/desktop_settings.h"

#include <gio/gio.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace store {
namespace {

struct Schema {
  const char* id;
  const char* fileKey;  // a URI, except MATE's plain file name
  bool fileKeyIsUri;
  const char* darkFileKey;  // nullptr when the desktop has none
};
constexpr Schema kGnome{"org.gnome.desktop.background", "picture-uri", true, "picture-uri-dark"};
constexpr Schema kCinnamon{"org.cinnamon.desktop.background", "picture-uri", true, nullptr};
constexpr Schema kMate{"org.mate.background", "picture-filename", false, nullptr};

struct Unref {
  void operator()(GSettings* s) const { g_object_unref(s); }
  void operator()(GSettingsSchema* s) const { g_settings_schema_unref(s); }
  void operator()(gchar* s) const { g_free(s); }
};
using SettingsPtr = std::unique_ptr<GSettings, Unref>;
using SchemaPtr = std::unique_ptr<GSettingsSchema, Unref>;
using TextPtr = std::unique_ptr<gchar, Unref>;

bool DesktopNamed(std::string_view names, std::string_view wanted) {
  while (!names.empty()) {
    const size_t colon = names.find(':');
    std::string_view name = names.substr(0, colon);
    if (name.size() == wanted.size() &&
        g_ascii_strncasecmp(name.data(), wanted.data(), wanted.size()) == 0) {
      return true;
    }
    if (colon == std::string_view::npos) break;
    names.remove_prefix(colon + 1);
  }
  return false;
}

// The schemas to ask, the running desktop's first.
std::vector<const Schema*> SchemaOrder() {
  const char* env = std::getenv("XDG_CURRENT_DESKTOP");
  const std::string_view current = env ? env : "";
  std::vector<const Schema*> order;
  if (DesktopNamed(current, "X-Cinnamon") || DesktopNamed(current, "Cinnamon")) {
    order.push_back(&kCinnamon);
  } else if (DesktopNamed(current, "MATE")) {
    order.push_back(&kMate);
  }
  for (const Schema* s : {&kGnome, &kCinnamon, &kMate}) {
    if (order.empty() || order.front() != s) order.push_back(s);
  }
  return order;
}

// Settings of one schema, or null when it is not installed (g_settings_new would abort).
struct Opened {
  SchemaPtr schema;
  SettingsPtr settings;
};
std::optional<Opened> Open(const char* id) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (!source) return std::nullopt;
  SchemaPtr schema(g_settings_schema_source_lookup(source, id, TRUE));
  if (!schema) return std::nullopt;
  SettingsPtr settings(g_settings_new_full(schema.get(), nullptr, nullptr));
  if (!settings) return std::nullopt;
  return Opened{std::move(schema), std::move(settings)};
}

// A string key's value; nullopt when the schema lacks it or it is not a string.
std::optional<std::string> ReadString(const Opened& o, const char* key) {
  if (!g_settings_schema_has_key(o.schema.get(), key)) return std::nullopt;
  GVariant* value = g_settings_get_value(o.settings.get(), key);
  std::optional<std::string> text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
    text = g_variant_get_string(value, nullptr);
  }
  g_variant_unref(value);
  return text;
}

bool DarkStyleChosen() {
  std::optional<Opened> o = Open("org.gnome.desktop.interface");
  if (!o) return false;
  return ReadString(*o, "color-scheme") == std::optional<std::string>("prefer-dark");
}

std::optional<std::string> FileFromUri(const std::string& uri) {
  if (uri.empty()) return std::nullopt;
  TextPtr file(g_filename_from_uri(uri.c_str(), nullptr, nullptr));
  if (!file) return std::nullopt;
  return std::string(file.get());
}

std::optional<DesktopWallpaper> WallpaperOf(const Schema& schema, const Opened& o) {
  const std::optional<std::string> option = ReadString(o, "picture-options");
  std::optional<WallpaperLayout> layout =
      option ? LayoutFromPictureOption(*option) : WallpaperLayout::Centre;
  if (!layout) return std::nullopt;
  std::optional<std::string> value;
  if (schema.darkFileKey && DarkStyleChosen()) {
    value = ReadString(o, schema.darkFileKey);
    if (value && value->empty()) value.reset();
  }
  if (!value) value = ReadString(o, schema.fileKey);
  if (!value) return std::nullopt;
  std::optional<std::string> file = schema.fileKeyIsUri ? FileFromUri(*value) : *value;
  if (!file || file->empty()) return std::nullopt;
  return DesktopWallpaper{*file, *layout};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<WallpaperLayout> LayoutFromPictureOption(std::string_view option) {
  if (option == "wallpaper") return WallpaperLayout::Tile;
  if (option == "centered") return WallpaperLayout::Centre;
  if (option == "stretched" || option == "zoom" || option == "scaled" || option == "spanned") {
    return WallpaperLayout::Stretch;
  }
  return std::nullopt;
}

std::optional<DesktopRgb> ParseDesktopColor(std::string_view text) {
  if (text.empty() || text[0] != '#') return std::nullopt;
  text.remove_prefix(1);
  size_t digits = text.size() / 3;
  if (text.size() % 3 != 0 || (digits != 1 && digits != 2 && digits != 4)) return std::nullopt;
  uint8_t channel[3];
  for (int c = 0; c < 3; ++c) {
    unsigned v = 0;
    for (size_t i = 0; i < digits; ++i) {
      const int d = HexDigit(text[c * digits + i]);
      if (d < 0) return std::nullopt;
      v = v * 16 + static_cast<unsigned>(d);
    }
    // The high byte of each channel; one digit stands for itself twice ("#f80").
    if (digits == 1) v *= 17;
    if (digits == 4) v >>= 8;
    channel[c] = static_cast<uint8_t>(v);
  }
  return DesktopRgb{channel[0], channel[1], channel[2]};
}

std::optional<DesktopWallpaper> ReadDesktopWallpaper() {
  for (const Schema* schema : SchemaOrder()) {
    std::optional<Opened> o = Open(schema->id);
    // The first installed schema decides, even when it says "no picture".
    if (o) return WallpaperOf(*schema, *o);
  }
  return std::nullopt;
}

std::optional<DesktopRgb> ReadDesktopColor() {
  for (const Schema* schema : SchemaOrder()) {
    std::optional<Opened> o = Open(schema->id);
    if (!o) continue;
    const std::optional<std::string> text = ReadString(*o, "primary-color");
    return text ? ParseDesktopColor(*text) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace store
