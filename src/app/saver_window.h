#pragma once
// The full-screen window of the show: decides from the exit settings whether input ends
// the saver, remembers the active web link, and erases with the show's background.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/gfx/canvas.h"
#include "platform/gfx/surface.h"
#include "platform/ui/messages.h"

namespace app {

// What the window needs from the rest of the player. The UI thread calls every method
// except those marked otherwise.
class SaverWindowHost {
 public:
  virtual ~SaverWindowHost() = default;
  // Profile integer and string of the per-saver application profile.
  virtual int32_t ProfileInt(const std::string& section, const std::string& entry,
                             int32_t defaultValue) = 0;
  virtual std::string ProfileString(const std::string& section, const std::string& entry) = 0;
  // "ScreenSaveUsePassword" of HKEY_CURRENT_USER\Control Panel\Desktop (0 when absent).
  virtual uint32_t ScreenSaveUsePassword() = 0;
  // Queues a message for this window (PostMessage).
  virtual void Post(const ui::Message& message) = 0;
  // Runs the password dialog with the stored scrambled password; true when it ended with OK.
  virtual bool AskPassword(const std::string& stored) = 0;
  // Arrow cursor (true) or the blank one (false).
  virtual void ShowArrowCursor(bool arrow) = 0;
  // Current cursor position in client coordinates.
  virtual void CursorPosition(int32_t& x, int32_t& y) = 0;
  // Destroys the window (default close handling): the window's OnDestroy follows.
  virtual void DestroyWindow() = 0;
  // WM_DESTROY duties outside the window: stop the scene thread, end the message loop.
  virtual void WindowDestroyed() = 0;
  // Writes SaverApp's pendingUrl.
  virtual void SetPendingUrl(const std::string& url) = 0;
  // Fills the whole window with a colour combined by a raster operation; any thread.
  virtual void EraseBackground(gfx::COLORREF color, uint32_t rasterOp) = 0;
  // The area of a child window whose cursor is the transparent one (the background clip's);
  // empty when none shows. Any thread.
  virtual void SetTransparentCursorArea(const gfx::Rect&) {}
};

class SaverWindow {
 public:
  explicit SaverWindow(SaverWindowHost& host);

  // WM_CREATE without calibration (the caller runs Calibrate): reads "Mute".
  void OnCreate();
  // Dispatches one message the way the window's message map does (Alt+F4 dropped first).
  void HandleMessage(const ui::Message& message);
  // Tests one exit condition by its entry name; posts WM_CLOSE and returns true when it ends.
  bool CheckExit(const std::string& name);

  // Scene-thread services. Repaint stores the background; the caller, which holds the
  // screen, erases it.
  void Repaint(gfx::COLORREF color, uint32_t rasterOp);
  gfx::COLORREF BackgroundColor() const { return backgroundColor_.load(); }
  uint32_t RasterOp() const { return rasterOp_.load(); }
  bool Muted() const { return muted_; }
  void SetActiveLink(const std::string& url, int32_t linkMode);
  void SetTransparentCursorArea(const gfx::Rect& area) { host_.SetTransparentCursorArea(area); }
  void ClearActiveLink();

  // Read back for tests and the exit path.
  int32_t LinkMode() const;
  std::string ActiveUrl() const;
  bool Destroyed() const { return destroyed_; }

 private:
  void OnClose();
  void OnDestroy();
  void OnKeyDown(uint32_t key);

  SaverWindowHost& host_;
  bool muted_ = false;
  int32_t lastMouseX_ = -1, lastMouseY_ = -1;
  std::atomic<gfx::COLORREF> backgroundColor_{0};
  std::atomic<uint32_t> rasterOp_{0x00CC0020};
  mutable std::mutex linkMutex_;  // the link is set by the scene thread, read by the UI thread
  std::string activeUrl_;
  int32_t linkMode_ = -1;
  bool destroyed_ = false;
};

}  // namespace app
