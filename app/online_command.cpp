#include "app/online_command.h"

#include <cstdio>
#include <filesystem>

#include "config/online_settings.h"
#include "platform/folders.h"

namespace vtr {

namespace {

constexpr int kCommandFailed = 2;

// The data folder the game itself would use; "" when none can be written.
std::string DataFolder(const std::string& folder) {
  if (!folder.empty()) return folder;
  const GameFolders folders = ChooseGameFolders(ExecutableFolder());
  return folders.writable ? folders.data : "";
}

}  // namespace

int OnlineCommand(const std::string& server, const std::string& name, const std::string& folder) {
  const std::string data = DataFolder(folder);
  if (data.empty()) {
    std::fprintf(stderr, "--online: no data folder of the game can be written\n");
    return kCommandFailed;
  }
  const std::string path = (std::filesystem::path(data) / kOnlineFile).string();
  OnlineSettings settings;
  if (const std::string why = TurnOnline(path, server, name, &settings); !why.empty()) {
    std::fprintf(stderr, "--online: %s\n", why.c_str());
    return kCommandFailed;
  }
  std::printf("Online play is on: today's challenge rounds are sent to %s as %s (%s)\n", settings.server.c_str(),
              settings.name.c_str(), path.c_str());
  return 0;
}

int OfflineCommand(const std::string& folder) {
  const std::string data = DataFolder(folder);
  if (data.empty()) {
    std::printf("Online play is off\n");
    return 0;
  }
  const std::string path = (std::filesystem::path(data) / kOnlineFile).string();
  std::error_code error;
  std::filesystem::remove(path, error);
  if (error) {
    std::fprintf(stderr, "--offline: %s cannot be removed: %s\n", path.c_str(), error.message().c_str());
    return kCommandFailed;
  }
  std::printf("Online play is off: nothing is sent (%s removed)\n", path.c_str());
  return 0;
}

}  // namespace vtr
