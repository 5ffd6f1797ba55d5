#include "platform/ui/input_script.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>

namespace ui {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> out;
  while (true) {
    s = Trim(s);
    if (s.empty()) return out;
    size_t end = s.find_first_of(" \t");
    out.push_back(s.substr(0, end));
    if (end == std::string_view::npos) return out;
    s.remove_prefix(end);
  }
}

std::optional<int32_t> Int(std::string_view s) {
  int32_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < -32768 || v > 32767) return std::nullopt;
  return v;
}

}  // namespace

std::optional<uint32_t> KeyFromName(std::string_view name) {
  const std::string n = Lower(name);
  if (n.size() == 1) {
    const char c = n[0];
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a' + 'A');
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c);
  }
  if (n.size() >= 2 && n[0] == 'f') {
    auto f = Int(std::string_view(n).substr(1));
    if (f && *f >= 1 && *f <= 12) return VK_F1 + static_cast<uint32_t>(*f - 1);
  }
  static const std::pair<const char*, uint32_t> kNames[] = {
      {"tab", VK_TAB},       {"enter", VK_RETURN},    {"return", VK_RETURN},  {"escape", VK_ESCAPE},
      {"esc", VK_ESCAPE},    {"space", VK_SPACE},     {"backspace", VK_BACK}, {"back", VK_BACK},
      {"delete", VK_DELETE}, {"del", VK_DELETE},      {"insert", VK_INSERT},  {"home", VK_HOME},
      {"end", VK_END},       {"left", VK_LEFT},       {"right", VK_RIGHT},    {"up", VK_UP},
      {"down", VK_DOWN},     {"pageup", VK_PRIOR},    {"pagedown", VK_NEXT},  {"shift", VK_SHIFT},
      {"ctrl", VK_CONTROL},  {"control", VK_CONTROL}, {"alt", VK_MENU},       {"pause", VK_PAUSE},
  };
  for (const auto& [text, vk] : kNames) {
    if (n == text) return vk;
  }
  return std::nullopt;
}

std::optional<InputScript> ParseInputScript(std::string_view text, std::string* error) {
  InputScript script;
  int lineNo = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "input script line " + std::to_string(lineNo) + ": " + why;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++lineNo;
    const size_t eol = text.find('\n');
    std::string_view raw = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (raw.size() > kMaxInputScriptLine) return fail("line too long");
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string_view line = Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string_view> w = Words(line);
    const std::string verb = Lower(w[0]);
    InputEvent e;
    e.line = lineNo;
    if (verb == "text") {
      // Everything after "text " is typed as it stands, spaces included.
      const size_t at = raw.find_first_not_of(" \t");
      std::string_view rest = raw.substr(at + 4);
      if (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      e.kind = InputEvent::Kind::Text;
      e.text = std::string(rest);
      if (e.text.empty()) return fail("text needs characters");
    } else if (verb == "key") {
      if (w.size() != 2) return fail("key needs one key name");
      e.kind = InputEvent::Kind::Key;
      std::string_view chord = w[1];
      while (true) {
        const size_t plus = chord.find('+');
        if (plus == std::string_view::npos || plus + 1 == chord.size()) break;
        const std::string mod = Lower(chord.substr(0, plus));
        if (mod == "shift") {
          e.keyState |= KS_SHIFT;
        } else if (mod == "ctrl" || mod == "control") {
          e.keyState |= KS_CONTROL;
        } else if (mod == "alt") {
          e.keyState |= KS_ALT;
        } else {
          return fail("unknown modifier '" + std::string(chord.substr(0, plus)) + "'");
        }
        chord.remove_prefix(plus + 1);
      }
      auto vk = KeyFromName(chord);
      if (!vk) return fail("unknown key '" + std::string(chord) + "'");
      e.vk = *vk;
    } else if (verb == "click" && w.size() == 2) {
      auto id = Int(w[1]);
      if (!id) return fail("click needs a control id or X Y");
      e.kind = InputEvent::Kind::ClickControl;
      e.control = *id;
    } else if (verb == "click" || verb == "dblclick" || verb == "rclick" || verb == "mclick" ||
               verb == "move") {
      if (w.size() != 3) return fail(verb + " needs X Y");
      auto x = Int(w[1]), y = Int(w[2]);
      if (!x || !y) return fail("coordinates must be integers from -32768 to 32767");
      e.kind = InputEvent::Kind::Mouse;
      e.x = *x;
      e.y = *y;
      e.button = verb == "move"       ? WM_MOUSEMOVE
                 : verb == "click"    ? WM_LBUTTONDOWN
                 : verb == "dblclick" ? WM_LBUTTONDBLCLK
                 : verb == "rclick"   ? WM_RBUTTONDOWN
                                      : WM_MBUTTONDOWN;
    } else if (verb == "wait") {
      if (w.size() != 2) return fail("wait needs seconds");
      const std::string s(w[1]);
      char* end = nullptr;
      const double v = std::strtod(s.c_str(), &end);
      if (end != s.c_str() + s.size() || !std::isfinite(v) || v < 0 || v > kMaxInputWait) {
        return fail("wait takes 0 to 3600 seconds");
      }
      e.kind = InputEvent::Kind::Wait;
      e.seconds = v;
    } else {
      return fail("unknown event '" + std::string(w[0]) + "'");
    }
    script.events.push_back(std::move(e));
  }
  return script;
}

std::optional<InputScript> LoadInputScript(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read the input script " + path;
    return std::nullopt;
  }
  std::string text(kMaxInputScriptBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > kMaxInputScriptBytes) {
    if (error) *error = "the input script " + path + " is larger than 1 MiB";
    return std::nullopt;
  }
  return ParseInputScript(text, error);
}

void EventMessages(const InputEvent& e, std::vector<Message>& out) {
  switch (e.kind) {
    case InputEvent::Kind::Key: {
      const bool sys = (e.keyState & KS_ALT) || e.vk == VK_MENU || e.vk == VK_F10;
      out.push_back({sys ? WM_SYSKEYDOWN : WM_KEYDOWN, e.vk, 0, 0, e.keyState});
      out.push_back({sys ? WM_SYSKEYUP : WM_KEYUP, e.vk, 0, 0, e.keyState});
      return;
    }
    case InputEvent::Kind::Text:
      for (unsigned char c : e.text) out.push_back({WM_CHAR, c, 0, 0, 0});
      return;
    case InputEvent::Kind::Mouse: {
      out.push_back({WM_MOUSEMOVE, 0, e.x, e.y, 0});
      if (e.button == WM_MOUSEMOVE) return;
      const uint32_t up = e.button == WM_RBUTTONDOWN   ? WM_RBUTTONUP
                          : e.button == WM_MBUTTONDOWN ? WM_MBUTTONUP
                                                       : WM_LBUTTONUP;
      const uint32_t mask = e.button == WM_RBUTTONDOWN   ? MK_RBUTTON
                            : e.button == WM_MBUTTONDOWN ? MK_MBUTTON
                                                         : MK_LBUTTON;
      if (e.button == WM_LBUTTONDBLCLK) {
        // A double-click is a click, then the second press.
        out.push_back({WM_LBUTTONDOWN, MK_LBUTTON, e.x, e.y, 0});
        out.push_back({WM_LBUTTONUP, 0, e.x, e.y, 0});
      }
      out.push_back({e.button, mask, e.x, e.y, 0});
      out.push_back({up, 0, e.x, e.y, 0});
      return;
    }
    default:
      return;
  }
}

InputPlayer::InputPlayer(InputScript script) : script_(std::move(script)) { SkipWaits(); }

InputPlayer::InputPlayer(InputScript script, Clock::time_point start)
    : InputPlayer(std::move(script)) {
  Start(start);
}

void InputPlayer::Start(Clock::time_point now) {
  if (started_) return;
  started_ = true;
  start_ = now;
}

void InputPlayer::SkipWaits() {
  while (next_ < script_.events.size() && script_.events[next_].kind == InputEvent::Kind::Wait) {
    waited_ += std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(script_.events[next_].seconds));
    ++next_;
  }
}

std::optional<InputPlayer::Clock::time_point> InputPlayer::NextDue() const {
  if (Done()) return std::nullopt;
  if (!pending_.empty() || !started_) return Clock::time_point{};  // due at once
  return start_ + waited_;
}

bool InputPlayer::TakeNext(Clock::time_point now, const Locator& locate, Message& out,
                           std::string* warning) {
  Start(now);
  while (pending_.empty()) {
    if (next_ >= script_.events.size() || now < start_ + waited_) return false;
    const InputEvent& e = script_.events[next_++];
    std::vector<Message> messages;
    if (e.kind == InputEvent::Kind::ClickControl) {
      std::optional<std::pair<int32_t, int32_t>> at;
      if (locate) at = locate(e.control);
      if (!at) {
        if (warning) {
          *warning = "input script line " + std::to_string(e.line) + ": no control " +
                     std::to_string(e.control) + " to click";
        }
      } else {
        InputEvent click;
        click.kind = InputEvent::Kind::Mouse;
        click.button = WM_LBUTTONDOWN;
        click.x = at->first;
        click.y = at->second;
        EventMessages(click, messages);
      }
    } else {
      EventMessages(e, messages);
    }
    pending_.insert(pending_.end(), messages.begin(), messages.end());
    SkipWaits();
  }
  out = pending_.front();
  pending_.pop_front();
  return true;
}

}  // namespace ui
