#include "app/verify.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/app.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/replay_driver.h"
#include "replay/replay_file.h"
#include "replay/replay_folder.h"

namespace vtr {

StartOptions VerifyOptions() {
  StartOptions options;
  options.readOnly = true;
  options.headless = true;
  options.audio = false;
  options.render = false;
  options.logFile.clear();
  options.endOnSignal = true;  // nothing to save: the first signal ends it
  return options;
}

namespace {

// The settings a round was played with, when they are not the defaults: an
// "ok" says the score is the round's, not that the round was a usual one.
std::string SettingsNote(const Replay& replay) {
  const std::vector<std::string> changed = SettingsOtherThanDefaults(replay.settings);
  if (changed.empty()) return "";
  std::string note = ", with settings other than the defaults (";
  for (std::size_t i = 0; i < changed.size(); ++i) note += (i > 0 ? ", " : "") + changed[i];
  return note + ")";
}

// One replay's check; the line goes to standard output. A stored replay
// (named) must hold the round its file name says.
int CheckOne(Game* game, const std::string& path, const std::string& prefix, const ScoreTable* table,
             const StoredReplay* named = nullptr) {
  Replay replay;
  std::string error;
  if (ReadReplayFile(path, &replay, &error) != ReplayError::None) {
    std::printf("%s%s\n", prefix.c_str(), error.c_str());
    return kVerifyUnreadable;
  }
  const Verdict verdict = VerifyReplay(game, replay);
  std::string line = prefix + VerdictLine(replay, verdict) + SettingsNote(replay);
  int status = verdict.ok() ? kVerifyOk : kVerifyMismatch;
  if (named != nullptr && (named->time != replay.entryTime || named->score != static_cast<std::uint32_t>(replay.score))) {
    line += ", but the file is named for the entry of " + std::to_string(named->score) + " at " +
            std::to_string(named->time) + " and holds the round of " +
            std::to_string(static_cast<std::uint32_t>(replay.score)) + " at " + std::to_string(replay.entryTime);
    status = std::max(status, kVerifyMismatch);
  }
  if (table != nullptr) {
    const auto score = static_cast<std::uint32_t>(replay.score);
    const auto& entries = table->Entries();
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const ScoreEntry& e) {
      return e.score == score && e.time == replay.entryTime;
    });
    if (entry != entries.end()) {
      line += ", entry " + std::to_string(entry - entries.begin() + 1) + " of the table";
    } else {
      line += ", no such entry in the table";
      status = std::max(status, kVerifyMismatch);
    }
  }
  std::printf("%s\n", line.c_str());
  return status;
}

}  // namespace

int VerifyCommand(const std::string& file) {
  // The game starts in its own folder: the file is named from here.
  std::error_code ignored;
  const std::string path = std::filesystem::absolute(file, ignored).string();
  App app(VerifyOptions());
  if (!app.Start()) {
    std::printf("cannot start the game to verify: %s\n", app.error().c_str());
    return kVerifyUnreadable;
  }
  return CheckOne(app.game(), path, "", nullptr);
}

int VerifyAllCommand() {
  App app(VerifyOptions());
  if (!app.Start()) {
    std::printf("cannot start the game to verify: %s\n", app.error().c_str());
    return kVerifyUnreadable;
  }
  const std::string folder = ReplayFolderFor(Settings::Instance().ScoreFile);
  // A score file with entries whose replays cannot be looked at is no
  // success. (Without a score file the table holds only the score to beat,
  // which no round made.)
  std::error_code ignored;
  const bool played = std::filesystem::is_regular_file(Settings::Instance().ScoreFile, ignored) &&
                      !app.game()->scores.Entries().empty();
  std::error_code error;
  const std::filesystem::directory_iterator readable(folder, error);
  if (played && error) {
    std::printf("%s cannot be read as a folder (%s): the %zu entries of the table cannot be verified\n",
                folder.c_str(), error.message().c_str(), app.game()->scores.Entries().size());
    return kVerifyUnreadable;
  }
  const std::vector<StoredReplay> stored = ListReplays(folder);
  int status = kVerifyOk;
  int ok = 0;
  for (const StoredReplay& replay : stored) {
    const int one = CheckOne(app.game(), replay.path, std::filesystem::path(replay.path).filename().string() + ": ",
                             &app.game()->scores, &replay);
    if (one == kVerifyOk) ++ok;
    status = std::max(status, one);
  }
  std::printf("%d of %zu replays in %s verified ok\n", ok, stored.size(), folder.c_str());
  return status;
}

}  // namespace vtr
