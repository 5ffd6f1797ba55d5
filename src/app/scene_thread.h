#pragma once
// Plays the loaded scene list on its own thread while the UI thread keeps the saver window
// responsive. Items reach the thread's and the window's services through PlayHost.

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "scene/play_host.h"

namespace scene {
class SceneList;
}

namespace app {

class SaverWindow;

class SceneThread final : public scene::PlayHost {
 public:
  using ProfileIntFn = std::function<int32_t(const std::string&, const std::string&, int32_t)>;

  SceneThread(scene::SceneList& list, SaverWindow& window, gfx::Canvas& screen, sys::Clock& clock,
              ProfileIntFn profileInt);
  ~SceneThread() override;
  SceneThread(const SceneThread&) = delete;
  SceneThread& operator=(const SceneThread&) = delete;

  // Starts the walk on a new thread.
  void Start();
  // Sets the stop event and waits until the thread has ended; returns at once when it has.
  void Stop();
  const sys::Event& FinishedEvent() const { return finishedEvent_; }

  // PlayHost.
  const sys::Event& StopEvent() const override { return stopEvent_; }
  sys::Clock& Clock() override { return clock_; }
  void Pace(uint32_t speed, double scale) override;
  void PauseCheck() override {}
  gfx::Canvas& Screen() override { return screen_; }
  void Repaint(gfx::COLORREF color, uint32_t rasterOp) override;
  gfx::COLORREF BackgroundColor() const override;
  bool Muted() const override;
  void SetActiveLink(const std::string& url, int32_t linkMode) override;
  void ClearActiveLink() override;
  int32_t ProfileInt(const std::string& section, const std::string& entry,
                     int32_t defaultValue) override;

  // The walk itself, on the calling thread (the thread body; tests call it directly).
  void Run();

 private:
  scene::SceneList& list_;
  SaverWindow& window_;
  gfx::Canvas& screen_;
  sys::Clock& clock_;
  ProfileIntFn profileInt_;
  sys::Event stopEvent_;
  sys::Event finishedEvent_;
  std::thread thread_;
};

}  // namespace app
