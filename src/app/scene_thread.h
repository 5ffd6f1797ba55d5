#pragma once
// Plays the loaded scene list on its own thread while the UI thread keeps the saver window
// responsive. Items reach the thread's and the window's services through PlayHost.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "media/clip_playback.h"
#include "media/mci_player_window.h"
#include "media/mp3_player.h"
#include "media/video_window.h"
#include "platform/audio/wave_sound.h"
#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "scene/play_host.h"

namespace scene {
class SceneList;
}

namespace app {

class SaverWindow;

// The screen as the scene thread sees it: a surface it may draw into while it holds it.
// The thread holds the screen while it works and lets go of it whenever it waits, so the
// display presents during waits and never while a step is half drawn.
class ScreenAccess {
 public:
  virtual ~ScreenAccess() = default;
  virtual gfx::Surface& Surface() = 0;
  virtual void Acquire() = 0;
  // `drawn`: the area changed while held.
  virtual void Release(const gfx::Rect& drawn) = 0;
  // How long the thread may keep the screen while it draws without waiting, so that what
  // it draws is seen as it happens; zero when nobody looks at the screen between waits
  // (tests, frames rendered in virtual time).
  virtual std::chrono::nanoseconds PresentPeriod() const { return {}; }
  // Lets go of the screen until what was drawn has been shown, then takes it back.
  virtual void Present(const gfx::Rect& drawn) {
    Release(drawn);
    Acquire();
  }
};

// A surface nobody else looks at (tests, tools).
class PlainScreen final : public ScreenAccess {
 public:
  explicit PlainScreen(gfx::Surface& surface) : surface_(surface) {}
  gfx::Surface& Surface() override { return surface_; }
  void Acquire() override {}
  void Release(const gfx::Rect&) override {}

 private:
  gfx::Surface& surface_;
};

class SceneThread final : public scene::PlayHost, public media::ClipScreen {
 public:
  using ProfileIntFn = std::function<int32_t(const std::string&, const std::string&, int32_t)>;

  SceneThread(scene::SceneList& list, SaverWindow& window, ScreenAccess& screen, sys::Clock& clock,
              ProfileIntFn profileInt);
  ~SceneThread() override;
  SceneThread(const SceneThread&) = delete;
  SceneThread& operator=(const SceneThread&) = delete;

  // Starts the walk on a new thread.
  void Start();
  // Sets the stop event and waits until the thread has ended; returns at once when it has.
  void Stop();
  // Sets the stop event only (any thread, also from inside a clock observer).
  void RequestStop() { stopEvent_.Set(); }
  // The sound of the items (before Start); without it they play none.
  void SetAudio(audio::AudioDevice* device, media::SoundQuality quality);
  // Called on the scene thread when the walk has ended.
  void SetOnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }
  const sys::Event& FinishedEvent() const { return finishedEvent_; }

  // PlayHost.
  const sys::Event& StopEvent() const override { return stopEvent_; }
  sys::Clock& Clock() override { return waitClock_; }
  bool PresentDue() override;
  std::chrono::nanoseconds PresentPeriod() override;
  void PauseCheck() override {}
  gfx::Canvas& Screen() override { return canvas_; }
  void Repaint(gfx::COLORREF color, uint32_t rasterOp) override;
  gfx::COLORREF BackgroundColor() const override;
  bool Muted() const override;
  void SetActiveLink(const std::string& url, int32_t linkMode) override;
  void ClearActiveLink() override;
  int32_t ProfileInt(const std::string& section, const std::string& entry,
                     int32_t defaultValue) override;
  media::MP3Player* Mp3Player() override { return mp3Player_.get(); }
  audio::WaveSound* WaveSounds() override { return waveSound_.get(); }
  media::VideoWindow* Video() override { return video_.get(); }
  media::ClipScreen* ClipTarget() override { return this; }
  void SetCurrentPlayer(media::MciPlayerWindow* player) override;
  // The clip windows' hold on the cursor (tests): their ShowCursor count and whether a clip
  // asked for the transparent cursor.
  int ClipCursorCount() const { return clipCursorCount_.load(); }
  bool BlankCursorOverClip() const { return blankCursor_.load(); }
  // Once the pictures are written (a picture of the show asks for them).
  std::string DesktopPath() const override {
    if (awaitPictures_) awaitPictures_();
    return desktopPath_;
  }
  std::string WallpaperPath() const override {
    if (awaitPictures_) awaitPictures_();
    return wallpaperPath_;
  }
  // Where the startup writes the desktop snapshot and the wallpaper picture; `await` (may
  // be empty) returns once both are written.
  void SetPicturePaths(std::string desktop, std::string wallpaper,
                       std::function<void()> await = {}) {
    desktopPath_ = std::move(desktop);
    wallpaperPath_ = std::move(wallpaper);
    awaitPictures_ = std::move(await);
  }

  // The walk itself, on the calling thread (the thread body; tests call it directly).
  void Run();

 private:
  // Lets go of the screen for the length of every wait.
  class WaitClock final : public sys::Clock {
   public:
    explicit WaitClock(SceneThread& owner) : owner_(owner) {}
    uint32_t TickCount() override { return owner_.clock_.TickCount(); }
    std::chrono::nanoseconds Elapsed() override { return owner_.clock_.Elapsed(); }
    sys::SystemTime Now() override { return owner_.clock_.Now(); }
    int64_t CalendarSeconds() override { return owner_.clock_.CalendarSeconds(); }
    void Sleep(std::chrono::nanoseconds d) override;
    bool WaitFor(const sys::Event& e, std::chrono::nanoseconds timeout) override;

   private:
    SceneThread& owner_;
  };
  void ReleaseScreen();
  void AcquireScreen();
  // A wait of the scene thread that draws the background clip's pictures as they fall due.
  bool WaitDrawingClip(const sys::Event& e, std::chrono::nanoseconds timeout);
  // Stops and closes both clip windows and deletes their files (end of the walk, Stop).
  void CloseVideo();
  // media::ClipScreen.
  void DrawClip(int x, int y, const media::ClipPicture& picture) override;
  void ShowCursor(bool show) override { clipCursorCount_ += show ? 1 : -1; }
  void SetBlankCursor() override;
  void ClipWindowArea(const gfx::Rect& area) override;
  audio::AudioDevice* ClipSound() override { return audioDevice_; }
  void EraseClip(int x, int y, int width, int height) override;
  // transitions::Pacer.
  void Paced(const transitions::PaceStep& step) override;
  // Counts a step (an item played, a pace that waits nothing) for the no-time rule.
  void NoteStep(uint32_t cost);
  static constexpr uint32_t kItemStepCost = 125;

  scene::SceneList& list_;
  SaverWindow& window_;
  ScreenAccess& screen_;
  gfx::Canvas canvas_;
  sys::Clock& clock_;
  WaitClock waitClock_{*this};
  bool holding_ = false;
  std::chrono::steady_clock::time_point heldSince_{};
  std::chrono::nanoseconds lastElapsed_{-1};
  uint32_t noTimeSteps_ = 0;
  std::function<void()> onFinished_;
  ProfileIntFn profileInt_;
  std::string desktopPath_, wallpaperPath_;
  std::function<void()> awaitPictures_;
  std::unique_ptr<media::MP3Player> mp3Player_;
  std::unique_ptr<audio::WaveSound> waveSound_;
  audio::AudioDevice* audioDevice_ = nullptr;
  sys::Event stopEvent_;
  sys::Event finishedEvent_;
  std::unique_ptr<media::VideoWindow> video_;
  std::mutex playerMutex_;
  media::MciPlayerWindow* currentPlayer_ = nullptr;  // guarded by playerMutex_
  std::atomic<int> clipCursorCount_{0};
  std::atomic<bool> blankCursor_{false};
  std::mutex clipAreaMutex_;
  gfx::Rect clipArea_{};  // guarded by clipAreaMutex_
  std::atomic<std::thread::id> walkThread_{};
  std::thread thread_;
};

}  // namespace app
