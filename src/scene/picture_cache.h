#pragma once
// Pictures beyond the show's resident budget stay as their compressed bytes; this cache
// holds a bounded number of them decoded, and a background thread decodes the ones the
// walk will show next, so showing rarely waits for a decode.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/gfx/surface.h"

namespace scene {

class PictureItem;
class SceneList;

class PictureCache {
 public:
  explicit PictureCache(const SceneList& list);
  ~PictureCache();
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;

  // Bytes of decoded pictures the cache may hold (one picture always fits, however large).
  void SetCapacity(int64_t bytes);
  int64_t Capacity() const;
  // Stops the background decoding and drops every picture (before the items go).
  void Clear();

  // The walk is at item `index` (about to play it): the kept-compressed pictures it shows
  // next, following loops as the loop counters stand, are decoded ahead in that order.
  void WalkAt(int32_t index);
  // The picture's pixels in the form it keeps: from the cache, after a decode of it under
  // way, else decoded here. Null when its bytes do not decode (*error: the decoder's code).
  std::shared_ptr<gfx::Surface> Get(const PictureItem& picture, int* error = nullptr);
  // The picture keeps the form of size `kept` from now on (a screen other than the one
  // it was loaded for): what the cache holds of it is dropped.
  void Reform(PictureItem& picture, int32_t keptWidth, int32_t keptHeight);

  struct Counts {
    int64_t ahead = 0;     // decoded by the background thread
    int64_t onDemand = 0;  // decoded by Get (a miss)
    int64_t heldBytes = 0;
    int64_t waitedNs = 0;  // Get's time waiting for a decode, ahead or its own
  };
  Counts counts() const;

  // The pictures the walk shows from `index` on (itself first), at most `most` distinct
  // ones, counting only those kept compressed.
  std::vector<const PictureItem*> Upcoming(int32_t index, size_t most) const;

 private:
  struct Entry {
    const PictureItem* picture = nullptr;
    std::shared_ptr<gfx::Surface> pixels;
    int64_t bytes = 0;
    uint64_t used = 0;
  };
  void Run();
  void StopWorker();
  // Makes room for `bytes`, dropping pictures not wanted next, least recently used first.
  // False when the wanted ones leave no room. Caller holds mutex_.
  bool MakeRoom(int64_t bytes, const std::vector<const PictureItem*>& keep);
  Entry* Find(const PictureItem* picture);
  // False when there is no room for it beside the pictures the walk wants.
  bool Insert(const PictureItem* picture, std::shared_ptr<gfx::Surface> pixels);

  const SceneList& list_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;
  std::vector<const PictureItem*> wanted_;  // the walk's next pictures, in order
  std::vector<const PictureItem*> failed_;  // not decoded ahead since the last WalkAt
  const PictureItem* decoding_ = nullptr;   // being decoded by the background thread
  int64_t capacity_ = 0;
  int64_t held_ = 0;
  uint64_t clock_ = 0;
  Counts counts_;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace scene
