#pragma once
// The preview window's caption: the application name, one letter per line, scrolling up
// through the window to the right of the logo, on a thread of its own.

#include <memory>
#include <string>
#include <thread>

#include "platform/gfx/surface.h"
#include "platform/sys/event.h"
#include "platform/text/font.h"

namespace sys {
class Clock;
}
namespace ui {
class Display;
}

namespace app {

class CaptionScroller {
 public:
  // name: the application name (UTF-8); leftOffset: the logo's width, left of the caption.
  CaptionScroller(ui::Display& owner, int leftOffset, const std::string& name, sys::Clock& clock);
  ~CaptionScroller();
  CaptionScroller(const CaptionScroller&) = delete;
  CaptionScroller& operator=(const CaptionScroller&) = delete;

  // Starts the thread (normal priority).
  void Start();
  // The owner's stop protocol: set stopEvent, wait for finishedEvent, then for the thread.
  void Stop();

  // One pass of the thread: draws the caption at (x, y) and moves it up; false when it
  // has just left the top and starts again from the bottom (no wait on that pass).
  bool Step();

  const gfx::Surface& Image() const { return image; }

  std::shared_ptr<const text::Font> font;
  gfx::Surface image;
  int x = 0, y = 0;
  int width = 0, height = 0;
  int scrollStep = 1;
  int scrolling = 1;
  sys::Event stopEvent;
  sys::Event finishedEvent;

 private:
  void Run();

  ui::Display& owner_;
  sys::Clock& clock_;
  int clientTop_ = 0, clientBottom_ = 0;
  std::thread thread_;
};

}  // namespace app
