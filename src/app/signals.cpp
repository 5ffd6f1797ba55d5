#include "app/signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/sys/temp_file.h"

namespace app {
namespace {

std::atomic<bool> requested{false};
std::mutex handlerMutex;
std::function<void()> handler;

sigset_t ExitSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

// How long the UI thread gets to close down before the watcher ends the process.
constexpr auto kGrace = std::chrono::milliseconds(800);

}  // namespace

void BlockExitSignals() {
  sigset_t set = ExitSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatcher::SignalWatcher(std::function<void()> onSignal) {
  SetHandler(std::move(onSignal));
  // Detached: it either waits for a signal until the process ends or ends the process.
  std::thread([] {
    sigset_t set = ExitSignals();
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    requested = true;
    {
      std::lock_guard lock(handlerMutex);
      if (handler) handler();
    }
    std::this_thread::sleep_for(kGrace);
    sys::EndTempFiles();
    _exit(128 + sig);
  }).detach();
}

SignalWatcher::~SignalWatcher() {
  std::lock_guard lock(handlerMutex);
  handler = nullptr;
}

void SignalWatcher::SetHandler(std::function<void()> onSignal) {
  std::lock_guard lock(handlerMutex);
  handler = std::move(onSignal);
}

bool SignalWatcher::Requested() { return requested; }

}  // namespace app
