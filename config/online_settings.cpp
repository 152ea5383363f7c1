#include "config/online_settings.h"

#include <algorithm>
#include <sstream>

#include "helpers/hex.h"
#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr {
namespace {

constexpr std::size_t kMaxFileBytes = 4096;
constexpr std::size_t kMaxNameBytes = 32;
constexpr std::size_t kMaxServerBytes = 512;
constexpr std::size_t kKeyDigits = 32;

bool NameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '_' ||
         c == '-' || c == '.';
}

bool KeyAllowed(const std::string& key) { return IsLowerHex(key, kKeyDigits); }

}  // namespace

bool OnlineNameAllowed(const std::string& name) {
  return !name.empty() && name.size() <= kMaxNameBytes && name.front() != ' ' && name.back() != ' ' &&
         std::all_of(name.begin(), name.end(), NameCharacter);
}

bool OnlineServerAllowed(const std::string& server) {
  const bool schemed = server.rfind("http://", 0) == 0 || server.rfind("https://", 0) == 0;
  return schemed && server.size() <= kMaxServerBytes && server.find("://") + 3 < server.size() &&
         std::all_of(server.begin(), server.end(), [](char c) { return c > ' ' && c < 127; });
}

OnlineSettings LoadOnlineSettings(const std::string& path) {
  OnlineSettings settings;
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path);
  std::string text;
  bool larger = false;
  if (!file.IsOpen() || !file.ReadUpTo(kMaxFileBytes, &text, &larger) || larger) return settings;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string key = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (key == "Server") {
      settings.server = value;
      while (!settings.server.empty() && settings.server.back() == '/') settings.server.pop_back();
    } else if (key == "Name") {
      settings.name = value;
    } else if (key == "Key") {
      settings.key = value;
    }
  }
  if (!OnlineServerAllowed(settings.server) || !OnlineNameAllowed(settings.name)) return OnlineSettings{};
  if (!KeyAllowed(settings.key)) settings.key.clear();
  return settings;
}

bool SaveOnlineSettings(const std::string& path, const OnlineSettings& settings) {
  if (!settings.On()) return false;
  std::string text = "Server " + settings.server + "\nName " + settings.name + "\n";
  if (!settings.key.empty()) text += "Key " + settings.key + "\n";
  platform::AtomicWriteOptions options;
  options.inPlaceWhenFolderClosed = true;
  return platform::WriteFileAtomically(path, text, options).ok;
}

std::string TurnOnline(const std::string& path, const std::string& server, const std::string& name,
                       OnlineSettings* saved) {
  OnlineSettings settings;
  settings.server = server;
  while (!settings.server.empty() && settings.server.back() == '/') settings.server.pop_back();
  settings.name = name;
  if (!OnlineServerAllowed(settings.server)) return "\"" + server + "\" is not an http:// or https:// address";
  if (!OnlineNameAllowed(settings.name)) {
    return "a name is 1 to 32 letters, digits, spaces and _-. (no space at either end)";
  }
  const OnlineSettings before = LoadOnlineSettings(path);
  if (before.name == settings.name) settings.key = before.key;
  if (!SaveOnlineSettings(path, settings)) return path + " cannot be written";
  *saved = settings;
  return "";
}

}  // namespace vtr
