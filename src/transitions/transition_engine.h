#pragma once
// Brings one picture on screen: places it (effects 0 to 2) or replaces the screen's
// picture rectangle by it step by step through one of the numbered transitions. One
// engine per showing; it keeps nothing between calls.

#include <cstdint>
#include <optional>

#include "platform/gfx/canvas.h"
#include "transitions/copy_sink.h"
#include "transitions/pacer.h"

namespace transitions {

struct Point {
  int32_t x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// A picture that is drawn over the background: an icon or cursor. With a mask, the
// mask is ANDed onto the background (white keeps it, black clears it) and the image is
// XORed on top, so the image must be black where the mask is white. Without a mask and
// with a transparent colour, pixels of that colour are left out; with neither, the image
// is copied as it is.
struct Icon {
  gfx::Surface image;
  gfx::Surface mask;  // empty: no mask
  std::optional<gfx::COLORREF> transparent;
};
void DrawIcon(gfx::Canvas& target, const Icon& icon, int x, int y);

struct ClipResult {
  int32_t offsetX = 0, offsetY = 0;
  gfx::Rect rect;  // the visible part on screen
};
// Cuts the picture (left, top, right, bottom) placed at (x, y) to a screen of
// screenWidth x screenHeight. Offsets say how much lies beyond the left and top edges; a
// picture wholly off screen gets an empty rectangle (width or height 0).
ClipResult ClipToScreen(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x,
                        int32_t y, int32_t screenWidth, int32_t screenHeight);

class TransitionEngine {
 public:
  explicit TransitionEngine(int32_t effect) : effect_(effect) {}

  // The picture: its rectangle (only its size is used), background brush, the raster
  // operation used when preparing the work picture, and an icon drawn over the
  // background (null for ordinary pictures; not owned, must outlive the engine).
  void SetPicture(const gfx::Rect& rect, gfx::COLORREF background, uint32_t rasterOp,
                  const Icon* icon);
  // Surfaces are the caller's and must outlive the engine. `work` is picture-sized
  // (screen-sized for placements 1 and 2); `source` is the decoded picture and is
  // drawn on when the picture is an icon.
  void SetWork(gfx::Surface* work) { work_ = work; }
  void SetSource(gfx::Surface* source) { source_ = source; }
  // The picture's own bitmap, read by the fades (effects 4 and 65) only.
  void SetBitmap(const gfx::Surface* bitmap) { bitmap_ = bitmap; }
  // Every copy of a transition goes to `sink` instead of straight onto the screen.
  void SetCopySink(CopySink* sink) { sink_ = sink; }
  // Merge the copies that no wait separates (on by default; see EffectFrame::Setup).
  void SetCopyBatching(bool on) { batching_ = on; }

  // Placements (effects 0, 1, 2): prepare `work` for a screen of the given size, then draw.
  void PreparePlacement(int screenWidth, int screenHeight);
  // Modes 1 and 2 copy the whole work surface to (0, 0); mode 0 copies the picture to
  // explicitRect's top-left corner when one is given, else to `position`.
  void DrawPlaced(gfx::Canvas& screen, const gfx::Rect* explicitRect, Point position) const;

  // Prepares the work picture from `source` at (offsetX, offsetY), moves the destination
  // to the screen edge on each axis that has an offset, then plays the effect. Speed is
  // 0 to 1000, larger is faster. For numbers outside the table nothing is drawn.
  void Run(gfx::Canvas& screen, Pacer& pacer, Point& destination, int32_t speed, int32_t offsetX,
           int32_t offsetY);

  int32_t Effect() const { return effect_; }
  const gfx::Rect& Rect() const { return rect_; }
  gfx::COLORREF Background() const { return background_; }
  uint32_t RasterOp() const { return rasterOp_; }
  const Icon* GetIcon() const { return icon_; }
  gfx::Surface* Work() const { return work_; }
  gfx::Surface* Source() const { return source_; }
  const gfx::Surface* Bitmap() const { return bitmap_; }

 private:
  int PictureWidth() const;
  int PictureHeight() const;
  void PrepareWork(int32_t offsetX, int32_t offsetY);

  int32_t effect_;
  gfx::Rect rect_{};
  gfx::COLORREF background_ = 0;
  uint32_t rasterOp_ = gfx::SRCCOPY;
  const Icon* icon_ = nullptr;
  gfx::Surface* work_ = nullptr;
  gfx::Surface* source_ = nullptr;
  const gfx::Surface* bitmap_ = nullptr;
  CopySink* sink_ = nullptr;
  bool batching_ = true;
};

}  // namespace transitions
