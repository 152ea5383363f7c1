#include "config/first_round.h"

#include "platform/atomic_file.h"
#include "platform/checked_file.h"

namespace vtr {
namespace {

constexpr const char* kLine = "FirstRoundFinished 1";
constexpr std::size_t kMaxFileBytes = 64;

}  // namespace

bool FirstRoundFinished(const std::string& path) {
  platform::CheckedFile file = platform::CheckedFile::OpenForReading(path);
  std::string text;
  bool larger = false;
  if (!file.IsOpen() || !file.ReadUpTo(kMaxFileBytes, &text, &larger) || larger) return false;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text == kLine;
}

bool RememberFirstRoundFinished(const std::string& path) {
  platform::AtomicWriteOptions options;
  options.inPlaceWhenFolderClosed = true;
  return platform::WriteFileAtomically(path, std::string(kLine) + "\n", options).ok;
}

}  // namespace vtr
