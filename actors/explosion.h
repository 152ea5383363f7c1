// An explosion: a particle burst with a bright ring over it whose radius, the
// catching zone of the hit pass, grows at 210 pixels per second. Growth stops
// at the first radius at or above the maximum, which can overshoot it by up
// to one step (at 1/60 s steps a maximum of 100 ends at 101.5). The ring
// fades from opaque to invisible while the radius grows; the explosion keeps
// catching at its final radius until the burst's last particle has expired
// (and at least 0.1 s have passed), and leaves the list in that update.
#pragma once

#include <cstdint>
#include <memory>

#include "actors/actor.h"

class hgeParticleSystem;
class hgeSprite;

namespace vtr {

class Stage;

// The largest radius every explosion grows to: the player's, a caught
// rocket's and the round end's.
constexpr float kExplosionRadius = 100.0f;

class Explosion : public Actor {
 public:
  // Fires a burst from a copy of ExplosionParticles at (x, y) and builds the
  // ring from the 32 x 32 picture at (96, 64) of the "particles" texture.
  Explosion(Stage* stage, std::uint32_t chain, float maxRadius, float x, float y);
  ~Explosion() override;

  // Ages, updates the burst, grows the radius, fades the ring, and ends the
  // explosion once the burst is empty and its age is past 0.1 s.
  void Update(float dt) override;
  // Draws the burst, then the ring scaled to the radius.
  void Render() override;

  std::shared_ptr<hgeParticleSystem> burst;
  std::shared_ptr<hgeSprite> ring;
  float ringAlpha = 0.0f;
  float growthRate = 210.0f;
  float maxRadius;
  float age = 0.0f;
  std::uint32_t chain;  // 0 starts a chain; a rocket caught by chain n bursts at n + 1
};

// The one way to make an explosion: queues it on the actor list (it joins at
// the next list update) and plays one explosion sound.
void SpawnExplosion(Stage* stage, std::uint32_t chain, float maxRadius, float x, float y);

}  // namespace vtr
