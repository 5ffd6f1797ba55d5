#include "scene/items.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/gfx/canvas.h"
#include "platform/sys/clock.h"
#include "platform/sys/crt_rand.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/play_host.h"
#include "scene/scene_list.h"
#include "scene/shift_text.h"

namespace scene {
namespace {

int32_t Int32At(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}
void PutInt32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

// A resource that nothing enabled uses need not be prepared when it is disabled itself.
bool Unused(const SceneItem& resource, const std::vector<SceneItem*>& references) {
  if (!resource.disabled) return false;
  for (const SceneItem* holder : references) {
    if (!holder->isDisabled()) return false;
  }
  return true;
}

template <typename T>
const T* Same(const SceneItem& self, const SceneItem& other) {
  return other.kind == self.kind ? static_cast<const T*>(&other) : nullptr;
}

}  // namespace

LogFont::LogFont() {
  static constexpr char kFace[] = "MS Sans Serif";
  std::memcpy(faceName.data(), kFace, sizeof kFace);
}

LogFont LogFont::FromBytes(const uint8_t (&b)[kStoredSize]) {
  LogFont f;
  f.height = Int32At(b);
  f.width = Int32At(b + 4);
  f.escapement = Int32At(b + 8);
  f.orientation = Int32At(b + 12);
  f.weight = Int32At(b + 16);
  f.italic = b[20];
  f.underline = b[21];
  f.strikeOut = b[22];
  f.charSet = b[23];
  f.outPrecision = b[24];
  f.clipPrecision = b[25];
  f.quality = b[26];
  f.pitchAndFamily = b[27];
  std::memcpy(f.faceName.data(), b + 28, 32);
  return f;
}

void LogFont::ToBytes(uint8_t (&b)[kStoredSize]) const {
  PutInt32(b, height);
  PutInt32(b + 4, width);
  PutInt32(b + 8, escapement);
  PutInt32(b + 12, orientation);
  PutInt32(b + 16, weight);
  const uint8_t tail[8] = {italic,       underline,     strikeOut, charSet,
                           outPrecision, clipPrecision, quality,   pitchAndFamily};
  std::memcpy(b + 20, tail, 8);
  std::memcpy(b + 28, faceName.data(), 32);
}

std::string LogFont::FaceName() const {
  size_t n = 0;
  while (n < faceName.size() && faceName[n] != '\0') ++n;  // may fill all 32 bytes
  return std::string(faceName.data(), n);
}

// ---- PictureItem ----

void PictureItem::assign(const SceneItem& other) {
  const auto* o = Same<PictureItem>(*this, other);
  if (!o) return;
  assignHeader(other);
  textColor = o->textColor;
  backColor = o->backColor;
  font = o->font;
  textOpaque = o->textOpaque;
  source = o->source;
  text = o->text;
  fileName = o->fileName;
  dataSize = o->dataSize;
  data = DataBlock{};
  if (o->data.size) {
    data.bytes = std::make_unique_for_overwrite<uint8_t[]>(o->data.size);
    data.size = o->data.size;
    std::memcpy(data.data(), o->data.data(), data.size);
  }
  imageOrigin = o->imageOrigin;
  width = o->width;
  height = o->height;
  fitScreen = o->fitScreen;
  keepAspect = o->keepAspect;
}

void PictureItem::load(ProjectArchive& a) {
  loadHeader(a);
  const float v = a.Version();
  source = a.ReadInt32();
  textOpaque = a.ReadInt32();
  if (v >= 1.01f && v <= 2.1f) imageOrigin = a.ReadInt32() ? 2 : 1;
  if (v >= 2.11f) imageOrigin = a.ReadInt32();
  if (v > 4.01f) {
    width = a.ReadInt32();
    height = a.ReadInt32();
    fitScreen = a.ReadInt32();
  }
  if (v > 4.21f) keepAspect = a.ReadInt32();
  if (source == 1) {
    textColor = a.ReadUInt32();
    backColor = a.ReadUInt32();
    text = a.ReadScrambledString();
    uint8_t raw[LogFont::kStoredSize];
    a.Read(raw, sizeof raw);
    ShiftText(raw, sizeof raw, true);
    font = LogFont::FromBytes(raw);
    return;
  }
  const uint64_t sizeAt = a.Position();
  dataSize = a.ReadInt32();
  if (dataSize == 0) return;
  if (dataSize < 0) {
    a.FailAt(ArchiveError::Cause::BadSchema, sizeAt,
             "negative picture data size " + std::to_string(dataSize));
  }
  fileName = a.ReadScrambledString();
  data = a.ReadScrambledBlock(static_cast<uint64_t>(dataSize));
}

// ---- PauseItem ----

void PauseItem::assign(const SceneItem& other) {
  if (const auto* o = Same<PauseItem>(*this, other)) {
    assignHeader(other);
    pause.assign(o->pause);
  }
}

void PauseItem::load(ProjectArchive& a) {
  loadHeader(a);
  pause.load(a);
  pause.name = name.text;
}

bool PauseItem::prepare(const SceneList&) {
  return disabled || (name.validate() && pause.validate());
}

void PauseProperty::randomize(PlayHost& host) {
  if (!randomPause) return;
  sys::CrtSrand(static_cast<uint32_t>(host.Clock().CalendarSeconds()));
  const int64_t old = pauseMs;
  // The draw differs by at least 150 within a few tries; the bound only guards the loop.
  for (int tries = 0; tries < 1'000'000; ++tries) {
    pauseMs = static_cast<int32_t>(
        (static_cast<uint32_t>(sys::CrtRand()) + static_cast<uint32_t>(pauseMs)) %
        static_cast<uint32_t>(randomRange));
    if (std::llabs(pauseMs - old) >= 150) return;
  }
}

int PauseItem::play(PlayHost& host, int32_t&) {
  pause.randomize(host);
  // A negative stored pause waits not at all (the remainder would be a near-endless sleep).
  const uint32_t ms = pause.pauseMs > 0 ? static_cast<uint32_t>(pause.pauseMs) : 0;
  sys::Clock& clock = host.Clock();
  const sys::Event& stop = host.StopEvent();
  for (uint32_t i = 0; i < ms / 100; ++i) {
    if (clock.WaitFor(stop, std::chrono::milliseconds(100))) return 1;
  }
  if (ms % 100 && !stop.IsSet()) clock.WaitFor(stop, std::chrono::milliseconds(ms % 100));
  return 1;
}

// ---- BackgroundItem ----

void BackgroundItem::assign(const SceneItem& other) {
  if (const auto* o = Same<BackgroundItem>(*this, other)) {
    assignHeader(other);
    color.assign(o->color);
  }
}

void BackgroundItem::load(ProjectArchive& a) {
  loadHeader(a);
  color.load(a);
  color.name = name.text;
}

bool BackgroundItem::prepare(const SceneList&) {
  return disabled || (name.validate() && color.validate());
}

int BackgroundItem::play(PlayHost& host, int32_t&) {
  color.resolve(host);
  const uint32_t rop =
      color.paintMode == 0 ? gfx::SRCCOPY : (color.paintMode == 1 ? gfx::SRCPAINT : gfx::SRCAND);
  host.Repaint(color.color, rop);
  return 1;
}

// ---- Loops ----

bool LoopStartItem::prepare(const SceneList&) { return disabled || name.validate(); }

int32_t FindLoopStart(const SceneList& list, int32_t endIndex) {
  int32_t depth = 1;
  const int32_t last = static_cast<int32_t>(list.size()) - 1;
  for (int32_t i = (endIndex > last + 1 ? last : endIndex - 1); i >= 0; --i) {
    const int32_t k = list.at(static_cast<size_t>(i)).kind;
    if (k == kLoopEndItem) ++depth;
    if (k == kLoopStartItem && --depth == 0) return i;
  }
  return -1;
}

void LoopEndItem::assign(const SceneItem& other) {
  if (const auto* o = Same<LoopEndItem>(*this, other)) {
    assignHeader(other);
    repeat.assign(o->repeat);
  }
}

void LoopEndItem::load(ProjectArchive& a) {
  loadHeader(a);
  repeat.load(a);
  repeat.name = name.text;
}

bool LoopEndItem::prepare(const SceneList& list) {
  if (disabled) return true;
  // The search stops at the start of the list: a loop end with no start is refused.
  repeat.loopStart = FindLoopStart(list, index);
  if (repeat.loopStart < 0) return false;
  return name.validate() && repeat.validate();
}

int LoopEndItem::play(PlayHost&, int32_t& index) {
  if (repeat.loopStart < 0) return 0;  // not prepared: play on
  if (repeat.endless) {
    index = repeat.loopStart - 1;
    return 0;
  }
  ++repeat.counter;
  if (static_cast<uint32_t>(repeat.counter) >= static_cast<uint32_t>(repeat.repeatCount)) {
    repeat.counter = 0;
  } else {
    index = repeat.loopStart - 1;
  }
  return 0;
}

// ---- LineItem ----

void LineItem::assign(const SceneItem& other) {
  if (const auto* o = Same<LineItem>(*this, other)) {
    assignHeader(other);
    path.assign(o->path);
    color.assign(o->color);
    penStyle = o->penStyle;
    penWidth = o->penWidth;
  }
}

void LineItem::load(ProjectArchive& a) {
  loadHeader(a);
  color.load(a);
  path.load(a);
  penStyle = a.ReadInt32();
  penWidth = a.ReadInt32();
  color.name = name.text;
}

bool LineItem::prepare(const SceneList&) {
  return disabled || (name.validate() && path.validate() && color.validate());
}

int LineItem::play(PlayHost& host, int32_t&) {
  path.resolve(0, 0, host);
  color.resolve(host);
  host.Screen().DrawLine(path.x1, path.y1, path.x2, path.y2,
                         gfx::Pen{penStyle, penWidth, color.color});
  return 1;
}

// ---- MediaItem ----

void MediaItem::assign(const SceneItem& other) {
  const auto* o = Same<MediaItem>(*this, other);
  if (!o) return;
  assignHeader(other);
  dataSize = o->dataSize;
  data = DataBlock{};
  if (o->data.size) {
    data.bytes = std::make_unique_for_overwrite<uint8_t[]>(o->data.size);
    data.size = o->data.size;
    std::memcpy(data.data(), o->data.data(), data.size);
  }
  fileName = o->fileName;
  mediaType = o->mediaType;
}

void MediaItem::load(ProjectArchive& a) {
  loadHeader(a);
  const uint64_t sizeAt = a.Position();
  dataSize = a.ReadInt32();
  if (dataSize == 0) return;
  if (dataSize < 0) {
    a.FailAt(ArchiveError::Cause::BadSchema, sizeAt,
             "negative media data size " + std::to_string(dataSize));
  }
  fileName = a.ReadScrambledString();
  if (a.Version() >= 2.0f) mediaType = a.ReadInt32();
  data = a.ReadScrambledBlock(static_cast<uint64_t>(dataSize));
}

bool MediaItem::prepare(const SceneList&) {
  if (Unused(*this, references)) return true;
  if (data.size > 0) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

// ---- Media links ----

void PlayMediaItem::assign(const SceneItem& other) {
  if (const auto* o = Same<PlayMediaItem>(*this, other)) {
    assignHeader(other);
    link.assign(o->link);
  }
}

void PlayMediaItem::load(ProjectArchive& a) {
  loadHeader(a);
  link.load(a);
  link.name = name.text;
  link.options.name = name.text;
}

bool PlayMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

void StopMediaItem::assign(const SceneItem& other) {
  if (const auto* o = Same<StopMediaItem>(*this, other)) {
    assignHeader(other);
    link.assign(o->link);
  }
}

void StopMediaItem::load(ProjectArchive& a) {
  loadHeader(a);
  link.name = name.text;
}

bool StopMediaItem::prepare(const SceneList&) {
  return disabled || (name.validate() && link.validate());
}

// ---- CommentItem, LinkItem ----

void CommentItem::assign(const SceneItem& other) {
  if (const auto* o = Same<CommentItem>(*this, other)) {
    assignHeader(other);
    comment = o->comment;
  }
}

void CommentItem::load(ProjectArchive& a) {
  loadHeader(a);
  comment = a.ReadScrambledString();
}

bool CommentItem::prepare(const SceneList&) { return disabled || name.validate(); }

void LinkItem::assign(const SceneItem& other) {
  if (const auto* o = Same<LinkItem>(*this, other)) {
    assignHeader(other);
    clearLink = o->clearLink;
    linkMode = o->linkMode;
    url = o->url;
  }
}

void LinkItem::load(ProjectArchive& a) {
  loadHeader(a);
  clearLink = a.ReadInt32();
  linkMode = a.ReadInt32();
  url = a.ReadScrambledString();
}

bool LinkItem::prepare(const SceneList&) { return disabled || name.validate(); }

int LinkItem::play(PlayHost& host, int32_t&) {
  if (clearLink) {
    host.ClearActiveLink();
  } else {
    host.SetActiveLink(url, linkMode);
  }
  return 1;
}

}  // namespace scene
