#pragma once
// A picture of the screen as the window system shows it right now: the X11 root window with
// every window on it. Taken before the player maps a window of its own, so the player is not
// in it.

#include <optional>
#include <string>

#include "platform/gfx/surface.h"

namespace ui {

// The screen of $DISPLAY, or nullopt (with *error set) when there is no display, the
// server refuses or the picture cannot be converted. Never ends the process on an X error.
std::optional<gfx::Surface> GrabScreen(std::string* error = nullptr);

}  // namespace ui
