// The browser has no X server: the page owns the canvas, and nothing outside
// can destroy it or take its display away while the game runs. The guard's
// calls do nothing.
#include "platform/x11_window_guard.h"

namespace platform {

void InstallX11ErrorGuard() {}

void GuardX11Window(SDL_Window*) {}

bool X11WindowLost() { return false; }

bool X11DisplayGone() { return false; }

}  // namespace platform
