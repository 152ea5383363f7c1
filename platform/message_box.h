// Start-up failures shown to the player.
#pragma once

// Shows a modal box with an OK button (an error icon when errorIcon, else an
// information icon). Without a display, prints "caption: text" to standard
// error and returns false, so the caller can log the text instead.
bool ShowMessageBox(const char* caption, const char* text, bool errorIcon);
