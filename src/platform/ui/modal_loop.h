#pragma once
// Running a dialog modally on a display: its own window (configure and change-password
// modes), the headless screen, or over a running show.

#include <chrono>
#include <functional>
#include <optional>

#include "platform/gfx/surface.h"
#include "platform/ui/dialog.h"
#include "platform/ui/display.h"
#include "platform/ui/input_script.h"

namespace ui {

struct ModalOptions {
  // Where the dialog is painted on the screen: its frame's corner when `framed`, else its
  // client area's corner.
  int x = 0, y = 0;
  bool framed = true;
  // Over a show: the dialog is an overlay and the show keeps drawing below it.
  bool overlay = false;
  int overlayLayer = 0;
  // Scripted input, shared with whoever runs around the dialog.
  InputPlayer* input = nullptr;
  // Headless: the dialog ends with Cancel once the script has nothing more to play, so that
  // a run without a user always ends.
  bool endWhenInputDone = false;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // Called with the screen after every change of the dialog's picture.
  std::function<void(const gfx::Surface&)> onFrame;
  // A message that belongs to the program around the dialog (WM_QUIT, WM_APP and above):
  // true ends the dialog with Cancel. Such messages go back to the queue after the dialog.
  std::function<bool(const Message&)> foreign;
  // Warnings of the input script ("no control ... to click").
  std::function<void(const std::string&)> warn;
};

// Initialises the dialog, runs it until it ends and returns its result.
int RunModalDialog(Dialog& dialog, Display& display, const ModalOptions& options);

}  // namespace ui
