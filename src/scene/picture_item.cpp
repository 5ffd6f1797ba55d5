// Loading a picture item: the embedded file through the decoder, icons and cursors, sizes.

#include <cstdio>
#include <fstream>

#include "imaging/image_decoder.h"
#include "platform/gfx/icon_file.h"
#include "platform/sys/temp_file.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/items.h"
#include "scene/temp_data_file.h"
#include "scene/text_bitmap.h"
#include "transitions/transition_engine.h"

namespace scene {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// A disabled picture that no enabled item shows need not be loaded.
bool Unused(const PictureItem& picture) {
  if (!picture.disabled) return false;
  for (const SceneItem* holder : picture.references) {
    if (!holder->isDisabled()) return false;
  }
  return true;
}

// A file that the decoder did not recognise but that starts like a bitmap is refused
// without trying it as an icon.
bool StartsLikeBitmap(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  char head[14] = {};
  in.read(head, sizeof head);
  return in.gcount() == sizeof head && head[0] == 'B' && head[1] == 'M';
}

}  // namespace

PictureItem::PictureItem() = default;
PictureItem::~PictureItem() = default;

bool PictureItem::prepare(const SceneList&) {
  shown = 0;
  if (Unused(*this)) return true;
  if (source == 1) {
    if (TextBitmap(*this, "")) return true;
    ui::ShowMessage(text + res::LoadString(res::IDS_TEXT_BITMAP_FAILED), ui::MessageIcon::Stop);
    return false;
  }
  if (data.size == 0) {
    ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_IMAGE), ui::MessageIcon::Stop);
    return false;
  }
  std::string file;
  if (!WriteTempFile(data.data(), data.size, file)) return false;
  const bool loaded = loadFile(file);
  sys::RemoveFile(file);
  return loaded;
}

bool PictureItem::loadFile(const std::string& file) {
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
  std::unique_ptr<gfx::Surface> converted = imaging::PixelsToBitmap(pixels.span(), w, h);
  if (!converted) {
    ui::ShowMessage("Memory allocation problem during image conversion");
    return false;
  }
  bitmap = std::move(converted);
  icon.reset();
  return true;
}

PictureItem::Size PictureItem::bitmapSize() const {
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

}  // namespace scene
