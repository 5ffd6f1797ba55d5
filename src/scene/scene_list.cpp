#include "scene/scene_list.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "resources/string_table.h"
#include "scene/items.h"
#include "scene/project_archive.h"

namespace scene {

int64_t DefaultPictureMemory() {
  constexpr int64_t kMost = int64_t{768} << 20;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kMost;
  return std::min(kMost, int64_t{pages} / 4 * pageSize);
}

void SceneList::SetPictureMemory(int64_t bytes) {
  bytes = std::clamp<int64_t>(bytes, 0, kMaxPictureMemory);
  pictureBudgetPixels = std::min(kPictureBudgetPixels, bytes / 4 * 3 / 4);
  pictureCache_->SetCapacity(bytes / 4);
}

SceneList::SceneList() : pictureCache_(std::make_unique<PictureCache>(*this)) {
  pictureCache_->SetCapacity(DefaultPictureMemory() / 4);
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
  pictureCache_->Clear();
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
    *failure = SceneLoadFailure{
        list.at(static_cast<size_t>(j)).describe(static_cast<size_t>(j)) + " could not be prepared",
        archive.Position(), true};
  }
  list.Clear();
  return false;
}

namespace {

int PrepareInOrder(SceneList& list) {
  // Items with work that can be done ahead (decoding pictures) have it done on every core
  // while this thread prepares the list in order, each item once its work ahead is done.
  // Only this thread shows messages, so what the user sees of a failure is what a pass
  // one item at a time shows: the first failing item's message, nothing after it.
  std::vector<size_t> ahead;
  for (size_t j = 0; j < list.size(); ++j)
    if (list.at(j).canPrepareAhead()) ahead.push_back(j);
  const size_t workers =
      std::min<size_t>(ahead.size(), std::max(1u, std::thread::hardware_concurrency()));
  PrepareAhead shared;
  shared.budgetPixels = list.pictureBudgetPixels - list.decodedPixels;
  shared.screenWidth = list.screenWidth;
  shared.screenHeight = list.screenHeight;
  auto prepareAhead = [&](SceneItem& item) {
    try {
      item.prepareAhead(shared);
    } catch (...) {
      // Nothing left ahead: prepare() does the work, and reports what goes wrong.
    }
  };
  // On one core the work ahead is done just before each item (it is the faster decode).
  auto oneByOne = [&] {
    for (size_t j = 0; j < list.size(); ++j) {
      if (list.at(j).canPrepareAhead()) prepareAhead(list.at(j));
      if (!list.at(j).prepare(list)) return static_cast<int>(j);
    }
    return -1;
  };
  if (workers < 2) return oneByOne();

  std::atomic<size_t> next{0};
  std::atomic<size_t> failedAt{SIZE_MAX};  // items after it need nothing done
  std::mutex mutex;
  std::condition_variable doneChanged;
  std::vector<char> done(ahead.size(), 0);  // guarded by mutex
  auto work = [&] {
    for (size_t k; (k = next++) < ahead.size();) {
      if (ahead[k] < failedAt) prepareAhead(list.at(ahead[k]));
      {
        std::lock_guard lock(mutex);
        done[k] = 1;
      }
      doneChanged.notify_all();
    }
  };
  std::vector<std::thread> threads;
  // Also when a prepare() throws: the work not yet begun is dropped, the rest awaited.
  struct Join {
    std::vector<std::thread>& threads;
    std::atomic<size_t>& failedAt;
    ~Join() {
      if (std::uncaught_exceptions() > 0) failedAt = 0;
      for (std::thread& t : threads) t.join();
    }
  } join{threads, failedAt};
  try {
    for (size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  } catch (const std::system_error&) {
    // As many as the system gives; with none, one item at a time here.
    if (threads.empty()) return oneByOne();
  }

  int failed = -1;
  size_t k = 0;
  for (size_t j = 0; j < list.size(); ++j) {
    if (k < ahead.size() && ahead[k] == j) {
      std::unique_lock lock(mutex);
      doneChanged.wait(lock, [&] { return done[k] != 0; });
      ++k;
    }
    if (!list.at(j).prepare(list)) {
      failed = static_cast<int>(j);
      failedAt = j;
      break;
    }
  }
  return failed;
}

}  // namespace

int PrepareItems(SceneList& list) {
  const int failed = PrepareInOrder(list);
  // The pictures kept as bytes that the show begins with are decoded while it starts.
  if (failed < 0) list.pictureCache().WalkAt(0);
  return failed;
}

}  // namespace scene
