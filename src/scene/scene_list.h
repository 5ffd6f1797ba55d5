#pragma once
// The show as loaded: the ordered items (owned here), the prototype table that makes them,
// and the header the archive carried.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene_item.h"

namespace scene {

class ProjectArchive;

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
  void Append(std::unique_ptr<SceneItem> item) { items_.push_back(std::move(item)); }
  void Reserve(size_t n) { items_.reserve(n); }
  // Deletes the items, last to first.
  void Clear();

  // What the archive's header said (for tools that show the loaded show).
  uint64_t archiveOffset = 0;
  int32_t reserved = 0;
  std::string identification;
  float version = 0.0f;

 private:
  std::vector<std::unique_ptr<SceneItem>> prototypes_;
  std::vector<std::unique_ptr<SceneItem>> items_;
};

// Fields 2 to 6 (identification, version, items, link lists) and the numbering; no
// preparation. Throws ArchiveError; the list is emptied first and left empty on failure.
void ReadSceneRecords(ProjectArchive& archive, SceneList& list);

struct SceneLoadFailure {
  std::string what;
  uint64_t offset = 0;
  bool duringPrepare = false;
};

// ReadSceneRecords plus the preparation pass. False on any failure (archive errors are
// not shown; a failing prepare has shown its own message). A failed load leaves the list
// empty.
bool ReadScene(ProjectArchive& archive, SceneList& list, SceneLoadFailure* failure = nullptr);

}  // namespace scene
