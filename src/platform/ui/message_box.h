#pragma once
// Message boxes. The player's texts go to the installed presenter: a real message box when
// a display exists, otherwise one line on stderr ("sceneplayer: <text>"). Texts are in the
// player's 8-bit code page (Windows-1252).

#include <string>

namespace ui {

enum class MessageIcon { None, Stop, Exclamation, Information };

class MessagePresenter {
 public:
  virtual ~MessagePresenter() = default;
  virtual void Show(const std::string& text, MessageIcon icon) = 0;
};

// Shows a message through the current presenter (blocking until dismissed, like MessageBox).
void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::None);

// Installs a presenter (nullptr restores the stderr presenter); returns the previous one.
// The caller keeps ownership and must keep it alive while installed.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);

// The stderr presenter: one line per message, line breaks folded to spaces.
class StderrPresenter final : public MessagePresenter {
 public:
  void Show(const std::string& text, MessageIcon icon) override;
};

}  // namespace ui
