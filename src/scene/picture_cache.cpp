#include "scene/picture_cache.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>
#include <unordered_map>

#include "scene/items.h"
#include "scene/scene_list.h"

namespace scene {
namespace {

// How far ahead the walk is followed: distinct pictures, and items stepped over (a loop
// of items without pictures must not keep the search going).
constexpr size_t kPicturesAhead = 8;
constexpr int64_t kStepsPerItem = 4;

bool Contains(const std::vector<const PictureItem*>& v, const PictureItem* p) {
  return std::find(v.begin(), v.end(), p) != v.end();
}

int64_t KeptBytes(const PictureItem& p) {
  PictureItem::Size s = p.keptSize();
  if (s == PictureItem::Size{}) s = p.ownSize();
  return int64_t{s.width} * s.height * 4;
}

}  // namespace

PictureCache::PictureCache(const SceneList& list) : list_(list) {}

PictureCache::~PictureCache() { StopWorker(); }

void PictureCache::SetCapacity(int64_t bytes) {
  std::lock_guard lock(mutex_);
  capacity_ = std::max<int64_t>(bytes, 0);
}

int64_t PictureCache::Capacity() const {
  std::lock_guard lock(mutex_);
  return capacity_;
}

void PictureCache::StopWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  std::lock_guard lock(mutex_);
  stop_ = false;
}

void PictureCache::Clear() {
  StopWorker();
  std::lock_guard lock(mutex_);
  entries_.clear();
  wanted_.clear();
  failed_.clear();
  held_ = 0;
  counts_ = {};
}

std::vector<const PictureItem*> PictureCache::Upcoming(int32_t index, size_t most) const {
  std::vector<const PictureItem*> out;
  const auto size = static_cast<int32_t>(list_.size());
  // The loop counters as the walk will change them, without touching the real ones.
  std::unordered_map<int32_t, int32_t> counters;
  const int64_t steps = kStepsPerItem * (int64_t{size} + 1);
  int32_t i = std::max(index, 0);
  for (int64_t n = 0; n < steps && i < size && out.size() < most; ++n, ++i) {
    const SceneItem& item = list_.at(static_cast<size_t>(i));
    if (item.isDisabled()) continue;
    const PictureItem* p = nullptr;
    if (item.kind == kShowPictureItem)
      p = static_cast<const ShowPictureItem&>(item).picture();
    else if (item.kind == kMovePictureItem)
      p = static_cast<const MovePictureItem&>(item).picture();
    if (p && p->keptCompressed() && !Contains(out, p)) out.push_back(p);
    if (item.kind == kLoopEndItem) {
      const RepeatProperty& r = static_cast<const LoopEndItem&>(item).repeat;
      if (r.loopStart < 0) continue;
      if (r.endless) {
        i = r.loopStart - 1;
        continue;
      }
      auto [at, fresh] = counters.try_emplace(i, r.counter);
      if (static_cast<uint32_t>(++at->second) >= static_cast<uint32_t>(r.repeatCount))
        at->second = 0;
      else
        i = r.loopStart - 1;
    }
  }
  return out;
}

void PictureCache::WalkAt(int32_t index) {
  std::vector<const PictureItem*> next = Upcoming(index, kPicturesAhead);
  std::lock_guard lock(mutex_);
  wanted_ = std::move(next);
  failed_.clear();
  if (wanted_.empty()) return;
  if (!worker_.joinable()) {
    try {
      worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
      // Without a thread every picture is decoded when it is shown.
    }
  }
  changed_.notify_all();
}

PictureCache::Entry* PictureCache::Find(const PictureItem* picture) {
  for (Entry& e : entries_)
    if (e.picture == picture) return &e;
  return nullptr;
}

bool PictureCache::MakeRoom(int64_t bytes, const std::vector<const PictureItem*>& keep) {
  while (held_ + bytes > capacity_ && !entries_.empty()) {
    auto victim = entries_.end();
    for (auto e = entries_.begin(); e != entries_.end(); ++e) {
      if (Contains(keep, e->picture)) continue;
      if (victim == entries_.end() || e->used < victim->used) victim = e;
    }
    if (victim == entries_.end()) return false;
    held_ -= victim->bytes;
    entries_.erase(victim);
  }
  return held_ + bytes <= capacity_ || entries_.empty();
}

bool PictureCache::Insert(const PictureItem* picture, std::shared_ptr<gfx::Surface> pixels) {
  if (Find(picture)) return true;
  const int64_t bytes = int64_t{pixels->Width()} * pixels->Height() * 4;
  // What the walk wants next stays, beside the picture asked for now.
  std::vector<const PictureItem*> keep = wanted_;
  keep.push_back(picture);
  if (!MakeRoom(bytes, keep)) return false;
  entries_.push_back(Entry{picture, std::move(pixels), bytes, ++clock_});
  held_ += bytes;
  counts_.heldBytes = held_;
  return true;
}

void PictureCache::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    // The first wanted picture not yet held: decoded when it fits beside the ones before it.
    const PictureItem* next = nullptr;
    for (size_t k = 0; k < wanted_.size() && !next; ++k) {
      const PictureItem* p = wanted_[k];
      if (Find(p) || Contains(failed_, p)) continue;
      const std::vector<const PictureItem*> before(wanted_.begin(),
                                                   wanted_.begin() + static_cast<ptrdiff_t>(k));
      if (!MakeRoom(KeptBytes(*p), before)) break;
      next = p;
    }
    if (!next) {
      changed_.wait(lock);
      continue;
    }
    decoding_ = next;
    const PictureItem::Size kept = next->keptSize();
    lock.unlock();
    std::shared_ptr<gfx::Surface> pixels;
    try {
      pixels = next->decodeKept(kept);
    } catch (const std::exception&) {
      pixels.reset();
    }
    lock.lock();
    decoding_ = nullptr;
    // A picture reformed meanwhile keeps its new form: this one is of no use.
    if (!pixels || !(next->keptSize() == kept)) {
      if (!pixels) failed_.push_back(next);
    } else {
      ++counts_.ahead;
      // No room left beside what the walk wants first (a picture decoded on demand took
      // it): not tried again before the walk moves on.
      if (!Insert(next, std::move(pixels))) failed_.push_back(next);
    }
    changed_.notify_all();
  }
}

std::shared_ptr<gfx::Surface> PictureCache::Get(const PictureItem& picture, int* error) {
  using Steady = std::chrono::steady_clock;
  const Steady::time_point start = Steady::now();
  auto waited = [&] {
    counts_.waitedNs +=
        std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - start).count();
  };
  PictureItem::Size kept;
  {
    std::unique_lock lock(mutex_);
    const bool underWay = decoding_ == &picture;
    changed_.wait(lock, [&] { return decoding_ != &picture; });
    if (underWay) waited();
    if (Entry* e = Find(&picture)) {
      e->used = ++clock_;
      return e->pixels;
    }
    kept = picture.keptSize();
  }
  std::shared_ptr<gfx::Surface> pixels = picture.decodeKept(kept, error);
  std::lock_guard lock(mutex_);
  waited();
  if (!pixels) return nullptr;
  ++counts_.onDemand;
  if (picture.keptSize() == kept) Insert(&picture, pixels);
  return pixels;
}

void PictureCache::Reform(PictureItem& picture, int32_t keptWidth, int32_t keptHeight) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return decoding_ != &picture; });
  picture.keptSize_ = {keptWidth, keptHeight};
  for (auto e = entries_.begin(); e != entries_.end(); ++e) {
    if (e->picture != &picture) continue;
    held_ -= e->bytes;
    entries_.erase(e);
    break;
  }
  counts_.heldBytes = held_;
}

PictureCache::Counts PictureCache::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

}  // namespace scene
