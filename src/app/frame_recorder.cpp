#include "app/frame_recorder.h"

#include <cstdio>

namespace app {

FrameRecorder::FrameRecorder(int fps, std::chrono::nanoseconds limit,
                             std::function<bool(int64_t)> write,
                             std::function<void()> limitReached)
    : fps_(fps > 0 ? fps : 1),
      limit_(limit),
      write_(std::move(write)),
      limitReached_(std::move(limitReached)) {}

std::chrono::nanoseconds FrameRecorder::Instant(int64_t k) const {
  // Exact integer instants: k * 1e9 / fps, no drift over long shows.
  return std::chrono::nanoseconds(k * 1'000'000'000 / fps_);
}

std::string FrameRecorder::FrameName(int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(index));
  return name;
}

void FrameRecorder::OnAdvance(std::chrono::nanoseconds from, std::chrono::nanoseconds to) {
  (void)from;
  // Every frame whose instant lies before `to` shows the screen as it is now.
  while (!failed_ && Instant(next_) < to && (limit_.count() == 0 || Instant(next_) < limit_)) {
    if (!write_(next_)) failed_ = true;
    ++next_;
  }
  if (limit_.count() > 0 && to >= limit_ && !limitSignalled_) {
    limitSignalled_ = true;
    if (limitReached_) limitReached_();
  }
}

void FrameRecorder::Finish(std::chrono::nanoseconds now) {
  while (!failed_ && Instant(next_) <= now && (limit_.count() == 0 || Instant(next_) < limit_)) {
    if (!write_(next_)) failed_ = true;
    ++next_;
  }
}

}  // namespace app
