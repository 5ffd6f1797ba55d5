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

PathProperty::PathProperty() : seed(TimeSeededRand()) {}

void PathProperty::assign(const PathProperty& o) {
  const int32_t keepSeed = seed;
  *this = o;
  seed = keepSeed;
}

bool PictureLink::validate() {
  if (picture && picture->kind == kPictureItem && path.validate() && color.validate()) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_IMAGE), ui::MessageIcon::Stop);
  return false;
}

bool MediaLink::validate() {
  if (media && media->kind == kMediaItem) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

bool MediaStopLink::validate() {
  if (media && media->kind == kMediaItem) return true;
  ui::ShowMessage(res::LoadString(res::IDS_CHOOSE_MEDIA), ui::MessageIcon::Stop);
  return false;
}

}  // namespace scene
