#pragma once
// The fourteen kinds of scene items: each holds its stored record (records.h) and its
// run-time part. One header and source file per family of items.

#include "scene/media_items.h"
#include "scene/picture_items.h"
#include "scene/simple_items.h"

namespace scene {

// Calls f with the stored record of the item (EmptyRecord for kinds without one).
template <class F>
decltype(auto) WithRecord(const SceneItem& item, F&& f) {
  switch (item.kind) {
    case kPictureItem:
      return f(static_cast<const PictureItem&>(item).record());
    case kShowPictureItem:
      return f(static_cast<const ShowPictureItem&>(item).record());
    case kMovePictureItem:
      return f(static_cast<const MovePictureItem&>(item).record());
    case kHidePictureItem:
      return f(static_cast<const HidePictureItem&>(item).record());
    case kPauseItem:
      return f(static_cast<const PauseItem&>(item).record());
    case kBackgroundItem:
      return f(static_cast<const BackgroundItem&>(item).record());
    case kLoopEndItem:
      return f(static_cast<const LoopEndItem&>(item).record());
    case kLineItem:
      return f(static_cast<const LineItem&>(item).record());
    case kMediaItem:
      return f(static_cast<const MediaItem&>(item).record());
    case kPlayMediaItem:
      return f(static_cast<const PlayMediaItem&>(item).record());
    case kCommentItem:
      return f(static_cast<const CommentItem&>(item).record());
    case kLinkItem:
      return f(static_cast<const LinkItem&>(item).record());
    default:
      static const EmptyRecord kNone;
      return f(kNone);
  }
}

}  // namespace scene
