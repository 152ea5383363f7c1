// How the player left the window, kept between runs in a file of its own
// beside the settings (Window.vtr), so Settings.vtr keeps its 32 lines and
// every version reads every other's files: fullscreen or not, the window's
// size when not fullscreen, and whether the sound is muted.
//
// The file is four "Key value" lines in any order. Reading never fails:
// a missing, empty, truncated or garbled file, or a line that cannot be
// read, gives the default for what it could not give, and the caller is
// told to write the file afresh. A size is only checked for being a size
// here; the engine holds it to the display it opens on.
#pragma once

#include <string>

namespace vtr {

struct WindowMode {
  bool fullscreen = false;
  int width = 0;   // points; 0 (with height 0): the engine chooses
  int height = 0;
  bool muted = false;

  bool operator==(const WindowMode&) const = default;
};

// The largest side a remembered window may claim; anything beyond it is no size.
inline constexpr int kMaxRememberedSide = 65536;

struct WindowModeFile {
  WindowMode mode;
  // False when the file was missing or not every line could be read: write it again.
  bool whole = false;
};

// Reads the file (at most a few kilobytes of it).
WindowModeFile LoadWindowMode(const std::string& path);
// Writes the four lines; false when the file could not be written.
bool SaveWindowMode(const std::string& path, const WindowMode& mode);

}  // namespace vtr
