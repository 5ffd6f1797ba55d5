#include "resources/preview_logo.h"

#include <cmath>

namespace res {

// A night sky over a hill with a framed picture: drawn, not stored, so the binary carries
// no image file.
gfx::Surface PreviewLogo() {
  gfx::Surface s(kPreviewLogoWidth, kPreviewLogoHeight);
  for (int y = 0; y < kPreviewLogoHeight; ++y) {
    for (int x = 0; x < kPreviewLogoWidth; ++x) {
      int t = y * 255 / (kPreviewLogoHeight - 1);
      uint8_t r = static_cast<uint8_t>(10 + t / 4);
      uint8_t g = static_cast<uint8_t>(16 + t / 6);
      uint8_t b = static_cast<uint8_t>(60 + t / 2);
      // Hill.
      double hill = 86 + 10 * std::sin(x * 0.07);
      if (y > hill) {
        r = 18;
        g = static_cast<uint8_t>(70 + (y - 86));
        b = 40;
      }
      // Moon.
      double dx = x - 70, dy = y - 24;
      if (dx * dx + dy * dy < 100) r = g = b = 235;
      s.At(x, y) = gfx::MakePixel(r, g, b);
    }
  }
  // Picture frame in the middle: gold border, sunset inside.
  for (int y = 34; y < 78; ++y) {
    for (int x = 18; x < 62; ++x) {
      bool border = x < 21 || x >= 59 || y < 37 || y >= 75;
      if (border) {
        s.At(x, y) = gfx::MakePixel(212, 170, 60);
      } else {
        int t = (y - 37) * 255 / 38;
        s.At(x, y) = gfx::MakePixel(static_cast<uint8_t>(250 - t / 5),
                                    static_cast<uint8_t>(180 - t / 2), static_cast<uint8_t>(60 + t / 3));
      }
    }
  }
  // Stars.
  static const int stars[][2] = {{8, 8}, {30, 14}, {50, 6}, {88, 40}, {12, 26}, {40, 24}};
  for (auto& p : stars) s.At(p[0], p[1]) = gfx::MakePixel(255, 255, 255);
  return s;
}

}  // namespace res
