#pragma once
// Picture items and the items that show, move and hide them.

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/canvas.h"
#include "scene/item_of.h"
#include "scene/properties.h"

namespace transitions {
struct Icon;
}

namespace scene {

class PictureCache;

class PictureItem final : public ItemOf<PictureItem, kPictureItem>, public PictureRecord {
 public:
  bool prepare(const SceneList& list) override;
  // A JPEG or BMP picture is decoded ahead.
  bool canPrepareAhead() const override;
  void prepareAhead(PrepareAhead& ahead) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  void addReference(SceneItem* holder) override { references.push_back(holder); }

  PictureItem();
  ~PictureItem() override;
  PictureRecord& record() { return *this; }
  const PictureRecord& record() const { return *this; }
  std::string sourceFileName() const override { return fileName; }

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
  // The picture's own size (also when it keeps a scaled form or only its bytes).
  Size bitmapSize() const;
  // The size showing draws at, and the size hiding and erasing cover, on a screen of W x H.
  Size displayedSize(int32_t screenWidth, int32_t screenHeight) const;
  Size coveredSize(int32_t screenWidth, int32_t screenHeight) const;

  PathProperty showPath, movePath, currentPath;
  std::vector<SceneItem*> references;
  int32_t shown = 0;
  ColorProperty currentColor;

  // Run-time pictures, all screen-compatible surfaces.
  std::unique_ptr<gfx::Surface> bitmap;
  std::unique_ptr<transitions::Icon> icon;        // set when the file was an icon or cursor
  std::unique_ptr<gfx::Surface> screenCopy;       // only while a move runs
  std::unique_ptr<gfx::Surface> savedBackground;  // the screen under the picture

  // Beyond the show's budget the picture keeps only its bytes; its pixels come from the
  // list's picture cache when shown.
  bool keptCompressed() const { return cache_ != nullptr; }
  // The size the picture was scaled to at load, for the screen it shows on ({} when it
  // keeps its own size). A picture whose displayed size is known at load keeps that form
  // only: the same scaling of the same pixels that showing would do.
  Size keptSize() const { return keptSize_; }
  Size ownSize() const { return ownSize_; }
  // The picture's bytes (JPEG or BMP) decoded, and scaled to `kept` unless that is {};
  // null (with the decoder's error code in *error) when they do not decode. Touches nothing
  // of the item.
  std::unique_ptr<gfx::Surface> decodeKept(Size kept, int* error = nullptr) const;
  PictureCache* cache() const { return cache_; }
  // Keeps the pixels decoded for a move while it runs (kept-compressed pictures).
  void pin(std::shared_ptr<gfx::Surface> pixels) { pinned_ = std::move(pixels); }
  bool pinned() const { return pinned_ != nullptr; }
  // Decoded pixels of a kept-compressed picture, with the decoder's message on failure.
  std::shared_ptr<gfx::Surface> cachedPixels();

 private:
  friend class PictureCache;
  // The kept form on the screen of the show's load ({} for the own size).
  Size keptTarget(Size own, int32_t screenWidth, int32_t screenHeight) const;
  struct Ahead {
    bool decoded = false;                  // the bytes decode
    Size own, kept;                        // sizes found
    std::unique_ptr<gfx::Surface> pixels;  // the kept form, when the budget had room
  };
  Ahead ahead_;  // until prepare() takes it
  Size ownSize_, keptSize_;
  PictureCache* cache_ = nullptr;
  std::shared_ptr<gfx::Surface> pinned_;
};

// w / f and h / f with f the larger of w / W and h / H: the picture scaled into the screen.
PictureItem::Size AspectFit(int32_t w, int32_t h, int32_t screenWidth, int32_t screenHeight);

template <typename Derived, int32_t Kind>
class PictureLinkItem : public ItemOf<Derived, Kind> {
 public:
  bool prepare(const SceneList&) override {
    if (this->disabled) return true;
    return this->name.validate() && link.validate();
  }
  void setLink(SceneItem* resource) override { link.picture = resource; }
  PictureLink& record() { return link; }
  const PictureLink& record() const { return link; }
  void loaded() { link.name = this->name.text; }

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

}  // namespace scene
