// Rockets: points that fly in a straight line at the speed they were built
// with, trailing a particle system; nothing else of them is drawn.
//
// A rocket's flight ends when an explosion catches it (Kill), when it leaves
// the screen by more than 50 pixels, or, for a target rocket, one frame after
// it has passed its target. Its OnDeath then runs once, it turns dying, stops
// moving and emitting, and stays in the list, drawn, until the last particle
// of its trail has expired.
//
//   Rocket         the spawner's ordinary and bonus rockets; explosions catch it
//   SpecialRocket  the dual rocket: when its flight ends it launches a
//                  TargetRocket towards the point opposite it through the
//                  centre of the screen
//   TargetRocket   flies to a target and bursts just past it into a
//                  chain-starting explosion; explosions never catch it
#pragma once

#include <cstdint>
#include <memory>

#include "actors/actor.h"
#include "helpers/emitter_info.h"
#include "helpers/geometry.h"

class hgeParticleSystem;

namespace vtr {

class Stage;

class Rocket : public Actor {
 public:
  // Builds the trail from a copy of info, starts it at position and fires it.
  Rocket(Stage* stage, hgeVector2 position, hgeVector2 velocity, std::int32_t scoreValue,
         const hgeEmitterInfo& info);
  ~Rocket() override;

  // Ends the flight of a caught rocket: OnDeath, dying, the trail stops
  // emitting while its live particles play out.
  void Kill();

  // Leaves the screen test, moves, fades once dying; see the file comment.
  void Update(float dt) override;
  // Draws the trail.
  void Render() override;

  std::shared_ptr<hgeParticleSystem> trail;
  std::int32_t scoreValue;
};

class SpecialRocket : public Rocket {
 public:
  using Rocket::Rocket;

  // Launches the second rocket from here towards (W - x, H - y).
  void OnDeath() override;
};

class TargetRocket : public Rocket {
 public:
  // A Rocket that bursts once it is farther from target than the update before.
  TargetRocket(Stage* stage, hgeVector2 position, hgeVector2 velocity, std::int32_t scoreValue,
               const hgeEmitterInfo& info, hgeVector2 target);

  // The burst test (on the position before this frame's move), then the
  // ordinary rocket update.
  void Update(float dt) override;

  float targetX;
  float targetY;
  float lastDistance = 1000000.0f;  // the first update never bursts
};

}  // namespace vtr
