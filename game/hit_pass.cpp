// The hit pass: every explosion catches every rising rocket inside its radius.
//
// What it guarantees is exactly what a plain nested walk over the actor list
// gives: for every explosion A in list order, and within it for every rocket
// B in list order, B is caught when both are alive, collidable and not dying
// and B's centre lies inside or on A's circle. A caught rocket is killed
// (a dual rocket launches its second rocket then), the round's chain count
// becomes A's chain + 1, the rocket's points are scored with the multiplier
// as it was before the catch, an explosion one link further down the chain
// takes the rocket's place, the multiplier rises, and from the configured
// length on a combo text shows the chain. So a rocket inside two explosions
// is caught by the one that joined the list first, and an explosion catches
// any number of rockets in one pass.
//
// Everything a catch creates (explosions, texts, second rockets) waits in the
// list's pending sequence and takes part only from the next frame on, so the
// sequence walked here never changes. Nor does a catch change any flag the
// walk reads except the caught rocket's own `dying`, which keeps it from
// being caught twice. That is why the pass may sort the actors into the
// explosions and the rockets that can take part once, up front, and then
// walk only those pairs in the same order: the catches, their order, the
// chain counts and the score are those of the full walk over every pair.
#include "game/hit_pass.h"

#include <string>
#include <vector>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "actors/rocket.h"
#include "actors/text.h"
#include "config/settings.h"
#include "game/round.h"

namespace vtr {

namespace {

bool TakesPart(const Actor& actor) { return actor.alive && actor.collidable && !actor.dying; }

// Colour of a combo text by its chain count; alpha 1 (a text starts
// invisible anyway).
hgeColor ComboColor(std::uint32_t chain) {
  switch (chain) {
    case 3: return {1.0f, 1.0f, 0.7f, 1.0f};
    case 4: return {1.0f, 1.0f, 0.2f, 1.0f};
    case 5: return {1.0f, 0.5f, 0.2f, 1.0f};
    case 6: return {1.0f, 0.2f, 0.2f, 1.0f};
    case 7: return {1.0f, 0.0f, 0.0f, 1.0f};
    default: return {1.0f, 1.0f, 1.0f, 1.0f};
  }
}

void Catch(Stage* stage, Round& round, const Explosion& explosion, Rocket& rocket) {
  rocket.Kill();
  const std::uint32_t n = explosion.chain + 1u;  // unsigned: wraps, never overflows
  round.ScoreCatch(n, rocket.scoreValue);
  SpawnExplosion(stage, n, kExplosionRadius, rocket.x, rocket.y);
  // Compared unsigned: a negative setting shows no combo text at all.
  if (n >= static_cast<std::uint32_t>(Settings::Instance().ShowCombosAfterAmount)) {
    ShowComboText(stage, n, rocket.x, rocket.y);
  }
}

}  // namespace

void HandleExplosionHits(Stage* stage, Round& round) {
  // Kept between frames so a pass allocates nothing once they have grown; the
  // list holds every actor for the length of the pass.
  static std::vector<Explosion*> explosions;
  static std::vector<Rocket*> rockets;
  explosions.clear();
  rockets.clear();
  for (const auto& actor : ActorList::Instance().Actors()) {
    if (!TakesPart(*actor)) continue;
    // Only the game's own classes carry these kinds; anything else is skipped.
    if (actor->kind == kExplosion) {
      if (auto* explosion = dynamic_cast<Explosion*>(actor.get())) explosions.push_back(explosion);
    } else if (actor->kind == kRocket) {
      if (auto* rocket = dynamic_cast<Rocket*>(actor.get())) rockets.push_back(rocket);
    }
  }

  for (Explosion* explosion : explosions) {
    for (Rocket* rocket : rockets) {
      // A rocket caught earlier in this pass is dying now.
      if (rocket->dying || !explosion->Collides(*rocket)) continue;
      Catch(stage, round, *explosion, *rocket);
    }
  }
  explosions.clear();
  rockets.clear();
}

void ShowComboText(Stage* stage, std::uint32_t chain, float x, float y) {
  const std::string text = "x " + std::to_string(chain);
  ActorList::Instance().Add(
      std::make_shared<Text>(ComboColor(chain), stage, text, hgeVector2(x, y), 2.0f, 1.0f));
}

}  // namespace vtr
