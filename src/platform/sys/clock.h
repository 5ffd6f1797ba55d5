#pragma once
// The time source of the player. Every wait goes through a Clock: RealClock follows the
// steady clock, VirtualClock jumps ahead whenever a thread waits, so a whole show runs
// deterministically in a fraction of its length (tests, frame export).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/sys/event.h"

namespace sys {

// Calendar time with milliseconds, UTC (the fields of a SYSTEMTIME).
struct SystemTime {
  int year = 1970, month = 1, dayOfWeek = 4, day = 1;
  int hour = 0, minute = 0, second = 0, milliseconds = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32 (GetTickCount).
  virtual uint32_t TickCount() = 0;
  // Time since an arbitrary start, full resolution.
  virtual std::chrono::nanoseconds Elapsed() = 0;
  // UTC wall time with milliseconds (GetSystemTime).
  virtual SystemTime Now() = 0;
  // Seconds since 1970 (the C runtime's time()).
  virtual int64_t CalendarSeconds() = 0;
  virtual void Sleep(std::chrono::nanoseconds duration) = 0;
  void SleepMs(uint32_t ms) { Sleep(std::chrono::milliseconds(ms)); }
  // Waits until the event is set or the time-out passes; true when the event is set.
  virtual bool WaitFor(const Event& event, std::chrono::nanoseconds timeout) = 0;
};

class RealClock final : public Clock {
 public:
  RealClock();
  uint32_t TickCount() override;
  std::chrono::nanoseconds Elapsed() override;
  SystemTime Now() override;
  int64_t CalendarSeconds() override;
  void Sleep(std::chrono::nanoseconds duration) override;
  bool WaitFor(const Event& event, std::chrono::nanoseconds timeout) override;

 private:
  std::chrono::steady_clock::time_point start_;
};

// Virtual time starts at a fixed instant and only moves when a thread waits on it.
// Observers see every advance before it takes effect, which is how frames are taken at
// exact virtual instants.
class VirtualClock final : public Clock {
 public:
  // startSeconds: the calendar time at virtual zero.
  explicit VirtualClock(int64_t startSeconds = 1'700'000'000);

  uint32_t TickCount() override;
  std::chrono::nanoseconds Elapsed() override;
  SystemTime Now() override;
  int64_t CalendarSeconds() override;
  void Sleep(std::chrono::nanoseconds duration) override;
  bool WaitFor(const Event& event, std::chrono::nanoseconds timeout) override;

  // Moves time forward by `duration` (also callable by the test driving the clock).
  void Advance(std::chrono::nanoseconds duration);
  // Called with (from, to) before time moves from `from` to `to`.
  using Observer = std::function<void(std::chrono::nanoseconds, std::chrono::nanoseconds)>;
  void SetObserver(Observer observer);

 private:
  std::mutex mutex_;
  std::atomic<int64_t> now_{0};  // nanoseconds
  int64_t startSeconds_;
  Observer observer_;
};

// Converts calendar seconds since 1970 plus milliseconds to a UTC SystemTime.
SystemTime ToSystemTime(int64_t seconds, int milliseconds);

}  // namespace sys
