#pragma once
// A play host on virtual time over an in-memory screen, recording what items asked of it.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "scene/play_host.h"

namespace scene_test {

class FakePlayHost : public scene::PlayHost {
 public:
  explicit FakePlayHost(int width = 1024, int height = 768)
      : surface(width, height), canvas(surface) {
    clock.SetObserver([this](std::chrono::nanoseconds from, std::chrono::nanoseconds to) {
      waits.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
      if (onAdvance) onAdvance();
    });
  }

  const sys::Event& StopEvent() const override { return stop; }
  sys::Clock& Clock() override { return clock; }
  void Paced(const transitions::PaceStep&) override {}
  void PauseCheck() override { ++pauseChecks; }
  gfx::Canvas& Screen() override { return canvas; }
  void Repaint(gfx::COLORREF color, uint32_t rop) override {
    repaints.push_back({color, rop});
    background = color;
  }
  gfx::COLORREF BackgroundColor() const override { return background; }
  bool Muted() const override { return false; }
  void SetActiveLink(const std::string& url, int32_t mode) override {
    link = url;
    linkMode = mode;
  }
  void ClearActiveLink() override {
    link.clear();
    linkMode = -2;
  }
  int32_t ProfileInt(const std::string& section, const std::string& entry,
                     int32_t defaultValue) override {
    auto it = profile.find(section + "/" + entry);
    return it == profile.end() ? defaultValue : it->second;
  }
  std::string DesktopPath() const override { return desktopPath; }
  std::string WallpaperPath() const override { return wallpaperPath; }

  sys::VirtualClock clock;
  sys::Event stop;
  gfx::Surface surface;
  gfx::Canvas canvas;
  std::vector<int64_t> waits;  // each advance of virtual time, in ms
  std::function<void()> onAdvance;
  std::vector<std::pair<gfx::COLORREF, uint32_t>> repaints;
  gfx::COLORREF background = 0;
  std::string link;
  int32_t linkMode = -2;
  int pauseChecks = 0;
  std::map<std::string, int32_t> profile;
  std::string desktopPath, wallpaperPath;
};

}  // namespace scene_test
