// Keeps an X error from ending the game. Under X, Xlib's default answer to
// an error is to print it and end the process with status 1, and the first
// error comes as soon as someone else destroys the game's window (a window
// manager's "kill", `xdotool windowclose`, no window manager at all). With
// the guard the error is noted instead, and a window found gone ends the
// game like a close: the loop stops and the teardown runs. So does the X
// server going away under the game, which Xlib would answer by exiting at
// once.
#pragma once

struct SDL_Window;

namespace platform {

// Takes over Xlib's error handler; call before SDL starts its video, so SDL
// hands its own errors on to it and puts it back (not Xlib's default) when
// its video ends: the teardown of a destroyed window raises errors too.
void InstallX11ErrorGuard();

// Watches window when SDL drives it through X11; does nothing on other video
// drivers.
void GuardX11Window(SDL_Window* window);

// True once the guarded window has been destroyed from outside, or its
// display has gone. Checks only after an X error or the window's
// destruction was seen; cheap otherwise.
bool X11WindowLost();

// True once the connection to the X server has broken: nothing can be shown
// any more, and the game's exit status says so.
bool X11DisplayGone();

}  // namespace platform
