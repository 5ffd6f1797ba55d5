#include "app/encode_pool.h"

#include <algorithm>

namespace app {

EncodePool::EncodePool(int threads, size_t maxQueued) : maxQueued_(std::max<size_t>(maxQueued, 1)) {
  for (int i = 0; i < std::max(threads, 1); ++i) workers_.emplace_back([this] { Worker(); });
}

EncodePool::~EncodePool() {
  Wait();
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (auto& t : workers_) t.join();
}

void EncodePool::Submit(std::function<void()> work, std::function<void()> commit) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->commit = std::move(commit);
  if (!job->work) job->state = Job::Done;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return jobs_.size() < maxQueued_; });
  jobs_.push_back(job);
  if (job->state == Job::Done) {
    CommitReady(lock);
  } else {
    changed_.notify_all();
  }
}

void EncodePool::Wait() {
  std::unique_lock lock(mutex_);
  CommitReady(lock);
  changed_.wait(lock, [&] { return jobs_.empty(); });
}

void EncodePool::Worker() {
  std::unique_lock lock(mutex_);
  for (;;) {
    std::shared_ptr<Job> job;
    changed_.wait(lock, [&] {
      if (stopping_) return true;
      auto it = std::find_if(jobs_.begin(), jobs_.end(),
                             [](const auto& j) { return j->state == Job::Queued; });
      if (it == jobs_.end()) return false;
      job = *it;
      return true;
    });
    if (!job) return;
    job->state = Job::Running;
    lock.unlock();
    job->work();
    job->work = nullptr;  // frees the frame it held
    lock.lock();
    job->state = Job::Done;
    CommitReady(lock);
  }
}

void EncodePool::CommitReady(std::unique_lock<std::mutex>& lock) {
  if (committing_) return;  // the thread that is committing will take this one too
  committing_ = true;
  while (!jobs_.empty() && jobs_.front()->state == Job::Done) {
    auto job = jobs_.front();
    lock.unlock();
    if (job->commit) job->commit();
    job->commit = nullptr;
    lock.lock();
    jobs_.pop_front();
    changed_.notify_all();
  }
  committing_ = false;
}

}  // namespace app
