#pragma once
// The show as loaded: the ordered items (owned here), the prototype table that makes them,
// and the header the archive carried.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/picture_cache.h"
#include "scene/scene_item.h"

namespace scene {

class ProjectArchive;

// Most pixels of decoded pictures one show holds (2 GiB as screen bitmaps), so that many
// small files declaring large pictures cannot add up to more than the machine has.
constexpr int64_t kPictureBudgetPixels = int64_t{1} << 29;

// Bytes of decoded pictures a show keeps by default: a quarter of the machine's memory,
// at most 768 MiB.
int64_t DefaultPictureMemory();
// Largest value of the setting (the pixel budget's 2 GiB and the cache beside it).
constexpr int64_t kMaxPictureMemory = int64_t{4} << 30;

class SceneList {
 public:
  SceneList();
  ~SceneList();
  SceneList(const SceneList&) = delete;
  SceneList& operator=(const SceneList&) = delete;

  // A new empty item of the tag; nullptr outside 0..13.
  std::unique_ptr<SceneItem> Create(int32_t kind) const;

  size_t size() const { return items_.size(); }
  SceneItem& at(size_t i) const { return *items_.at(i); }
  void Append(std::unique_ptr<SceneItem> item) {
    items_.push_back(std::move(item));
    openLoops_.clear();
  }
  void Reserve(size_t n) { items_.reserve(n); }
  // Deletes the items, last to first.
  void Clear();

  // The loop start that a loop end at endIndex closes (the nearest one before it that no
  // loop end in between closes), or -1. Answered from one pass over the list, so finding
  // every loop's start costs time linear in the list, however deep loops nest.
  int32_t LoopStartBefore(int32_t endIndex) const;

  // Pixels of the pictures decoded for this show so far; the preparation pass keeps it
  // within pictureBudgetPixels. Pictures beyond it keep their bytes, and the cache holds
  // some of them decoded.
  mutable int64_t decodedPixels = 0;
  int64_t pictureBudgetPixels = kPictureBudgetPixels;
  PictureCache& pictureCache() const { return *pictureCache_; }
  // Bytes of decoded pictures the show may hold: three quarters kept from the load on,
  // a quarter for the cache of pictures kept as bytes.
  void SetPictureMemory(int64_t bytes);

  // The screen the show is loaded for: pictures fitted to it keep only their fitted form.
  // 0 when not known (pictures then keep their own size).
  int32_t screenWidth = 0, screenHeight = 0;

  // What the archive's header said (for tools that show the loaded show).
  uint64_t archiveOffset = 0;
  int32_t reserved = 0;
  std::string identification;
  float version = 0.0f;

 private:
  std::unique_ptr<PictureCache> pictureCache_;
  std::vector<std::unique_ptr<SceneItem>> prototypes_;
  std::vector<std::unique_ptr<SceneItem>> items_;
  // openLoops_[i]: the innermost loop start still open before item i (i up to size()).
  mutable std::vector<int32_t> openLoops_;
};

// Fields 2 to 6 (identification, version, items, link lists) and the numbering; no
// preparation. Throws ArchiveError; the list is emptied first and left empty on failure.
void ReadSceneRecords(ProjectArchive& archive, SceneList& list);

struct SceneLoadFailure {
  std::string what;
  uint64_t offset = 0;
  bool duringPrepare = false;
};

// The preparation pass: every item prepared in list order, until one cannot be (it has
// shown its own message; the items after it show nothing). -1 when all were prepared,
// else that item's index.
int PrepareItems(SceneList& list);

// ReadSceneRecords plus the preparation pass. False on any failure (archive errors are
// not shown; a failing prepare has shown its own message). A failed load leaves the list
// empty.
bool ReadScene(ProjectArchive& archive, SceneList& list, SceneLoadFailure* failure = nullptr);

}  // namespace scene
