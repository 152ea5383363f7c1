#include "game/rocket_spawner.h"

#include <memory>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "config/settings.h"

namespace vtr {

namespace {

std::uint32_t g_launchState = 0;

// Whole number 1..1025 from a draw of 0..32767, evaluated in single
// precision as the game always has: only a draw of 32767 gives 1025.
std::int32_t LaunchColumn(std::uint32_t draw) {
  const float column = static_cast<float>(draw) / 32767.0f * 1024.0f + 1.0f;
  return static_cast<std::int32_t>(column);  // 1..1025: truncation is safe
}

template <class RocketClass>
void LaunchOne(Stage* stage, float speed, std::int32_t scoreValue, const hgeEmitterInfo& trail) {
  const Launch launch = RandomLaunch();
  ActorList::Instance().Add(
      std::make_shared<RocketClass>(stage, launch.start, launch.direction * speed, scoreValue, trail));
}

}  // namespace

void SeedLaunchGenerator(std::uint32_t state) { g_launchState = state; }

std::uint32_t LaunchGeneratorState() { return g_launchState; }

std::uint32_t DrawLaunchNumber() {
  // Unsigned, so the multiplication wraps modulo 2^32 as intended.
  g_launchState = g_launchState * 214013u + 2531011u;
  return (g_launchState >> 16) & 0x7FFFu;
}

Launch RandomLaunch() {
  const std::int32_t x1 = LaunchColumn(DrawLaunchNumber());
  const std::int32_t x2 = LaunchColumn(DrawLaunchNumber());
  Launch launch;
  // The field is 1024 x 768 whatever the screen size setting.
  launch.start = hgeVector2(static_cast<float>(x1), 768.0f);
  launch.direction = hgeVector2(static_cast<float>(x2 - x1), -768.0f);
  launch.direction.Normalize();
  return launch;
}

RocketSpawner::RocketSpawner(Stage* stage, float ordinaryDelay, float bonusDelay, float dualDelay)
    : stage(stage) {
  clocks_.ordinaryDelay = ordinaryDelay;
  clocks_.bonusDelay = bonusDelay;
  clocks_.dualDelay = dualDelay;
}

void RocketSpawner::Update(float dt) {
  SpawnerClocks& c = clocks_;
  c.ordinaryTimer += dt;
  c.bonusTimer += dt;
  c.dualTimer += dt;
  const Settings& s = Settings::Instance();
  // A clock restarts from 0 rather than keeping its overshoot.
  if (c.ordinaryTimer > c.ordinaryDelay) {
    c.ordinaryTimer = 0.0f;
    LaunchOne<Rocket>(stage, s.RocketVelocity, s.RocketScore, s.RocketParticles);
  }
  if (c.bonusTimer > c.bonusDelay) {
    c.bonusTimer = 0.0f;
    LaunchOne<Rocket>(stage, s.BonusRocketVelocity, s.BonusRocketScore, s.BonusRocketParticles);
  }
  if (c.dualTimer > c.dualDelay) {
    c.dualTimer = 0.0f;
    LaunchOne<SpecialRocket>(stage, s.DualRocketVelocity, s.DualRocketScore, s.DualRocketParticles);
  }
}

}  // namespace vtr
