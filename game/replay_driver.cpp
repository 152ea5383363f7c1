#include "game/replay_driver.h"

#include <bit>
#include <cstring>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "game/game.h"
#include "helpers/particle_system.h"

namespace vtr {

namespace {

constexpr std::uint64_t kFnvPrime = 1099511628211ull;

void Fold(std::uint64_t& hash, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    hash ^= (value >> (8 * i)) & 0xFFu;
    hash *= kFnvPrime;
  }
}

void Fold(std::uint64_t& hash, float value) { Fold(hash, std::bit_cast<std::uint32_t>(value)); }

}  // namespace

ReplayDriver::ReplayDriver(Game* game, const Replay& replay)
    : game_(game), replay_(replay), decoder_(replay.frames) {}

ReplayDriver::~ReplayDriver() {
  if (running_) Stop();
}

void ReplayDriver::Start() {
  savedSettings_ = CaptureSettings();
  savedStart_ = game_->CaptureRoundStart();
  game_->BeginReplayedRound(replay_);
  running_ = true;
  quit_ = false;
  played_ = 0;
  hash_ = kStateHashStart;
}

bool ReplayDriver::Step() {
  if (!running_ || Finished()) return false;
  std::string error;
  // The reader decoded every frame once already, so this cannot fail.
  if (!decoder_.Next(&dt_, &input_, &error)) {
    quit_ = true;
    return false;
  }
  hge_record::InjectInput(game_->engine, input_);
  if (game_->Update(dt_)) quit_ = true;
  hge_record::EndInjection(game_->engine);
  ++played_;
  hash_ = FoldGameState(hash_, *game_);
  return true;
}

void ReplayDriver::Stop() {
  if (!running_) return;
  running_ = false;
  hge_record::EndInjection(game_->engine);
  ApplySettings(savedSettings_);
  game_->ApplyRoundStart(savedStart_);
  ActorList::Instance().ClearAll();
  game_->EndReplay();
}

std::uint64_t FoldGameState(std::uint64_t hash, const Game& game) {
  const Round& round = game.CurrentRound();
  Fold(hash, static_cast<std::uint32_t>(round.score));
  Fold(hash, round.multiplier);
  Fold(hash, round.chain);
  Fold(hash, round.highestCombo);
  Fold(hash, round.timeLeft);
  const ActorList& actors = ActorList::Instance();
  Fold(hash, static_cast<std::uint32_t>(actors.size()));
  for (const auto& actor : actors) {
    Fold(hash, static_cast<std::uint32_t>(actor->kind));
    Fold(hash, actor->x);
    Fold(hash, actor->y);
    Fold(hash, actor->vx);
    Fold(hash, actor->vy);
    Fold(hash, actor->radius);
    Fold(hash, static_cast<std::uint32_t>(actor->alive) | static_cast<std::uint32_t>(actor->dying) << 1 |
                    static_cast<std::uint32_t>(actor->collidable) << 2);
    // The kind first: a text is never looked up as a rocket or a burst.
    if (actor->kind == kRocket) {
      if (const auto* rocket = dynamic_cast<const Rocket*>(actor.get())) {
        Fold(hash, static_cast<std::uint32_t>(rocket->trail->GetAliveCount()));
      }
    } else if (actor->kind == kExplosion) {
      if (const auto* explosion = dynamic_cast<const Explosion*>(actor.get())) {
        Fold(hash, explosion->chain);
        Fold(hash, static_cast<std::uint32_t>(explosion->burst->GetAliveCount()));
      }
    }
  }
  return hash;
}

bool Verdict::ok() const { return entered && score == recordedScore && highestCombo == recordedCombo; }

Verdict VerifyReplay(Game* game, const Replay& replay) {
  Verdict verdict;
  verdict.recordedScore = replay.score;
  verdict.recordedCombo = replay.highestCombo;
  // The round enters its score into the table at its end; the game's table
  // is given back as it was, so that checking one replay after another
  // (--verify-all) finds each entry where the table really holds it.
  const ScoreTable table = game->scores;
  ReplayDriver driver(game, replay);
  driver.Start();
  // The score must be entered in the last recorded frame, not before.
  while (driver.Step()) {
    if (game->ScoreEntered()) break;
  }
  verdict.entered = game->ScoreEntered() && driver.Played() == driver.Frames();
  verdict.score = game->CurrentRound().score;
  verdict.highestCombo = game->CurrentRound().highestCombo;
  verdict.stateHash = driver.StateHash();
  driver.Stop();
  game->scores = table;
  return verdict;
}

std::string VerdictLine(const Replay& replay, const Verdict& verdict) {
  std::string line = "recorded " + std::to_string(static_cast<std::uint32_t>(replay.score)) + ", re-simulated " +
                     std::to_string(static_cast<std::uint32_t>(verdict.score)) + ": ";
  if (verdict.ok()) return line + "ok";
  line += "MISMATCH";
  if (!verdict.entered) line += " (the round did not end where it was recorded to)";
  else if (verdict.highestCombo != replay.highestCombo) line += " (highest combo " + std::to_string(verdict.highestCombo) + ", recorded " + std::to_string(replay.highestCombo) + ")";
  return line;
}

}  // namespace vtr
