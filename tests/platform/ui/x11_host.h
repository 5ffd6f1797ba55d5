#pragma once
// A plain X11 window standing in for a saver host's preview window. Kept apart from the
// tests because Xlib's macros clash with GoogleTest's names.

#include <cstdint>
#include <string>

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

 private:
  ::_XDisplay* connection_ = nullptr;
  unsigned long window_ = 0;
};

}  // namespace testx11
