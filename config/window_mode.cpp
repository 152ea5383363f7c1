#include "config/window_mode.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr {
namespace {

// A window-mode file is four short lines; more than this is not one.
constexpr std::size_t kMaxFileBytes = 4096;

bool ReadWhole(const std::string& text, long low, long high, long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

}  // namespace

WindowModeFile LoadWindowMode(const std::string& path) {
  WindowModeFile result;
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path);
  std::string text;
  bool larger = false;
  if (!file.IsOpen() || !file.ReadUpTo(kMaxFileBytes, &text, &larger) || larger) return result;

  long fullscreen = -1, width = -1, height = -1, muted = -1;
  bool clean = true;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::istringstream words(line);
    std::string key, value, extra;
    words >> key >> value;
    bool read = !(words >> extra);
    if (key == "Fullscreen") {
      read = read && ReadWhole(value, 0, 1, &fullscreen);
    } else if (key == "WindowWidth") {
      read = read && ReadWhole(value, 0, kMaxRememberedSide, &width);
    } else if (key == "WindowHeight") {
      read = read && ReadWhole(value, 0, kMaxRememberedSide, &height);
    } else if (key == "Muted") {
      read = read && ReadWhole(value, 0, 1, &muted);
    } else {
      read = false;
    }
    clean = clean && read;
  }

  // Both sides, or neither (0 and 0: the engine chooses).
  const bool sized = (width > 0 && height > 0) || (width == 0 && height == 0);
  if (fullscreen >= 0) result.mode.fullscreen = fullscreen == 1;
  if (sized) {
    result.mode.width = static_cast<int>(width);
    result.mode.height = static_cast<int>(height);
  }
  if (muted >= 0) result.mode.muted = muted == 1;
  result.whole = clean && fullscreen >= 0 && sized && muted >= 0;
  return result;
}

bool SaveWindowMode(const std::string& path, const WindowMode& mode) {
  std::ostringstream text;
  text << "Fullscreen " << (mode.fullscreen ? 1 : 0) << "\n"
       << "WindowWidth " << mode.width << "\n"
       << "WindowHeight " << mode.height << "\n"
       << "Muted " << (mode.muted ? 1 : 0) << "\n";
  platform::AtomicWriteOptions options;
  options.inPlaceWhenFolderClosed = true;
  return platform::WriteFileAtomically(path, text.str(), options).ok;
}

}  // namespace vtr
