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

#include "platform/text/char_set_decoder.h"
#include "scenepack/archive_writer.h"

namespace scenepack {

namespace {

using nlohmann::json;

const json kNoFields = json::object();

// The fields each class takes besides class, name, tagValue and disabled.
const std::set<std::string>& FieldsOf(int kind) {
  static const std::map<int, std::set<std::string>> kFields = {
      {kPictureItem,
       {"source", "textOpaque", "imageOrigin", "width", "height", "fitScreen", "keepAspect",
        "textColor", "backColor", "text", "font", "fileName", "file"}},
      {kShowPictureItem, {"picture", "path", "color"}},
      {kMovePictureItem, {"picture", "path", "color"}},
      {kHidePictureItem, {"picture", "path", "color"}},
      {kPauseItem, {"pauseMs", "randomPause"}},
      {kBackgroundItem, {"color"}},
      {kLoopStartItem, {}},
      {kLoopEndItem, {"repeatCount", "endless"}},
      {kLineItem, {"color", "path", "penStyle", "penWidth"}},
      {kMediaItem, {"fileName", "mediaType", "file"}},
      {kPlayMediaItem,
       {"media", "repeatCount", "endless", "waitUntilDone", "loopInBackground", "videoX",
        "videoY"}},
      {kStopMediaItem, {"media"}},
      {kCommentItem, {"comment"}},
      {kLinkItem, {"clearLink", "linkMode", "url"}},
  };
  return kFields.at(kind);
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

void ReadPath(const FieldReader& item, int index, const std::string& name, PathRecord& p) {
  if (!item.Has("path")) return;
  FieldReader r(item.Object("path"), index, name, "path.");
  std::set<std::string> known;
  for (const auto& f : kPathFields) {
    known.insert(f.name);
    r.I32(f.name, p.*(f.member));
  }
  r.OnlyKnown(known);
}

void ReadColor(const FieldReader& item, int index, const std::string& name, ColorRecord& c) {
  if (!item.Has("color")) return;
  FieldReader r(item.Object("color"), index, name, "color.");
  r.OnlyKnown({"color", "paintMode", "randomColor", "useWindowBackground"});
  r.Color("color", c.color);
  r.I32("paintMode", c.paintMode);
  r.I32("randomColor", c.randomColor);
  r.I32("useWindowBackground", c.useWindowBackground);
}

void ReadFont(const FieldReader& item, int index, const std::string& name, FontRecord& f) {
  if (!item.Has("font")) return;
  FieldReader r(item.Object("font"), index, name, "font.");
  r.OnlyKnown({"height", "width", "escapement", "orientation", "weight", "italic", "underline",
               "strikeOut", "charSet", "outPrecision", "clipPrecision", "quality", "pitchAndFamily",
               "faceName"});
  r.I32("height", f.height);
  r.I32("width", f.width);
  r.I32("escapement", f.escapement);
  r.I32("orientation", f.orientation);
  r.I32("weight", f.weight);
  r.Byte("italic", f.italic);
  r.Byte("underline", f.underline);
  r.Byte("strikeOut", f.strikeOut);
  r.Byte("charSet", f.charSet);
  r.Byte("outPrecision", f.outPrecision);
  r.Byte("clipPrecision", f.clipPrecision);
  r.Byte("quality", f.quality);
  r.Byte("pitchAndFamily", f.pitchAndFamily);
  r.Text("faceName", f.faceName);
  if (f.faceName.size() >= kFaceNameSize) r.Fail("faceName", "longer than 31 characters");
}

}  // namespace

Show ParseManifest(const json& doc, const std::filesystem::path& baseDir) {
  if (!doc.is_object()) throw ShowError(-1, "", "", "the manifest must be a JSON object");
  Show show;
  const std::string noName;
  FieldReader top(doc, -1, noName, "");
  top.OnlyKnown({"version", "wideStrings", "items"});
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

    Item it;
    it.kind = kind;
    std::set<std::string> known = FieldsOf(kind);
    known.insert({"class", "name", "tagValue", "disabled"});
    r.OnlyKnown(known);
    r.Text("name", it.name);
    r.I32("tagValue", it.tagValue);
    r.I32("disabled", it.disabled);

    switch (kind) {
      case kPictureItem:
        r.I32("source", it.source);
        r.I32("textOpaque", it.textOpaque);
        r.I32("imageOrigin", it.imageOrigin);
        r.I32("width", it.width);
        r.I32("height", it.height);
        r.I32("fitScreen", it.fitScreen);
        r.I32("keepAspect", it.keepAspect);
        if (it.source == 1) {
          r.Color("textColor", it.textColor);
          r.Color("backColor", it.backColor);
          ReadFont(r, index, utf8Name, it.font);
          r.TextIn("text", text::CodePageOf(it.font.charSet), it.text);
          if (r.Has("file")) r.Fail("file", "a text picture (source 1) stores no image file");
          if (r.Has("fileName")) r.Fail("fileName", "a text picture (source 1) stores no file");
        } else {
          for (const char* key : {"textColor", "backColor", "text", "font"})
            if (r.Has(key)) r.Fail(key, "only a text picture (\"source\": 1) stores this");
        }
        break;
      case kShowPictureItem:
      case kMovePictureItem:
      case kHidePictureItem:
        ReadPath(r, index, utf8Name, it.path);
        ReadColor(r, index, utf8Name, it.color);
        break;
      case kPauseItem:
        r.I32("pauseMs", it.pauseMs);
        r.I32("randomPause", it.randomPause);
        break;
      case kBackgroundItem:
        ReadColor(r, index, utf8Name, it.color);
        break;
      case kLoopEndItem:
        r.I32("repeatCount", it.repeatCount);
        r.I32("endless", it.endless);
        break;
      case kLineItem:
        ReadColor(r, index, utf8Name, it.color);
        ReadPath(r, index, utf8Name, it.path);
        r.I32("penStyle", it.penStyle);
        r.I32("penWidth", it.penWidth);
        break;
      case kMediaItem:
        r.I32("mediaType", it.mediaType);
        break;
      case kPlayMediaItem:
        r.I32("repeatCount", it.repeatCount);
        r.I32("endless", it.endless);
        r.I32("waitUntilDone", it.waitUntilDone);
        r.I32("loopInBackground", it.loopInBackground);
        r.I32("videoX", it.videoX);
        r.I32("videoY", it.videoY);
        break;
      case kCommentItem:
        r.Text("comment", it.comment);
        break;
      case kLinkItem:
        r.I32("clearLink", it.clearLink);
        r.I32("linkMode", it.linkMode);
        r.Text("url", it.url);
        break;
      default:
        break;
    }

    if (kind == kPictureItem || kind == kMediaItem) {
      if (r.Has("file")) {
        const json& f = obj.at("file");
        if (!f.is_string() || f.get<std::string>().empty()) r.Fail("file", "must be a file name");
        const std::filesystem::path rel = std::filesystem::path(f.get<std::string>());
        const std::filesystem::path full = rel.is_absolute() ? rel : baseDir / rel;
        std::ifstream in(full, std::ios::binary);
        if (!in) r.Fail("file", "cannot read " + full.string() + ": " + std::strerror(errno));
        it.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (in.bad()) r.Fail("file", "cannot read " + full.string());
        if (it.data.empty()) r.Fail("file", full.string() + " is empty");
        if (it.data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
          r.Fail("file", full.string() + " is larger than 2 GiB");
        auto base = Utf8ToCp1252(rel.filename().string());
        if (!base && !r.Has("fileName"))
          r.Fail("file",
                 "the file's name holds a character that Windows-1252 cannot store; "
                 "give \"fileName\"");
        if (base) it.fileName = *base;
        r.Text("fileName", it.fileName);
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
    if (IsResource(it.kind) && it.data.empty() && !(it.kind == kPictureItem && it.source == 1)) {
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

Show LoadManifest(const std::filesystem::path& manifestPath) {
  std::ifstream in(manifestPath, std::ios::binary);
  if (!in)
    throw ShowError(-1, "", "",
                    "cannot read " + manifestPath.string() + ": " + std::strerror(errno));
  json doc;
  try {
    doc = json::parse(in);
  } catch (const json::exception& e) {
    throw ShowError(-1, "", "", manifestPath.string() + " is not valid JSON: " + e.what());
  }
  return ParseManifest(doc, manifestPath.parent_path());
}

}  // namespace scenepack
