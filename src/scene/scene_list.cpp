#include "scene/scene_list.h"

#include <algorithm>

#include "resources/string_table.h"
#include "scene/items.h"
#include "scene/project_archive.h"

namespace scene {

SceneList::SceneList() {
  prototypes_.reserve(kItemKindCount);
  prototypes_.push_back(std::make_unique<PictureItem>());
  prototypes_.push_back(std::make_unique<ShowPictureItem>());
  prototypes_.push_back(std::make_unique<MovePictureItem>());
  prototypes_.push_back(std::make_unique<HidePictureItem>());
  prototypes_.push_back(std::make_unique<PauseItem>());
  prototypes_.push_back(std::make_unique<BackgroundItem>());
  prototypes_.push_back(std::make_unique<LoopStartItem>());
  prototypes_.push_back(std::make_unique<LoopEndItem>());
  prototypes_.push_back(std::make_unique<LineItem>());
  prototypes_.push_back(std::make_unique<MediaItem>());
  prototypes_.push_back(std::make_unique<PlayMediaItem>());
  prototypes_.push_back(std::make_unique<StopMediaItem>());
  prototypes_.push_back(std::make_unique<CommentItem>());
  prototypes_.push_back(std::make_unique<LinkItem>());
}

SceneList::~SceneList() { Clear(); }

std::unique_ptr<SceneItem> SceneList::Create(int32_t kind) const {
  if (kind < 0 || kind >= kItemKindCount) return nullptr;
  return prototypes_[static_cast<size_t>(kind)]->createEmpty();
}

void SceneList::Clear() {
  while (!items_.empty()) items_.pop_back();
  openLoops_.clear();
  decodedPixels = 0;
}

int32_t SceneList::LoopStartBefore(int32_t endIndex) const {
  if (openLoops_.size() != items_.size() + 1) {
    openLoops_.assign(items_.size() + 1, -1);
    std::vector<int32_t> open;
    for (size_t i = 0; i < items_.size(); ++i) {
      openLoops_[i] = open.empty() ? -1 : open.back();
      const int32_t k = items_[i]->kind;
      if (k == kLoopStartItem) open.push_back(static_cast<int32_t>(i));
      if (k == kLoopEndItem && !open.empty()) open.pop_back();
    }
    openLoops_[items_.size()] = open.empty() ? -1 : open.back();
  }
  if (endIndex <= 0) return -1;
  return openLoops_[std::min(static_cast<size_t>(endIndex), items_.size())];
}

void ReadSceneRecords(ProjectArchive& archive, SceneList& list) {
  using Cause = ArchiveError::Cause;
  list.Clear();
  try {
    archive.SetVersion(0.0f);
    list.archiveOffset = archive.Begin();
    const uint64_t idAt = archive.Position();
    list.identification = archive.ReadString();
    const uint64_t versionAt = archive.Position();
    list.version = archive.ReadFloat();
    archive.SetVersion(list.version);
    if (list.identification != res::LoadString(res::IDS_IDENTIFICATION)) {
      archive.FailAt(Cause::BadSchema, idAt, "not a project archive (bad identification)");
    }
    if (!(static_cast<double>(list.version) <= 4.31)) {
      archive.FailAt(Cause::BadSchema, versionAt,
                     "unsupported archive version " + std::to_string(list.version));
    }

    const uint64_t countAt = archive.Position();
    const int32_t count = archive.ReadInt32();
    // Every record takes at least a 4-byte tag, so a larger count cannot be real; refuse
    // it before reserving anything.
    if (count < 0 || static_cast<uint64_t>(count) > archive.Remaining() / 4 + 1) {
      archive.FailAt(Cause::BadSchema, countAt,
                     "item count " + std::to_string(count) + " cannot fit in the archive");
    }
    list.Reserve(static_cast<size_t>(count));
    std::vector<uint64_t> recordAt;
    recordAt.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const uint64_t tagAt = archive.Position();
      recordAt.push_back(tagAt);
      const int32_t tag = archive.ReadInt32();
      std::unique_ptr<SceneItem> item = list.Create(tag);
      if (!item) {
        archive.FailAt(
            Cause::BadSchema, tagAt,
            "item " + std::to_string(i) + ": type tag " + std::to_string(tag) + " out of range");
      }
      try {
        item->load(archive);
      } catch (const ArchiveError& e) {
        throw ArchiveError(e.cause(), e.offset(),
                           std::string(e.what()) + " in item " + std::to_string(i) + " (" +
                               item->className() + ")");
      }
      list.Append(std::move(item));
    }

    // Link lists, one per resource, in list order.
    const auto size = static_cast<int32_t>(list.size());
    for (int32_t r = 0; r < size; ++r) {
      SceneItem& resource = list.at(static_cast<size_t>(r));
      if (resource.kind != kPictureItem && resource.kind != kMediaItem) continue;
      const uint64_t nAt = archive.Position();
      const int32_t n = archive.ReadInt32();
      if (n < 0 || static_cast<uint64_t>(n) > archive.Remaining() / 4) {
        archive.FailAt(Cause::BadSchema, nAt,
                       "link count " + std::to_string(n) + " of item " + std::to_string(r) +
                           " cannot fit in the archive");
      }
      for (int32_t k = 0; k < n; ++k) {
        const uint64_t at = archive.Position();
        const int32_t target = archive.ReadInt32();
        if (target < 0 || target >= size) {
          archive.FailAt(Cause::BadSchema, at,
                         "link index " + std::to_string(target) + " of item " + std::to_string(r) +
                             " outside the list");
        }
        SceneItem& holder = list.at(static_cast<size_t>(target));
        holder.setLink(&resource);
        resource.addReference(&holder);
      }
    }

    for (int32_t j = 0; j < size; ++j) list.at(static_cast<size_t>(j)).index = j;

    // A loop end that would search past the list start cannot be played.
    for (int32_t j = 0; j < size; ++j) {
      const SceneItem& item = list.at(static_cast<size_t>(j));
      if (item.kind == kLoopEndItem && !item.isDisabled() && FindLoopStart(list, j) < 0) {
        archive.FailAt(Cause::BadSchema, recordAt[static_cast<size_t>(j)],
                       "item " + std::to_string(j) + ": loop end without a loop start");
      }
    }
  } catch (...) {
    list.Clear();
    throw;
  }
}

bool ReadScene(ProjectArchive& archive, SceneList& list, SceneLoadFailure* failure) {
  try {
    ReadSceneRecords(archive, list);
  } catch (const ArchiveError& e) {
    if (failure) *failure = SceneLoadFailure{e.what(), e.offset(), false};
    return false;
  }
  const int j = PrepareItems(list);
  if (j < 0) return true;
  if (failure) {
    *failure = SceneLoadFailure{"item " + std::to_string(j) + " (" +
                                    list.at(static_cast<size_t>(j)).className() +
                                    ") could not be prepared",
                                archive.Position(), true};
  }
  list.Clear();
  return false;
}

int PrepareItems(SceneList& list) {
  for (size_t j = 0; j < list.size(); ++j)
    if (!list.at(j).prepare(list)) return static_cast<int>(j);
  return -1;
}

}  // namespace scene
