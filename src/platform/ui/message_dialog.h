#pragma once
// A message box drawn as a dialog of our own: for message boxes over a running show, where
// a separate window could end up behind the show's.

#include <string>

#include "platform/ui/dialog.h"
#include "platform/ui/message_box.h"

namespace ui {

// The template of a message box for the text (one line per line break) and icon: the icon
// on the left, the text beside it, an OK button centred below.
DialogTemplate MessageBoxTemplate(const std::string& caption, const std::string& text,
                                  MessageIcon icon);

}  // namespace ui
