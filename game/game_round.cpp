// The round's life: a new round from the menu, the time-out burst and the
// score of a finished round.
#include <cassert>
#include <ctime>
#include <utility>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "config/first_round.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/rocket_spawner.h"
#include "helpers/gui.h"
#include "menu/game_menu.h"
#include "online/round_sender.h"
#include "platform/hge_record.h"
#include "replay/daily.h"
#include "replay/replay_folder.h"
#include "replay/round_recorder.h"

namespace vtr {

void Game::NewRound() {
  GiveBackDailySetAside();
  // A replayed round that chooses "New Game" writes no settings file.
  if (replaying_) {
    Settings::Instance().LoadWithoutWriting();
  } else {
    Settings::Instance().Load();
  }
  StartRound();
  // A round that begins with actors of the last one still queued cannot be
  // started again from a replay's state, so it is not recorded.
  if (replaying_ || ActorList::Instance().PendingCount() > 0) {
    if (!replaying_) engine->System_Log("This round is not recorded: the last one's actors are still on their way");
    recorder_->Abandon();
  } else {
    recorder_->Begin(CaptureRoundStart(), CaptureSettings());
  }
}

void Game::NewDailyRound(std::int64_t unixSeconds) {
  GiveBackDailySetAside();
  Settings::Instance().Load();  // the file's volumes and file names, as any round
  daily_ = std::make_unique<DailySetAside>(DailySetAside{CaptureSettings(), spawner_->Clocks()});
  ApplySettings(WithDefaultPlay(CaptureSettings()));
  splashShowing_ = false;  // `vantor --daily` starts it at once
  StartRound();
  ApplyRoundStart(DailyRoundStart(DailyDateAt(unixSeconds)));
  if (ActorList::Instance().PendingCount() > 0) {
    engine->System_Log("This round is not recorded: the last one's actors are still on their way");
    recorder_->Abandon();
    return;
  }
  RoundStart start = CaptureRoundStart();
  start.daily = true;
  recorder_->Begin(start, CaptureSettings());
  if (sender_) sender_->RoundStarted();
}

// The player's own settings and spawner clocks, after today's challenge.
void Game::GiveBackDailySetAside() {
  if (!daily_) return;
  ApplySettings(daily_->settings);
  spawner_->SetClocks(daily_->clocks);
  daily_.reset();
}

RoundStart Game::CaptureRoundStart() const {
  RoundStart start;
  start.launchState = LaunchGeneratorState();
  start.engineRandomState = hge_record::RandomState(engine);
  if (spawner_) start.clocks = spawner_->Clocks();  // a game that was never loaded has none
  start.escapeHeld = escapeWasDown_;
  if (menu) start.menuHovered = static_cast<std::uint8_t>(menu->MainPage()->GetHovered());
  return start;
}

void Game::BeginReplayedRound(const Replay& replay) {
  assert(spawner_ && menu && "a replay plays on a loaded game: call Init first");
  replaying_ = true;
  replayEntryTime_ = replay.entryTime;
  recorder_->Abandon();
  ApplySettings(replay.settings);
  const RoundStart& start = replay.start;
  ApplyRoundStart(start);
  ActorList::Instance().ClearAll();
  // The menu as "New Game" leaves it: that item focused, the cursor over
  // the item it was over.
  menu->highScoresShown = false;
  menu->MainPage()->SetFocus(GameMenu::kNewGame);
  menu->MainPage()->SetHovered(start.menuHovered);
  splashShowing_ = false;  // a round is only ever started from the menu
  StartRound();
  escapeWasDown_ = start.escapeHeld;
}

void Game::ApplyRoundStart(const RoundStart& start) {
  SeedLaunchGenerator(start.launchState);
  hge_record::SetRandomState(engine, start.engineRandomState);
  spawner_->SetClocks(start.clocks);
}

// The replayed round ends with the replay: a round cut short in its last
// bursts must not be finished later as if it were the player's own (the
// game's end keeps a finished round's score, and would save this one, and
// store and prune replays by it).
void Game::EndReplay() {
  replaying_ = false;
  round_.roundRunning = false;
  round_.roundOver = false;
  round_.menuShown = true;
}

// The resets every round begins with, recorded or replayed.
void Game::StartRound() {
  round_ = Round{};
  worldRound_ = false;
  round_.timeLeft = Settings::Instance().StartingTime;
  round_.menuShown = false;
  round_.roundRunning = true;
  ActorList::Instance().Clear();
  scoreSaveFailed_ = false;
}

// Every rocket in the sky, flying or already fading, bursts at once. The
// bursts join the list at the next update and the hit pass no longer runs,
// so none of them scores.
void Game::EndRound() {
  round_.roundOver = true;
  round_.roundRunning = false;
  for (const std::shared_ptr<Actor>& actor : ActorList::Instance().Actors()) {
    if (actor->kind == kRocket) BurstRocket(*actor);
  }
}

// The rockets launched in the frame of the time-out (the player's last shot,
// the spawner's last rocket) and a dual rocket's second rocket join the list
// after the time-out burst; each burst the same way one frame later, so no
// rocket is left to fly off the screen, or to stand still for ever, before
// the results page can open.
void Game::BurstLateRockets() {
  for (const std::shared_ptr<Actor>& actor : ActorList::Instance().Actors()) {
    if (actor->kind == kRocket && !actor->dying && actor->alive) BurstRocket(*actor);
  }
}

// A rocket's end at the close of a round: it dies where it is (a fading one
// has already had its death) and leaves an explosion that catches nothing.
void Game::BurstRocket(Actor& rocket) {
  if (!rocket.dying) rocket.OnDeath();
  rocket.alive = false;
  SpawnExplosion(this, 0, kExplosionRadius, rocket.x, rocket.y);
}

// Enters and saves the round's score once, whatever closes the round. Its
// replay follows the score: it is stored beside the file only once the score
// has reached it, and after the save, whose table holds the entries of
// another copy of the game sharing the file, so the replays of that copy's
// rounds on the page are kept. A score file that was refused or cannot be
// reached gets no Replays folder beside it.
void Game::KeepRoundScore() {
  if (round_.scoreEntered) return;
  const std::int64_t entryTime = EnterScore();
  if (replaying_) return;
  if (firstTimeHint_) {
    firstTimeHint_ = false;
    if (!RememberFirstRoundFinished(firstRoundFile_)) {
      engine->System_Log("Cannot write %s: the first-time hint comes back at the next start", firstRoundFile_.c_str());
    }
  }
  GiveBackDailySetAside();  // the score file is named the same in both
  const SaveOutcome outcome = SaveScores();
  scoreSaveFailed_ = outcome == SaveOutcome::Failed;
  scoreSaveWaiting_ = outcome == SaveOutcome::Busy;
  if (outcome == SaveOutcome::Saved) {
    StoreRoundReplay(entryTime);
  } else if (outcome == SaveOutcome::Failed) {
    recorder_->Abandon();
  } else {
    scoresWaiting_ = true;
    saveRetryIn_ = kSaveRetrySeconds;
    auto replay = std::make_unique<Replay>();
    if (recorder_->Finish(round_.score, round_.highestCombo, entryTime, replay.get())) {
      SendDailyRound(*replay);
      waitingReplays_.push_back(std::move(replay));
    }
  }
}

// Entries that found the score file locked are saved by the first frame
// that finds it free; their replays follow them. A save that fails for
// another reason is logged and left to the next round's save, as any.
void Game::SaveWaitingScores(float dt) {
  if (!scoresWaiting_ || replaying_) return;
  saveRetryIn_ -= dt;
  if (saveRetryIn_ > 0.0f) return;
  saveRetryIn_ = kSaveRetrySeconds;
  const SaveOutcome outcome = scores.Save(Settings::Instance().ScoreFile, 0.0);
  if (outcome == SaveOutcome::Busy) return;
  scoresWaiting_ = false;
  if (scoreSaveWaiting_) scoreSaveFailed_ = outcome == SaveOutcome::Failed;
  scoreSaveWaiting_ = false;
  std::vector<std::unique_ptr<Replay>> replays = std::move(waitingReplays_);
  waitingReplays_.clear();
  if (outcome != SaveOutcome::Saved) return;
  for (const std::unique_ptr<Replay>& replay : replays) {
    if (!StoreReplay(Settings::Instance().ScoreFile, *replay, scores.Entries())) {
      engine->System_Log("The round's replay could not be written to %s",
                         ReplayFolderFor(Settings::Instance().ScoreFile).c_str());
    }
  }
}

void Game::UseFirstRoundFile(std::string path) {
  firstRoundFile_ = std::move(path);
  firstTimeHint_ = !firstRoundFile_.empty() && !FirstRoundFinished(firstRoundFile_);
}

std::int64_t Game::EnterScore() {
  const std::int64_t now = replaying_ ? replayEntryTime_ : static_cast<std::int64_t>(std::time(nullptr));
  scores.Enter(round_.score, now);
  round_.scoreEntered = true;
  return now;
}

void Game::StoreRoundReplay(std::int64_t entryTime) {
  Replay replay;
  if (!recorder_->Finish(round_.score, round_.highestCombo, entryTime, &replay)) return;
  SendDailyRound(replay);
  if (!StoreReplay(Settings::Instance().ScoreFile, replay, scores.Entries())) {
    engine->System_Log("The round's replay could not be written to %s",
                       ReplayFolderFor(Settings::Instance().ScoreFile).c_str());
  }
}

void Game::LoadScores() {
  scores.Load(Settings::Instance().ScoreFile, static_cast<std::int64_t>(std::time(nullptr)));
  // Rounds of a run that ended while the lock was taken: saved now.
  scoresWaiting_ = scores.HasUnsaved();
  saveRetryIn_ = 0.0f;
}

// A replayed round leaves the score file alone.
SaveOutcome Game::SaveScores() {
  return replaying_ ? SaveOutcome::Saved : scores.Save(Settings::Instance().ScoreFile, kSaveLockWait);
}

}  // namespace vtr
