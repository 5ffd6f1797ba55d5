// Windows on SDL2: full screen, a plain window, or inside a host window (preview).

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/ui/display_backend.h"
#include "platform/ui/sdl_hints.h"
#include "platform/ui/sdl_input.h"

namespace ui {
namespace {

int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

// Xlib's default error handler ends the process, and SDL asks about the host window
// through it: a stale or mistyped window id must be an error, not an exit.
bool HostWindowExists(uint64_t id, int* width, int* height) {
  ::Display* x = XOpenDisplay(nullptr);
  if (!x) return false;
  XSync(x, False);
  auto previous = XSetErrorHandler(IgnoreXError);
  XWindowAttributes attributes;
  bool ok = XGetWindowAttributes(x, static_cast<::Window>(id), &attributes) != 0;
  XSync(x, False);
  XSetErrorHandler(previous);
  XCloseDisplay(x);
  if (ok) {
    *width = attributes.width;
    *height = attributes.height;
  }
  return ok;
}

// The primary monitor's rectangle on the root window (RandR 1.5 monitors); nullopt when
// the server does not say.
std::optional<SDL_Rect> PrimaryMonitor() {
  ::Display* x = XOpenDisplay(nullptr);
  if (!x) return std::nullopt;
  std::optional<SDL_Rect> found;
  int event = 0, error = 0, major = 0, minor = 0;
  if (XRRQueryExtension(x, &event, &error) && XRRQueryVersion(x, &major, &minor) &&
      (major > 1 || (major == 1 && minor >= 5))) {
    int n = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(x, DefaultRootWindow(x), True, &n);
    for (int i = 0; monitors && i < n; ++i) {
      if (monitors[i].primary || (!found && i == 0)) {
        found = SDL_Rect{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
      }
    }
    if (monitors) XRRFreeMonitors(monitors);
  }
  XCloseDisplay(x);
  return found;
}

class SdlBackend final : public DisplayBackend {
 public:
  ~SdlBackend() override {
    if (arrow_) SDL_FreeCursor(arrow_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (videoStarted_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool Open(const DisplayOptions& options, int* width, int* height, std::string* error) {
    ConfigureSdlHints(options.videoDriver.c_str());
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return Fail(error);
    videoStarted_ = true;
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == UINT32_MAX) return Fail(error);

    bool software = false;
    switch (options.mode) {
      case DisplayMode::FullScreen: {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return Fail(error);
        SDL_Rect all{0, 0, 0, 0};
        for (int i = 0; options.span && i < SDL_GetNumVideoDisplays(); ++i) {
          SDL_Rect r;
          if (SDL_GetDisplayBounds(i, &r) == 0) SDL_UnionRect(&all, &r, &all);
        }
        if (options.span && SDL_GetNumVideoDisplays() > 1 && all.w > 0 && all.h > 0) {
          // Full screen belongs to one output; a borderless window on top covers them all.
          window_ = SDL_CreateWindow(
              options.title.c_str(), all.x, all.y, all.w, all.h,
              SDL_WINDOW_ALWAYS_ON_TOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR);
        } else {
          window_ = SDL_CreateWindow(options.title.c_str(), 0, 0, desktop.w, desktop.h,
                                     SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_ALWAYS_ON_TOP |
                                         SDL_WINDOW_BORDERLESS | SDL_WINDOW_SKIP_TASKBAR);
        }
        if (!window_) return Fail(error);
        // The window may cover several monitors; the show is laid out for the primary one
        // and the others stay black, unless it is to span them all.
        if (!options.span) {
          if (auto primary = PrimaryMonitor()) {
            int wx = 0, wy = 0, ww = 0, wh = 0;
            SDL_GetWindowPosition(window_, &wx, &wy);
            SDL_GetWindowSize(window_, &ww, &wh);
            SDL_Rect local{primary->x - wx, primary->y - wy, primary->w, primary->h};
            SDL_Rect whole{0, 0, ww, wh}, inside;
            if (SDL_IntersectRect(&local, &whole, &inside) && (inside.w < ww || inside.h < wh)) {
              viewport_ = inside;
            }
          }
        }
        break;
      }
      case DisplayMode::Embedded:
        if (options.parentWindow != 0) {
          int w = 0, h = 0;
          if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11" ||
              !HostWindowExists(options.parentWindow, &w, &h)) {
            if (error) *error = "the host window does not exist";
            return false;
          }
          // The host's window: draw through the window surface, which needs no GL context
          // of ours on a window we did not create.
          window_ = SDL_CreateWindowFrom(
              reinterpret_cast<const void*>(static_cast<uintptr_t>(options.parentWindow)));
          software = true;
          ownWindow_ = false;
          break;
        }
        [[fallthrough]];
      default:
        if (options.width <= 0 || options.height <= 0 ||
            options.width > gfx::Surface::kMaxScreenDimension ||
            options.height > gfx::Surface::kMaxScreenDimension) {
          if (error) *error = "invalid window size";
          return false;
        }
        // The show keeps its size; a resized window shows it scaled.
        window_ = SDL_CreateWindow(
            options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, options.width,
            options.height,
            SDL_WINDOW_SHOWN |
                (options.mode == DisplayMode::Window && !options.fixedSize ? SDL_WINDOW_RESIZABLE
                                                                           : 0));
        break;
    }
    if (!window_) return Fail(error);
    if (options.mode == DisplayMode::Window && options.ownerWindow != 0)
      SetOwner(options.ownerWindow);
    SDL_GetWindowSize(window_, width, height);
    if (viewport_) {
      *width = viewport_->w;
      *height = viewport_->h;
    }
    *width = std::clamp(*width, 0, gfx::Surface::kMaxScreenDimension);
    *height = std::clamp(*height, 0, gfx::Surface::kMaxScreenDimension);

    if (!software) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) return Fail(error);
    if (*width > 0 && *height > 0) {
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                   *width, *height);
      if (!texture_) return Fail(error);
    }
    SDL_DisplayMode mode;
    int index = SDL_GetWindowDisplayIndex(window_);
    if (index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 && mode.refresh_rate > 0) {
      refreshRate_ = mode.refresh_rate;
    }
    arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
    // Keys are all the saver reads; no input method should pop up over the show.
    SDL_StopTextInput();
    if (options.mode == DisplayMode::FullScreen) SDL_RaiseWindow(window_);
    return true;
  }

  // Marks our window as transient for the owner, as a dialog of its, when the owner exists.
  void SetOwner(uint64_t owner) {
    int w = 0, h = 0;
    if (std::string_view(SDL_GetCurrentVideoDriver()) != "x11" || !HostWindowExists(owner, &w, &h))
      return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11) return;
    auto previous = XSetErrorHandler(IgnoreXError);
    XSetTransientForHint(info.info.x11.display, info.info.x11.window, static_cast<::Window>(owner));
    XSync(info.info.x11.display, False);
    XSetErrorHandler(previous);
  }

  bool HasWindow() const override { return true; }
  int RefreshRate() const override { return refreshRate_; }

  void WaitInput(std::chrono::milliseconds timeout, std::vector<Message>& out) override {
    int ms = timeout == Display::kInfinite
                 ? -1
                 : static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, INT_MAX));
    SDL_Event event;
    if (!SDL_WaitEventTimeout(&event, ms)) return;
    Handle(event, out);
    while (SDL_PollEvent(&event)) Handle(event, out);
  }

  void Wake() override {
    SDL_Event event{};
    event.type = wakeEvent_;
    SDL_PushEvent(&event);
  }

  void Upload(const gfx::Surface& screen, const gfx::Rect& area) override {
    if (!texture_) return;
    SDL_Rect r{area.left, area.top, area.Width(), area.Height()};
    SDL_UpdateTexture(texture_, &r, screen.Row(area.top) + area.left,
                      static_cast<int>(screen.Stride() * sizeof(gfx::Pixel)));
  }

  void UploadAt(const gfx::Surface& src, const gfx::Rect& area, int x, int y) override {
    if (!texture_ || area.IsEmpty()) return;
    SDL_Rect r{x, y, area.Width(), area.Height()};
    SDL_UpdateTexture(texture_, &r, src.Row(area.top) + area.left,
                      static_cast<int>(src.Stride() * sizeof(gfx::Pixel)));
  }

  void SetTextInput(bool on) override {
    if (on) {
      SDL_StartTextInput();
    } else {
      SDL_StopTextInput();
    }
  }

  void Present() override {
    if (!texture_) return;
    if (viewport_) {
      SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
      SDL_RenderClear(renderer_);
    }
    SDL_RenderCopy(renderer_, texture_, nullptr, viewport_ ? &*viewport_ : nullptr);
    SDL_RenderPresent(renderer_);
  }

  void ApplyCursor(bool visible, int) override {
    if (visible && arrow_) SDL_SetCursor(arrow_);
    SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
  }

  void Hide() override {
    // A host's window is the host's to hide.
    if (!ownWindow_) return;
    // SDL leaves full screen and waits for the window manager's answers before the window
    // goes (a tenth of a second, or a second without a window manager); the user who ends
    // the saver wants the desktop back at once, so the window is unmapped first.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
      XUnmapWindow(info.info.x11.display, info.info.x11.window);
      XFlush(info.info.x11.display);
    }
    SDL_HideWindow(window_);
  }

  bool TakeExposed() override {
    bool e = exposed_;
    exposed_ = false;
    return e;
  }

 private:
  bool Fail(std::string* error) {
    if (error) *error = SDL_GetError();
    return false;
  }

  void Handle(const SDL_Event& event, std::vector<Message>& out) {
    if (event.type == wakeEvent_) return;
    if (event.type == SDL_WINDOWEVENT) {
      switch (event.window.event) {
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          exposed_ = true;
          break;
        default:
          break;
      }
    }
    TranslateSdlEvent(event, out);
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Cursor* arrow_ = nullptr;
  bool videoStarted_ = false;
  uint32_t wakeEvent_ = 0;
  int refreshRate_ = 60;
  bool exposed_ = false;
  bool ownWindow_ = true;
  std::optional<SDL_Rect> viewport_;  // where the show goes in a window over several monitors
};

}  // namespace

void ConfigureSdlHints(const char* videoDriver) {
  // The player is the screen saver: it must not keep the desktop's saver or power
  // management from running, and it handles SIGTERM, SIGINT and SIGHUP itself.
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Losing the focus must neither minimise the show nor end it.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Closing the window is a WM_CLOSE for the window to decide on, not a quit.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Windows are X11 windows (the host windows we embed in are); SDL must not wander off to
  // its offscreen or dummy drivers and play where nobody sees it.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, videoDriver, SDL_HINT_OVERRIDE);
}

std::unique_ptr<DisplayBackend> OpenSdlBackend(const DisplayOptions& options, int* width,
                                               int* height, std::string* error) {
  auto backend = std::make_unique<SdlBackend>();
  if (!backend->Open(options, width, height, error)) return nullptr;
  return backend;
}

std::optional<ScreenSize> QueryDesktopSize() {
  ConfigureSdlHints();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return std::nullopt;
  SDL_DisplayMode mode;
  std::optional<ScreenSize> size;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
    size = ScreenSize{std::min(mode.w, gfx::Surface::kMaxScreenDimension),
                      std::min(mode.h, gfx::Surface::kMaxScreenDimension)};
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (size) return size;
  // SDL may fail to start again right after a full-screen window of ours went away; the X
  // server still knows its screen.
  if (::Display* x = XOpenDisplay(nullptr)) {
    const int screen = DefaultScreen(x);
    const int w = DisplayWidth(x, screen), h = DisplayHeight(x, screen);
    XCloseDisplay(x);
    if (w > 0 && h > 0)
      size = ScreenSize{std::min(w, gfx::Surface::kMaxScreenDimension),
                        std::min(h, gfx::Surface::kMaxScreenDimension)};
  }
  return size;
}

}  // namespace ui
