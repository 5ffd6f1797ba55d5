#include "media/mp3_thread.h"

#include <chrono>

namespace media {

void MP3Thread::Start() {
  thread_ = std::thread([this] { Run(); });
}

void MP3Thread::Join() {
  if (thread_.joinable()) thread_.join();
}

void MP3Thread::Run() {
  do {
    ++passes;
    const bool ok =
        (data && length != -1) ? pass.PlayMemory(data, length) : pass.PlayFile(fileName);
    if (!ok) {
      failed = true;
      started_.Set();  // a Stop never waits for ever
      // A looping piece that cannot play is tried again, but not in a tight loop.
      if (loop) stop_.WaitFor(std::chrono::milliseconds(500));
    }
  } while (loop && !stop_.IsSet());
  finished_.Set();
  pass.ReleaseHold();
  stop_.Wait();
}

}  // namespace media
