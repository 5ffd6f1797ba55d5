#include "scene/properties.h"

#include <atomic>
#include <ctime>

#include "platform/sys/clock.h"
#include "platform/sys/crt_rand.h"
#include "platform/ui/message_box.h"
#include "resources/string_table.h"
#include "scene/project_archive.h"
#include "scene/scene_item.h"

namespace scene {
namespace {

std::atomic<sys::Clock*> gSeedClock{nullptr};

int32_t TimeSeededRand() {
  sys::Clock* clock = gSeedClock.load();
  const int64_t now = clock ? clock->CalendarSeconds() : static_cast<int64_t>(std::time(nullptr));
  sys::CrtSrand(static_cast<uint32_t>(now));
  return sys::CrtRand();
}

}  // namespace

void SetSeedClock(sys::Clock* clock) { gSeedClock.store(clock); }

void TextProperty::load(ProjectArchive& archive) { text = archive.ReadScrambledString(); }

ColorProperty::ColorProperty() : seed(TimeSeededRand()) {}

void ColorProperty::assign(const ColorProperty& other) {
  color = other.color;
  paintMode = other.paintMode;
  randomColor = other.randomColor;
  useWindowBackground = other.useWindowBackground;
  name = other.name;
}

void ColorProperty::load(ProjectArchive& archive) {
  color = archive.ReadUInt32();
  paintMode = archive.ReadInt32();
  randomColor = archive.ReadInt32();
  useWindowBackground = archive.ReadInt32();
}

PathProperty::PathProperty() : seed(TimeSeededRand()) {}

void PathProperty::assign(const PathProperty& o) {
  const int32_t keepSeed = seed;
  *this = o;
  seed = keepSeed;
}

void PathProperty::loadTailA(ProjectArchive& a) {
  x1 = a.ReadInt32();
  y1 = a.ReadInt32();
  x2 = a.ReadInt32();
  y2 = a.ReadInt32();
  dx = a.ReadInt32();
  dy = a.ReadInt32();
  horizontal = a.ReadInt32();
  compareX = a.ReadInt32();
  stopX = a.ReadInt32();
  stopY = a.ReadInt32();
  bothConditions = a.ReadInt32();
  compareY = a.ReadInt32();
  freeMotion = a.ReadInt32();
  moveSpeed = a.ReadInt32();
  textSpeed = a.ReadInt32();
  textAnimation = a.ReadInt32();
}

void PathProperty::load(ProjectArchive& a) {
  const float v = a.Version();
  effect = 0;
  effectSpeed = 100;
  keepScreen = 0;
  saveBackground = 0;
  int32_t random[4] = {0, 0, 0, 0};
  int32_t centre[4] = {0, 0, 0, 0};
  auto readFlags = [&](int32_t(&flags)[4]) {
    for (int32_t& f : flags) f = a.ReadInt32();
  };
  // Each layout the authoring tool ever wrote; the ranges overlap on purpose, so a record
  // of 2.05 holds blocks 2 and 3 one after the other.
  if (v == 1.0f) {
    readFlags(random);
    loadTailA(a);
  }
  if (v > 1.1f && v < 2.1f) {
    readFlags(random);
    readFlags(centre);
    loadTailA(a);
    keepScreen = a.ReadInt32();
    saveBackground = a.ReadInt32();
  }
  if (v > 2.0f && v < 3.0f) {
    readFlags(random);
    readFlags(centre);
    loadTailA(a);
    keepScreen = a.ReadInt32();
    saveBackground = a.ReadInt32();
    effect = a.ReadInt32();
  }
  if (v > 2.9f && v < 3.2f) {
    readFlags(random);
    readFlags(centre);
    loadTailA(a);
    keepScreen = a.ReadInt32();
    saveBackground = a.ReadInt32();
    effect = a.ReadInt32();
    effectSpeed = a.ReadInt32();
  }
  int32_t* modes[4] = {&modeX1, &modeY1, &modeX2, &modeY2};
  for (int i = 0; i < 4; ++i) {
    *modes[i] = 5;
    if (random[i]) *modes[i] = 3;
    if (centre[i]) *modes[i] = 1;
  }
  if (v > 3.2f) {
    modeX1 = a.ReadInt32();
    modeY1 = a.ReadInt32();
    modeX2 = a.ReadInt32();
    modeY2 = a.ReadInt32();
    loadTailA(a);
    keepScreen = a.ReadInt32();
    saveBackground = a.ReadInt32();
    effect = a.ReadInt32();
    effectSpeed = a.ReadInt32();
  }
}

void PauseProperty::assign(const PauseProperty& other) {
  randomPause = other.randomPause;
  pauseMs = other.pauseMs;
  name = other.name;
}

void PauseProperty::load(ProjectArchive& archive) {
  pauseMs = archive.ReadInt32();
  randomPause = archive.ReadInt32();
}

void RepeatProperty::assign(const RepeatProperty& other) {
  repeatCount = other.repeatCount;
  endless = other.endless;
  name = other.name;
}

void RepeatProperty::load(ProjectArchive& archive) {
  repeatCount = archive.ReadInt32();
  endless = archive.ReadInt32();
}

void MediaPlayOptions::assign(const MediaPlayOptions& other) {
  RepeatProperty::assign(other);
  waitUntilDone = other.waitUntilDone;
  loopInBackground = other.loopInBackground;
  videoX = other.videoX;
  videoY = other.videoY;
}

void MediaPlayOptions::load(ProjectArchive& archive) {
  repeatCount = archive.ReadInt32();
  endless = archive.ReadInt32();
  waitUntilDone = archive.ReadInt32();
  loopInBackground = archive.ReadInt32();
  if (archive.Version() >= 2.1f) {
    videoX = archive.ReadInt32();
    videoY = archive.ReadInt32();
  }
}

void PictureLink::assign(const PictureLink& other) {
  picture = other.picture;
  path.assign(other.path);
  color.assign(other.color);
  name = other.name;
}

void PictureLink::load(ProjectArchive& archive) {
  path.load(archive);
  color.load(archive);
}

bool PictureLink::validate() {
  if (picture && picture->kind == kPictureItem && path.validate() && color.validate()) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_IMAGE), ui::MessageIcon::Stop);
  return false;
}

void MediaLink::assign(const MediaLink& other) {
  media = other.media;
  name = other.name;
  options.assign(other.options);
}

void MediaLink::load(ProjectArchive& archive) { options.load(archive); }

bool MediaLink::validate() {
  if (media && media->kind == kMediaItem) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

void MediaStopLink::assign(const MediaStopLink& other) {
  media = other.media;
  name = other.name;
}

bool MediaStopLink::validate() {
  if (media && media->kind == kMediaItem) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

}  // namespace scene
