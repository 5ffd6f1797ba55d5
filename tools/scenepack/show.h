#pragma once
// The show as scenepack sees it: the player's own record of every item (so fields and
// defaults are declared once), with links already resolved to list positions.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "scene/records.h"

namespace scenepack {

using enum scene::ItemKind;
constexpr int kKindCount = scene::kItemKindCount;

// Class name of a kind ("PictureItem"), or nullptr outside 0..13.
const char* KindName(int kind);
// Kind of a class name, or -1.
int KindOf(const std::string& className);
inline bool IsResource(int kind) { return scene::IsResourceKind(kind); }
inline bool IsPictureLink(int kind) { return scene::IsPictureLinkKind(kind); }
inline bool IsMediaLink(int kind) { return scene::IsMediaLinkKind(kind); }

using scene::ColorRecord;
using scene::PathRecord;
using FontRecord = scene::LogFont;
constexpr size_t kFontRecordSize = scene::LogFont::kStoredSize;
constexpr size_t kFaceNameSize = 32;

using Record = std::variant<scene::EmptyRecord, scene::PictureRecord, scene::PictureLinkRecord,
                            scene::PauseRecord, scene::BackgroundRecord, scene::RepeatRecord,
                            scene::LineRecord, scene::MediaRecord, scene::PlayMediaRecord,
                            scene::CommentRecord, scene::LinkRecord>;

// One item: the common header, the record of its kind (strings are Windows-1252 bytes) and
// the list position of the linked resource, -1 when none.
struct Item {
  explicit Item(int32_t itemKind = kCommentItem);
  int32_t kind;
  std::string name;
  int32_t tagValue = 0;
  int32_t disabled = 0;
  int32_t link = -1;
  Record record;

  template <class R>
  R& As() {
    return std::get<R>(record);
  }
  template <class R>
  const R& As() const {
    return std::get<R>(record);
  }
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
