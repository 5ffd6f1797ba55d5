#include "scene/simple_items.h"

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

// ---- PauseItem ----

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
  return list.LoopStartBefore(endIndex);
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

// ---- CommentItem, LinkItem ----

bool CommentItem::prepare(const SceneList&) { return disabled || name.validate(); }

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
