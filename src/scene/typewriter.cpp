// The typewriter: a text picture shown again with one more letter at every step.

#include <algorithm>
#include <chrono>

#include "platform/sys/clock.h"
#include "platform/sys/event.h"
#include "scene/items.h"
#include "scene/play_host.h"
#include "scene/text_bitmap.h"

namespace scene {
namespace {

// Shows the prefix up to the next letter at or after `counter` (which moves to it); false
// when only line breaks remain, when drawing failed, or when that letter was the last.
bool TypeStep(PictureItem& picture, PlayHost& host, const std::string& text, size_t& counter) {
  while (counter < text.size() && (text[counter] == '\r' || text[counter] == '\n')) ++counter;
  if (counter >= text.size()) return false;
  const size_t shown = counter + 1;
  const bool drawn =
      TextBitmap(picture, text.substr(0, shown)) && picture.show(host.Screen(), host, nullptr) != 0;
  return drawn && shown < text.size();
}

}  // namespace

void TypeOut(PictureItem& picture, PlayHost& host) {
  // A speed above 2000 is no delay, not a wait of a negative (endless) time.
  const int64_t delay = std::max<int64_t>(0, int64_t{2000} - picture.currentPath.textSpeed);
  const sys::Event& stop = host.StopEvent();
  sys::Clock& clock = host.Clock();
  const std::string text = picture.text;
  size_t counter = 0;
  while (!stop.IsSet()) {
    if (!TypeStep(picture, host, text, counter)) break;
    bool stopped = false;
    for (int64_t i = 0; i < delay / 100 && !stopped; ++i)
      stopped = clock.WaitFor(stop, std::chrono::milliseconds(100));
    if (!stopped && delay % 100) clock.WaitFor(stop, std::chrono::milliseconds(delay % 100));
    ++counter;
  }
}

}  // namespace scene
