// Start-up failures shown to the player.
#pragma once

// Shows a modal box with an OK button (an error icon when errorIcon, else an
// information icon). Without a display, prints "caption: text" to standard
// error and returns false, so the caller can log the text instead.
//
// SIGINT, SIGTERM or SIGHUP while the box is up closes it at once and is
// then raised again under the handler the process had before: the box never
// keeps the game from stopping.
bool ShowMessageBox(const char* caption, const char* text, bool errorIcon);
