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

namespace {

StartOptions VerifyOptions() {
  StartOptions options;
  options.headless = true;
  options.audio = false;
  options.render = false;
  options.logFile.clear();
  return options;
}

// One replay's check; the line goes to standard output.
int CheckOne(Game* game, const std::string& path, const std::string& prefix, const ScoreTable* table) {
  Replay replay;
  std::string error;
  if (ReadReplayFile(path, &replay, &error) != ReplayError::None) {
    std::printf("%s%s\n", prefix.c_str(), error.c_str());
    return kVerifyUnreadable;
  }
  const Verdict verdict = VerifyReplay(game, replay);
  std::string line = prefix + VerdictLine(replay, verdict);
  int status = verdict.ok() ? kVerifyOk : kVerifyMismatch;
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
  const std::vector<StoredReplay> stored = ListReplays(folder);
  int status = kVerifyOk;
  int ok = 0;
  for (const StoredReplay& replay : stored) {
    const int one = CheckOne(app.game(), replay.path, std::filesystem::path(replay.path).filename().string() + ": ",
                             &app.game()->scores);
    if (one == kVerifyOk) ++ok;
    status = std::max(status, one);
  }
  std::printf("%d of %zu replays in %s verified ok\n", ok, stored.size(), folder.c_str());
  return status;
}

}  // namespace vtr
