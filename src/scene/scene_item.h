#pragma once
// A scene item: one entry of a show. Items are made from the prototype of their type tag,
// read their record, get linked and numbered, are prepared once, then played in order.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/properties.h"

namespace scene {

class PlayHost;
class ProjectArchive;
class SceneList;

// What the items prepared ahead share: the show's picture budget, of which the pictures
// decoded ahead may hold no more than all of it together (prepare() still counts each
// one in list order, as when nothing is done ahead).
struct PrepareAhead {
  int64_t budgetPixels = 0;
  int32_t screenWidth = 0, screenHeight = 0;  // the screen the show is loaded for
  std::atomic<int64_t> heldPixels{0};
  // Takes `pixels` of the budget; false (nothing taken) when they do not fit.
  bool Take(int64_t pixels) {
    int64_t held = heldPixels.load();
    do {
      if (pixels > budgetPixels - held) return false;
    } while (!heldPixels.compare_exchange_weak(held, held + pixels));
    return true;
  }
};

// The class name of a type tag ("PictureItem", ...); "" outside 0..13.
const char* ItemClassName(int32_t kind);

class SceneItem {
 public:
  explicit SceneItem(int32_t itemKind) : kind(itemKind) {}
  virtual ~SceneItem() = default;
  SceneItem(const SceneItem&) = delete;
  SceneItem& operator=(const SceneItem&) = delete;

  // Reads the common header, then the kind's record.
  virtual void load(ProjectArchive& archive);
  // Validates and builds run-time state once the whole list is loaded and numbered.
  virtual bool prepare(const SceneList& list);
  // The part of prepare() that may run beforehand on another thread, beside the same part
  // of other items (decoding a picture): it touches nothing but this item and `ahead`,
  // and shows no message; prepare() then uses what it left, or does the work itself.
  // False when the item has no such part.
  virtual bool canPrepareAhead() const { return false; }
  virtual void prepareAhead(PrepareAhead& /*ahead*/) {}
  // Performs the item; may move the scene thread's index. Nonzero: call PauseCheck after.
  virtual int play(PlayHost& host, int32_t& index);
  virtual std::unique_ptr<SceneItem> createEmpty() const = 0;
  // Resources only: remember a link holder that uses this resource.
  virtual void addReference(SceneItem* /*holder*/) {}
  // Link holders only: the resource this item acts on.
  virtual void setLink(SceneItem* /*resource*/) {}
  void setDisabled(int32_t value) { disabled = value; }
  int32_t isDisabled() const { return disabled; }

  const char* className() const { return ItemClassName(kind); }
  // The name of the file an item's data was made from (pictures and media), "" if none.
  virtual std::string sourceFileName() const { return {}; }
  // "item 3 (PictureItem \"beach\", file \"beach.jpg\")", for messages about this item.
  std::string describe(size_t position) const;

  TextProperty name;
  int32_t tagValue = 0;
  const int32_t kind;
  int32_t index = -1;
  int32_t disabled = 0;

 protected:
  void loadHeader(ProjectArchive& archive);
};

// A disabled resource that no enabled item uses need not be prepared.
bool UnusedResource(const SceneItem& resource, const std::vector<SceneItem*>& references);

}  // namespace scene
