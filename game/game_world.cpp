// The world table on the high-score page: with online play on, W turns the
// page to today's table at the world table's server, fetched afresh each
// time; its lines' rounds are watched with the same keys as the local ones.
// The fetches run on the world table's job line: a frame starts one and
// reads how it stands, and a fetched round is read with the game's own
// replay reader (bounded, its checksum checked) before it plays exactly as a
// local one. Nothing of this is made while online play is off.
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "game/game.h"
#include "menu/game_menu.h"
#include "online/world_table.h"
#include "replay/daily.h"
#include "replay/replay_file.h"

namespace vtr {

namespace {

// Neither a recorded round being checked nor a watched one reaches the
// network, whatever keys its player pressed.
bool WorldAllowed(const OnlineSettings& online, bool replaying, bool watching) {
  return online.On() && !replaying && !watching;
}

}  // namespace

void Game::ShowWorld() {
  if (!WorldAllowed(online_, replaying_, Watching())) return;
  if (!world_) world_ = std::make_unique<online::WorldTable>(online_.server);
  const std::string today = DailyDateText(DailyDateAt(static_cast<std::int64_t>(std::time(nullptr))));
  world_->FetchTable(today, static_cast<std::size_t>(kWorldLinesShown));
  GiveMenuTheWorld();
}

void Game::RequestWorldWatch(std::size_t line) {
  if (!world_ || !WorldAllowed(online_, replaying_, Watching())) return;
  const WorldPage page = world_->Page();
  if (page.status != WorldPage::Status::Ready || line >= page.lines.size()) return;
  worldWatch_ = page.lines[line];
  SetWatchMessage("");
  world_->FetchRound(worldWatch_.id);
}

void Game::GiveMenuTheWorld() {
  menu->worldOffered = WorldAllowed(online_, replaying_, Watching());
  if (!menu->worldOffered || !world_) return;
  menu->world = world_->Page();
  menu->world.player = online_.name;
}

// A fetched round plays only while the world table it was asked from is
// still on screen; one that cannot be read or is not its line's says why.
void Game::StartFetchedWorldRound() {
  std::vector<std::uint8_t> bytes;
  std::string reason;
  const online::WorldTable::RoundFetch fetched = world_->TakeRound(&bytes, &reason);
  if (fetched == online::WorldTable::RoundFetch::None || fetched == online::WorldTable::RoundFetch::Loading) return;
  if (!round_.menuShown || !menu->highScoresShown || !menu->worldShown) return;
  if (fetched == online::WorldTable::RoundFetch::Failed) {
    SetWatchMessage("The round could not be fetched: " + reason);
    return;
  }
  Replay replay;
  std::string error;
  if (ParseReplay(bytes.data(), bytes.size(), &replay, &error) != ReplayError::None) {
    engine->System_Log("World round %lld cannot be played: %s", static_cast<long long>(worldWatch_.id),
                       error.c_str());
    SetWatchMessage("This round cannot be played back: " + error);
    return;
  }
  if (replay.score != worldWatch_.score || replay.highestCombo != worldWatch_.combo) {
    SetWatchMessage("The server sent another round than its line's (score " + std::to_string(replay.score) +
                    ", the line says " + std::to_string(worldWatch_.score) + ")");
    return;
  }
  Watch(std::move(replay), false);
}

}  // namespace vtr
