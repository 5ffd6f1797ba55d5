#pragma once
// SDL settings every part of the player that starts an SDL subsystem applies first.

namespace ui {

// Leaves the desktop's saver and power management alone, leaves signals to the player,
// keeps focus changes and window closing from ending the show by themselves, and names
// the video driver, whatever SDL_VIDEODRIVER says.
void ConfigureSdlHints(const char* videoDriver = "x11");

}  // namespace ui
