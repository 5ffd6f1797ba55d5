#include "transitions/transition_engine.h"

#include <algorithm>
#include <limits>

#include "transitions/effect_frame.h"
#include "transitions/effect_table.h"

namespace transitions {

void DrawIcon(gfx::Canvas& target, const Icon& icon, int x, int y) {
  const int w = icon.image.Width(), h = icon.image.Height();
  if (!icon.mask.Empty()) {
    target.BitBlt(x, y, w, h, icon.mask, 0, 0, gfx::SRCAND);
    target.BitBlt(x, y, w, h, icon.image, 0, 0, gfx::SRCINVERT);
  } else if (icon.transparent) {
    target.DrawTransparent(x, y, w, h, icon.image, 0, 0, *icon.transparent);
  } else {
    target.BitBlt(x, y, w, h, icon.image, 0, 0, gfx::SRCCOPY);
  }
}

namespace {

int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// One axis of ClipToScreen: (offset, visible start, visible length).
struct AxisClip {
  int32_t offset, start, length;
};
AxisClip ClipAxis(int32_t lo, int32_t hi, int32_t pos, int32_t screen) {
  const int64_t offset = pos < 0 ? -int64_t{pos} : 0;
  const int64_t start = pos < 0 ? 0 : pos;
  int64_t length = (int64_t{hi} - lo) - offset;
  if (start + length > screen) length = int64_t{screen} - start;
  // Wholly off screen: an empty rectangle rather than one with a negative size.
  length = std::max<int64_t>(length, 0);
  return {ClampToInt32(offset), ClampToInt32(start), ClampToInt32(length)};
}

}  // namespace

ClipResult ClipToScreen(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x,
                        int32_t y, int32_t screenWidth, int32_t screenHeight) {
  const AxisClip cx = ClipAxis(left, right, x, screenWidth);
  const AxisClip cy = ClipAxis(top, bottom, y, screenHeight);
  ClipResult r;
  r.offsetX = cx.offset;
  r.offsetY = cy.offset;
  r.rect = gfx::Rect{cx.start, cy.start, ClampToInt32(int64_t{cx.start} + cx.length),
                     ClampToInt32(int64_t{cy.start} + cy.length)};
  return r;
}

// A rectangle from any caller: its size must not overflow.
int TransitionEngine::PictureWidth() const {
  return ClampToInt32(int64_t{rect_.right} - rect_.left);
}
int TransitionEngine::PictureHeight() const {
  return ClampToInt32(int64_t{rect_.bottom} - rect_.top);
}

void TransitionEngine::SetPicture(const gfx::Rect& rect, gfx::COLORREF background,
                                  uint32_t rasterOp, const Icon* icon) {
  rect_ = rect;
  background_ = background;
  rasterOp_ = rasterOp;
  icon_ = icon;
}

void TransitionEngine::PrepareWork(int32_t offsetX, int32_t offsetY) {
  const int w = PictureWidth(), h = PictureHeight();
  if (icon_ && source_) {
    gfx::Canvas src(*source_);
    src.FillRect(gfx::Rect{0, 0, w, h}, background_);
    DrawIcon(src, *icon_, 0, 0);
  }
  if (!work_) return;
  gfx::Canvas work(*work_);
  work.FillRect(gfx::Rect{0, 0, w, h}, background_);
  if (source_) work.BitBlt(0, 0, w, h, *source_, offsetX, offsetY, rasterOp_, background_);
}

void TransitionEngine::PreparePlacement(int screenWidth, int screenHeight) {
  const int w = PictureWidth(), h = PictureHeight();
  const gfx::Rect screenRect{0, 0, screenWidth, screenHeight};
  const EffectInfo& traits = EffectTraits(effect_);
  const Placement placement = traits.Placed() ? traits.placement : Placement::kAtPoint;
  if (placement == Placement::kTiled) {
    // An empty picture has no tiles (and must not divide by zero).
    const bool tiles = w > 0 && h > 0;
    const int cols = tiles ? screenWidth / w : -1, rows = tiles ? screenHeight / h : -1;
    if (icon_ && source_) {
      gfx::Canvas src(*source_);
      src.FillRect(screenRect, background_);
      for (int i = 0; i <= cols; ++i)
        for (int j = 0; j <= rows; ++j) DrawIcon(src, *icon_, i * w, j * h);
    }
    if (!work_) return;
    gfx::Canvas work(*work_);
    work.FillRect(screenRect, background_);
    if (!source_) return;
    for (int i = 0; i <= cols; ++i)
      for (int j = 0; j <= rows; ++j)
        work.BitBlt(i * w, j * h, w, h, *source_, 0, 0, rasterOp_, background_);
  } else if (placement == Placement::kStretched) {
    if (icon_ && source_) {
      gfx::Canvas src(*source_);
      src.FillRect(gfx::Rect{0, 0, w, h}, background_);
      DrawIcon(src, *icon_, 0, 0);
    }
    if (!work_) return;
    gfx::Canvas work(*work_);
    work.FillRect(screenRect, background_);
    if (source_)
      work.StretchBlt(0, 0, screenWidth, screenHeight, *source_, 0, 0, w, h, gfx::SRCCOPY);
  } else {
    PrepareWork(0, 0);
  }
}

void TransitionEngine::DrawPlaced(gfx::Canvas& screen, const gfx::Rect* explicitRect,
                                  Point position) const {
  if (!work_) return;
  if (EffectTraits(effect_).FillsScreen()) {
    screen.BitBlt(0, 0, screen.Width(), screen.Height(), *work_, 0, 0, gfx::SRCCOPY);
    return;
  }
  const Point at = explicitRect ? Point{explicitRect->left, explicitRect->top} : position;
  screen.BitBlt(at.x, at.y, PictureWidth(), PictureHeight(), *work_, 0, 0, gfx::SRCCOPY);
}

void TransitionEngine::Run(gfx::Canvas& screen, Pacer& pacer, Point& destination, int32_t speed,
                           int32_t offsetX, int32_t offsetY) {
  PrepareWork(offsetX, offsetY);
  // The visible part starts at the screen edge.
  if (offsetX != 0) destination.x = 0;
  if (offsetY != 0) destination.y = 0;

  const EffectInfo* row = FindEffect(effect_);
  if (!row || !work_) return;

  EffectFrame::Setup s;
  s.screen = &screen;
  s.work = work_;
  s.bitmap = bitmap_;
  s.pacer = &pacer;
  s.sink = sink_;
  s.x0 = destination.x;
  s.y0 = destination.y;
  // Negative sizes draw nothing; sizes beyond any surface would only overflow the loops.
  s.w = std::clamp(PictureWidth(), 0, gfx::Surface::kMaxDimension);
  s.h = std::clamp(PictureHeight(), 0, gfx::Surface::kMaxDimension);
  s.speed = speed;
  s.paceScale = row->paceScale;
  s.batch = batching_;
  EffectFrame frame(s);
  if (row->run)
    row->run(frame);
  else
    frame.W(0, 0, s.w, s.h);  // family not built yet: the picture at once
  frame.Flush();
}

}  // namespace transitions
