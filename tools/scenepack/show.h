#pragma once
// The show as scenepack sees it: every stored field of every item kind, with the defaults a
// freshly created item has, and links already resolved to list positions.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace scenepack {

enum ItemKind : int32_t {
  kPictureItem = 0,
  kShowPictureItem = 1,
  kMovePictureItem = 2,
  kHidePictureItem = 3,
  kPauseItem = 4,
  kBackgroundItem = 5,
  kLoopStartItem = 6,
  kLoopEndItem = 7,
  kLineItem = 8,
  kMediaItem = 9,
  kPlayMediaItem = 10,
  kStopMediaItem = 11,
  kCommentItem = 12,
  kLinkItem = 13,
};
constexpr int kKindCount = 14;

// Class name of a kind ("PictureItem"), or nullptr outside 0..13.
const char* KindName(int kind);
// Kind of a class name, or -1.
int KindOf(const std::string& className);
inline bool IsResource(int kind) { return kind == kPictureItem || kind == kMediaItem; }
inline bool IsPictureLink(int kind) {
  return kind == kShowPictureItem || kind == kMovePictureItem || kind == kHidePictureItem;
}
inline bool IsMediaLink(int kind) { return kind == kPlayMediaItem || kind == kStopMediaItem; }

struct PathRecord {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t stopX = 0, stopY = 0;
  int32_t dx = 1, dy = 1;
  int32_t modeX1 = 5, modeY1 = 5, modeX2 = 5, modeY2 = 5;
  int32_t compareX = 0, bothConditions = 0, compareY = 0;
  int32_t moveSpeed = 100000;
  int32_t textSpeed = 2000;
  int32_t effect = 0;
  int32_t effectSpeed = 100;
  int32_t freeMotion = 0;
  int32_t horizontal = 1;
  int32_t textAnimation = 0;
  int32_t keepScreen = 0;
  int32_t saveBackground = 0;
  bool operator==(const PathRecord&) const = default;
};

// The path fields by their manifest and dump names, in record order.
struct PathField {
  const char* name;
  int32_t PathRecord::*member;
};
inline constexpr PathField kPathFields[] = {
    {"x1", &PathRecord::x1},
    {"y1", &PathRecord::y1},
    {"x2", &PathRecord::x2},
    {"y2", &PathRecord::y2},
    {"stopX", &PathRecord::stopX},
    {"stopY", &PathRecord::stopY},
    {"dx", &PathRecord::dx},
    {"dy", &PathRecord::dy},
    {"modeX1", &PathRecord::modeX1},
    {"modeY1", &PathRecord::modeY1},
    {"modeX2", &PathRecord::modeX2},
    {"modeY2", &PathRecord::modeY2},
    {"compareX", &PathRecord::compareX},
    {"bothConditions", &PathRecord::bothConditions},
    {"compareY", &PathRecord::compareY},
    {"moveSpeed", &PathRecord::moveSpeed},
    {"textSpeed", &PathRecord::textSpeed},
    {"effect", &PathRecord::effect},
    {"effectSpeed", &PathRecord::effectSpeed},
    {"freeMotion", &PathRecord::freeMotion},
    {"horizontal", &PathRecord::horizontal},
    {"textAnimation", &PathRecord::textAnimation},
    {"keepScreen", &PathRecord::keepScreen},
    {"saveBackground", &PathRecord::saveBackground},
};

struct ColorRecord {
  uint32_t color = 0;
  int32_t paintMode = 0;
  int32_t randomColor = 0;
  int32_t useWindowBackground = 1;
  bool operator==(const ColorRecord&) const = default;
};

// LOGFONT as stored: five int32, eight bytes, 32 characters of face name (Windows-1252,
// zero-terminated).
struct FontRecord {
  int32_t height = -11, width = 0, escapement = 0, orientation = 0, weight = 0;
  uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::string faceName = "MS Sans Serif";  // Windows-1252
  bool operator==(const FontRecord&) const = default;
};
constexpr size_t kFontRecordSize = 60;
constexpr size_t kFaceNameSize = 32;

// The colours a new picture item takes from the system (window text, window background).
constexpr uint32_t kDefaultTextColor = 0x000000;
constexpr uint32_t kDefaultBackColor = 0xFFFFFF;

// One item. Only the fields of its kind are written; strings are Windows-1252 bytes.
struct Item {
  int32_t kind = kCommentItem;
  std::string name;
  int32_t tagValue = 0;
  int32_t disabled = 0;

  // PictureItem
  int32_t source = 0;
  int32_t textOpaque = 1;
  int32_t imageOrigin = 1;
  int32_t width = 0, height = 0;
  int32_t fitScreen = 0;
  int32_t keepAspect = 0;
  uint32_t textColor = kDefaultTextColor;
  uint32_t backColor = kDefaultBackColor;
  std::string text;
  FontRecord font;
  // PictureItem and MediaItem
  std::string fileName;
  std::vector<uint8_t> data;
  int32_t mediaType = 0;

  // Link holders: list position of the linked resource, -1 when none.
  int32_t link = -1;
  PathRecord path;
  ColorRecord color;

  // PauseItem
  int32_t pauseMs = 0;
  int32_t randomPause = 0;
  // LoopEndItem, PlayMediaItem
  int32_t repeatCount = 1;
  int32_t endless = 0;
  int32_t waitUntilDone = 0;
  int32_t loopInBackground = 0;
  int32_t videoX = 0, videoY = 0;
  // LineItem
  int32_t penStyle = 0;
  int32_t penWidth = 1;
  // CommentItem
  std::string comment;
  // LinkItem
  int32_t clearLink = 0;
  int32_t linkMode = -1;
  std::string url = "http://";
};

struct Show {
  float version = 4.31f;
  // Store every string in the 16-bit character form.
  bool wideStrings = false;
  std::vector<Item> items;
};

// A show that cannot be written as asked, tied to the item and field at fault. item is -1
// for the show as a whole.
class ShowError : public std::runtime_error {
 public:
  ShowError(int item, std::string itemName, std::string field, const std::string& message);
  int item() const { return item_; }
  const std::string& itemName() const { return itemName_; }
  const std::string& field() const { return field_; }

 private:
  int item_;
  std::string itemName_;
  std::string field_;
};

}  // namespace scenepack
