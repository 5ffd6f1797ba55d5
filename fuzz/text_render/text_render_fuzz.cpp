// Stored texts and fonts come from archives: any bytes in any character set, at any size,
// must measure and draw inside the bitmap without reading or writing out of bounds.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/text/text_output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  text::LOGFONT lf;
  lf.lfCharSet = data[0];
  lf.lfHeight = -static_cast<int32_t>(data[1] % 64);
  lf.lfWeight = (data[2] & 1) ? text::FW_BOLD : 0;
  lf.lfItalic = data[2] & 2;
  lf.lfUnderline = data[2] & 4;
  lf.lfStrikeOut = data[2] & 8;
  lf.lfQuality = (data[2] & 16) ? text::NONANTIALIASED_QUALITY : 0;
  lf.lfPitchAndFamily = data[3];
  lf.lfFaceName = (data[2] & 32) ? "Courier New" : "Arial";
  const std::string_view bytes(reinterpret_cast<const char*>(data + 4), size - 4);
  auto font = text::Font::Create(lf);

  gfx::Surface surface(std::min(size * 8, size_t{512}), 64);
  gfx::Canvas dc(surface);
  gfx::Rect rect{0, 0, 0, 0};
  const int height = text::DrawText(dc, *font, bytes, rect, text::DT_CALCRECT);
  if (height != rect.Height() || rect.Width() < 0) std::abort();
  // Drawn partly outside the surface, opaque and transparent, clipped and not.
  dc.SetBkMode((data[2] & 64) ? gfx::OPAQUE : gfx::TRANSPARENT);
  rect = {-7, -(height / 2), surface.Width() + 9, surface.Height() + 3};
  text::DrawText(dc, *font, bytes, rect, (data[2] & 128) ? text::DT_NOCLIP : text::DT_LEFT);
  text::TextOut(dc, *font, surface.Width() / 2, -3, bytes, text::TA_CENTER);
  return 0;
}
