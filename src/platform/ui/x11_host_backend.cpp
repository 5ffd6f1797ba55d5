// Drawing on a window another program owns (a screen-saver host's window, or the root
// window). Plain Xlib: no window, property or input selection of ours on it beyond
// structure and exposure notices, which any number of clients may share. When the host
// resizes its window the screen is scaled to fill it.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ui/display_backend.h"

namespace ui {
namespace {

std::atomic<bool> hostWindowError{false};

int NoteXError(::Display*, XErrorEvent*) {
  hostWindowError = true;
  return 0;
}

// The screen's size on a host window: the window's, within what a surface may be.
ScreenSize HostScreenSize(const XWindowAttributes& a) {
  return {std::clamp(a.width, 1, gfx::Surface::kMaxDimension),
          std::clamp(a.height, 1, gfx::Surface::kMaxDimension)};
}

class X11HostBackend final : public DisplayBackend {
 public:
  ~X11HostBackend() override {
    if (image_) {
      image_->data = nullptr;  // the pixels are ours
      XDestroyImage(image_);
    }
    if (gc_) XFreeGC(x_, gc_);
    if (x_) XCloseDisplay(x_);
    for (int fd : wake_) {
      if (fd >= 0) close(fd);
    }
  }

  bool Open(const DisplayOptions& options, int* width, int* height, std::string* error) {
    auto fail = [error](std::string why) {
      if (error) *error = std::move(why);
      return false;
    };
    x_ = XOpenDisplay(nullptr);
    if (!x_) return fail("cannot open display");
    // A host window that vanishes ends our drawing, not the process.
    XSetErrorHandler(NoteXError);
    window_ = options.parentWindow != 0 ? static_cast<::Window>(options.parentWindow)
                                        : DefaultRootWindow(x_);
    XWindowAttributes a;
    hostWindowError = false;
    if (!XGetWindowAttributes(x_, window_, &a) || hostWindowError) {
      return fail("the host window does not exist");
    }
    if (a.visual->c_class != TrueColor || a.depth < 24 || a.visual->red_mask != 0xFF0000 ||
        a.visual->green_mask != 0xFF00 || a.visual->blue_mask != 0xFF) {
      return fail("the host window's visual is not 24-bit true colour");
    }
    visual_ = a.visual;
    depth_ = a.depth;
    width_ = HostScreenSize(a).width;
    height_ = HostScreenSize(a).height;
    XSelectInput(x_, window_, StructureNotifyMask | ExposureMask);
    gc_ = XCreateGC(x_, window_, 0, nullptr);
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) return fail("cannot make a wake-up pipe");
    XSync(x_, False);
    if (hostWindowError) return fail("the host window does not exist");
    *width = width_;
    *height = height_;
    return true;
  }

  bool HasWindow() const override { return true; }

  void WaitInput(std::chrono::milliseconds timeout, std::vector<Message>& out) override {
    if (XPending(x_) == 0) {
      pollfd fds[2] = {{ConnectionNumber(x_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
      int ms = timeout == Display::kInfinite
                   ? -1
                   : static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, INT_MAX));
      poll(fds, 2, ms);
      char drain[64];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
    // Input is the host's business: only the window's size and lost pixels matter here.
    while (XPending(x_) > 0) {
      XEvent e;
      XNextEvent(x_, &e);
      if (e.type == Expose && e.xexpose.window == window_) exposed_ = true;
      if (e.type == ConfigureNotify && e.xconfigure.window == window_) {
        int w = std::clamp(e.xconfigure.width, 1, gfx::Surface::kMaxDimension);
        int h = std::clamp(e.xconfigure.height, 1, gfx::Surface::kMaxDimension);
        if (w != width_ || h != height_) {
          width_ = w;
          height_ = h;
          exposed_ = true;
        }
      }
      if (e.type == DestroyNotify && e.xdestroywindow.window == window_ && !gone_) {
        gone_ = true;
        out.push_back({WM_QUIT, 0, 0, 0});  // nothing left to draw on
      }
    }
  }

  void Wake() override {
    const char b = 1;
    [[maybe_unused]] ssize_t n = write(wake_[1], &b, 1);
  }

  // Same size: the changed rows go as they are. Resized: the whole screen, scaled.
  void Upload(const gfx::Surface& screen, const gfx::Rect& area) override {
    if (gone_) return;
    if (screen.Width() == width_ && screen.Height() == height_) {
      PutRows(screen.Data(), static_cast<int>(screen.Stride()), area);
      return;
    }
    scaled_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    std::vector<int> columns(static_cast<size_t>(width_));
    for (int x = 0; x < width_; ++x) {
      columns[static_cast<size_t>(x)] =
          static_cast<int>(static_cast<int64_t>(x) * screen.Width() / width_);
    }
    for (int y = 0; y < height_; ++y) {
      const gfx::Pixel* src =
          screen.Row(static_cast<int>(static_cast<int64_t>(y) * screen.Height() / height_));
      gfx::Pixel* dst = scaled_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
      for (int x = 0; x < width_; ++x) dst[x] = src[columns[static_cast<size_t>(x)]];
    }
    PutRows(scaled_.data(), width_, gfx::Rect{0, 0, width_, height_});
  }

  void Present() override {
    if (!gone_) XFlush(x_);
  }

  // The host owns the cursor.
  void ApplyCursor(bool, int) override {}

  bool TakeExposed() override {
    bool e = exposed_;
    exposed_ = false;
    return e;
  }

 private:
  void PutRows(const gfx::Pixel* pixels, int stride, const gfx::Rect& area) {
    if (area.IsEmpty()) return;
    if (!image_ || imageStride_ != stride) {
      if (image_) {
        image_->data = nullptr;
        XDestroyImage(image_);
      }
      // One image over the whole buffer; XPutImage sends the part asked for.
      image_ = XCreateImage(x_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                            static_cast<unsigned>(stride), 1, 32, stride * 4);
      imageStride_ = stride;
      if (!image_) return;
    }
    image_->height = area.bottom;
    image_->data = reinterpret_cast<char*>(const_cast<gfx::Pixel*>(pixels));
    XPutImage(x_, window_, gc_, image_, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()));
    image_->data = nullptr;
  }

  ::Display* x_ = nullptr;
  ::Window window_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 24;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  int imageStride_ = 0;
  int width_ = 0, height_ = 0;
  std::vector<gfx::Pixel> scaled_;
  int wake_[2] = {-1, -1};
  bool exposed_ = true;
  bool gone_ = false;
};

}  // namespace

bool WindowSystemReachable(std::string* why) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') {
    if (why) *why = "no display: DISPLAY is not set (use --headless to play without one)";
    return false;
  }
  ::Display* x = XOpenDisplay(name);
  if (x == nullptr) {
    if (why) {
      *why = std::string("cannot open display '") + name + "' (use --headless to play without one)";
    }
    return false;
  }
  XCloseDisplay(x);
  return true;
}

std::optional<ScreenSize> QueryHostWindowSize(uint64_t window) {
  ::Display* x = XOpenDisplay(nullptr);
  if (!x) return std::nullopt;
  // As the display that opens on the window later: a window that is not there is noted,
  // not fatal.
  XSetErrorHandler(NoteXError);
  hostWindowError = false;
  XWindowAttributes a;
  const ::Window w = window != 0 ? static_cast<::Window>(window) : DefaultRootWindow(x);
  const bool ok = XGetWindowAttributes(x, w, &a) != 0;
  XSync(x, False);
  XCloseDisplay(x);
  if (!ok || hostWindowError) return std::nullopt;
  return HostScreenSize(a);
}

std::unique_ptr<DisplayBackend> OpenX11HostBackend(const DisplayOptions& options, int* width,
                                                   int* height, std::string* error) {
  auto backend = std::make_unique<X11HostBackend>();
  if (!backend->Open(options, width, height, error)) return nullptr;
  return backend;
}

}  // namespace ui
