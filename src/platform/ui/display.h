#pragma once
// The screen and its window. The display owns one 32-bit surface, the screen; any thread
// draws into it through a ScreenLock, and the UI thread presents what changed to the
// backend at the display's refresh rate from inside its message wait. Input arrives as
// window messages on a thread-safe queue that other threads can post to.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gfx/canvas.h"
#include "platform/gfx/surface.h"
#include "platform/ui/messages.h"

namespace ui {

enum class DisplayMode {
  FullScreen,  // desktop size, on top of everything, no decorations
  Window,      // a normal window of the given size
  Embedded,    // inside a foreign X11 window (saver preview); parent 0 makes a window
  Host,        // on a window a screen-saver host gave us (0: the root window); no input
  Headless,    // no window at all; the screen is only memory
};

struct DisplayOptions {
  DisplayMode mode = DisplayMode::Headless;
  // Screen size for Window and Headless, and for Embedded without a parent.
  int width = 1024;
  int height = 768;
  // FullScreen: over the whole desktop rather than the primary monitor.
  bool span = false;
  // X11 window id of the host window (Embedded, Host).
  uint64_t parentWindow = 0;
  // Window: the X11 window that owns ours (a dialog's owner); 0 or a window that does not
  // exist: none.
  uint64_t ownerWindow = 0;
  // Window: the user cannot resize it (a dialog).
  bool fixedSize = false;
  std::string title = "sceneplayer";
  // SDL's video driver for the window modes. Only tests pick another (dummy): a player
  // must never play where nobody sees it.
  std::string videoDriver = "x11";
};

// Cursor resources the player selects.
inline constexpr int kBlankCursor = 131;
inline constexpr int kArrowCursor = 193;

class DisplayBackend;

class Display {
 public:
  // Opens the backend the options name. Returns null with *error set when it cannot
  // (no video device, a bad host window, an invalid size).
  static std::unique_ptr<Display> Create(const DisplayOptions& options, std::string* error);
  ~Display();
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  int Width() const { return screen_.Width(); }
  int Height() const { return screen_.Height(); }
  DisplayMode Mode() const { return mode_; }
  // Whether a real window shows the screen (false when headless).
  bool HasWindow() const;
  // Frames per second the UI thread presents at most.
  int RefreshRate() const { return refreshRate_; }

  // Exclusive drawing access to the screen, from any thread. The canvas starts with a
  // fresh device context's state; what it draws is presented after the lock ends. Hold it
  // only while drawing: presenting waits for it.
  class ScreenLock {
   public:
    ScreenLock(ScreenLock&& other) noexcept;
    ScreenLock& operator=(ScreenLock&&) = delete;
    ~ScreenLock();
    gfx::Canvas& Canvas() { return *canvas_; }
    gfx::Surface& Surface() { return display_->screen_; }

   private:
    friend class Display;
    explicit ScreenLock(Display& display);
    Display* display_;
    std::unique_lock<std::mutex> lock_;
    std::optional<gfx::Canvas> canvas_;
  };
  ScreenLock LockScreen() { return ScreenLock(*this); }
  // Area drawn since the last present (or the last TakeDirty); headless callers use it to
  // see whether a frame changed. With a window the UI thread takes it when presenting.
  gfx::Rect PeekDirty();
  gfx::Rect TakeDirty();

  // Thread-safe: queues a message for the UI thread and wakes it.
  void PostMessage(const Message& message);
  // UI thread: takes the next message, waiting at most `timeout` (real time) for one.
  // Window-system input is read and the screen presented while it waits; no time is spent
  // spinning. Returns false on time-out. WM_QUIT is returned like any other message.
  bool GetMessage(Message& out, std::chrono::milliseconds timeout);
  static constexpr std::chrono::milliseconds kInfinite = std::chrono::milliseconds::max();
  // UI thread: presents the dirty area now, whatever the refresh pacing.
  void PresentNow();
  // Any thread not holding the screen: asks the UI thread to present what was drawn as
  // soon as a refresh period has passed since its last present, and waits until it has
  // (at most `timeout`): true when it has. Returns false at once when no window shows the
  // screen.
  bool AwaitPresent(std::chrono::nanoseconds timeout);
  // UI thread: the show is over. Our window leaves the screen now, before anything waits
  // for the drawing to stop; nothing is presented any more.
  void Hide();

  // A picture shown over the screen at (x, y) (a modal dialog over the show): whatever is
  // drawn on the screen stays below it. Higher layers lie above lower ones (a message box
  // over the dialog). SetOverlay replaces a layer's picture; ClearOverlay removes it.
  void SetOverlay(const gfx::Surface& image, int x, int y, int layer = 0);
  void ClearOverlay(int layer = 0);
  // The screen with the overlays on it, as the window shows it (headless frames).
  gfx::Surface ComposedScreen();
  // UI thread: typed characters arrive as WM_CHAR while on.
  void SetTextInput(bool on);

  // Cursor of the window: kBlankCursor hides it, kArrowCursor is the system arrow. The
  // display count works like ShowCursor: the cursor shows while it is >= 0. Any thread;
  // applied by the UI thread.
  void SetCursor(int cursorId);
  int ShowCursor(bool show);
  // Whether the cursor shows where the pointer is now.
  bool CursorVisible() const;
  // A part of the screen with a transparent cursor of its own (a clip's window): the
  // cursor is hidden while the pointer rests there, unless an overlay (a dialog) lies
  // above that point. An empty rectangle removes it. Any thread.
  void SetBlankCursorArea(const gfx::Rect& area);

 private:
  Display(DisplayMode mode, std::unique_ptr<DisplayBackend> backend, int width, int height);
  void PresentIfDue(std::chrono::steady_clock::time_point now, bool force);
  bool ScreenChangePending();
  void ApplyCursor();
  // Where the pointer is, from the mouse messages that the UI thread takes.
  void NotePointer(int x, int y);
  bool OverOverlay(int x, int y);

  DisplayMode mode_;
  std::unique_ptr<DisplayBackend> backend_;
  int refreshRate_ = 60;

  std::mutex screenMutex_;
  gfx::Surface screen_;
  gfx::Rect dirty_{};  // guarded by screenMutex_
  struct Overlay {
    int layer = 0;
    gfx::Surface image;
    int x = 0, y = 0;
    gfx::Rect Area() const { return {x, y, x + image.Width(), y + image.Height()}; }
  };
  std::vector<Overlay> overlays_;  // guarded by screenMutex_; by layer

  std::mutex queueMutex_;
  std::deque<Message> queue_;

  mutable std::mutex cursorMutex_;
  int cursorId_ = kArrowCursor;
  int cursorCount_ = 0;
  bool cursorChanged_ = true;
  gfx::Rect blankArea_{};
  bool overBlankArea_ = false;  // pointer in blankArea_ and under no overlay
  std::atomic<bool> pointerKnown_{false};
  std::atomic<int> pointerX_{0}, pointerY_{0};

  std::chrono::steady_clock::time_point lastPresent_{};  // last try, made or not
  std::chrono::steady_clock::time_point lastShown_{};    // last present made
  bool exposed_ = true;                                  // the whole screen must be shown again
  std::atomic<bool> hidden_{false};

  std::mutex presentMutex_;
  std::condition_variable presented_;
  uint64_t presents_ = 0;  // guarded by presentMutex_
  std::atomic<bool> presentWanted_{false};
  void NotePresented();
};

// The screen size the player lays out for: the open display's, else the size last set
// with SetScreenSize (the headless default 1024 x 768 until then).
struct ScreenSize {
  int width = 1024;
  int height = 768;
};
ScreenSize GetScreenSize();
void SetScreenSize(ScreenSize size);
// Size of the desktop of the first monitor, asked from the window system; nullopt when
// there is no video device.
std::optional<ScreenSize> QueryDesktopSize();

// Size of the screen a Host display on the X11 window `window` (0: the root window) would
// have now, asked before opening it; nullopt when there is no such window or display.
std::optional<ScreenSize> QueryHostWindowSize(uint64_t window);

// Whether the X server named by DISPLAY answers; when not, *why names the display. The
// player never falls back to an invisible screen: that takes --headless.
bool WindowSystemReachable(std::string* why);

// "WxH" with both in 1..32767; nullopt for anything else.
std::optional<ScreenSize> ParseSize(const std::string& text);

}  // namespace ui
