// The base of everything that moves or fades during a round: rockets,
// explosions and combo texts.
//
// Actors never leave the actor list by themselves. One that has finished
// clears `alive`, and the list drops it at the end of its next update; from
// then on it is neither updated, drawn nor caught. `dying` is the fading
// stage before that: a dying rocket no longer flies and cannot be caught, only
// its trail fades out.
#pragma once

#include <cstdint>

namespace vtr {

class Stage;

// Values of Actor::kind.
inline constexpr std::int32_t kRocket = 1;     // every rocket, the player's included
inline constexpr std::int32_t kExplosion = 2;
inline constexpr std::int32_t kText = 3;

class Actor {
 public:
  // Takes the next serial number of the run from the actor list.
  Actor(Stage* stage, std::int32_t kind);
  virtual ~Actor() = default;
  Actor(const Actor&) = delete;
  Actor& operator=(const Actor&) = delete;

  // Advances the actor by dt seconds of frame time.
  virtual void Update(float dt) = 0;
  // Draws the actor.
  virtual void Render() = 0;
  // Runs once, when the actor's active life ends, before `dying` is set or
  // `alive` cleared.
  virtual void OnDeath() {}

  // Whether other's circle touches this one; an actor never collides with
  // itself.
  bool Collides(const Actor& other) const;
  // Whether the circle at (px, py) of radius pr touches this actor's circle.
  // Touching counts, and so does a not-a-number position or radius.
  bool Collides(float px, float py, float pr) const;

  Stage* stage;  // back reference, not owned: the session the actor plays in
  float x = 0.0f;
  float y = 0.0f;
  float vx = 0.0f;  // pixels per second
  float vy = 0.0f;
  bool collidable = true;
  float radius = 0.0f;
  bool alive = true;
  bool dying = false;
  std::int32_t id;  // unique for the run, counting from 0
  std::int32_t kind;
};

}  // namespace vtr
