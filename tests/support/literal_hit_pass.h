// The hit pass exactly as the game's rule states it, kept as the reference
// the real pass (game/hit_pass.cpp) is checked and timed against: every pair
// of the list, explosion first, each held through its own copy of the shared
// pointer, quadratic in the length of the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "config/settings.h"
#include "game/hit_pass.h"
#include "game/round.h"

namespace testing_support {

inline void LiteralHitPass(vtr::Stage* stage, vtr::Round& round) {
  const vtr::ActorList::Sequence& actors = vtr::ActorList::Instance().Actors();
  for (std::size_t i = 0; i < actors.size(); ++i) {
    for (std::size_t j = 0; j < actors.size(); ++j) {
      std::shared_ptr<vtr::Actor> a = actors[i];
      std::shared_ptr<vtr::Actor> b = actors[j];
      if (!(a->alive && b->alive && a->collidable && b->collidable && !a->dying && !b->dying)) {
        continue;
      }
      if (a->kind != vtr::kExplosion || b->kind != vtr::kRocket || !a->Collides(*b)) continue;
      auto explosion = std::static_pointer_cast<vtr::Explosion>(a);
      auto rocket = std::static_pointer_cast<vtr::Rocket>(b);
      rocket->Kill();
      const std::uint32_t n = explosion->chain + 1u;
      round.chain = n;
      round.AddScore(rocket->scoreValue);
      vtr::SpawnExplosion(stage, n, vtr::kExplosionRadius, rocket->x, rocket->y);
      const vtr::Settings& settings = vtr::Settings::Instance();
      round.multiplier = round.multiplier + settings.MultiplierAddition;
      if (n >= static_cast<std::uint32_t>(settings.ShowCombosAfterAmount)) {
        vtr::ShowComboText(stage, n, rocket->x, rocket->y);
      }
      if (round.highestCombo < n) round.highestCombo = n;
    }
  }
}

}  // namespace testing_support
