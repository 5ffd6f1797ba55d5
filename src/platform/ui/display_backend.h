#pragma once
// What a display backend provides. The Display keeps the screen, the queue and the
// pacing; a backend only shows pixels and turns its window system's input into messages.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/canvas.h"
#include "platform/ui/display.h"
#include "platform/ui/messages.h"

namespace ui {

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  virtual bool HasWindow() const = 0;
  virtual int RefreshRate() const { return 60; }
  // UI thread: waits up to `timeout` for input or a Wake(), appending what arrived.
  virtual void WaitInput(std::chrono::milliseconds timeout, std::vector<Message>& out) = 0;
  // Any thread: ends a WaitInput in progress, or the next one at once.
  virtual void Wake() = 0;
  // UI thread, screen locked: copies `area` of the screen to the window's pixels.
  virtual void Upload(const gfx::Surface& screen, const gfx::Rect& area) = 0;
  // UI thread: copies `area` of src to the window's pixels at (x, y) (a dialog over the show).
  virtual void UploadAt(const gfx::Surface& src, const gfx::Rect& area, int x, int y) {
    (void)src, (void)area, (void)x, (void)y;
  }
  // UI thread: whether typed characters arrive as WM_CHAR (only while a dialog wants them,
  // so that no input method pops up over a show).
  virtual void SetTextInput(bool on) { (void)on; }
  // UI thread, screen not locked: shows what was uploaded.
  virtual void Present() = 0;
  virtual void ApplyCursor(bool visible, int cursorId) = 0;
  // UI thread: takes the window off the screen at once (a window of ours only).
  virtual void Hide() {}
  // Whether the window system lost the window's pixels since the last call.
  virtual bool TakeExposed() { return false; }
};

// Opens a backend for `options`; sets width and height to the screen size it got.
using BackendOpener = std::unique_ptr<DisplayBackend> (*)(const DisplayOptions& options, int* width,
                                                          int* height, std::string* error);

std::unique_ptr<DisplayBackend> OpenHeadlessBackend(const DisplayOptions& options, int* width,
                                                    int* height, std::string* error);
std::unique_ptr<DisplayBackend> OpenX11HostBackend(const DisplayOptions& options, int* width,
                                                   int* height, std::string* error);
std::unique_ptr<DisplayBackend> OpenSdlBackend(const DisplayOptions& options, int* width,
                                               int* height, std::string* error);

}  // namespace ui
