#include "scenepack/manifest.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string_view>
#include <type_traits>
#include <variant>

#include "platform/text/char_set_decoder.h"
#include "scene/scene_list.h"
#include "scenepack/archive_writer.h"
#include "scenepack/effect_names.h"
#include "scenepack/saver_file.h"

namespace scenepack {

namespace {

// A manifest is a short text; anything far larger is a mistake.
constexpr uint64_t kMaxManifestBytes = uint64_t{64} << 20;

using nlohmann::json;

const json kNoFields = json::object();

// Rows that are not manifest fields: the data comes from "file", its size with it.
template <class Row, class T>
constexpr bool FromFile(const Row& row) {
  return std::is_same_v<T, scene::DataBlock> || row.encoding == scene::Encoding::DataSize;
}

// The fields each class takes besides class, name, tagValue and disabled: its record's, the
// file of a resource and the name of a link holder's resource.
std::set<std::string> FieldsOf(int kind) {
  std::set<std::string> names;
  scene::WithRecordType(kind, [&](auto* type) {
    std::remove_pointer_t<decltype(type)> record;
    scene::ForEachField(record, [&](const auto& row, const auto& value) {
      if (!FromFile<decltype(row), std::remove_cvref_t<decltype(value)>>(row))
        names.insert(row.name);
    });
  });
  if (IsResource(kind)) names.insert("file");
  if (IsPictureLink(kind)) names.insert("picture");
  if (IsMediaLink(kind)) names.insert("media");
  return names;
}

// Reads the fields of one JSON object into their destinations, naming faults by item and
// dotted field path.
class FieldReader {
 public:
  FieldReader(const json& obj, int index, const std::string& itemName, std::string prefix)
      : obj_(obj), index_(index), itemName_(itemName), prefix_(std::move(prefix)) {}

  [[noreturn]] void Fail(const std::string& key, const std::string& message) const {
    throw ShowError(index_, itemName_, prefix_ + key, message);
  }
  bool Has(const std::string& key) const { return obj_.contains(key); }

  // Integers in range; true and false stand for 1 and 0.
  void Int(const std::string& key, int64_t lo, int64_t hi, auto& out) const {
    if (!Has(key)) return;
    const json& j = obj_.at(key);
    int64_t v;
    if (j.is_boolean()) {
      v = j.get<bool>() ? 1 : 0;
    } else if (j.is_number_unsigned()) {
      const auto u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(hi)) Fail(key, "out of range " + Range(lo, hi));
      v = static_cast<int64_t>(u);
    } else if (j.is_number_integer()) {
      v = j.get<int64_t>();
    } else {
      Fail(key, "must be an integer, not " + std::string(j.type_name()));
    }
    if (v < lo || v > hi) Fail(key, "out of range " + Range(lo, hi));
    out = static_cast<std::remove_reference_t<decltype(out)>>(v);
  }
  void I32(const std::string& key, int32_t& out) const {
    Int(key, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), out);
  }
  void Byte(const std::string& key, uint8_t& out) const { Int(key, 0, 255, out); }

  // An effect by number or by its name in the effect table.
  void Effect(const std::string& key, int32_t& out) const {
    if (!Has(key) || !obj_.at(key).is_string()) return I32(key, out);
    const auto name = obj_.at(key).get<std::string>();
    const auto number = EffectByName(name);
    if (!number) Fail(key, "no effect is called \"" + name + "\" (scenepack --list-effects)");
    out = *number;
  }

  // A COLORREF as an integer (0x00BBGGRR) or as "#RRGGBB".
  void Color(const std::string& key, uint32_t& out) const {
    if (!Has(key)) return;
    const json& j = obj_.at(key);
    if (j.is_string()) {
      const auto s = j.get<std::string>();
      unsigned r, g, b;
      char end;
      if (s.size() != 7 || std::sscanf(s.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &end) != 3 ||
          s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
        Fail(key, "must be \"#RRGGBB\" or an integer COLORREF, not \"" + s + "\"");
      out = r | (g << 8) | (b << 16);
      return;
    }
    Int(key, 0, 0xFFFFFFFF, out);
  }

  // A UTF-8 string, stored in Windows-1252.
  void Text(const std::string& key, std::string& out) const {
    if (!Has(key)) return;
    const json& j = obj_.at(key);
    if (!j.is_string()) Fail(key, "must be a string, not " + std::string(j.type_name()));
    auto converted = Utf8ToCp1252(j.get<std::string>());
    if (!converted) Fail(key, "holds a character that Windows-1252 cannot store");
    out = std::move(*converted);
  }

  // A UTF-8 string, stored in the Windows code page codePage (a text picture's text is
  // stored in the code page of its font's character set).
  void TextIn(const std::string& key, int codePage, std::string& out) const {
    if (codePage == 1252) return Text(key, out);
    if (!Has(key)) return;
    const json& j = obj_.at(key);
    if (!j.is_string()) Fail(key, "must be a string, not " + std::string(j.type_name()));
    bool exact = false;
    std::string converted = text::EncodeUtf8(j.get<std::string>(), codePage, &exact);
    if (!exact)
      Fail(key, "holds a character that code page " + std::to_string(codePage) +
                    " (the font's charSet) cannot store");
    out = std::move(converted);
  }

  const json& Object(const std::string& key) const {
    const json& j = obj_.at(key);
    if (!j.is_object()) Fail(key, "must be an object, not " + std::string(j.type_name()));
    return j;
  }

  void OnlyKnown(const std::set<std::string>& known) const {
    for (const auto& [key, value] : obj_.items())
      if (!known.contains(key)) Fail(key, "unknown field");
  }

 private:
  static std::string Range(int64_t lo, int64_t hi) {
    return std::to_string(lo) + ".." + std::to_string(hi);
  }

  const json& obj_;
  int index_;
  const std::string& itemName_;
  std::string prefix_;
};

// The file of a resource, picture or media.
struct FileFields {
  scene::DataBlock& data;
  int32_t& dataSize;
  std::string& fileName;
};
FileFields FileOf(Item& it) {
  if (it.kind == kPictureItem) {
    auto& p = it.As<scene::PictureRecord>();
    return {p.data, p.dataSize, p.fileName};
  }
  auto& m = it.As<scene::MediaRecord>();
  return {m.data, m.dataSize, m.fileName};
}
bool HasFile(const Item& it) {
  return it.kind == kPictureItem ? !it.As<scene::PictureRecord>().data.empty()
                                 : !it.As<scene::MediaRecord>().data.empty();
}

template <class R>
void ReadFields(const FieldReader& r, int index, const std::string& name, R& record,
                const std::string& prefix);

template <class R, class T>
void ReadValue(const FieldReader& r, const char* key, int index, const std::string& name, T& value,
               const std::string& prefix) {
  if constexpr (scene::kIsPath<T> || scene::kIsColor<T> || std::is_same_v<T, FontRecord>) {
    if (!r.Has(key)) return;
    FieldReader nested(r.Object(key), index, name, prefix + key + ".");
    std::set<std::string> known;
    scene::ForEachField(value, [&](const auto& row, const auto&) { known.insert(row.name); });
    // A path names its first bad value before an unknown field; the others the other way.
    if constexpr (!scene::kIsPath<T>) nested.OnlyKnown(known);
    ReadFields(nested, index, name, value, prefix + key + ".");
    if constexpr (scene::kIsPath<T>) nested.OnlyKnown(known);
  } else if constexpr (std::is_same_v<T, int32_t>) {
    if (scene::kIsPath<R> && std::string_view(key) == "effect")
      r.Effect(key, value);
    else
      r.I32(key, value);
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    r.Color(key, value);
  } else if constexpr (std::is_same_v<T, uint8_t>) {
    r.Byte(key, value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    r.Text(key, value);
  } else {
    static_assert(std::is_same_v<T, std::array<char, kFaceNameSize>>);
    std::string face;
    r.Text(key, face);
    if (!r.Has(key)) return;
    FontRecord font;
    if (!font.SetFaceName(face)) r.Fail(key, "longer than 31 characters");
    value = font.faceName;
  }
}

// Every field of the record the manifest gives, in table order; rows that this record does
// not store (a text picture's colours on an image picture) are left for the caller to refuse.
template <class R>
void ReadFields(const FieldReader& r, int index, const std::string& name, R& record,
                const std::string& prefix) {
  scene::ForEachField(record, [&](const auto& row, auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (!std::is_same_v<T, scene::DataBlock>) {
      if (FromFile<decltype(row), T>(row) || !row.when(record)) return;
      if (std::string_view(row.name) == "fileName") return;  // goes with "file"
      // A text picture's text waits for its font, whose character set gives its code page.
      if constexpr (std::is_same_v<R, scene::PictureRecord>)
        if (std::string_view(row.name) == "text") return;
      ReadValue<R>(r, row.name, index, name, value, prefix);
    }
  });
}

}  // namespace

Show ParseManifest(const json& doc, const std::filesystem::path& baseDir,
                   const PackOptions& options) {
  if (!doc.is_object()) throw ShowError(-1, "", "", "the manifest must be a JSON object");
  Show show;
  const std::string noName;
  FieldReader top(doc, -1, noName, "");
  top.OnlyKnown({"version", "wideStrings", "keepPictureBytes", "items"});
  if (doc.contains("version")) {
    const json& v = doc.at("version");
    if (!v.is_number()) top.Fail("version", "must be a number");
    const double d = v.get<double>();
    show.version = static_cast<float>(d);
    if (!std::isfinite(d) || !(show.version > 0.0f) || static_cast<double>(show.version) > 4.31)
      top.Fail("version", "must be above 0 and at most 4.31");
  }
  if (doc.contains("wideStrings")) {
    if (!doc.at("wideStrings").is_boolean()) top.Fail("wideStrings", "must be true or false");
    show.wideStrings = doc.at("wideStrings").get<bool>();
  }
  // Pictures go in byte for byte (an unpacked show packs again as it was).
  bool keepPictureBytes = false;
  if (doc.contains("keepPictureBytes")) {
    if (!doc.at("keepPictureBytes").is_boolean())
      top.Fail("keepPictureBytes", "must be true or false");
    keepPictureBytes = doc.at("keepPictureBytes").get<bool>();
  }
  if (!doc.contains("items")) top.Fail("items", "missing");
  const json& items = doc.at("items");
  if (!items.is_array()) top.Fail("items", "must be an array");

  // Links are resolved once every item is known, so an item may use a later resource.
  struct Pending {
    std::string utf8Name;
    std::string linkName;  // UTF-8, empty when none
    bool hasLink = false;
  };
  std::vector<Pending> pending(items.size());

  for (size_t n = 0; n < items.size(); ++n) {
    const int index = static_cast<int>(n);
    const json& obj = items[n];
    std::string& utf8Name = pending[n].utf8Name;
    if (obj.is_object() && obj.contains("name") && obj.at("name").is_string())
      utf8Name = obj.at("name").get<std::string>();
    FieldReader r(obj, index, utf8Name, "");
    if (!obj.is_object()) throw ShowError(index, "", "", "an item must be a JSON object");
    if (!obj.contains("class")) r.Fail("class", "missing");
    if (!obj.at("class").is_string()) r.Fail("class", "must be a string");
    const int kind = KindOf(obj.at("class").get<std::string>());
    if (kind < 0) r.Fail("class", "unknown class \"" + obj.at("class").get<std::string>() + "\"");

    Item it(kind);
    std::set<std::string> known = FieldsOf(kind);
    known.insert({"class", "name", "tagValue", "disabled"});
    r.OnlyKnown(known);
    r.Text("name", it.name);
    r.I32("tagValue", it.tagValue);
    r.I32("disabled", it.disabled);

    std::visit(
        [&](auto& record) {
          if constexpr (requires { record.dataSize; }) {
            // Whether fields that go with the file apply: the file is read below.
            record.dataSize = r.Has("file") ? 1 : 0;
            ReadFields(r, index, utf8Name, record, "");
            record.dataSize = 0;
          } else {
            ReadFields(r, index, utf8Name, record, "");
          }
        },
        it.record);
    if (kind == kPictureItem) {
      scene::PictureRecord& picture = it.As<scene::PictureRecord>();
      if (picture.isText()) {
        // A text picture's text is stored in the code page of its font's character set.
        r.TextIn("text", text::CodePageOf(picture.font.charSet), picture.text);
        if (r.Has("file")) r.Fail("file", "a text picture (source 1) stores no image file");
        if (r.Has("fileName")) r.Fail("fileName", "a text picture (source 1) stores no file");
      } else {
        for (const char* key : {"textColor", "backColor", "text", "font"})
          if (r.Has(key)) r.Fail(key, "only a text picture (\"source\": 1) stores this");
      }
    }

    if (IsResource(kind)) {
      const FileFields file = FileOf(it);
      if (r.Has("file")) {
        const json& f = obj.at("file");
        if (!f.is_string() || f.get<std::string>().empty()) r.Fail("file", "must be a file name");
        const std::filesystem::path rel = std::filesystem::path(f.get<std::string>());
        const std::filesystem::path full = rel.is_absolute() ? rel : baseDir / rel;
        std::vector<uint8_t> bytes;
        try {
          // An archive stores a block's length as a signed 32-bit count.
          bytes = ReadRegularFile(full, static_cast<uint64_t>(std::numeric_limits<int32_t>::max()));
        } catch (const std::exception& e) {
          r.Fail("file", e.what());
        }
        if (bytes.empty()) r.Fail("file", full.string() + " is empty");
        std::string storedExtension;
        if (kind == kPictureItem && !keepPictureBytes) {
          PackedPicture packed;
          try {
            packed = PackPicture(bytes, options.pictures);
          } catch (const PictureError& e) {
            r.Fail("file", full.string() + ": " + e.what());
          }
          if (packed.converted) {
            bytes = std::move(packed.bytes);
            if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
              r.Fail("file", full.string() + ": larger than 2 GiB once converted");
            if (packed.format != packed.storedAs)
              storedExtension = packed.storedAs == "JPEG" ? ".jpg" : ".bmp";
          }
          if (options.notes && !packed.note.empty())
            options.notes->push_back("item " + std::to_string(index) + " (\"" + utf8Name + "\"), " +
                                     full.string() + ": " + packed.note);
        }
        file.data = scene::DataBlock::Of(bytes.data(), bytes.size());
        file.dataSize = static_cast<int32_t>(bytes.size());
        // A converted picture is named for what it now holds.
        const auto ownName =
            storedExtension.empty()
                ? rel.filename()
                : std::filesystem::path(rel.filename()).replace_extension(storedExtension);
        auto base = Utf8ToCp1252(ownName.string());
        if (!base && !r.Has("fileName"))
          r.Fail("file",
                 "the file's name holds a character that Windows-1252 cannot store; "
                 "give \"fileName\"");
        if (base) file.fileName = *base;
        r.Text("fileName", file.fileName);
      } else {
        if (r.Has("fileName")) r.Fail("fileName", "only stored with a \"file\"");
        if (kind == kMediaItem && r.Has("mediaType"))
          r.Fail("mediaType", "only stored with a \"file\"");
      }
    }

    for (const char* key : {"picture", "media"}) {
      if (!r.Has(key)) continue;
      const json& l = obj.at(key);
      if (!l.is_string()) r.Fail(key, "must be the name of an item");
      pending[n].hasLink = true;
      pending[n].linkName = l.get<std::string>();
    }
    show.items.push_back(std::move(it));
  }

  // Resources are found by name, so two of them must not share one.
  std::map<std::string, size_t> resourceByName;
  for (size_t n = 0; n < show.items.size(); ++n) {
    const Item& it = show.items[n];
    if (!IsResource(it.kind)) continue;
    auto [pos, inserted] = resourceByName.emplace(it.name, n);
    if (!inserted)
      throw ShowError(static_cast<int>(n), pending[n].utf8Name, "name",
                      "item " + std::to_string(pos->second) +
                          " is a resource of the same name; links could not tell them apart");
  }

  for (size_t n = 0; n < show.items.size(); ++n) {
    Item& it = show.items[n];
    if (!pending[n].hasLink) continue;
    const bool picture = IsPictureLink(it.kind);
    const char* field = picture ? "picture" : "media";
    const char* wanted = picture ? "PictureItem" : "MediaItem";
    FieldReader r(kNoFields, static_cast<int>(n), pending[n].utf8Name, "");
    const auto target = Utf8ToCp1252(pending[n].linkName);
    auto found = target ? resourceByName.find(*target) : resourceByName.end();
    if (found == resourceByName.end())
      r.Fail(field, "no " + std::string(wanted) + " named \"" + pending[n].linkName + "\"");
    if (show.items[found->second].kind != (picture ? kPictureItem : kMediaItem))
      r.Fail(field, "\"" + pending[n].linkName + "\" is a " +
                        KindName(show.items[found->second].kind) + ", not a " + wanted);
    it.link = static_cast<int32_t>(found->second);
  }

  // What the player would refuse while preparing the show is refused here.
  for (size_t n = 0; n < show.items.size(); ++n) {
    const Item& it = show.items[n];
    FieldReader r(kNoFields, static_cast<int>(n), pending[n].utf8Name, "");
    if ((IsPictureLink(it.kind) || IsMediaLink(it.kind)) && it.disabled == 0 && it.link < 0)
      r.Fail(IsPictureLink(it.kind) ? "picture" : "media",
             "missing: an enabled item needs the name of its resource");
    if (IsResource(it.kind) && !HasFile(it) &&
        !(it.kind == kPictureItem && it.As<scene::PictureRecord>().isText())) {
      bool needed = it.disabled == 0;
      for (const Item& other : show.items)
        if (other.link == static_cast<int32_t>(n) && other.disabled == 0) needed = true;
      if (needed)
        r.Fail("file", it.kind == kPictureItem
                           ? "missing: an image picture needs its file (or \"source\": 1)"
                           : "missing: a media item needs its file");
    }
    if (it.kind == kLoopEndItem) {
      int depth = 1;
      size_t k = n;
      while (k > 0 && depth > 0) {
        --k;
        if (show.items[k].kind == kLoopEndItem) ++depth;
        if (show.items[k].kind == kLoopStartItem) --depth;
      }
      if (depth != 0) r.Fail("class", "no LoopStartItem before this LoopEndItem");
    }
  }
  return show;
}

Show LoadManifest(const std::filesystem::path& manifestPath, const PackOptions& options) {
  std::vector<uint8_t> text;
  try {
    text = ReadRegularFile(manifestPath, kMaxManifestBytes);
  } catch (const std::exception& e) {
    throw ShowError(-1, "", "", e.what());
  }
  json doc;
  try {
    doc = json::parse(text.begin(), text.end());
  } catch (const json::exception& e) {
    throw ShowError(-1, "", "", manifestPath.string() + " is not valid JSON: " + e.what());
  }
  return ParseManifest(doc, manifestPath.parent_path(), options);
}

}  // namespace scenepack
