// The round's life: a new round from the menu, the time-out burst and the
// score of a finished round.
#include <ctime>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "config/settings.h"
#include "game/game.h"

namespace vtr {

void Game::NewRound() {
  Settings& settings = Settings::Instance();
  settings.Load();
  multiplier = 1.0f;
  score = 0;
  chain = 0;
  highestCombo = 0;
  timeLeft = settings.StartingTime;
  ActorList::Instance().Clear();
  menuShown = false;
  roundOver = false;
  warningPlayed = false;
  roundRunning = true;
  scoreEntered_ = false;
}

// Every rocket in the sky, flying or already fading, bursts at once. The
// bursts join the list at the next update and the hit pass no longer runs,
// so none of them scores.
void Game::EndRound() {
  roundOver = true;
  roundRunning = false;
  for (const std::shared_ptr<Actor>& actor : ActorList::Instance().Actors()) {
    if (actor->kind != kRocket) continue;
    if (!actor->dying) actor->OnDeath();
    actor->alive = false;
    SpawnExplosion(this, 0, kExplosionRadius, actor->x, actor->y);
  }
}

void Game::EnterScore() {
  scores.Enter(score, static_cast<std::int64_t>(std::time(nullptr)));
  scoreEntered_ = true;
}

void Game::LoadScores() {
  scores.Load(Settings::Instance().ScoreFile, static_cast<std::int64_t>(std::time(nullptr)));
}

bool Game::SaveScores() { return scores.Save(Settings::Instance().ScoreFile); }

}  // namespace vtr
