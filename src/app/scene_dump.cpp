#include "app/scene_dump.h"

#include <array>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>
#include <type_traits>

#include "platform/sys/code_page.h"
#include "scene/items.h"
#include "scene/scene_list.h"

namespace app {
namespace {

using Json = nlohmann::ordered_json;
using namespace scene;

std::string Text(const std::string& cp1252) { return sys::Cp1252ToUtf8(cp1252); }

// The float as the shortest decimal that reads back to it (4.31, not 4.309999942779541).
double ShortestDouble(float f) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, f);
  if (ec != std::errc()) return f;
  double d = f;
  std::from_chars(buf, end, d);
  return d;
}

std::string HexHead(const DataBlock& data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < data.size && i < 16; ++i) {
    out += kDigits[data.data()[i] >> 4];
    out += kDigits[data.data()[i] & 0xF];
  }
  return out;
}

Json IndexOf(const SceneItem* item) { return item ? Json(item->index) : Json(nullptr); }

Json References(const std::vector<SceneItem*>& refs) {
  Json out = Json::array();
  for (const SceneItem* r : refs) out.push_back(r->index);
  return out;
}

// A record as JSON, field by field through its table.
template <class R>
Json RecordJson(const R& record);

template <class T>
Json ValueJson(const T& value) {
  if constexpr (kIsPath<T>) {
    return RecordJson(static_cast<const PathRecord&>(value));
  } else if constexpr (kIsColor<T>) {
    return RecordJson(static_cast<const ColorRecord&>(value));
  } else if constexpr (std::is_same_v<T, LogFont>) {
    return RecordJson(value);
  } else if constexpr (std::is_same_v<T, std::string>) {
    return Text(value);
  } else {
    return value;
  }
}

template <class R>
void AddRecord(const R& record, Json& j) {
  ForEachField(record, [&](const auto& row, const auto& value) {
    using T = std::remove_cvref_t<decltype(value)>;
    if constexpr (std::is_same_v<T, DataBlock>) {
      j["dataHead"] = HexHead(value);
    } else if constexpr (std::is_same_v<T, std::array<char, 32>>) {
      j[row.name] = Text(record.FaceName());
    } else {
      j[row.name] = ValueJson(value);
    }
  });
}

template <class R>
Json RecordJson(const R& record) {
  Json j = Json::object();
  AddRecord(record, j);
  return j;
}

void AddFields(const SceneItem& item, Json& j) {
  if (IsPictureLinkKind(item.kind)) {
    const SceneItem* picture = nullptr;
    if (item.kind == kShowPictureItem)
      picture = static_cast<const ShowPictureItem&>(item).link.picture;
    if (item.kind == kMovePictureItem)
      picture = static_cast<const MovePictureItem&>(item).link.picture;
    if (item.kind == kHidePictureItem)
      picture = static_cast<const HidePictureItem&>(item).link.picture;
    j["picture"] = IndexOf(picture);
  }
  if (item.kind == kPlayMediaItem)
    j["media"] = IndexOf(static_cast<const PlayMediaItem&>(item).link.media);
  if (item.kind == kStopMediaItem)
    j["media"] = IndexOf(static_cast<const StopMediaItem&>(item).link.media);
  WithRecord(item, [&](const auto& record) { AddRecord(record, j); });
  if (item.kind == kPictureItem)
    j["references"] = References(static_cast<const PictureItem&>(item).references);
  if (item.kind == kMediaItem)
    j["references"] = References(static_cast<const MediaItem&>(item).references);
}

}  // namespace

std::string DumpScene(const SceneList& list) {
  Json root;
  root["offset"] = list.archiveOffset;
  root["reserved"] = list.reserved;
  root["identification"] = Text(list.identification);
  root["version"] = ShortestDouble(list.version);
  Json items = Json::array();
  for (size_t i = 0; i < list.size(); ++i) {
    const SceneItem& item = list.at(i);
    Json j;
    j["index"] = item.index;
    j["kind"] = item.kind;
    j["class"] = item.className();
    j["name"] = Text(item.name.text);
    j["tagValue"] = item.tagValue;
    j["disabled"] = item.disabled;
    AddFields(item, j);
    items.push_back(std::move(j));
  }
  root["items"] = std::move(items);
  return root.dump(2) + "\n";
}

}  // namespace app
