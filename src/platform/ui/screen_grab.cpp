#include "platform/ui/screen_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace ui {
namespace {

// Xlib's handler is process-wide; two grabs at once must not restore each other's.
std::mutex handlerMutex;
bool xErrorSeen = false;

int NoteXError(::Display*, XErrorEvent*) {
  xErrorSeen = true;
  return 0;
}

bool Fail(std::string* error, const char* what) {
  if (error) *error = what;
  return false;
}

// Bit position and width of a channel mask.
struct Channel {
  int shift = 0;
  int bits = 0;
};
Channel ChannelOf(unsigned long mask) {
  Channel c;
  if (mask == 0) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}
uint8_t Scale(unsigned long pixel, Channel c) {
  if (c.bits == 0) return 0;
  const unsigned long v = (pixel >> c.shift) & ((1ul << c.bits) - 1);
  if (c.bits >= 8) return static_cast<uint8_t>(v >> (c.bits - 8));
  return static_cast<uint8_t>(v * 255 / ((1ul << c.bits) - 1));
}

bool Convert(XImage* image, Visual* visual, gfx::Surface& out) {
  const int w = out.Width(), h = out.Height();
  const bool direct = visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 &&
                      visual->blue_mask == 0xFF && image->bits_per_pixel == 32 &&
                      image->byte_order == LSBFirst;
  if (direct) {
    // The common 24-bit TrueColor layout is already ours, row by row.
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(image->data + y * image->bytes_per_line);
      gfx::Pixel* dst = out.Row(y);
      for (int x = 0; x < w; ++x) dst[x] = row[x] & 0xFFFFFF;
    }
    return true;
  }
  if (visual->c_class != TrueColor && visual->c_class != DirectColor) return false;
  const Channel r = ChannelOf(visual->red_mask), g = ChannelOf(visual->green_mask),
                b = ChannelOf(visual->blue_mask);
  for (int y = 0; y < h; ++y) {
    gfx::Pixel* dst = out.Row(y);
    for (int x = 0; x < w; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      dst[x] = gfx::MakePixel(Scale(p, r), Scale(p, g), Scale(p, b));
    }
  }
  return true;
}

}  // namespace

std::optional<gfx::Surface> GrabScreen(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    Fail(error, "no display");
    return std::nullopt;
  }
  ::Display* x = XOpenDisplay(name);
  if (!x) {
    Fail(error, "cannot open the display");
    return std::nullopt;
  }
  std::optional<gfx::Surface> result;
  {
    std::lock_guard lock(handlerMutex);
    XSync(x, False);
    xErrorSeen = false;
    auto previous = XSetErrorHandler(NoteXError);
    const int screen = DefaultScreen(x);
    const ::Window root = RootWindow(x, screen);
    XWindowAttributes attributes;
    XImage* image = nullptr;
    if (XGetWindowAttributes(x, root, &attributes)) {
      const int w = std::clamp(attributes.width, 0, gfx::Surface::kMaxDimension);
      const int h = std::clamp(attributes.height, 0, gfx::Surface::kMaxDimension);
      // The root's image holds what its mapped children show on it.
      if (w > 0 && h > 0) image = XGetImage(x, root, 0, 0, w, h, AllPlanes, ZPixmap);
      XSync(x, False);
      if (image && !xErrorSeen) {
        gfx::Surface surface(w, h);
        if (Convert(image, attributes.visual, surface)) {
          result.emplace(std::move(surface));
        } else {
          Fail(error, "unsupported screen format");
        }
      } else {
        Fail(error, "the screen cannot be read");
      }
    } else {
      Fail(error, "the screen cannot be read");
    }
    if (image) XDestroyImage(image);
    XSetErrorHandler(previous);
  }
  XCloseDisplay(x);
  return result;
}

}  // namespace ui
