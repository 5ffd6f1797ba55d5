#pragma once
// SIGTERM, SIGINT and SIGHUP end the player like a user exit. The signals are blocked in
// every thread and taken by one watcher thread, which hands them to the UI thread; if the
// process has not ended shortly after, the watcher removes the temporary files itself and
// ends it with status 128 + the signal's number.

#include <functional>
#include <string>

namespace app {

// Blocks the three signals in the calling thread (and so in every thread it starts later).
// Call first thing in main.
void BlockExitSignals();

class SignalWatcher {
 public:
  // onSignal runs on the watcher thread; it must only hand the request over (post a message).
  explicit SignalWatcher(std::function<void()> onSignal);
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

  // Replaces the hand-over (e.g. once the display exists).
  void SetHandler(std::function<void()> onSignal);
  // True once a signal has arrived.
  static bool Requested();
};

}  // namespace app
