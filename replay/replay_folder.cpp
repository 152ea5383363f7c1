#include "replay/replay_folder.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace vtr {

namespace fs = std::filesystem;

namespace {

constexpr char kExtension[] = ".vtreplay";
constexpr char kTemporary[] = ".tmp";
// A temporary this old is no save in progress but one cut short by a kill or
// a power cut; a younger one may be another copy's write under way.
constexpr auto kStaleTemporary = std::chrono::minutes(1);

// "<time>-<score>.vtreplay" with plain decimal numbers; false otherwise.
bool ParseName(const std::string& name, std::int64_t* time, std::uint32_t* score) {
  const std::size_t extension = sizeof kExtension - 1;
  if (name.size() <= extension || name.compare(name.size() - extension, extension, kExtension) != 0) return false;
  const char* first = name.data();
  const char* last = name.data() + name.size() - extension;
  // The time may be negative; the separator is the first '-' after the first character.
  const char* dash = std::find(first + 1, last, '-');
  if (dash == last) return false;
  const auto t = std::from_chars(first, dash, *time);
  if (t.ec != std::errc() || t.ptr != dash) return false;
  const auto s = std::from_chars(dash + 1, last, *score);
  return s.ec == std::errc() && s.ptr == last && dash + 1 != last && dash[1] != '-';
}

// Removes the temporaries of replay writes that never finished
// ("<time>-<score>.vtreplay.tmp"); nothing else.
void RemoveStaleTemporaries(const std::string& folder) {
  std::error_code error;
  const auto now = fs::file_time_type::clock::now();
  std::vector<fs::path> stale;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    const std::size_t suffix = sizeof kTemporary - 1;
    if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, kTemporary) != 0) continue;
    name.resize(name.size() - suffix);
    std::int64_t time = 0;
    std::uint32_t score = 0;
    if (!ParseName(name, &time, &score)) continue;
    std::error_code statError;
    // Its own time, not a link's target's: a link is never followed here.
    const fs::file_status status = it->symlink_status(statError);
    if (statError) continue;
    if (fs::is_regular_file(status)) {
      const auto written = fs::last_write_time(it->path(), statError);
      if (statError || now - written < kStaleTemporary) continue;
    }
    stale.push_back(it->path());
  }
  for (const fs::path& path : stale) fs::remove(path, error);
}

}  // namespace

std::string ReplayFolderFor(const std::string& scoreFile) {
  return (fs::path(scoreFile).parent_path() / "Replays").string();
}

std::string ReplayFileName(std::int64_t time, std::uint32_t score) {
  return std::to_string(time) + "-" + std::to_string(score) + kExtension;
}

std::vector<StoredReplay> ListReplays(const std::string& folder) {
  std::vector<StoredReplay> found;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    StoredReplay replay;
    if (!ParseName(it->path().filename().string(), &replay.time, &replay.score)) continue;
    if (!it->is_regular_file(error)) continue;
    replay.path = it->path().string();
    found.push_back(std::move(replay));
  }
  std::sort(found.begin(), found.end(), [](const StoredReplay& a, const StoredReplay& b) {
    return a.time != b.time ? a.time < b.time : a.score < b.score;
  });
  return found;
}

std::string FindReplay(const std::string& scoreFile, const ScoreEntry& entry) {
  const fs::path path = fs::path(ReplayFolderFor(scoreFile)) / ReplayFileName(entry.time, entry.score);
  std::error_code error;
  return fs::is_regular_file(path, error) ? path.string() : std::string();
}

bool StoreReplay(const std::string& scoreFile, const Replay& replay, const std::vector<ScoreEntry>& table) {
  const std::string folder = ReplayFolderFor(scoreFile);
  std::error_code error;
  // Only the Replays folder itself: a score file named in a folder that is
  // not there makes no folders on the way to it.
  fs::create_directory(folder, error);
  const auto score = static_cast<std::uint32_t>(replay.score);
  const std::string name = ReplayFileName(replay.entryTime, score);
  if (!WriteReplayFile((fs::path(folder) / name).string(), replay)) return false;

  // Entries of equal time and score share a name, so one file serves them all.
  const std::size_t kept = std::min(table.size(), kKeptReplays);
  for (const StoredReplay& stored : ListReplays(folder)) {
    if (stored.time == replay.entryTime && stored.score == score) continue;
    const bool shown = std::any_of(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(kept),
                                   [&](const ScoreEntry& e) { return e.time == stored.time && e.score == stored.score; });
    if (!shown) fs::remove(stored.path, error);
  }
  RemoveStaleTemporaries(folder);
  return true;
}

}  // namespace vtr
