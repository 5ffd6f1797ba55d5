#pragma once
// Manual-reset event: stays signalled from Set() until Reset(). Every cross-thread signal
// of the player (stop, finished, started) is one of these.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace sys {

class Event {
 public:
  explicit Event(bool initiallySet = false) : set_(initiallySet) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // Zero-time-out poll.
  bool IsSet() const;
  void Wait() const;
  // Real-time wait; callers that must honour virtual time go through Clock::WaitFor.
  bool WaitFor(std::chrono::nanoseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  bool set_;
};

}  // namespace sys
