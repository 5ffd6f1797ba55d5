#pragma once
// Takes frames of the screen at fixed instants of virtual time: frame k shows the screen
// as it stands at k / fps seconds of show time. Attached to a VirtualClock as its observer,
// so frames are written on whichever thread moves time forward.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace app {

class FrameRecorder {
 public:
  // write(frameIndex) stores frame k; limitReached() is called once when show time reaches
  // `limit` (zero: no limit).
  FrameRecorder(int fps, std::chrono::nanoseconds limit, std::function<bool(int64_t)> write,
                std::function<void()> limitReached);

  // The clock observer: time is about to move from `from` to `to`.
  void OnAdvance(std::chrono::nanoseconds from, std::chrono::nanoseconds to);
  // The show is over at `now`: takes the frame of that instant if it is due.
  void Finish(std::chrono::nanoseconds now);

  int64_t FramesWritten() const { return next_; }
  bool Failed() const { return failed_; }
  static std::string FrameName(int64_t index);

 private:
  std::chrono::nanoseconds Instant(int64_t k) const;

  int fps_;
  std::chrono::nanoseconds limit_;
  std::function<bool(int64_t)> write_;
  std::function<void()> limitReached_;
  int64_t next_ = 0;
  bool limitSignalled_ = false;
  bool failed_ = false;
};

}  // namespace app
