#include "support/x11_host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <thread>

namespace testx11 {
namespace {

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

HostWindow::HostWindow(const std::string& display, int width, int height) {
  connection_ = XOpenDisplay(display.c_str());
  if (!connection_) return;
  window_ =
      XCreateSimpleWindow(connection_, DefaultRootWindow(connection_), 0, 0,
                          static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0, 0);
  XMapWindow(connection_, window_);
  XSync(connection_, False);
}

HostWindow::~HostWindow() {
  if (!connection_) return;
  if (window_) XDestroyWindow(connection_, window_);
  XCloseDisplay(connection_);
}

void HostWindow::Fill(int x, int y, int width, int height, uint32_t rgb) {
  GC gc = XCreateGC(connection_, window_, 0, nullptr);
  XSetForeground(connection_, gc, rgb);  // the TrueColor layout of a 24-bit screen
  XFillRectangle(connection_, window_, gc, x, y, static_cast<unsigned>(width),
                 static_cast<unsigned>(height));
  XFreeGC(connection_, gc);
  XSync(connection_, False);
}

uint32_t HostWindow::PixelAt(int x, int y) {
  XSync(connection_, False);
  XImage* image = XGetImage(connection_, window_, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  uint32_t p = static_cast<uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return p;
}

void HostWindow::Resize(int width, int height) {
  XResizeWindow(connection_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(connection_, False);
}

Observer::Observer(const std::string& display) {
  connection_ = XOpenDisplay(display.c_str());
  // Windows come and go under our feet; a vanished one is an answer, not a fatal error.
  if (connection_) XSetErrorHandler(IgnoreErrors);
}

Observer::~Observer() {
  if (connection_) XCloseDisplay(connection_);
}

uint64_t Observer::Root() const { return DefaultRootWindow(connection_); }

bool Observer::AddMonitor(const char* name, int x, int y, int width, int height) {
  int event = 0, error = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(connection_, &event, &error) ||
      !XRRQueryVersion(connection_, &major, &minor) || (major == 1 && minor < 5))
    return false;
  XRRMonitorInfo* monitor = XRRAllocateMonitor(connection_, 0);
  if (!monitor) return false;
  monitor->name = XInternAtom(connection_, name, False);
  monitor->x = x;
  monitor->y = y;
  monitor->width = width;
  monitor->height = height;
  monitor->mwidth = width * 254 / 960;  // 96 dpi
  monitor->mheight = height * 254 / 960;
  XRRSetMonitor(connection_, DefaultRootWindow(connection_), monitor);
  XRRFreeMonitors(monitor);
  XSync(connection_, False);
  return true;
}

uint32_t Observer::RootPixelAt(int x, int y) {
  XSync(connection_, False);
  XImage* image =
      XGetImage(connection_, DefaultRootWindow(connection_), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0xFFFFFFFF;
  uint32_t p = static_cast<uint32_t>(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return p;
}

std::vector<uint64_t> Observer::MappedTopLevels() {
  std::vector<uint64_t> out;
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  if (!XQueryTree(connection_, DefaultRootWindow(connection_), &root, &parent, &kids, &n)) {
    return out;
  }
  for (unsigned i = 0; i < n; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(connection_, kids[i], &a) && a.map_state != IsUnmapped) {
      out.push_back(kids[i]);
    }
  }
  if (kids) XFree(kids);
  return out;
}

bool Observer::PressKey(uint64_t window) {
  int event, error, major, minor;
  if (!XTestQueryExtension(connection_, &event, &error, &major, &minor)) return false;
  XSetInputFocus(connection_, static_cast<Window>(window), RevertToPointerRoot, CurrentTime);
  const KeyCode key = XKeysymToKeycode(connection_, XStringToKeysym("space"));
  XTestFakeKeyEvent(connection_, key, True, CurrentTime);
  XTestFakeKeyEvent(connection_, key, False, CurrentTime);
  XFlush(connection_);
  return true;
}

bool Observer::WaitUnmapped(uint64_t window, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(connection_, static_cast<Window>(window), &a) ||
        a.map_state != IsViewable) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

}  // namespace testx11
