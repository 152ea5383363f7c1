// Whether the player has finished a round of their own, kept between runs in
// a file of its own beside the window mode (FirstRound.vtr), so that the
// main menu's line of help shows only to a new player. The settings and
// score files are left as they are.
//
// The file is one line, "FirstRoundFinished 1". A missing, empty or garbled
// file, or anything but a regular file at its name, reads as not finished:
// at worst the hint shows once more.
#pragma once

#include <string>

namespace vtr {

// The file's name, in the folder of the settings and of Window.vtr.
inline constexpr const char* kFirstRoundFile = "FirstRound.vtr";

// True when the file says a round was finished (reads a few bytes at most).
bool FirstRoundFinished(const std::string& path);
// Writes the file through the game's durable write; false when it could not.
bool RememberFirstRoundFinished(const std::string& path);

}  // namespace vtr
