#pragma once
// Scripted input: a text file of events played into a dialog or a running show as if a
// user made them. One event per line; '#' starts a comment; blank lines are skipped.
//   key NAME          a key pressed and released: Tab, Enter, Escape, Space, Left, F12, A,
//                     7, ... with modifiers joined by '+': Shift+Tab, Alt+C, Ctrl+Home
//   text CHARS        the characters after "text " typed (Windows-1252 bytes)
//   click ID          a left click in the middle of the open dialog's control ID
//   click X Y         a left click at (X, Y); also dblclick, rclick, mclick
//   move X Y          the mouse moved to (X, Y)
//   wait SECONDS      the next events come that much later (0 to 3600)
// Coordinates are in the window's (or the PNG's) pixels.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/messages.h"

namespace ui {

inline constexpr size_t kMaxInputScriptBytes = 1 << 20;
inline constexpr size_t kMaxInputScriptLine = 4096;
inline constexpr double kMaxInputWait = 3600.0;

struct InputEvent {
  enum class Kind { Key, Text, ClickControl, Mouse, Wait };
  Kind kind = Kind::Key;
  int line = 0;
  uint32_t vk = 0, keyState = 0;  // Key
  std::string text;               // Text
  int control = 0;                // ClickControl
  uint32_t button = 0;            // Mouse: WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, ...
  int32_t x = 0, y = 0;           // Mouse
  double seconds = 0;             // Wait
};

struct InputScript {
  std::vector<InputEvent> events;
};

// Parses a script; on a bad line returns nullopt with *error naming the line.
std::optional<InputScript> ParseInputScript(std::string_view text, std::string* error);
// Reads and parses a file of at most kMaxInputScriptBytes.
std::optional<InputScript> LoadInputScript(const std::string& path, std::string* error);
// The virtual-key code of a key name ("Tab", "F4", "A"); nullopt when unknown.
std::optional<uint32_t> KeyFromName(std::string_view name);

// Plays a script in real time, its waits counted from when it starts.
class InputPlayer {
 public:
  using Clock = std::chrono::steady_clock;
  explicit InputPlayer(InputScript script);
  InputPlayer(InputScript script, Clock::time_point start);
  // Starts the clock of the waits unless it runs already (the first dialog or show that
  // takes input starts it); the first TakeNext starts it too.
  void Start(Clock::time_point now);

  bool Done() const { return next_ >= script_.events.size() && pending_.empty(); }
  // When the next event is due (its waits counted from the start); nullopt when done. Not
  // started yet: due at once.
  std::optional<Clock::time_point> NextDue() const;
  // Where a control of the open dialog is, for "click ID": the click point in the
  // coordinates of the receiver; nullopt when there is no such control.
  using Locator = std::function<std::optional<std::pair<int32_t, int32_t>>(int id)>;
  // The next message when it is due by `now`, one at a time, so that whatever the messages
  // cause (a dialog opening) takes the ones after them. Returns false when nothing is due;
  // a click on a control that is not there is skipped with a warning.
  bool TakeNext(Clock::time_point now, const Locator& locate, Message& out, std::string* warning);

 private:
  void SkipWaits();
  InputScript script_;
  size_t next_ = 0;
  std::deque<Message> pending_;
  bool started_ = false;
  Clock::duration waited_{};  // the waits passed so far
  Clock::time_point start_{};
};

// The messages one event stands for (not for waits and control clicks).
void EventMessages(const InputEvent& e, std::vector<Message>& out);

}  // namespace ui
