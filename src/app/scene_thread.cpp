#include "app/scene_thread.h"

#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "app/background.h"
#include "app/saver_window.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/temp_file.h"
#include "scene/scene_list.h"

namespace app {

SceneThread::SceneThread(scene::SceneList& list, SaverWindow& window, ScreenAccess& screen,
                         sys::Clock& clock, ProfileIntFn profileInt)
    : list_(list),
      window_(window),
      screen_(screen),
      canvas_(screen.Surface()),
      clock_(clock),
      profileInt_(std::move(profileInt)),
      video_(std::make_unique<media::VideoWindow>(*this, waitClock_)) {
  video_->Create();
}

SceneThread::~SceneThread() { Stop(); }

void SceneThread::Start() {
  thread_ = std::thread([this] {
    // Pacing waits are tens of microseconds; the default 50 us timer slack would swamp them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    Run();
  });
}

void SceneThread::SetAudio(audio::AudioDevice* device, media::SoundQuality quality) {
  mp3Player_ = std::make_unique<media::MP3Player>(device, waitClock_, quality);
  waveSound_ = std::make_unique<audio::WaveSound>(device);
  audioDevice_ = device;
}

void SceneThread::Stop() {
  stopEvent_.Set();
  // A clip that an item waits for ends, so the item returns.
  CloseVideo();
  // The stop reaches a sound the walk waits for, and no sound starts after it: set first,
  // a waiting play started between a stop of the player and the stop event would hold the
  // walk (and this wait) for the length of the piece, or for ever when it loops.
  if (mp3Player_) mp3Player_->Close();
  if (waveSound_) waveSound_->Close();
  if (thread_.joinable()) {
    finishedEvent_.Wait();
    thread_.join();
  }
}

void SceneThread::Run() {
  walkThread_ = std::this_thread::get_id();
  AcquireScreen();
  Repaint(0, gfx::SRCCOPY);  // the screen turns black
  for (int32_t i = 0; i >= 0 && static_cast<size_t>(i) < list_.size() && !stopEvent_.IsSet(); ++i) {
    scene::SceneItem& item = list_.at(static_cast<size_t>(i));
    if (!item.isDisabled() && item.play(*this, i) != 0) PauseCheck();
    NoteStep(kItemStepCost);
    // Give the display a chance between items even when nothing waits.
    ReleaseScreen();
    AcquireScreen();
  }
  if (waveSound_) waveSound_->Stop();
  if (mp3Player_) mp3Player_->Stop();
  ReleaseScreen();
  CloseVideo();
  if (onFinished_) onFinished_();
  finishedEvent_.Set();
}

// A show that spends no show time (an endless loop around a comment or of background
// colours, a move that never arrives at its stop) would never reach the next frame or the
// end of --seconds. So steps in a row without show time passing cost a millisecond of it
// per kNoTimeSteps: a rule of counting alone, so the frames of a show stay the same from
// run to run. A pace that waits nothing counts 1; an item played counts 125 (eight items
// to the millisecond), since an item may draw the whole screen.
constexpr uint32_t kNoTimeSteps = 1000;

void SceneThread::NoteStep(uint32_t cost) {
  const std::chrono::nanoseconds now = clock_.Elapsed();
  if (now != lastElapsed_) {
    lastElapsed_ = now;
    noTimeSteps_ = 0;
    return;
  }
  noTimeSteps_ += cost;
  if (noTimeSteps_ < kNoTimeSteps) return;
  noTimeSteps_ = 0;
  if (!stopEvent_.IsSet()) waitClock_.WaitFor(stopEvent_, std::chrono::milliseconds(1));
  lastElapsed_ = clock_.Elapsed();
}

void SceneThread::AcquireScreen() {
  if (holding_) return;
  screen_.Acquire();
  holding_ = true;
  heldSince_ = std::chrono::steady_clock::now();
}

void SceneThread::ReleaseScreen() {
  if (!holding_) return;
  holding_ = false;
  screen_.Release(canvas_.TakeDirty());
}

void SceneThread::WaitClock::Sleep(std::chrono::nanoseconds d) {
  bool held = owner_.holding_;
  owner_.ReleaseScreen();
  if (owner_.video_->NextDue()) {
    const sys::Event never;
    owner_.WaitDrawingClip(never, d);
  } else {
    owner_.clock_.Sleep(d);
  }
  if (held) owner_.AcquireScreen();
}

bool SceneThread::WaitClock::WaitFor(const sys::Event& e, std::chrono::nanoseconds timeout) {
  bool held = owner_.holding_;
  owner_.ReleaseScreen();
  bool set = owner_.WaitDrawingClip(e, timeout);
  if (held) owner_.AcquireScreen();
  return set;
}

bool SceneThread::WaitDrawingClip(const sys::Event& e, std::chrono::nanoseconds timeout) {
  // The background clip plays in the scene thread's waits: the wait is cut at each of its
  // pictures, so a clip keeps to the show's clock, real or virtual, and a render takes its
  // frames in order.
  constexpr std::chrono::nanoseconds kFar = std::chrono::hours(24 * 365);
  const auto start = clock_.Elapsed();
  const auto end = start + std::min(std::max(timeout, std::chrono::nanoseconds(0)), kFar);
  for (;;) {
    const auto due = video_->NextDue();
    const auto now = clock_.Elapsed();
    if (!due || *due >= end) return clock_.WaitFor(e, std::max(end - now, {}));
    if (*due > now && clock_.WaitFor(e, *due - now)) return true;
    if (e.IsSet()) return true;
    video_->Advance(clock_.Elapsed());
  }
}

void SceneThread::DrawClip(int x, int y, const media::ClipPicture& picture) {
  // The scene thread, inside a wait or a one-shot play: the screen is taken for the copy.
  const bool held = holding_;
  AcquireScreen();
  media::DrawClipPicture(canvas_, x, y, picture);
  if (!held) ReleaseScreen();
}

void SceneThread::SetBlankCursor() {
  std::lock_guard lock(clipAreaMutex_);
  blankCursor_ = true;
  window_.SetTransparentCursorArea(clipArea_);
}

void SceneThread::ClipWindowArea(const gfx::Rect& area) {
  std::lock_guard lock(clipAreaMutex_);
  clipArea_ = area;
  // The class cursor covers the window from the first successful open on.
  if (blankCursor_) window_.SetTransparentCursorArea(area);
}

void SceneThread::EraseClip(int x, int y, int width, int height) {
  if (std::this_thread::get_id() != walkThread_.load() || width <= 0 || height <= 0) return;
  const bool held = holding_;
  AcquireScreen();
  canvas_.FillRect({x, y, x + width, y + height}, window_.BackgroundColor());
  if (!held) ReleaseScreen();
}

void SceneThread::SetCurrentPlayer(media::MciPlayerWindow* player) {
  std::lock_guard lock(playerMutex_);
  currentPlayer_ = player;
  // A stop that came before the player was known still ends it.
  if (player && stopEvent_.IsSet()) player->PostClose();
}

void SceneThread::CloseVideo() {
  if (video_) {
    video_->OnCommand(media::ID_VIDEO_STOP);
    video_->OnCommand(media::ID_VIDEO_CLOSE);
    video_->OnClose();
    const std::string name = video_->FileName();
    if (!name.empty()) sys::RemoveFile(name);
  }
  std::lock_guard lock(playerMutex_);
  if (currentPlayer_) {
    const std::string name = currentPlayer_->FileName();
    currentPlayer_->PostClose();
    if (!name.empty()) sys::RemoveFile(name);
  }
}

void SceneThread::Paced(const transitions::PaceStep& step) {
  // A precise timed wait instead of the calibrated busy poll, ended at once by the stop
  // event.
  if (step.wait) {
    waitClock_.WaitFor(stopEvent_, *step.wait);
    return;
  }
  NoteStep(1);
  // Drawing straight to a screen is seen as it happens: a long run of steps without waits
  // is shown at step boundaries, once a refresh period.
  if (step.shown) {
    holding_ = false;
    screen_.Present(canvas_.TakeDirty());
    holding_ = true;
    heldSince_ = std::chrono::steady_clock::now();
  }
}

bool SceneThread::PresentDue() {
  const std::chrono::nanoseconds period = screen_.PresentPeriod();
  return holding_ && period.count() > 0 && !stopEvent_.IsSet() &&
         std::chrono::steady_clock::now() - heldSince_ >= period;
}

std::chrono::nanoseconds SceneThread::PresentPeriod() {
  // Only a held screen is seen by its presents alone.
  return holding_ ? screen_.PresentPeriod() : std::chrono::nanoseconds{};
}

void SceneThread::Repaint(gfx::COLORREF color, uint32_t rasterOp) {
  window_.Repaint(color, rasterOp);
  EraseWithBackground(canvas_, color, rasterOp);
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
