#pragma once
// The run-time side of the stored property records: random colours and placements, motion,
// random pauses, loop counters and the links between items.

#include <cstdint>
#include <string>

#include "platform/gfx/surface.h"
#include "scene/records.h"

namespace sys {
class Clock;
}

namespace scene {

class ProjectArchive;
class PlayHost;
class SceneItem;

// Properties take a runtime rand() value at construction, after seeding with the time.
// Tests and headless runs point this at their clock; nullptr means the system's time.
void SetSeedClock(sys::Clock* clock);

// The name holder of every item.
class TextProperty {
 public:
  void load(ProjectArchive& archive);
  bool validate() const { return true; }

  std::string text;
};

class ColorProperty : public ColorRecord {
 public:
  ColorProperty();
  // The stored colour and the name, not the seed.
  void assign(const ColorProperty& other);
  bool validate() const { return true; }
  // Replaces color by a random one when randomColor is set.
  void resolve(PlayHost& host);

  std::string name;
  int32_t seed = 0;
};

class PathProperty : public PathRecord {
 public:
  PathProperty();
  // Everything but the seed.
  void assign(const PathProperty& other);
  bool validate() const { return true; }
  // Places the end points for a picture of w x h on the host's screen.
  void resolve(int32_t w, int32_t h, PlayHost& host);
  // One motion step; true when the motion has ended.
  bool step();

  int32_t curX = 0, curY = 0;
  int32_t seed = 0;
};

class PauseProperty : public PauseRecord {
 public:
  bool validate() const { return true; }
  // Replaces pauseMs by a random duration when randomPause is set.
  void randomize(PlayHost& host);

  std::string name;
  int32_t randomRange = 3001;
};

class RepeatProperty : public RepeatRecord {
 public:
  bool validate() {
    counter = 0;
    return true;
  }

  int32_t counter = 0;
  std::string name;
  int32_t loopStart = -1;
};

class MediaPlayOptions : public PlayMediaRecord {
 public:
  int32_t counter = 0;
  std::string name;
  int32_t loopStart = -1;
};

// Links hold weak pointers into the same scene list.
class PictureLink : public PictureLinkRecordOf<PathProperty, ColorProperty> {
 public:
  // Shows "You have to choose the image." when the link is missing or wrong.
  bool validate();

  SceneItem* picture = nullptr;
  std::string name;
};

class MediaLink {
 public:
  // Shows "You have to choose the media." when the link is missing or wrong.
  bool validate();

  SceneItem* media = nullptr;
  std::string name;
  MediaPlayOptions options;
};

class MediaStopLink {
 public:
  bool validate();

  SceneItem* media = nullptr;
  std::string name;
};

}  // namespace scene
