#include "platform/ui/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/sys/printable.h"

namespace ui {
namespace {
StderrPresenter stderrPresenter;
std::atomic<MessagePresenter*> current{nullptr};

// Windows-1252 to UTF-8 for the terminal.
std::string ToUtf8(const std::string& text) {
  static const char16_t high[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  for (unsigned char c : text) {
    char32_t cp = c < 0x80 ? c : (c < 0xA0 ? high[c - 0x80] : c);
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}
}  // namespace

void StderrPresenter::Show(const std::string& text, MessageIcon) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += (c == '\n') ? ' ' : c;
  }
  size_t start = line.find_first_not_of(' ');
  line = start == std::string::npos ? std::string() : line.substr(start);
  std::fprintf(stderr, "sceneplayer: %s\n", sys::EscapeControls(ToUtf8(line)).c_str());
  std::fflush(stderr);
}

void ShowMessage(const std::string& text, MessageIcon icon) {
  MessagePresenter* p = current.load();
  (p ? *p : static_cast<MessagePresenter&>(stderrPresenter)).Show(text, icon);
}

MessagePresenter* SetMessagePresenter(MessagePresenter* presenter) {
  return current.exchange(presenter);
}

}  // namespace ui
