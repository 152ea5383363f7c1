#include "platform/folders.h"

#include <SDL.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifndef VANTOR_DATA_FROM_EXE
#define VANTOR_DATA_FROM_EXE "../share/vantor"
#endif

namespace vtr {
namespace {

namespace fs = std::filesystem;

std::string g_contentRoot;

bool HasContent(const std::string& folder) {
  std::error_code ignored;
  return fs::is_directory(fs::path(folder) / "Content", ignored);
}

bool Writable(const std::string& folder) {
  return !folder.empty() && access(folder.c_str(), W_OK | X_OK) == 0;
}

std::string AsFolder(const fs::path& path) {
  std::string text = path.lexically_normal().string();
  if (text.empty() || text.back() != '/') text += '/';
  return text;
}

// The player's data folder: $XDG_DATA_HOME/vantor/, or ~/.local/share/vantor/
// when XDG_DATA_HOME is unset, empty or relative (a relative one would hang
// the scores on the folder the game was started from, and an empty one would
// put them at the file system's root). Made with its parents, private to the
// player, when it can be; empty when it cannot, or when there is no absolute
// home folder either.
std::string MakeUserDataFolder() {
  fs::path base;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome != nullptr && dataHome[0] == '/') {
    base = dataHome;
  } else if (home != nullptr && home[0] == '/') {
    base = fs::path(home) / ".local" / "share";
  } else {
    return {};
  }
  const fs::path folder = (base / "vantor").lexically_normal();
  fs::path made;
  for (const fs::path& part : folder) {
    made /= part;
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return {};
  }
  std::error_code error;
  return fs::is_directory(folder, error) ? AsFolder(folder) : std::string();
}

}  // namespace

std::string ExecutableFolder() {
  char* base = SDL_GetBasePath();
  if (!base) return {};
  std::string folder = base;
  SDL_free(base);
  return folder;
}

GameFolders ChooseGameFolders(const std::string& exeFolder) {
  GameFolders folders;
  const std::string installedRoot = AsFolder(fs::path(exeFolder) / VANTOR_DATA_FROM_EXE);
  // Content beside the executable wins; a folder with Content in neither
  // place is treated as portable, so its failures show where it is.
  const bool installed = !HasContent(exeFolder) && HasContent(installedRoot);
  folders.content = installed ? installedRoot : exeFolder;

  if (!installed && Writable(exeFolder)) {
    folders.data = exeFolder;
    folders.writable = true;
    folders.portable = true;
    return folders;
  }
  const std::string user = MakeUserDataFolder();
  if (Writable(user)) {
    folders.data = user;
    folders.writable = true;
    return folders;
  }
  // Nowhere to write: read what there is, from the data folder if it exists.
  folders.data = user.empty() ? exeFolder : user;
  folders.portable = user.empty();
  return folders;
}

void SetContentRoot(const std::string& folder) { g_contentRoot = folder; }

std::string ContentPath(const char* name) {
  if (name == nullptr) return {};
  if (g_contentRoot.empty() || std::strncmp(name, "Content/", 8) != 0) return name;
  return g_contentRoot + name;
}

}  // namespace vtr
