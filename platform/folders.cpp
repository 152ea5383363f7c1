#include "platform/folders.h"

#include <SDL.h>
#include <unistd.h>

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

// SDL makes the folder (and its parents) when it can; empty when it cannot.
std::string MakeUserDataFolder() {
  char* made = SDL_GetPrefPath("", "vantor");
  if (!made) return {};
  std::string folder = made;
  SDL_free(made);
  return folder;
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
