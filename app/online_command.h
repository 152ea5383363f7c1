// Turning online play on and off from the command line, without starting
// the game: `vantor --online SERVER NAME` and `vantor --offline`.
#pragma once

#include <string>

namespace vtr {

// Writes Online.vtr in the data folder (the game's own when folder is ""):
// the server (a trailing slash dropped) and the name; the key already there
// is kept when the name is the same, else the game makes a new one on its
// first send. Prints one line; 0 when written, 2 for a server or name the
// world table does not take, or a file that cannot be written.
int OnlineCommand(const std::string& server, const std::string& name, const std::string& folder = "");

// Removes Online.vtr from the data folder: nothing is sent from then on
// (rounds waiting in Outbox stay there). 0 also when there was none.
int OfflineCommand(const std::string& folder = "");

}  // namespace vtr
