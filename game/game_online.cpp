// Today's challenge rounds sent to the world table, when online play is on:
// the game only hands the sender its rounds and reads back a line.
#include <filesystem>

#include "config/settings.h"
#include "game/game.h"
#include "menu/game_menu.h"
#include "online/round_sender.h"
#include "online/world_table.h"
#include "replay/replay_folder.h"

namespace vtr {

namespace {

constexpr float kWorldNoticeSeconds = 6.0f;

}  // namespace

void Game::UseOnline(OnlineSettings settings) {
  online_ = std::move(settings);
  // The world table was fetched from the server before: the page's next W
  // asks the one now set, if any.
  world_.reset();
  StartSending();
}

// The sender exists only while online play is on: off, nothing of it runs.
void Game::StartSending() {
  sender_.reset();
  if (!online_.On()) return;
  namespace fs = std::filesystem;
  std::error_code error;
  online::SenderSetup setup;
  setup.settings = online_;
  setup.settingsFile = fs::absolute(kOnlineFile, error).string();
  // Beside the Replays folder, named fully: the folder the game runs in
  // is not the thread's business.
  setup.outbox = (fs::absolute(ReplayFolderFor(Settings::Instance().ScoreFile), error).parent_path() / "Outbox").string();
  sender_ = std::make_unique<online::RoundSender>(std::move(setup));
}

void Game::SendDailyRound(const Replay& replay) {
  if (!sender_ || replaying_ || !replay.start.daily) return;
  worldRound_ = true;
  sender_->RoundEnded(ReplayFileName(replay.entryTime, static_cast<std::uint32_t>(replay.score)),
                      SerializeReplay(replay));
}

// The results page's world line follows the answer; answers about rounds
// kept from before show one at a time on the notice line.
void Game::ShowWorldAnswers() {
  if (!sender_) return;
  if (worldRound_ && menu && menu->roundSummary) menu->roundSummary->world = "World: " + sender_->RoundLine();
  if (!notice.Showing()) {
    if (std::optional<std::string> line = sender_->TakeNotice()) notice.Show(std::move(*line), kWorldNoticeSeconds);
  }
}

}  // namespace vtr
