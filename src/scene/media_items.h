#pragma once
// Media items (wave sounds, video clips, MP3 music) and the items that play and stop them.

#include <vector>

#include "scene/item_of.h"

namespace scene {

class MediaItem final : public ItemOf<MediaItem, kMediaItem>, public MediaRecord {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  void addReference(SceneItem* holder) override { references.push_back(holder); }
  MediaRecord& record() { return *this; }
  const MediaRecord& record() const { return *this; }
  // Plays the embedded file: wave sounds and MP3 pieces (video clips are the video
  // window's). Returns false when nothing was started (muted, no sound, unusable data).
  bool playMedia(bool wait, bool loop, PlayHost& host, int32_t x, int32_t y);
  void stopMedia(PlayHost& host);

  std::vector<SceneItem*> references;
};

class PlayMediaItem final : public ItemOf<PlayMediaItem, kPlayMediaItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  void setLink(SceneItem* resource) override { link.media = resource; }
  PlayMediaRecord& record() { return link.options; }
  const PlayMediaRecord& record() const { return link.options; }
  void loaded() {
    link.name = name.text;
    link.options.name = name.text;
  }

  MediaLink link;
};

class StopMediaItem final : public ItemOf<StopMediaItem, kStopMediaItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  void setLink(SceneItem* resource) override { link.media = resource; }
  EmptyRecord record() const { return {}; }
  void loaded() { link.name = name.text; }

  MediaStopLink link;
};

}  // namespace scene
