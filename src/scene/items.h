#pragma once
// The fourteen kinds of scene items.

#include <array>
#include <memory>
#include <vector>

#include "platform/gfx/canvas.h"
#include "scene/project_archive.h"
#include "scene/scene_item.h"

namespace transitions {
struct Icon;
}

namespace scene {

// The system's font description (LOGFONT, 60 bytes as stored).
struct LogFont {
  int32_t height = -11, width = 0, escapement = 0, orientation = 0, weight = 0;
  uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::array<char, 32> faceName{};  // zero-terminated within the 32 bytes as stored

  LogFont();
  static constexpr size_t kStoredSize = 60;
  static LogFont FromBytes(const uint8_t (&bytes)[kStoredSize]);
  void ToBytes(uint8_t (&bytes)[kStoredSize]) const;
  std::string FaceName() const;
};

// Every kind makes empty copies of itself for the prototype table.
template <typename Derived, int32_t Kind>
class ItemOf : public SceneItem {
 public:
  static constexpr int32_t kKind = Kind;
  ItemOf() : SceneItem(Kind) {}
  std::unique_ptr<SceneItem> createEmpty() const override { return std::make_unique<Derived>(); }
};

class PictureItem final : public ItemOf<PictureItem, kPictureItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  void addReference(SceneItem* holder) override { references.push_back(holder); }

  PictureItem();
  ~PictureItem() override;

  // Decodes a picture file (BMP, JPEG, icon, cursor) into `bitmap`; messages on failure.
  // budgetLeft: pixels the show may still decode; lowered by the picture's own.
  bool loadFile(const std::string& file, int64_t* budgetLeft = nullptr);
  // Brings the picture onto dc: at currentPath's point through its effect, or into the
  // explicit target rectangle. Returns 0 when nothing could be drawn.
  int show(gfx::Canvas& dc, PlayHost& host, const gfx::Rect* target);
  // Moves the shown picture from currentPath's point to newPath's point.
  void drawStep(PlayHost& host, PathProperty& newPath);
  // Fills the picture's area with the window background.
  void erase(PlayHost& host);
  // Copies the screen under (x, y, w, h) into savedBackground.
  void saveBackground(PlayHost& host, int32_t x, int32_t y, int32_t w, int32_t h);

  struct Size {
    int32_t width = 0, height = 0;
    bool operator==(const Size&) const = default;
  };
  Size bitmapSize() const;
  // The size showing draws at, and the size hiding and erasing cover, on a screen of W x H.
  Size displayedSize(int32_t screenWidth, int32_t screenHeight) const;
  Size coveredSize(int32_t screenWidth, int32_t screenHeight) const;
  bool isText() const { return source == 1; }

  gfx::COLORREF textColor = 0x000000;  // system window-text colour
  gfx::COLORREF backColor = 0xFFFFFF;  // system window colour
  LogFont font;
  int32_t textOpaque = 1;
  int32_t source = 0;  // 1: text picture
  std::string text;
  std::string fileName;
  int32_t dataSize = 0;
  DataBlock data;
  int32_t imageOrigin = 1;  // 1 own image, 2 desktop snapshot, 3 wallpaper
  PathProperty showPath, movePath, currentPath;
  int32_t width = 0, height = 0;
  int32_t fitScreen = 0, keepAspect = 0;
  std::vector<SceneItem*> references;
  int32_t shown = 0;
  ColorProperty currentColor;

  // Run-time pictures, all screen-compatible surfaces.
  std::unique_ptr<gfx::Surface> bitmap;
  std::unique_ptr<transitions::Icon> icon;        // set when the file was an icon or cursor
  std::unique_ptr<gfx::Surface> screenCopy;       // only while a move runs
  std::unique_ptr<gfx::Surface> savedBackground;  // the screen under the picture
};

// w / f and h / f with f the larger of w / W and h / H: the picture scaled into the screen.
PictureItem::Size AspectFit(int32_t w, int32_t h, int32_t screenWidth, int32_t screenHeight);

template <typename Derived, int32_t Kind>
class PictureLinkItem : public ItemOf<Derived, Kind> {
 public:
  void assign(const SceneItem& other) override {
    if (other.kind != Kind) return;
    this->assignHeader(other);
    link.assign(static_cast<const Derived&>(other).link);
  }
  void load(ProjectArchive& archive) override {
    this->loadHeader(archive);
    link.load(archive);
    link.name = this->name.text;
  }
  bool prepare(const SceneList&) override {
    if (this->disabled) return true;
    return this->name.validate() && link.validate();
  }
  void setLink(SceneItem* resource) override { link.picture = resource; }

  // The linked picture, or null when the link is missing or not a picture.
  PictureItem* picture() const {
    return link.picture && link.picture->kind == kPictureItem
               ? static_cast<PictureItem*>(link.picture)
               : nullptr;
  }

  PictureLink link;
};

class ShowPictureItem final : public PictureLinkItem<ShowPictureItem, kShowPictureItem> {
 public:
  int play(PlayHost& host, int32_t& index) override;
};
class MovePictureItem final : public PictureLinkItem<MovePictureItem, kMovePictureItem> {
 public:
  int play(PlayHost& host, int32_t& index) override;
};
class HidePictureItem final : public PictureLinkItem<HidePictureItem, kHidePictureItem> {
 public:
  int play(PlayHost& host, int32_t& index) override;
};

class PauseItem final : public ItemOf<PauseItem, kPauseItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;

  PauseProperty pause;
};

class BackgroundItem final : public ItemOf<BackgroundItem, kBackgroundItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;

  ColorProperty color;
};

class LoopStartItem final : public ItemOf<LoopStartItem, kLoopStartItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
};

class LoopEndItem final : public ItemOf<LoopEndItem, kLoopEndItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;

  RepeatProperty repeat;
};

// Index of the loop start of the loop end at endIndex, walking back over nested loops;
// -1 when there is none before it.
int32_t FindLoopStart(const SceneList& list, int32_t endIndex);

class LineItem final : public ItemOf<LineItem, kLineItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;

  PathProperty path;
  ColorProperty color;
  int32_t penStyle = 0;
  int32_t penWidth = 1;
};

class MediaItem final : public ItemOf<MediaItem, kMediaItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  void addReference(SceneItem* holder) override { references.push_back(holder); }
  // Plays the embedded file: wave sounds and MP3 pieces (video clips are the video
  // window's). Returns false when nothing was started (muted, no sound, unusable data).
  bool playMedia(bool wait, bool loop, PlayHost& host, int32_t x, int32_t y);
  void stopMedia(PlayHost& host);

  DataBlock data;
  int32_t dataSize = 0;
  std::vector<SceneItem*> references;
  std::string fileName;
  int32_t mediaType = 0;  // 0 wave, 1 video, 2 MP3
};

class PlayMediaItem final : public ItemOf<PlayMediaItem, kPlayMediaItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  void setLink(SceneItem* resource) override { link.media = resource; }

  MediaLink link;
};

class StopMediaItem final : public ItemOf<StopMediaItem, kStopMediaItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  void setLink(SceneItem* resource) override { link.media = resource; }

  MediaStopLink link;
};

class CommentItem final : public ItemOf<CommentItem, kCommentItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }

  std::string comment;
};

class LinkItem final : public ItemOf<LinkItem, kLinkItem> {
 public:
  void assign(const SceneItem& other) override;
  void load(ProjectArchive& archive) override;
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;

  int32_t clearLink = 0;
  int32_t linkMode = -1;
  std::string url = "http://";
};

}  // namespace scene
