#pragma once
// The property parts of scene items: small value classes with assign, load and validate.

#include <cstdint>
#include <string>

#include "platform/gfx/surface.h"

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
  void assign(const TextProperty& other) { text = other.text; }
  void load(ProjectArchive& archive);
  bool validate() const { return true; }

  std::string text;
};

class ColorProperty {
 public:
  ColorProperty();
  void assign(const ColorProperty& other);
  void load(ProjectArchive& archive);
  bool validate() const { return true; }
  // Replaces color by a random one when randomColor is set.
  void resolve(PlayHost& host);

  gfx::COLORREF color = 0;
  int32_t paintMode = 0;
  int32_t randomColor = 0;
  int32_t useWindowBackground = 1;
  std::string name;
  int32_t seed = 0;
};

class PathProperty {
 public:
  PathProperty();
  void assign(const PathProperty& other);
  void load(ProjectArchive& archive);
  bool validate() const { return true; }
  // Places the end points for a picture of w x h on the host's screen.
  void resolve(int32_t w, int32_t h, PlayHost& host);
  // One motion step; true when the motion has ended.
  bool step();

  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t stopX = 0, stopY = 0;
  int32_t dx = 1, dy = 1;
  int32_t curX = 0, curY = 0;
  int32_t modeX1 = 5, modeY1 = 5, modeX2 = 5, modeY2 = 5;
  int32_t compareX = 0, bothConditions = 0, compareY = 0;
  int32_t moveSpeed = 100000;
  int32_t textSpeed = 2000;
  int32_t effect = 0;
  int32_t effectSpeed = 100;
  int32_t freeMotion = 0;
  int32_t horizontal = 1;
  int32_t textAnimation = 0, keepScreen = 0, saveBackground = 0;
  int32_t seed = 0;

 private:
  void loadTailA(ProjectArchive& archive);
};

class PauseProperty {
 public:
  void assign(const PauseProperty& other);
  void load(ProjectArchive& archive);
  bool validate() const { return true; }
  // Replaces pauseMs by a random duration when randomPause is set.
  void randomize(PlayHost& host);

  int32_t randomPause = 0;
  int32_t pauseMs = 0;
  std::string name;
  int32_t randomRange = 3001;
};

class RepeatProperty {
 public:
  void assign(const RepeatProperty& other);
  void load(ProjectArchive& archive);
  bool validate() {
    counter = 0;
    return true;
  }

  int32_t repeatCount = 1;
  int32_t counter = 0;
  int32_t endless = 0;
  std::string name;
  int32_t loopStart = -1;
};

class MediaPlayOptions : public RepeatProperty {
 public:
  void assign(const MediaPlayOptions& other);
  void load(ProjectArchive& archive);

  int32_t waitUntilDone = 0;
  int32_t loopInBackground = 0;
  int32_t videoX = 0, videoY = 0;
};

// Links hold weak pointers into the same scene list.
class PictureLink {
 public:
  void assign(const PictureLink& other);
  void load(ProjectArchive& archive);
  // Shows "You have to choose the image." when the link is missing or wrong.
  bool validate();

  SceneItem* picture = nullptr;
  PathProperty path;
  ColorProperty color;
  std::string name;
};

class MediaLink {
 public:
  void assign(const MediaLink& other);
  void load(ProjectArchive& archive);
  // Shows "You have to choose the media." when the link is missing or wrong.
  bool validate();

  SceneItem* media = nullptr;
  std::string name;
  MediaPlayOptions options;
};

class MediaStopLink {
 public:
  void assign(const MediaStopLink& other);
  void load(ProjectArchive&) {}
  bool validate();

  SceneItem* media = nullptr;
  std::string name;
};

}  // namespace scene
