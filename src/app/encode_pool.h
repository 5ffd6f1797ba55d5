#pragma once
// Runs the costly half of each job (encoding a frame) on every core while the show plays on,
// and the cheap half (writing it out) one job at a time in the order the jobs came in.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace app {

class EncodePool {
 public:
  // threads: workers (at least 1); maxQueued: jobs held at most before Submit waits, which
  // bounds the memory of frames waiting to be encoded.
  EncodePool(int threads, size_t maxQueued);
  ~EncodePool();  // waits for every job
  EncodePool(const EncodePool&) = delete;
  EncodePool& operator=(const EncodePool&) = delete;

  // `work` (may be empty) runs on a worker; `commit` runs after it and after the commits of
  // every earlier job, on whichever thread finds it ready.
  void Submit(std::function<void()> work, std::function<void()> commit);
  // Until every submitted job is committed.
  void Wait();

 private:
  struct Job {
    std::function<void()> work, commit;
    enum { Queued, Running, Done } state = Queued;
  };
  void Worker();
  // Runs the commits that are ready; lock held on entry and on return.
  void CommitReady(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Job>> jobs_;  // not yet committed, in order
  size_t maxQueued_;
  bool committing_ = false;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace app
