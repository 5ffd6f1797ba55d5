#pragma once
// SDL settings every part of the player that starts an SDL subsystem applies first.

namespace ui {

// Leaves the desktop's saver and power management alone, leaves signals to the player,
// and keeps focus changes and window closing from ending the show by themselves.
void ConfigureSdlHints();

}  // namespace ui
