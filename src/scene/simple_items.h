#pragma once
// Timing and simple items: pauses, loops, background colours, lines, comments and web links.

#include <string>

#include "scene/item_of.h"

namespace scene {

class PauseItem final : public ItemOf<PauseItem, kPauseItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  PauseRecord& record() { return pause; }
  const PauseRecord& record() const { return pause; }
  void loaded() { pause.name = name.text; }

  PauseProperty pause;
};

class BackgroundItem final : public ItemOf<BackgroundItem, kBackgroundItem>,
                             public BackgroundRecordOf<ColorProperty> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  BackgroundRecordOf<ColorProperty>& record() { return *this; }
  const BackgroundRecordOf<ColorProperty>& record() const { return *this; }
  void loaded() { color.name = name.text; }
};

class LoopStartItem final : public ItemOf<LoopStartItem, kLoopStartItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  EmptyRecord record() const { return {}; }
};

class LoopEndItem final : public ItemOf<LoopEndItem, kLoopEndItem> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  RepeatRecord& record() { return repeat; }
  const RepeatRecord& record() const { return repeat; }
  void loaded() { repeat.name = name.text; }

  RepeatProperty repeat;
};

// Index of the loop start of the loop end at endIndex, walking back over nested loops;
// -1 when there is none before it.
int32_t FindLoopStart(const SceneList& list, int32_t endIndex);

class LineItem final : public ItemOf<LineItem, kLineItem>,
                       public LineRecordOf<PathProperty, ColorProperty> {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  LineRecordOf<PathProperty, ColorProperty>& record() { return *this; }
  const LineRecordOf<PathProperty, ColorProperty>& record() const { return *this; }
  void loaded() { color.name = name.text; }
};

class CommentItem final : public ItemOf<CommentItem, kCommentItem>, public CommentRecord {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost&, int32_t&) override { return 0; }
  CommentRecord& record() { return *this; }
  const CommentRecord& record() const { return *this; }
};

class LinkItem final : public ItemOf<LinkItem, kLinkItem>, public LinkRecord {
 public:
  bool prepare(const SceneList& list) override;
  int play(PlayHost& host, int32_t& index) override;
  LinkRecord& record() { return *this; }
  const LinkRecord& record() const { return *this; }
};

}  // namespace scene
