// Online play, off until the player turns it on: a file of its own beside
// Window.vtr (Online.vtr). Without it the game makes no connection at all and
// writes nothing of online play. With it, today's challenge rounds are sent
// to the world table at its server, and the high-score page can show that
// table.
//
// The file is "Key value" lines in any order:
//   Server http://127.0.0.1:8470   where the world table answers (http or https)
//   Name Alice                     the name the player's rounds are ranked under
//   Key 3f...                      the player's secret for that name, made by the
//                                  game on first use (32 hex digits)
// Reading never fails: a file without a usable server and name reads as off.
#pragma once

#include <string>

namespace vtr {

// The file's name, in the folder of the settings and of Window.vtr.
inline constexpr const char* kOnlineFile = "Online.vtr";

struct OnlineSettings {
  std::string server;  // without a trailing slash
  std::string name;
  std::string key;  // "" until the game has made one
  bool On() const { return !server.empty() && !name.empty(); }
};

// What the server takes as a name: 1 to 32 letters, digits, spaces and _-.,
// no space at either end.
bool OnlineNameAllowed(const std::string& name);
// An http:// or https:// address of printable characters and no spaces.
bool OnlineServerAllowed(const std::string& server);

// Reads the file (a few kilobytes at most); off when it is missing or has no
// allowed server and name. A key that is not 32 hex digits reads as none.
OnlineSettings LoadOnlineSettings(const std::string& path);
// Writes the three lines through the durable write; false when it could not.
bool SaveOnlineSettings(const std::string& path, const OnlineSettings& settings);
// Turns online play on in the file at path, for name at server (a trailing
// slash dropped); the key stays when the name is the file's already, since
// it belongs to the name. "" once written, else why not, in one line; the
// settings written go to saved.
std::string TurnOnline(const std::string& path, const std::string& server, const std::string& name,
                       OnlineSettings* saved);

}  // namespace vtr
