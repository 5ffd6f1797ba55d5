// Picture items: loading the embedded file, sizes, and showing, moving and hiding.

#include "scene/picture_items.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <limits>
#include <new>
#include <span>
#include <vector>

#include "imaging/image_decoder.h"
#include "platform/gfx/icon_file.h"
#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "platform/sys/temp_file.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/picture_cache.h"
#include "scene/play_host.h"
#include "scene/scene_list.h"
#include "scene/temp_data_file.h"
#include "scene/text_bitmap.h"
#include "transitions/effect_table.h"
#include "transitions/random_range.h"
#include "transitions/transition_engine.h"

namespace scene {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// A file that the decoder did not recognise but that starts like a bitmap is refused
// without trying it as an icon.
bool StartsLikeBitmap(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char head[14] = {};
  in.read(head, sizeof head);
  return in.gcount() == sizeof head && head[0] == 'B' && head[1] == 'M';
}

// A surface larger than a picture may be is not attempted (stored sizes are untrusted).
constexpr int64_t kMaxSurfacePixels = imaging::kMaxPicturePixels;

// A bitmap that cannot be made is a failed GDI call: the caller draws nothing.
std::unique_ptr<gfx::Surface> NewSurface(int64_t w, int64_t h) {
  if (w <= 0 || h <= 0 || w > gfx::Surface::kMaxDimension || h > gfx::Surface::kMaxDimension ||
      w * h > kMaxSurfacePixels)
    return nullptr;
  try {
    return std::make_unique<gfx::Surface>(static_cast<int>(w), static_cast<int>(h));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

gfx::Rect RectAt(int32_t x, int32_t y, int32_t w, int32_t h) {
  return {x, y, Clamp32(int64_t{x} + w), Clamp32(int64_t{y} + h)};
}

enum class Rescaled { Ok, SizeZero, ConversionFailed };

// The bitmap scaled to w x h through 24-bit pixels, as the decoder scales.
Rescaled Rescale(const gfx::Surface& bitmap, int32_t w, int32_t h,
                 std::unique_ptr<gfx::Surface>& out) {
  // The stored width and height come from the archive: held to the picture limit.
  if (!imaging::PictureSizeAllowed(w, h)) return Rescaled::SizeZero;
  int sw = 0, sh = 0;
  imaging::PixelBuffer pixels = imaging::BitmapToPixels(&bitmap, &sw, &sh);
  const size_t size = imaging::BufferSize(w, h, 3);
  if (!pixels || size == 0) return Rescaled::SizeZero;
  imaging::PixelBuffer target = imaging::PixelBuffer::Allocate(size);
  if (!target || !imaging::ResizePixels(pixels.span(), sw, sh, target.span(), w, h, 3))
    return Rescaled::SizeZero;
  out = imaging::PixelsToBitmap(target.span(), w, h);
  return out ? Rescaled::Ok : Rescaled::ConversionFailed;
}

// Copies from the screen the parts of `area` that neither a nor b covers, into `into`
// whose (0, 0) lies at area's top-left corner.
void CopyUncovered(gfx::Canvas& into, const gfx::Surface& screen, const gfx::Rect& area,
                   gfx::Rect a, gfx::Rect b) {
  a = gfx::Intersect(a, area);
  b = gfx::Intersect(b, area);
  std::vector<int> ys = {area.top, area.bottom};
  for (const gfx::Rect& r : {a, b}) {
    if (r.IsEmpty()) continue;
    ys.push_back(r.top);
    ys.push_back(r.bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  for (size_t i = 0; i + 1 < ys.size(); ++i) {
    const int y0 = ys[i], y1 = ys[i + 1];
    std::vector<std::pair<int, int>> covered;
    for (const gfx::Rect& r : {a, b}) {
      if (!r.IsEmpty() && r.top <= y0 && r.bottom >= y1) covered.emplace_back(r.left, r.right);
    }
    std::sort(covered.begin(), covered.end());
    int x = area.left;
    auto copy = [&](int x0, int x1) {
      if (x1 > x0)
        into.BitBlt(x0 - area.left, y0 - area.top, x1 - x0, y1 - y0, screen, x0, y0, gfx::SRCCOPY);
    };
    for (const auto& [l, r] : covered) {
      copy(x, l);
      x = std::max(x, r);
    }
    copy(x, area.right);
  }
}

}  // namespace

PictureItem::PictureItem() = default;
PictureItem::~PictureItem() = default;

bool PictureItem::prepare(const SceneList& list) {
  shown = 0;
  cache_ = nullptr;
  pinned_.reset();
  ownSize_ = keptSize_ = {};
  Ahead ahead = std::move(ahead_);
  ahead_ = {};
  if (UnusedResource(*this, references)) return true;
  if (source == 1) {
    if (TextBitmap(*this, "")) return true;
    ui::ShowMessage(text + res::LoadString(res::IDS_TEXT_BITMAP_FAILED), ui::MessageIcon::Stop);
    return false;
  }
  if (data.size == 0) {
    ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_IMAGE), ui::MessageIcon::Stop);
    return false;
  }
  if (!ahead.decoded) {
    // Decoded here, with the decoder's messages as the user knows them.
    std::string file;
    if (!WriteTempFile(data.data(), data.size, file)) return false;
    const bool loaded = loadFile(file);
    sys::RemoveFile(file);
    if (!loaded) return false;
    // An icon or cursor stays as it is.
    if (icon) return true;
    ahead.decoded = true;
    ahead.own = {bitmap->Width(), bitmap->Height()};
    ahead.kept = keptTarget(ahead.own, list.screenWidth, list.screenHeight);
    if (ahead.kept == Size{}) {
      ahead.pixels = std::move(bitmap);
    } else if (Rescale(*bitmap, ahead.kept.width, ahead.kept.height, ahead.pixels) !=
               Rescaled::Ok) {
      ahead.kept = {};
      ahead.pixels = std::move(bitmap);
    }
  }
  bitmap.reset();
  icon.reset();
  ownSize_ = ahead.own;
  keptSize_ = ahead.kept;
  const Size held = keptSize_ == Size{} ? ownSize_ : keptSize_;
  const int64_t area = int64_t{held.width} * held.height;
  // The show keeps decoded pictures up to its budget, in list order; the ones after that
  // keep their bytes and are decoded again when the walk comes near them.
  if (area > list.pictureBudgetPixels - list.decodedPixels) {
    // A picture taken from the screen replaces its bitmap when shown: it is held or refused.
    if (imageOrigin == 2 || imageOrigin == 3) {
      ui::ShowMessage("Memory allocation problem during image conversion");
      return false;
    }
    cache_ = &list.pictureCache();
    return true;
  }
  if (!ahead.pixels) {
    ahead.pixels = decodeKept(keptSize_);
    if (!ahead.pixels) {
      ui::ShowMessage("Memory allocation problem during image conversion");
      return false;
    }
  }
  bitmap = std::move(ahead.pixels);
  list.decodedPixels += area;
  return true;
}

bool PictureItem::canPrepareAhead() const {
  return source != 1 && data.size != 0 && !UnusedResource(*this, references);
}

PictureItem::Size PictureItem::keptTarget(Size own, int32_t screenWidth,
                                          int32_t screenHeight) const {
  // Pictures taken from the screen are replaced when shown; a picture shown at its own
  // size keeps it.
  if (imageOrigin == 2 || imageOrigin == 3 || isText()) return {};
  Size target;
  if (fitScreen) {
    if (screenWidth <= 0 || screenHeight <= 0) return {};
    target = keepAspect ? AspectFit(own.width, own.height, screenWidth, screenHeight)
                        : Size{screenWidth, screenHeight};
  } else if (width || height) {
    target = {width, height};
  } else {
    return {};
  }
  if (target.width <= 0 || target.height <= 0 ||
      !imaging::PictureSizeAllowed(target.width, target.height))
    return {};
  return target;
}

namespace {

// A JPEG or BMP from memory read into sink; false when it does not decode.
// error: the reader's code (closing the stream resets the thread's).
bool DecodeBytes(std::span<const uint8_t> bytes, imaging::BitmapSink& sink, int* error) {
  const imaging::StreamHandle stream = imaging::OpenMemorySource(bytes);
  if (error) *error = imaging::GetLastErrorCode();
  if (stream == imaging::kNoStream) return false;
  const int format = imaging::DetectFormat(stream);
  imaging::SeekSource(stream, 0, 0);
  bool read = false;
  if (format == imaging::kFormatJpeg)
    read = imaging::ReadJpegRows(stream, 24, sink);
  else if (format == imaging::kFormatBmp)
    read = imaging::ReadBmpRows(stream, 24, sink);
  if (error) *error = imaging::GetLastErrorCode();
  imaging::CloseSource(stream);
  return read;
}

// The size a sink makes the bitmap at: the kept size, else the picture's own.
std::pair<int, int> MadeSize(PictureItem::Size kept, int w, int h) {
  return kept == PictureItem::Size{} ? std::pair{w, h} : std::pair{kept.width, kept.height};
}

}  // namespace

// Scaled while it is decoded, as showing scales a bitmap of its pixels (Rescale): 24-bit
// pixels made into a bitmap and read back are the same pixels, so this is the same scaling.
std::unique_ptr<gfx::Surface> PictureItem::decodeKept(Size kept, int* error) const {
  imaging::BitmapSink sink([&](int w, int h) { return MadeSize(kept, w, h); });
  // A picture that decodes but of which no bitmap can be made fails with kErrNoMemory.
  if (!DecodeBytes(std::span<const uint8_t>(data.data(), data.size), sink, error)) return nullptr;
  return sink.Take();
}

void PictureItem::prepareAhead(PrepareAhead& ahead) {
  // loadFile's decode of the same bytes, straight from memory and without its messages:
  // whatever goes wrong leaves nothing, and prepare() decodes again and says what it is.
  ahead_ = {};
  Size kept;
  int64_t taken = 0;
  imaging::BitmapSink sink([&](int w, int h) -> std::optional<std::pair<int, int>> {
    kept = keptTarget({w, h}, ahead.screenWidth, ahead.screenHeight);
    const auto made = MadeSize(kept, w, h);
    // The pictures decoded ahead together stay within the show's budget too; beyond it
    // only the sizes are kept (the picture is read through), and prepare() decides what it
    // keeps.
    const int64_t area = int64_t{made.first} * made.second;
    if (!ahead.Take(area)) return std::nullopt;
    taken = area;
    return made;
  });
  const bool read = DecodeBytes(std::span<const uint8_t>(data.data(), data.size), sink, nullptr);
  std::unique_ptr<gfx::Surface> made = sink.Take();
  if (!read || (taken && !made)) {
    ahead.heldPixels -= taken;
    return;
  }
  ahead_.pixels = std::move(made);
  ahead_.decoded = true;
  ahead_.own = {sink.Width(), sink.Height()};
  ahead_.kept = kept;
}

std::shared_ptr<gfx::Surface> PictureItem::cachedPixels() {
  if (pinned_) return pinned_;
  int error = 0;
  std::shared_ptr<gfx::Surface> pixels = cache_->Get(*this, &error);
  if (!pixels) {
    // As the load says of a picture that does not decode.
    ui::ShowMessage(Format("Error reckognizing picture (%s) format!\n\rError code:%d",
                           fileName.c_str(), error));
  }
  return pixels;
}

bool PictureItem::loadFile(const std::string& file, int64_t* budgetLeft) {
  const imaging::StreamHandle stream = imaging::OpenSource(file);
  if (stream == imaging::kNoStream) {
    ui::ShowMessage(
        Format("Error during opening picture file!\n\rError code:%d", imaging::GetLastErrorCode()));
    return false;
  }
  const int format = imaging::DetectFormat(stream);
  imaging::SeekSource(stream, 0, 0);
  imaging::PixelBuffer pixels;
  int w = 0, h = 0;
  if (format == imaging::kFormatJpeg) {
    pixels = imaging::ReadJpeg(stream, &w, &h, 24);
  } else if (format == imaging::kFormatBmp) {
    pixels = imaging::ReadBmp(stream, &w, &h, 24, nullptr);
  } else {
    imaging::CloseSource(stream);
    if (StartsLikeBitmap(file)) return false;
    std::optional<gfx::IconImage> image = gfx::LoadIconFile(file, gfx::IconFileType::Icon);
    if (!image) image = gfx::LoadIconFile(file, gfx::IconFileType::Cursor);
    if (!image) return false;
    // A blank bitmap of the icon's size stands for the picture; the icon is drawn over it.
    auto blank = std::make_unique<gfx::Surface>(image->image.Width(), image->image.Height());
    auto loaded = std::make_unique<transitions::Icon>();
    loaded->image = std::move(image->image);
    loaded->mask = std::move(image->mask);
    bitmap = std::move(blank);
    icon = std::move(loaded);
    return true;
  }
  // Closing the stream resets the error code; the message wants the reader's.
  const int readError = imaging::GetLastErrorCode();
  imaging::CloseSource(stream);
  if (!pixels) {
    ui::ShowMessage(Format("Error reckognizing picture (%s) format!\n\rError code:%d", file.c_str(),
                           readError));
    return false;
  }
  // The show's pictures together stay within its budget.
  const int64_t area = int64_t{w} * h;
  if (budgetLeft && area > *budgetLeft) {
    ui::ShowMessage("Memory allocation problem during image conversion");
    return false;
  }
  std::unique_ptr<gfx::Surface> converted = imaging::PixelsToBitmap(pixels.span(), w, h);
  if (!converted) {
    ui::ShowMessage("Memory allocation problem during image conversion");
    return false;
  }
  bitmap = std::move(converted);
  icon.reset();
  if (budgetLeft) *budgetLeft -= area;
  return true;
}

PictureItem::Size PictureItem::bitmapSize() const {
  if (cache_ || !(keptSize_ == Size{})) return ownSize_;
  return bitmap ? Size{bitmap->Width(), bitmap->Height()} : Size{};
}

PictureItem::Size AspectFit(int32_t w, int32_t h, int32_t screenWidth, int32_t screenHeight) {
  if (w <= 0 || h <= 0 || screenWidth <= 0 || screenHeight <= 0) return {};
  const double a = static_cast<double>(w) / screenWidth;
  const double b = static_cast<double>(h) / screenHeight;
  const double f = a > b ? a : b;
  return {static_cast<int32_t>(w / f), static_cast<int32_t>(h / f)};
}

PictureItem::Size PictureItem::displayedSize(int32_t screenWidth, int32_t screenHeight) const {
  if (isText()) return bitmapSize();
  if (fitScreen) {
    if (!keepAspect) return {screenWidth, screenHeight};
    const Size own = bitmapSize();
    return AspectFit(own.width, own.height, screenWidth, screenHeight);
  }
  if (width || height) return {width, height};
  return bitmapSize();
}

PictureItem::Size PictureItem::coveredSize(int32_t screenWidth, int32_t screenHeight) const {
  if (isText()) return bitmapSize();
  if (fitScreen) return {screenWidth, screenHeight};
  if (width || height) return {width, height};
  return bitmapSize();
}

// ---- Showing, moving and hiding ----

int PictureItem::show(gfx::Canvas& dc, PlayHost& host, const gfx::Rect* target) {
  gfx::Canvas& screen = host.Screen();
  const int32_t screenW = screen.Width(), screenH = screen.Height();

  if (transitions::EffectTraits(currentPath.effect).Random())
    currentPath.effect = transitions::PickRandomEffect(host.Clock());

  const bool fromScreen = imageOrigin == 2 || imageOrigin == 3;
  if (fromScreen) {
    // A snapshot that cannot be read leaves nothing to show (the origin stays, so a later
    // showing tries again).
    if (!loadFile(imageOrigin == 2 ? host.DesktopPath() : host.WallpaperPath())) return 0;
    imageOrigin = 1;
  }
  // A picture kept as its bytes is decoded (or found decoded ahead) now.
  std::shared_ptr<gfx::Surface> held;
  gfx::Surface* source = bitmap.get();
  if (cache_) {
    held = cachedPixels();
    source = held.get();
  }
  // A text whose bitmap could not be made has nothing to show.
  if (!source) return 0;

  Size size = displayedSize(screenW, screenH);
  std::unique_ptr<gfx::Surface> scaled;
  gfx::Surface* picture = source;
  const bool scaledAtLoad = !(keptSize_ == Size{});
  if (!isText() && (fitScreen || width || height) && !(scaledAtLoad && size == keptSize_)) {
    // Scaled at load for another size (another screen): scaled again from the original.
    std::unique_ptr<gfx::Surface> original;
    if (scaledAtLoad) {
      int error = 0;
      original = decodeKept({}, &error);
      if (!original) {
        ui::ShowMessage(Format("Error reckognizing picture (%s) format!\n\rError code:%d",
                               fileName.c_str(), error));
        return 0;
      }
    }
    switch (Rescale(original ? *original : *source, size.width, size.height, scaled)) {
      case Rescaled::Ok:
        break;
      case Rescaled::SizeZero:
        size = {};
        break;
      case Rescaled::ConversionFailed:
        return 0;
    }
    picture = scaled.get();
    if (scaled && scaledAtLoad) {
      // Kept in the form for this screen from now on.
      if (cache_) {
        cache_->Reform(*this, size.width, size.height);
        held = std::move(scaled);
        if (pinned_) pinned_ = held;
        picture = held.get();
      } else {
        bitmap = std::move(scaled);
        keptSize_ = size;
        picture = bitmap.get();
      }
    }
  }
  if (size.width <= 0 || size.height <= 0) {
    shown = 1;
    return 1;
  }

  const int32_t effect = currentPath.effect;
  const transitions::EffectInfo& traits = transitions::EffectTraits(effect);
  gfx::Rect rect = target ? *target : gfx::Rect{0, 0, size.width, size.height};
  int32_t offsetX = 0, offsetY = 0;
  const bool clipped = !target && traits.ClipsToScreen();
  if (clipped) {
    const transitions::ClipResult clip = transitions::ClipToScreen(
        0, 0, size.width, size.height, currentPath.curX, currentPath.curY, screenW, screenH);
    rect = clip.rect;
    offsetX = clip.offsetX;
    offsetY = clip.offsetY;
  }

  // Text that is not opaque stands over what dc shows: drawn straight onto it when placed
  // at its point, else composed over a snapshot that the transition then brings on.
  std::unique_ptr<gfx::Surface> composed;
  if (isText() && !textOpaque) {
    const gfx::COLORREF key = TransparentKey(*this);
    const int32_t atX = target ? target->left : currentPath.curX;
    const int32_t atY = target ? target->top : currentPath.curY;
    if (traits.Placed() && traits.placement == transitions::Placement::kAtPoint) {
      MaskedDraw(dc, *picture, atX, atY, key);
      shown = 1;
      return 1;
    }
    gfx::Surface snapshot = dc.Target();
    gfx::Canvas snapshotDc(snapshot);
    MaskedDraw(snapshotDc, *picture, atX, atY, key);
    // The picture rectangle: on dc already when clipped or given, else at the text's point.
    const int32_t cutX = clipped || target ? rect.left : atX,
                  cutY = clipped || target ? rect.top : atY;
    offsetX = offsetY = 0;
    if (rect.Width() > 0 && rect.Height() > 0) {
      composed = NewSurface(rect.Width(), rect.Height());
      if (!composed) return 0;
      gfx::Canvas(*composed).BitBlt(0, 0, rect.Width(), rect.Height(), snapshot, cutX, cutY,
                                    gfx::SRCCOPY);
      picture = composed.get();
    }
  }

  const gfx::COLORREF brush =
      currentColor.useWindowBackground == 1 ? host.BackgroundColor() : currentColor.color;

  const bool screenSized = traits.FillsScreen() || fromScreen;
  std::unique_ptr<gfx::Surface> work =
      screenSized ? NewSurface(screenW, screenH) : NewSurface(size.width, size.height);
  if (!work) return 0;

  transitions::TransitionEngine engine(effect);
  engine.SetPicture(rect, brush, gfx::SRCCOPY, icon.get());
  engine.SetWork(work.get());
  engine.SetSource(picture);
  if (traits.Placed()) {
    engine.PreparePlacement(screenW, screenH);
    engine.DrawPlaced(dc, target, {currentPath.curX, currentPath.curY});
  } else {
    if (traits.fadesBitmap) engine.SetBitmap(picture);
    if (rect.Width() > 0 && rect.Height() > 0) {
      // Into an explicit rectangle (a move step's off-screen picture) the transition runs
      // at that rectangle; the engine may move the point to the screen edge, the picture's
      // own position stays where the path put it.
      transitions::Point destination = target
                                           ? transitions::Point{target->left, target->top}
                                           : transitions::Point{currentPath.curX, currentPath.curY};
      engine.Run(dc, host, destination, Clamp32(int64_t{1100} - currentPath.effectSpeed), offsetX,
                 offsetY);
    }
  }
  shown = 1;
  return 1;
}

void PictureItem::saveBackground(PlayHost& host, int32_t x, int32_t y, int32_t w, int32_t h) {
  savedBackground = NewSurface(w, h);
  if (!savedBackground) return;
  gfx::Canvas saved(*savedBackground);
  saved.BitBlt(0, 0, w, h, host.Screen().Target(), x, y, gfx::SRCCOPY);
}

void PictureItem::erase(PlayHost& host) {
  gfx::Canvas& screen = host.Screen();
  gfx::Rect area{0, 0, screen.Width(), screen.Height()};
  if (!transitions::EffectTraits(currentPath.effect).FillsScreen()) {
    const Size covered = coveredSize(screen.Width(), screen.Height());
    area = RectAt(currentPath.curX, currentPath.curY, covered.width, covered.height);
  }
  // Filled straight on the screen: this platform has no flicker to avoid by an off-screen
  // fill.
  screen.FillRect(area, host.BackgroundColor());
  shown = 0;
}

void PictureItem::drawStep(PlayHost& host, PathProperty& newPath) {
  if (host.StopEvent().IsSet()) return;
  gfx::Canvas& screen = host.Screen();
  const Size size = displayedSize(screen.Width(), screen.Height());
  const gfx::Rect oldRect = RectAt(currentPath.curX, currentPath.curY, size.width, size.height);
  const gfx::Rect newRect = RectAt(newPath.curX, newPath.curY, size.width, size.height);
  auto cut = [](gfx::Rect r) {
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    return r;
  };
  const gfx::Rect oldCut = cut(oldRect), newCut = cut(newRect);

  if (!oldCut.IsEmpty() && !newCut.IsEmpty() && !gfx::Intersect(oldCut, newCut).IsEmpty()) {
    const gfx::Rect area = gfx::Intersect(gfx::Union(oldCut, newCut),
                                          gfx::Rect{0, 0, screen.Width(), screen.Height()});
    std::unique_ptr<gfx::Surface> off = NewSurface(area.Width(), area.Height());
    if (off) {
      gfx::Canvas offCanvas(*off);
      const bool fromCopy = (isText() && !textOpaque) || currentPath.keepScreen;
      if (fromCopy && screenCopy) {
        offCanvas.BitBlt(0, 0, area.Width(), area.Height(), *screenCopy, area.left, area.top,
                         gfx::SRCCOPY);
      } else {
        offCanvas.FillRect(gfx::Rect{0, 0, area.Width(), area.Height()}, host.BackgroundColor());
      }
      // The picture at its uncut place, so a picture leaving the screen is cut, not shifted.
      const gfx::Rect target{newRect.left - area.left, newRect.top - area.top,
                             newRect.right - area.left, newRect.bottom - area.top};
      show(offCanvas, host, &target);
      CopyUncovered(offCanvas, screen.Target(), area, oldCut, newCut);
      screen.BitBlt(area.left, area.top, area.Width(), area.Height(), *off, 0, 0, gfx::SRCCOPY);
    }
    showPath.assign(currentPath);
    currentPath.assign(newPath);
    return;
  }
  erase(host);
  showPath.assign(currentPath);
  currentPath.assign(newPath);
  show(screen, host, nullptr);
}

int ShowPictureItem::play(PlayHost& host, int32_t&) {
  PictureItem* p = picture();
  if (!p) return 1;
  if (PictureCache* cache = p->cache()) cache->WalkAt(index);
  gfx::Canvas& screen = host.Screen();
  const PictureItem::Size size = p->displayedSize(screen.Width(), screen.Height());
  if (!p->isText() && p->fitScreen && p->keepAspect) {
    link.path.modeX1 = 1;
    link.path.modeY1 = 1;
  }
  link.path.resolve(size.width, size.height, host);
  link.color.resolve(host);
  p->currentPath.assign(link.path);
  p->currentColor.assign(link.color);
  if (link.path.saveBackground) {
    p->savedBackground.reset();
    p->movePath.assign(link.path);
    p->saveBackground(host, link.path.x1, link.path.y1, size.width, size.height);
  }
  if (p->isText() && link.path.textAnimation)
    TypeOut(*p, host);
  else
    p->show(screen, host, nullptr);
  return 1;
}

int MovePictureItem::play(PlayHost& host, int32_t&) {
  PictureItem* p = picture();
  if (!p) return 1;
  gfx::Canvas& screen = host.Screen();
  PathProperty& r = link.path;
  // A picture kept as its bytes is decoded once for the whole move.
  if (PictureCache* cache = p->cache()) {
    cache->WalkAt(index);
    p->pin(p->cachedPixels());
    if (!p->pinned()) return 1;
  }
  const PictureItem::Size own = p->bitmapSize();
  r.resolve(own.width, own.height, host);
  p->currentPath.assign(r);
  p->showPath.assign(r);

  p->screenCopy = std::make_unique<gfx::Surface>(screen.Target());
  if (r.saveBackground) {
    p->savedBackground.reset();
    p->saveBackground(host, r.x2, r.y2, own.width, own.height);
    p->movePath.assign(r);
  }
  link.color.resolve(host);
  p->currentColor.assign(link.color);

  // A step that cannot move the picture would repeat forever without ever waiting (the
  // usual move speed waits nothing), so such a path is drawn once and ends.
  const bool stuck = r.freeMotion ? (r.dx == 0 && r.dy == 0) : r.dx == 0;
  const sys::Event& stop = host.StopEvent();
  bool ended = false;
  while (!stop.IsSet()) {
    p->drawStep(host, r);
    if (stop.IsSet() || ended) break;
    // The end position is drawn in the next pass.
    if (r.step() || stuck)
      ended = true;
    else
      host.Pace(static_cast<uint32_t>(r.moveSpeed), 100000.0);
    host.PauseCheck();
    if (stop.IsSet()) break;
    link.color.resolve(host);
    p->currentColor.assign(link.color);
  }
  p->screenCopy.reset();
  p->pin(nullptr);
  if (r.saveBackground) p->movePath.assign(r);
  return 1;
}

int HidePictureItem::play(PlayHost& host, int32_t&) {
  PictureItem* p = picture();
  if (!p || !p->shown) return 1;
  if (!p->currentPath.saveBackground) {
    p->erase(host);
  } else {
    gfx::Canvas& screen = host.Screen();
    if (p->savedBackground) {
      const PictureItem::Size covered = p->coveredSize(screen.Width(), screen.Height());
      screen.BitBlt(p->movePath.curX, p->movePath.curY, covered.width, covered.height,
                    *p->savedBackground, 0, 0, gfx::SRCCOPY);
    }
    p->savedBackground.reset();
  }
  p->shown = 0;
  return 1;
}

}  // namespace scene
