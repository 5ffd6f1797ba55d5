#include "app/scene_dump.h"

#include <charconv>
#include <nlohmann/json.hpp>

#include "scene/code_page.h"
#include "scene/items.h"
#include "scene/scene_list.h"

namespace app {
namespace {

using Json = nlohmann::ordered_json;
using namespace scene;

std::string Text(const std::string& cp1252) { return Windows1252ToUtf8(cp1252); }

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

const PictureLink& PictureLinkOf(const SceneItem& item) {
  if (item.kind == kShowPictureItem) return static_cast<const ShowPictureItem&>(item).link;
  if (item.kind == kMovePictureItem) return static_cast<const MovePictureItem&>(item).link;
  return static_cast<const HidePictureItem&>(item).link;
}

Json PathJson(const PathProperty& p) {
  return Json{{"x1", p.x1},
              {"y1", p.y1},
              {"x2", p.x2},
              {"y2", p.y2},
              {"stopX", p.stopX},
              {"stopY", p.stopY},
              {"dx", p.dx},
              {"dy", p.dy},
              {"modeX1", p.modeX1},
              {"modeY1", p.modeY1},
              {"modeX2", p.modeX2},
              {"modeY2", p.modeY2},
              {"compareX", p.compareX},
              {"bothConditions", p.bothConditions},
              {"compareY", p.compareY},
              {"moveSpeed", p.moveSpeed},
              {"textSpeed", p.textSpeed},
              {"effect", p.effect},
              {"effectSpeed", p.effectSpeed},
              {"freeMotion", p.freeMotion},
              {"horizontal", p.horizontal},
              {"textAnimation", p.textAnimation},
              {"keepScreen", p.keepScreen},
              {"saveBackground", p.saveBackground}};
}

Json ColorJson(const ColorProperty& c) {
  return Json{{"color", c.color},
              {"paintMode", c.paintMode},
              {"randomColor", c.randomColor},
              {"useWindowBackground", c.useWindowBackground}};
}

Json FontJson(const LogFont& f) {
  return Json{{"height", f.height},
              {"width", f.width},
              {"escapement", f.escapement},
              {"orientation", f.orientation},
              {"weight", f.weight},
              {"italic", f.italic},
              {"underline", f.underline},
              {"strikeOut", f.strikeOut},
              {"charSet", f.charSet},
              {"outPrecision", f.outPrecision},
              {"clipPrecision", f.clipPrecision},
              {"quality", f.quality},
              {"pitchAndFamily", f.pitchAndFamily},
              {"faceName", Text(f.FaceName())}};
}

void AddFields(const SceneItem& item, Json& j) {
  switch (item.kind) {
    case kPictureItem: {
      const auto& p = static_cast<const PictureItem&>(item);
      j["source"] = p.source;
      j["textOpaque"] = p.textOpaque;
      j["imageOrigin"] = p.imageOrigin;
      j["width"] = p.width;
      j["height"] = p.height;
      j["fitScreen"] = p.fitScreen;
      j["keepAspect"] = p.keepAspect;
      j["textColor"] = p.textColor;
      j["backColor"] = p.backColor;
      j["text"] = Text(p.text);
      j["font"] = FontJson(p.font);
      j["fileName"] = Text(p.fileName);
      j["dataSize"] = p.dataSize;
      j["dataHead"] = HexHead(p.data);
      j["references"] = References(p.references);
      break;
    }
    case kShowPictureItem:
    case kMovePictureItem:
    case kHidePictureItem: {
      const PictureLink& link = PictureLinkOf(item);
      j["picture"] = IndexOf(link.picture);
      j["path"] = PathJson(link.path);
      j["color"] = ColorJson(link.color);
      break;
    }
    case kPauseItem: {
      const auto& p = static_cast<const PauseItem&>(item).pause;
      j["pauseMs"] = p.pauseMs;
      j["randomPause"] = p.randomPause;
      break;
    }
    case kBackgroundItem:
      j["color"] = ColorJson(static_cast<const BackgroundItem&>(item).color);
      break;
    case kLoopEndItem: {
      const auto& r = static_cast<const LoopEndItem&>(item).repeat;
      j["repeatCount"] = r.repeatCount;
      j["endless"] = r.endless;
      break;
    }
    case kLineItem: {
      const auto& l = static_cast<const LineItem&>(item);
      j["color"] = ColorJson(l.color);
      j["path"] = PathJson(l.path);
      j["penStyle"] = l.penStyle;
      j["penWidth"] = l.penWidth;
      break;
    }
    case kMediaItem: {
      const auto& m = static_cast<const MediaItem&>(item);
      j["dataSize"] = m.dataSize;
      j["fileName"] = Text(m.fileName);
      j["mediaType"] = m.mediaType;
      j["dataHead"] = HexHead(m.data);
      j["references"] = References(m.references);
      break;
    }
    case kPlayMediaItem: {
      const auto& link = static_cast<const PlayMediaItem&>(item).link;
      j["media"] = IndexOf(link.media);
      j["repeatCount"] = link.options.repeatCount;
      j["endless"] = link.options.endless;
      j["waitUntilDone"] = link.options.waitUntilDone;
      j["loopInBackground"] = link.options.loopInBackground;
      j["videoX"] = link.options.videoX;
      j["videoY"] = link.options.videoY;
      break;
    }
    case kStopMediaItem:
      j["media"] = IndexOf(static_cast<const StopMediaItem&>(item).link.media);
      break;
    case kCommentItem:
      j["comment"] = Text(static_cast<const CommentItem&>(item).comment);
      break;
    case kLinkItem: {
      const auto& l = static_cast<const LinkItem&>(item);
      j["clearLink"] = l.clearLink;
      j["linkMode"] = l.linkMode;
      j["url"] = Text(l.url);
      break;
    }
    default:
      break;
  }
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
