#include "app/scene_thread.h"

#include <sys/prctl.h>

#include <chrono>

#include "app/saver_window.h"
#include "platform/gfx/canvas.h"
#include "scene/scene_list.h"

namespace app {

SceneThread::SceneThread(scene::SceneList& list, SaverWindow& window, gfx::Canvas& screen,
                         sys::Clock& clock, ProfileIntFn profileInt)
    : list_(list),
      window_(window),
      screen_(screen),
      clock_(clock),
      profileInt_(std::move(profileInt)) {}

SceneThread::~SceneThread() { Stop(); }

void SceneThread::Start() {
  thread_ = std::thread([this] {
    // Pacing waits are tens of microseconds; the default 50 us timer slack would swamp them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    Run();
  });
}

void SceneThread::Stop() {
  stopEvent_.Set();
  if (thread_.joinable()) {
    finishedEvent_.Wait();
    thread_.join();
  }
}

void SceneThread::Run() {
  Repaint(0, 0x00CC0020);  // black, SRCCOPY
  auto& items = list_.Items();
  for (int32_t i = 0; i >= 0 && static_cast<size_t>(i) < items.size() && !stopEvent_.IsSet();
       ++i) {
    auto& item = *items[static_cast<size_t>(i)];
    if (!item.isDisabled() && item.play(*this, i) != 0) PauseCheck();
  }
  finishedEvent_.Set();
}

void SceneThread::Pace(uint32_t speed, double scale) {
  // (scale - speed) hundred-thousandths of a second; a precise timed wait instead of the
  // calibrated busy poll, ended at once by the stop event.
  double units = scale - static_cast<double>(speed);
  if (!(units > 0)) return;
  auto wait = std::chrono::nanoseconds(static_cast<int64_t>(units * 10'000.0));
  clock_.WaitFor(stopEvent_, wait);
}

void SceneThread::Repaint(gfx::COLORREF color, uint32_t rasterOp) {
  window_.Repaint(color, rasterOp);
}

gfx::COLORREF SceneThread::BackgroundColor() const { return window_.BackgroundColor(); }

bool SceneThread::Muted() const { return window_.Muted(); }

void SceneThread::SetActiveLink(const std::string& url, int32_t linkMode) {
  window_.SetActiveLink(url, linkMode);
}

void SceneThread::ClearActiveLink() { window_.ClearActiveLink(); }

int32_t SceneThread::ProfileInt(const std::string& section, const std::string& entry,
                                int32_t defaultValue) {
  return profileInt_ ? profileInt_(section, entry, defaultValue) : defaultValue;
}

}  // namespace app
