#pragma once
// A plain X11 window standing in for a saver host's window, and a few looks at the server
// from outside. Kept apart from the tests because Xlib's macros clash with GoogleTest's names.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

namespace testx11 {

class HostWindow {
 public:
  HostWindow(const std::string& display, int width, int height);
  ~HostWindow();
  bool Ok() const { return connection_ != nullptr && window_ != 0; }
  uint64_t Id() const { return window_; }
  // Fills a rectangle of the window with 0x00RRGGBB and waits until the server has it.
  void Fill(int x, int y, int width, int height, uint32_t rgb);
  // 0x00RRGGBB of one pixel as the X server has it.
  uint32_t PixelAt(int x, int y);
  void Resize(int width, int height);

 private:
  ::_XDisplay* connection_ = nullptr;
  unsigned long window_ = 0;
};

// The server seen by another client: its top-level windows, its keyboard.
class Observer {
 public:
  explicit Observer(const std::string& display);
  ~Observer();
  bool Ok() const { return connection_ != nullptr; }
  uint64_t Root() const;
  // 0x00RRGGBB of one pixel of the root window as the X server has it.
  uint32_t RootPixelAt(int x, int y);
  // Declares a monitor (RandR 1.5) over part of the screen, as a second output would.
  bool AddMonitor(const char* name, int x, int y, int width, int height);
  // Children of the root window that are mapped, in stacking order.
  std::vector<uint64_t> MappedTopLevels();
  // Gives `window` the input focus and presses and releases the space bar through XTEST.
  bool PressKey(uint64_t window);
  // Waits until `window` is no longer viewable (or gone); false on time-out.
  bool WaitUnmapped(uint64_t window, std::chrono::milliseconds timeout);

 private:
  ::_XDisplay* connection_ = nullptr;
};

}  // namespace testx11
