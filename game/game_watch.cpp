// Watching recorded rounds inside the running game: the high-score page's
// request, setting the live session aside, the frames of the playback, and
// giving the live session back.
#include <utility>

#include "audio/sound_manager.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/live_session.h"
#include "game/playback.h"
#include "menu/game_menu.h"
#include "replay/replay_file.h"
#include "replay/replay_folder.h"

namespace vtr {

namespace {

constexpr float kMessageSeconds = 6.0f;

}  // namespace

bool Game::Frame(float dt) {
  if (playback_) {
    if (playback_->Frame(dt)) return false;
    const bool leftWithEscape = playback_->LeftEarly();
    StopWatching();
    if (quitAfterWatch_) return true;
    // The live game sees nothing of the watcher's Escape: it goes on only
    // once the key is up, so the press can neither resume a paused round
    // nor end up in the live round's recording.
    waitForEscapeUp_ = leftWithEscape;
    return false;
  }
  if (waitForEscapeUp_) {
    if (engine->Input_GetKeyState(HGEK_ESCAPE)) return false;
    waitForEscapeUp_ = false;
  }
  if (watchMessageLeft_ > 0.0f) {
    watchMessageLeft_ -= dt;
    if (watchMessageLeft_ <= 0.0f) watchMessage_.clear();
  }
  SaveWaitingScores(dt);
  const bool quit = Update(dt);
  if (!quit && watchRequest_ != kNoWatch) StartRequestedWatch();
  watchRequest_ = kNoWatch;
  if (!quit && world_ && !Watching()) StartFetchedWorldRound();
  return quit;
}

void Game::RequestWatch(std::size_t index) {
  // The keys of a replayed round's own high-score page start nothing.
  if (Replaying() || Watching()) return;
  watchRequest_ = index;
}

std::unique_ptr<GameMenu> Game::MakeMenu() {
  return std::make_unique<GameMenu>(engine, &scores,
                                    [this](std::size_t index) { return !ReplayOfEntry(index).empty(); });
}

std::string Game::ReplayOfEntry(std::size_t index) const {
  const std::vector<ScoreEntry>& entries = scores.Entries();
  if (index >= entries.size()) return {};
  return FindReplay(Settings::Instance().ScoreFile, entries[index]);
}

void Game::StartRequestedWatch() {
  const std::string path = ReplayOfEntry(watchRequest_);
  if (path.empty()) return;
  Replay replay;
  std::string error;
  if (ReadReplayFile(path, &replay, &error) != ReplayError::None) {
    engine->System_Log("Replay %s cannot be played: %s", path.c_str(), error.c_str());
    SetWatchMessage("This round cannot be played back: " + error);
    return;
  }
  Watch(std::move(replay), false);
}

void Game::Watch(Replay replay, bool quitAtEnd, std::uint32_t holdFrame) {
  if (Watching()) StopWatching();
  quitAfterWatch_ = quitAtEnd;
  SetWatchMessage("");

  live_ = std::make_unique<LiveSession>();
  LiveSession& live = *live_;
  ExchangeRound(live);
  musicVolume_ = live.musicVolume;  // the round plays at the player's volume
  live.muted = SoundManager::Instance().Muted();
  live.scores = scores;
  // The round enters its own score again at its end, into the table as it
  // was before, so its results page looks as it did.
  scores.Remove(static_cast<std::uint32_t>(replay.score), replay.entryTime);
  live.actors = ActorList::Instance().TakeAll();
  live.menu = std::move(menu);
  menu = MakeMenu();
  live.recorder = std::move(recorder_);
  recorder_ = std::make_unique<RoundRecorder>();

  splashShowing_ = false;  // the splash never comes back, so it is not kept
  playback_ = std::make_unique<Playback>(this, std::move(replay));
  playback_->HoldAt(holdFrame);
  playback_->Start();
}

void Game::StopWatching() {
  if (!playback_) return;
  lastWatchOutcome_ = playback_->OutcomeLine();
  lastWatchFaithful_ = playback_->Faithful();
  lastWatchLeft_ = playback_->LeftEarly();
  if (!lastWatchFaithful_ && !playback_->LeftEarly()) {
    engine->System_Log("Watched replay did not play as recorded: %s", lastWatchOutcome_.c_str());
    SetWatchMessage("This round did not play back as recorded: " + lastWatchOutcome_);
  }
  playback_->Stop();  // settings, generators and spawner as they were
  playback_.reset();

  LiveSession& live = *live_;
  ExchangeRound(live);
  // The player's mute and volume, whatever the round's keys did to them.
  SoundManager::Instance().SetMuted(live.muted);
  if (music_ != nullptr) music_->SetVolume(musicVolume_);
  scores = std::move(live.scores);
  ActorList::Instance().Restore(std::move(live.actors));
  menu = std::move(live.menu);
  recorder_ = std::move(live.recorder);
  live_.reset();
}

// Swaps the round's values with those kept in live: setting aside at the
// start of a watch (the replayed round sets its own), giving back at its end.
void Game::ExchangeRound(LiveSession& live) {
  std::swap(round_, live.round);
  std::swap(musicVolume_, live.musicVolume);
  std::swap(escapeWasDown_, live.escapeWasDown);
  std::swap(hud.Readouts(), live.hud);
}

void Game::SetWatchMessage(std::string message) {
  watchMessage_ = std::move(message);
  watchMessageLeft_ = watchMessage_.empty() ? 0.0f : kMessageSeconds;
}

}  // namespace vtr
