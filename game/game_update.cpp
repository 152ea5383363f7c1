// One frame of the game's logic, in its fixed order: audio upkeep, the
// volume keys and mute, the splash, Escape, the menu, then in a running round the
// countdown, the player's shot, the spawner and the hit pass, then the
// actors, the close of a finished round and the HUD readouts.
#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "audio/sound_manager.h"
#include "config/settings.h"
#include "game/game.h"
#include "game/hit_pass.h"
#include "game/rocket_spawner.h"
#include "game/scoring.h"
#include "helpers/geometry.h"
#include "menu/game_menu.h"
#include "replay/round_recorder.h"

namespace vtr {

namespace {

constexpr float kVolumeStep = 0.05f;
constexpr int kMuteKey = 'M';
constexpr float kMuteNoticeSeconds = 1.5f;
const hgeVector2 kLaunchPoint(512.0f, 768.0f);
constexpr std::int32_t kShotPoints = 10;

}  // namespace

bool Game::Update(float dt) {
  // The round's recording takes the frame as the game is about to read it.
  recorder_->Capture(engine, dt);

  SoundManager& sounds = SoundManager::Instance();
  sounds.Update();

  // The volume keys are not clamped: it takes as many presses to come back.
  if (engine->Input_KeyDown(HGEK_ADD)) musicVolume_ += kVolumeStep;
  if (engine->Input_KeyDown(HGEK_SUBTRACT)) musicVolume_ -= kVolumeStep;
  music_->SetVolume(musicVolume_);
  // M mutes music and effects together; the volumes stay as they are.
  if (engine->Input_KeyDown(kMuteKey)) {
    sounds.SetMuted(!sounds.Muted());
    notice.Show(sounds.Muted() ? "Sound off (M)" : "Sound on", kMuteNoticeSeconds);
  }
  if (!music_->IsPlaying()) music_->Play();  // no sound loops: start it again

  if (splashShowing_) {
    if (splashElapsed_ > splashTime_) {
      splashShowing_ = false;
    } else {
      UpdateSplash(dt);
      return false;
    }
  }
  notice.Update(dt);  // after the splash, which would hide it
  ShowWorldAnswers();

  const bool escapeDown = engine->Input_GetKeyState(HGEK_ESCAPE);
  if (escapeDown && !escapeWasDown_) {
    if (round_.menuShown && round_.roundRunning) {
      round_.menuShown = false;
    } else {
      // Leaving the last bursts of a finished round must not lose its score,
      // which is already final: the hit pass no longer runs.
      if (round_.roundOver && !round_.menuShown) KeepRoundScore();
      round_.menuShown = true;
    }
  }
  escapeWasDown_ = escapeDown;

  // Today's challenge is offered where no round is under way or waits for
  // its score (never in a pause, so a recorded round never starts one).
  menu->dailyOffered = !replaying_ && !round_.roundRunning && (!round_.roundOver || round_.scoreEntered);
  menu->pausedTimeLeft = round_.roundRunning ? std::optional<float>(round_.timeLeft) : std::nullopt;
  menu->firstTimeHint = firstTimeHint_;
  GiveMenuTheWorld();
  if (round_.menuShown) return Choose(menu->Update(dt));

  if (round_.roundOver) {
    BurstLateRockets();
  } else {
    round_.timeLeft -= dt;
    if (!round_.warningPlayed && round_.timeLeft <= Settings::Instance().TimeWarning2) {
      sounds.Find("warning")->Play();
      round_.warningPlayed = true;
    }
    if (round_.timeLeft <= 0.0f) {
      round_.timeLeft = 0.0f;
      EndRound();
    }
    if (engine->Input_KeyDown(HGEK_LBUTTON)) Fire(dt);
    spawner_->Update(dt);
    HandleExplosionHits(this, round_);
  }

  ActorList& actors = ActorList::Instance();
  actors.Update(dt);
  if (round_.roundOver && actors.size() == 0) FinishRound();
  RefreshHud();
  return false;
}

// Fades in over the first second and out over the last, never leaving 0..1.
void Game::UpdateSplash(float dt) {
  splashElapsed_ += dt;
  if (splashElapsed_ <= 1.0f) splashAlpha_ = splashElapsed_;
  if (splashElapsed_ > splashTime_ - 1.0f) {
    splashAlpha_ = std::min(splashElapsed_, splashTime_ - splashElapsed_);
  }
  splashAlpha_ = std::clamp(splashAlpha_, 0.0f, 1.0f);
}

// A rocket from the bottom centre towards the cursor; the shot costs
// multiplier (game/scoring.cpp).
void Game::Fire(float dt) {
  if (SkyIsFull()) return;
  const Settings& settings = Settings::Instance();
  float mx = 0.0f;
  float my = 0.0f;
  engine->Input_GetMousePos(&mx, &my);

  hgeVector2 direction(mx - kLaunchPoint.x, my - kLaunchPoint.y);
  direction.Normalize();
  const hgeVector2 velocity = direction * settings.TargetRocketVelocity;
  ActorList::Instance().Add(std::make_shared<TargetRocket>(this, kLaunchPoint, velocity, kShotPoints,
                                                           settings.TargetRocketParticles, hgeVector2(mx, my)));

  ChargeShot(dt);
  PlayLaunchSound();
}

bool Game::Choose(const MenuChoice& choice) {
  switch (choice.kind) {
    case MenuChoice::Kind::NewGame:
      NewRound();  // also hides the menu
      return false;
    case MenuChoice::Kind::Quit:
      return true;
    case MenuChoice::Kind::Watch:
      RequestWatch(choice.entry);
      return false;
    case MenuChoice::Kind::Daily:
      NewDailyRound(static_cast<std::int64_t>(std::time(nullptr)));
      return false;
    case MenuChoice::Kind::ShowWorld:
      ShowWorld();
      return false;
    case MenuChoice::Kind::WatchWorld:
      RequestWorldWatch(choice.entry);
      return false;
    case MenuChoice::Kind::None:
      break;
  }
  return false;
}

// The last burst has faded: the results page opens and the score is kept;
// the page sums the round up above the table.
void Game::FinishRound() {
  menu->highScoresShown = true;
  round_.menuShown = true;
  KeepRoundScore();
  const std::vector<ScoreEntry>& entries = scores.Entries();
  RoundSummary summary;
  summary.newBest = !entries.empty() && entries.front().isNew;
  summary.catches = round_.catches;
  summary.shots = round_.shots;
  summary.longestChain = round_.highestCombo;
  summary.multiplier = MultiplierReadout(round_.multiplier);
  menu->roundSummary = summary;
  ShowWorldAnswers();
}

void Game::RefreshHud() {
  hud.time = round_.timeLeft;
  hud.highestCombo = round_.highestCombo;
  hud.activeRockets = static_cast<std::uint32_t>(ActorList::Instance().size());
  hud.score = static_cast<std::uint32_t>(round_.score);
  hud.multiplier = MultiplierReadout(round_.multiplier);
}

}  // namespace vtr
