#include "platform/sys/clock.h"

#include <ctime>
#include <thread>

namespace sys {

SystemTime ToSystemTime(int64_t seconds, int milliseconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  SystemTime st;
  st.year = tm.tm_year + 1900;
  st.month = tm.tm_mon + 1;
  st.dayOfWeek = tm.tm_wday;
  st.day = tm.tm_mday;
  st.hour = tm.tm_hour;
  st.minute = tm.tm_min;
  st.second = tm.tm_sec;
  st.milliseconds = milliseconds;
  return st;
}

RealClock::RealClock() : start_(std::chrono::steady_clock::now()) {}

uint32_t RealClock::TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Elapsed()).count();
  return static_cast<uint32_t>(ms);
}

std::chrono::nanoseconds RealClock::Elapsed() {
  return std::chrono::steady_clock::now() - start_;
}

SystemTime RealClock::Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return ToSystemTime(ts.tv_sec, static_cast<int>(ts.tv_nsec / 1'000'000));
}

int64_t RealClock::CalendarSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void RealClock::Sleep(std::chrono::nanoseconds duration) {
  if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

bool RealClock::WaitFor(const Event& event, std::chrono::nanoseconds timeout) {
  if (timeout.count() <= 0) return event.IsSet();
  return event.WaitFor(timeout);
}

VirtualClock::VirtualClock(int64_t startSeconds) : startSeconds_(startSeconds) {}

uint32_t VirtualClock::TickCount() {
  return static_cast<uint32_t>(now_.load() / 1'000'000);
}

std::chrono::nanoseconds VirtualClock::Elapsed() { return std::chrono::nanoseconds(now_.load()); }

SystemTime VirtualClock::Now() {
  int64_t ns = now_.load();
  return ToSystemTime(startSeconds_ + ns / 1'000'000'000,
                      static_cast<int>((ns / 1'000'000) % 1000));
}

int64_t VirtualClock::CalendarSeconds() { return startSeconds_ + now_.load() / 1'000'000'000; }

void VirtualClock::Advance(std::chrono::nanoseconds duration) {
  if (duration.count() <= 0) return;
  std::lock_guard lock(mutex_);
  int64_t from = now_.load();
  int64_t to = from + duration.count();
  if (observer_) observer_(std::chrono::nanoseconds(from), std::chrono::nanoseconds(to));
  now_.store(to);
}

void VirtualClock::SetObserver(Observer observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void VirtualClock::Sleep(std::chrono::nanoseconds duration) { Advance(duration); }

bool VirtualClock::WaitFor(const Event& event, std::chrono::nanoseconds timeout) {
  if (event.IsSet()) return true;
  Advance(timeout);
  return event.IsSet();
}

}  // namespace sys
