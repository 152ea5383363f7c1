#include "actors/rocket.h"

#include <cmath>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "config/settings.h"
#include "helpers/particle_system.h"

namespace vtr {

namespace {

// A screen bound W + 50 (or -50 etc.) as the float the position is compared
// with; widened first so a huge setting cannot overflow.
float Bound(std::int32_t edge, std::int32_t margin) {
  return static_cast<float>(static_cast<std::int64_t>(edge) + margin);
}

}  // namespace

Rocket::Rocket(Stage* stage, hgeVector2 position, hgeVector2 velocity, std::int32_t scoreValue,
               const hgeEmitterInfo& info)
    : Actor(stage, kRocket) {
  const hgeEmitterInfo copy = info;
  trail = std::make_shared<hgeParticleSystem>(&copy);
  x = position.x;
  y = position.y;
  vx = velocity.x;
  vy = velocity.y;
  trail->MoveTo(x, y, false);
  trail->Fire();
  this->scoreValue = scoreValue;
}

Rocket::~Rocket() = default;

void Rocket::Kill() {
  OnDeath();
  dying = true;
  trail->Stop(false);
}

void Rocket::Update(float dt) {
  if (dying) {
    // The count is read before the trail's own step of this frame.
    if (trail->GetAliveCount() <= 0) alive = false;
  } else {
    const Settings& settings = Settings::Instance();
    const std::int32_t w = settings.SystemScreenWidth;
    const std::int32_t h = settings.SystemScreenHeight;
    if (x > Bound(w, 50) || x < -50.0f || y > Bound(h, 50) || y < -50.0f) {
      OnDeath();
      dying = true;
      trail->Stop(false);
    }
    // It still moves in the frame in which it left the screen.
    x = x + vx * dt;
    y = y + vy * dt;
    trail->MoveTo(x, y, false);
  }
  trail->Update(dt);
}

void Rocket::Render() { trail->Render(); }

void SpecialRocket::OnDeath() {
  const Settings& settings = Settings::Instance();
  const float w = static_cast<float>(settings.SystemScreenWidth);
  const float h = static_cast<float>(settings.SystemScreenHeight);
  // The point opposite this one through the centre of the screen.
  const hgeVector2 position(x, y);
  const hgeVector2 target(w - x, h - y);
  hgeVector2 direction = target - position;
  direction.Normalize();  // the zero vector stays zero
  const hgeVector2 velocity = direction * settings.DualRocketVelocity;
  ActorList::Instance().Add(std::make_shared<TargetRocket>(
      stage, position, velocity, settings.DualRocketScore, settings.DualRocketParticles, target));
}

TargetRocket::TargetRocket(Stage* stage, hgeVector2 position, hgeVector2 velocity,
                           std::int32_t scoreValue, const hgeEmitterInfo& info, hgeVector2 target)
    : Rocket(stage, position, velocity, scoreValue, info), targetX(target.x), targetY(target.y) {
  collidable = false;
}

void TargetRocket::Update(float dt) {
  if (!dying) {
    // Measured before this frame's move: the rocket bursts in the first
    // update that finds it farther away than the one before, which is one
    // frame's travel past its closest point, never at the target itself.
    const float dx = x - targetX;
    const float dy = y - targetY;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d > lastDistance) {
      OnDeath();
      dying = true;
      trail->Stop(false);
      SpawnExplosion(stage, 0, kExplosionRadius, x, y);
    }
    lastDistance = d;
  }
  Rocket::Update(dt);
}

}  // namespace vtr
