#pragma once
// Message boxes through SDL, for when a display exists.

#include <string>

#include "platform/ui/message_box.h"

struct SDL_Window;

namespace ui {

class SdlMessagePresenter final : public MessagePresenter {
 public:
  // caption: the title of every box (the application name, Windows-1252).
  explicit SdlMessagePresenter(std::string caption) : caption_(std::move(caption)) {}
  // Falls back to the stderr presenter when SDL cannot show the box.
  void Show(const std::string& text, MessageIcon icon) override;

 private:
  std::string caption_;
};


}  // namespace ui
