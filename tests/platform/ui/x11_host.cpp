#include "x11_host.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testx11 {

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

}  // namespace testx11
