#include "helpers/particle_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "helpers/sprite.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_engine.h"

namespace {

// The real engine with a fixed random seed; WatchQuads starts it and records
// every quad drawn.
class Engine : public testing_support::HeadlessEngine {
 public:
  Engine() : HeadlessEngine({.initiate = false}) { hge->Random_Seed(12345); }
  void WatchQuads() {
    ASSERT_TRUE(Initiate()) << error();
    HeadlessEngine::WatchQuads();
  }
};

// Long-lived, motionless particles of one fixed colour.
hgeEmitterInfo Steady(int emission) {
  hgeEmitterInfo info;
  info.nEmission = emission;
  info.fLifetime = -1.0f;
  info.fParticleLifeMin = info.fParticleLifeMax = 100.0f;
  info.fSizeStart = info.fSizeEnd = 1.0f;
  info.colColorStart = info.colColorEnd = hgeColor{1.0f, 1.0f, 1.0f, 1.0f};
  return info;
}

TEST(ParticleSystem, NothingIsEmittedOrDrawnBeforeFire) {
  Engine engine;
  engine.WatchQuads();
  hgeSprite sprite(0, 0, 0, 8, 8);
  hgeEmitterInfo info = Steady(100);
  info.sprite = &sprite;
  hgeParticleSystem ps(&info);

  for (int i = 0; i < 3; ++i) ps.Update(0.5f);
  EXPECT_EQ(ps.GetAliveCount(), 0);
  ps.Render();
  EXPECT_TRUE(engine.quads.empty());

  ps.Fire();
  ps.Update(0.5f);
  EXPECT_EQ(ps.GetAliveCount(), 50);
  ps.Render();
  EXPECT_EQ(engine.quads.size(), 50u);
}

TEST(ParticleSystem, EmissionRoundsHalvesToEvenAndCarriesASignedResidue) {
  Engine engine;
  hgeEmitterInfo five = Steady(5);
  hgeParticleSystem ps(&five);
  ps.Fire();
  ps.Update(0.5f);  // needs 2.5
  EXPECT_EQ(ps.GetAliveCount(), 2);
  EXPECT_FLOAT_EQ(ps.GetEmissionResidue(), 0.5f);
  ps.Update(0.5f);  // needs 3.0
  EXPECT_EQ(ps.GetAliveCount(), 5);
  EXPECT_FLOAT_EQ(ps.GetEmissionResidue(), 0.0f);

  hgeEmitterInfo info = Steady(27);
  hgeParticleSystem ahead(&info);
  ahead.Fire();
  ahead.Update(0.1f);  // needs 2.7: one ahead of its share
  EXPECT_EQ(ahead.GetAliveCount(), 3);
  EXPECT_NEAR(ahead.GetEmissionResidue(), -0.3f, 1e-5f);
  ahead.Update(0.1f);  // needs 2.4: repays it
  EXPECT_EQ(ahead.GetAliveCount(), 5);
  EXPECT_NEAR(ahead.GetEmissionResidue(), 0.4f, 1e-5f);

  // Over many frames the count follows the rate exactly.
  hgeEmitterInfo odd = Steady(37);
  hgeParticleSystem steady(&odd);
  steady.Fire();
  for (int i = 0; i < 60; ++i) steady.Update(1.0f / 60.0f);
  EXPECT_EQ(steady.GetAliveCount(), 37);
}

TEST(ParticleSystem, BurstStopsEmittingInTheUpdateItsAgeReachesTheLifetime) {
  Engine engine;
  hgeEmitterInfo info = Steady(100);
  info.fLifetime = 0.2f;
  hgeParticleSystem ps(&info);
  ps.Fire();
  EXPECT_EQ(ps.GetAge(), 0.0f);
  ps.Update(0.1f);
  EXPECT_EQ(ps.GetAliveCount(), 10);
  ps.Update(0.1f);  // age reaches 0.2: stopped, nothing emitted
  EXPECT_EQ(ps.GetAge(), -2.0f);
  EXPECT_EQ(ps.GetAliveCount(), 10);
  ps.Update(0.1f);
  EXPECT_EQ(ps.GetAliveCount(), 10);

  // Fire restarts a limited emitter from 0.
  ps.Fire();
  ps.Update(0.1f);
  EXPECT_EQ(ps.GetAliveCount(), 20);
}

TEST(ParticleSystem, RemovalUpdatesEverySurvivorExactlyOnce) {
  Engine engine;
  hgeEmitterInfo info = Steady(200);
  info.fParticleLifeMin = 0.05f;
  info.fParticleLifeMax = 1.0f;
  hgeParticleSystem ps(&info);
  ps.Fire();
  ps.Update(1.0f);
  ps.Stop(false);
  ASSERT_EQ(ps.GetAliveCount(), 200);

  std::vector<float> born;
  for (int i = 0; i < ps.GetAliveCount(); ++i) born.push_back(ps.GetParticle(i).fTerminalAge);

  const float dt = 0.05f;
  float age = 0.0f;
  for (int step = 0; step < 25; ++step) {
    ps.Update(dt);
    age += dt;
    // The survivors are exactly the particles whose life outlasts the age,
    // each aged by every update once.
    std::vector<float> expected;
    for (float t : born) {
      if (age < t) expected.push_back(t);
    }
    std::vector<float> alive;
    for (int i = 0; i < ps.GetAliveCount(); ++i) {
      EXPECT_FLOAT_EQ(ps.GetParticle(i).fAge, age) << "slot " << i << " at step " << step;
      alive.push_back(ps.GetParticle(i).fTerminalAge);
    }
    std::sort(expected.begin(), expected.end());
    std::sort(alive.begin(), alive.end());
    ASSERT_EQ(alive, expected) << "at step " << step;
  }
  EXPECT_EQ(ps.GetAliveCount(), 0);
}

TEST(ParticleSystem, StopWithAndWithoutKillingParticles) {
  Engine engine;
  hgeEmitterInfo info = Steady(10);
  info.fParticleLifeMin = info.fParticleLifeMax = 0.25f;
  hgeParticleSystem ps(&info);
  ps.Fire();
  ps.Update(1.0f);
  ASSERT_EQ(ps.GetAliveCount(), 10);

  ps.Stop(false);
  EXPECT_EQ(ps.GetAliveCount(), 10);
  ps.Update(0.2f);  // they play out their lives, and no more come
  EXPECT_EQ(ps.GetAliveCount(), 10);
  ps.Update(0.1f);  // the last expires: the count drops to 0 in this update
  EXPECT_EQ(ps.GetAliveCount(), 0);

  ps.Fire();
  ps.Update(1.0f);
  ASSERT_EQ(ps.GetAliveCount(), 10);
  ps.Stop(true);
  EXPECT_EQ(ps.GetAliveCount(), 0);
  ps.Update(1.0f);
  EXPECT_EQ(ps.GetAliveCount(), 0);
}

TEST(ParticleSystem, MoveToCarriesParticlesOrResetsAStoppedEmitter) {
  Engine engine;
  hgeEmitterInfo info = Steady(50);
  hgeParticleSystem ps(&info);
  ps.MoveTo(100.0f, 100.0f);
  ps.Fire();
  ps.Update(0.2f);
  ASSERT_EQ(ps.GetAliveCount(), 10);
  std::vector<hgeVector2> before;
  for (int i = 0; i < ps.GetAliveCount(); ++i) before.push_back(ps.GetParticle(i).vecLocation);

  ps.MoveTo(130.0f, 90.0f, true);
  for (int i = 0; i < ps.GetAliveCount(); ++i) {
    EXPECT_FLOAT_EQ(ps.GetParticle(i).vecLocation.x, before[i].x + 30.0f);
    EXPECT_FLOAT_EQ(ps.GetParticle(i).vecLocation.y, before[i].y - 10.0f);
  }
  // The previous location moved along too: the next emission starts at the
  // new point, not streaked from the old one.
  ps.Update(0.2f);
  for (int i = 10; i < ps.GetAliveCount(); ++i) {
    EXPECT_NEAR(ps.GetParticle(i).vecLocation.x, 130.0f, 2.0f);
    EXPECT_NEAR(ps.GetParticle(i).vecLocation.y, 90.0f, 2.0f);
  }

  // A running emitter that jumps spreads its new particles along the path.
  hgeParticleSystem running(&info);
  running.Fire();
  running.Update(0.1f);
  running.MoveTo(400.0f, 0.0f);
  running.Update(1.0f);
  float minX = 1e9f, maxX = -1e9f;
  for (int i = 5; i < running.GetAliveCount(); ++i) {
    minX = std::min(minX, running.GetParticle(i).vecLocation.x);
    maxX = std::max(maxX, running.GetParticle(i).vecLocation.x);
  }
  EXPECT_LT(minX, 100.0f);
  EXPECT_GT(maxX, 300.0f);

  // A stopped emitter jumps without a streak.
  hgeParticleSystem stopped(&info);
  stopped.MoveTo(400.0f, 300.0f);
  stopped.Fire();
  stopped.Update(1.0f);
  ASSERT_EQ(stopped.GetAliveCount(), 50);
  for (int i = 0; i < stopped.GetAliveCount(); ++i) {
    EXPECT_NEAR(stopped.GetParticle(i).vecLocation.x, 400.0f, 2.0f);
    EXPECT_NEAR(stopped.GetParticle(i).vecLocation.y, 300.0f, 2.0f);
  }
}

TEST(ParticleSystem, FullPoolDropsTheRestOfTheQuotaButKeepsTheResidue) {
  Engine engine;
  hgeEmitterInfo info = Steady(1000);
  hgeParticleSystem ps(&info);
  ps.Fire();
  ps.Update(1.0f);
  EXPECT_EQ(ps.GetAliveCount(), hgeParticleSystem::kMaxParticles);
  EXPECT_EQ(ps.GetEmissionResidue(), 0.0f);

  ps.Update(0.0027f);  // needs 2.7: creates none, residue 2.7 - 3
  EXPECT_EQ(ps.GetAliveCount(), 500);
  EXPECT_NEAR(ps.GetEmissionResidue(), -0.3f, 1e-4f);

  // Even an absurd rate never overruns the pool.
  hgeEmitterInfo flood = Steady(2000000000);
  hgeParticleSystem huge(&flood);
  huge.Fire();
  huge.Update(1.0f);
  EXPECT_EQ(huge.GetAliveCount(), 500);
}

TEST(ParticleSystem, ANewParticleDrawsFifteenRandomValuesInOrder) {
  Engine engine;
  hgeEmitterInfo info;
  info.nEmission = 10;
  info.fLifetime = -1.0f;
  info.fParticleLifeMin = 1.0f, info.fParticleLifeMax = 2.0f;
  info.fDirection = 0.3f;
  info.fSpread = 1.0f;
  info.fSpeedMin = 50.0f, info.fSpeedMax = 75.0f;
  info.fGravityMin = 1.0f, info.fGravityMax = 2.0f;
  info.fRadialAccelMin = 3.0f, info.fRadialAccelMax = 4.0f;
  info.fTangentialAccelMin = 5.0f, info.fTangentialAccelMax = 6.0f;
  info.fSizeStart = 0.5f, info.fSizeEnd = 0.7f, info.fSizeVar = 1.0f;
  info.fSpinStart = 1.0f, info.fSpinEnd = 3.0f, info.fSpinVar = 0.5f;
  info.colColorStart = {0.8f, 0.65f, 0.1f, 1.0f};
  info.colColorEnd = {0.3f, 0.15f, 0.8f, 0.0f};
  info.fColorVar = 1.0f;
  info.fAlphaVar = 0.5f;

  hgeParticleSystem ps(&info);
  ps.MoveTo(100.0f, 200.0f);
  ps.Fire();
  ps.MoveTo(110.0f, 180.0f);
  engine.hge->Random_Seed(777);
  ps.Update(0.1f);  // exactly one particle
  ASSERT_EQ(ps.GetAliveCount(), 1);
  const float next = engine.hge->Random_Float(0.0f, 1.0f);

  // The same draws by hand, from the same seed.
  HGE* r = engine.hge;
  r->Random_Seed(777);
  const float life = r->Random_Float(1.0f, 2.0f);
  const float along = r->Random_Float(0.0f, 1.0f);
  const float jx = r->Random_Float(-2.0f, 2.0f);
  const float jy = r->Random_Float(-2.0f, 2.0f);
  const float cone = r->Random_Float(0.0f, 1.0f);
  const float speed = r->Random_Float(50.0f, 75.0f);
  const float gravity = r->Random_Float(1.0f, 2.0f);
  const float radial = r->Random_Float(3.0f, 4.0f);
  const float tangential = r->Random_Float(5.0f, 6.0f);
  // Each range runs from the start value towards the end value by the
  // variation.
  const float size = r->Random_Float(0.5f, 0.5f + (0.7f - 0.5f) * 1.0f);
  const float spin = r->Random_Float(1.0f, 1.0f + (3.0f - 1.0f) * 0.5f);
  const float red = r->Random_Float(0.8f, 0.8f + (0.3f - 0.8f) * 1.0f);
  const float green = r->Random_Float(0.65f, 0.65f + (0.15f - 0.65f) * 1.0f);
  const float blue = r->Random_Float(0.1f, 0.1f + (0.8f - 0.1f) * 1.0f);
  const float alpha = r->Random_Float(1.0f, 1.0f + (0.0f - 1.0f) * 0.5f);
  EXPECT_EQ(r->Random_Float(0.0f, 1.0f), next) << "not fifteen draws";

  const hgeParticleState& p = ps.GetParticle(0);
  EXPECT_EQ(p.fTerminalAge, life);
  EXPECT_FLOAT_EQ(p.vecLocation.x, 100.0f + 10.0f * along + jx);
  EXPECT_FLOAT_EQ(p.vecLocation.y, 200.0f - 20.0f * along + jy);
  const float angle = 0.3f - 1.5707964f + cone - 0.5f;
  EXPECT_NEAR(p.vecVelocity.x, std::cos(angle) * speed, 1e-3f);
  EXPECT_NEAR(p.vecVelocity.y, std::sin(angle) * speed, 1e-3f);
  EXPECT_EQ(p.fGravity, gravity);
  EXPECT_EQ(p.fRadialAccel, radial);
  EXPECT_EQ(p.fTangentialAccel, tangential);
  EXPECT_EQ(p.fSize, size);
  EXPECT_FLOAT_EQ(p.fSizeDelta, (0.7f - size) / life);
  EXPECT_EQ(p.fSpin, spin);
  EXPECT_FLOAT_EQ(p.fSpinDelta, (3.0f - spin) / life);
  EXPECT_EQ(p.colColor.r, red);
  EXPECT_EQ(p.colColor.g, green);
  EXPECT_EQ(p.colColor.b, blue);
  EXPECT_EQ(p.colColor.a, alpha);
  EXPECT_FLOAT_EQ(p.colColorDelta.a, (0.0f - alpha) / life);
}

TEST(ParticleSystem, ATrailLeavesBackwardsAlongItsMovement) {
  Engine engine;
  hgeEmitterInfo info = Steady(10);
  info.bRelative = true;
  info.fSpeedMin = info.fSpeedMax = 60.0f;
  hgeParticleSystem ps(&info);
  ps.MoveTo(100.0f, 200.0f);
  ps.Fire();
  ps.MoveTo(100.0f, 100.0f);  // rising
  ps.Update(0.5f);
  ASSERT_EQ(ps.GetAliveCount(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_NEAR(ps.GetParticle(i).vecVelocity.x, 0.0f, 1e-3f);
    EXPECT_NEAR(ps.GetParticle(i).vecVelocity.y, 60.0f, 1e-3f);  // down, towards where it was
  }

  // One that has not moved since the last update sends them along +x.
  ps.Update(0.5f);
  ASSERT_EQ(ps.GetAliveCount(), 10);
  for (int i = 5; i < 10; ++i) {
    EXPECT_NEAR(ps.GetParticle(i).vecVelocity.x, 60.0f, 1e-3f);
    EXPECT_NEAR(ps.GetParticle(i).vecVelocity.y, 0.0f, 1e-3f);
  }
}

TEST(ParticleSystem, ParticleOnTheEmitterPointFeelsNoRadialPull) {
  Engine engine;
  hgeEmitterInfo info = Steady(1);
  info.fRadialAccelMin = info.fRadialAccelMax = 100.0f;
  info.fTangentialAccelMin = info.fTangentialAccelMax = 100.0f;
  hgeParticleSystem ps(&info);
  ps.Fire();
  ps.Update(1.0f);
  ASSERT_EQ(ps.GetAliveCount(), 1);
  // Put the particle exactly on the emitter point.
  const hgeParticleState& p = ps.GetParticle(0);
  ps.MoveTo(p.vecLocation.x, p.vecLocation.y);
  ps.Stop(false);
  ps.Update(0.1f);
  EXPECT_TRUE(std::isfinite(ps.GetParticle(0).vecVelocity.x));
  EXPECT_EQ(ps.GetParticle(0).vecVelocity.x, 0.0f);
  EXPECT_EQ(ps.GetParticle(0).vecVelocity.y, 0.0f);
  // Away from it, the pull is along the line from the point.
  ps.MoveTo(p.vecLocation.x - 10.0f, p.vecLocation.y);
  ps.Update(0.1f);
  EXPECT_NEAR(ps.GetParticle(0).vecVelocity.x, 10.0f, 0.05f);
  EXPECT_NEAR(ps.GetParticle(0).vecVelocity.y, 10.0f, 0.05f);
}

// Draws one particle of the given start colour over a sprite of the given
// colour; returns the quad's colour.
DWORD DrawnColor(Engine& engine, hgeColor start, DWORD spriteColor, DWORD* spriteAfter = nullptr) {
  hgeSprite sprite(0, 0, 0, 32, 32);
  sprite.SetHotSpot(16, 16);
  sprite.SetColor(spriteColor);
  hgeEmitterInfo info = Steady(1);
  info.sprite = &sprite;
  info.colColorStart = info.colColorEnd = start;
  hgeParticleSystem ps(&info);
  ps.Fire();
  ps.Update(1.0f);
  engine.quads.clear();
  ps.Render();
  if (spriteAfter) *spriteAfter = sprite.GetColor(3);
  EXPECT_EQ(engine.quads.size(), 1u);
  return engine.quads.empty() ? 0 : engine.quads[0].v[2].col;
}

// A channel value whose product with 255 is exactly the given half.
float ChannelFor(float product) {
  float c = product / 255.0f;
  for (int i = 0; i < 64 && c * 255.0f != product; ++i) c = std::nextafter(c, c * 255.0f < product ? 2.0f : 0.0f);
  return c;
}

TEST(ParticleSystem, ColoursAreRoundedAndHeldInsideTheByteRange) {
  Engine engine;
  engine.WatchQuads();
  EXPECT_EQ(DrawnColor(engine, {0.5f, 0.25f, 1.0f, 0.5f}, 0xFFFFFFFF), 0x808040FFu);
  const hgeColor halves{ChannelFor(126.5f), ChannelFor(2.5f), 1.0f, ChannelFor(254.5f)};
  ASSERT_EQ(halves.r * 255.0f, 126.5f);
  ASSERT_EQ(halves.g * 255.0f, 2.5f);
  ASSERT_EQ(halves.a * 255.0f, 254.5f);
  EXPECT_EQ(DrawnColor(engine, halves, 0xFFFFFFFF), 0xFE7E02FFu) << "halves round to even";
  EXPECT_EQ(DrawnColor(engine, {0.1f, 0.0f, 1.0f, 1.0f}, 0xFFFFFFFF), 0xFF1A00FFu);
  // Channels outside 0..1 stay in their own byte.
  EXPECT_EQ(DrawnColor(engine, {1.5f, -0.5f, 0.0f, 2.0f}, 0xFFFFFFFF), 0xFFFF0000u);
  EXPECT_EQ(DrawnColor(engine, {0.0f, 0.0f, NAN, -3.0f}, 0xFFFFFFFF), 0x00000000u);
}

TEST(ParticleSystem, NegativeStartRedKeepsTheSpriteColourAndRestoresIt) {
  Engine engine;
  engine.WatchQuads();
  DWORD after = 0;
  EXPECT_EQ(DrawnColor(engine, {-1.0f, 0.9f, 0.9f, 0.5f}, 0x12345678, &after), 0x80345678u);
  EXPECT_EQ(after, 0x12345678u);
  DrawnColor(engine, {0.0f, 0.0f, 0.0f, 1.0f}, 0x11223344, &after);
  EXPECT_EQ(after, 0x11223344u);
}

TEST(ParticleSystem, ParticlesAreDrawnScaledAndTurnedAboutTheirCentre) {
  Engine engine;
  engine.WatchQuads();
  hgeSprite sprite(0, 0, 0, 32, 32);
  sprite.SetHotSpot(16, 16);
  hgeEmitterInfo info = Steady(1);
  info.sprite = &sprite;
  info.fSizeStart = info.fSizeEnd = 0.5f;
  info.fSpinStart = info.fSpinEnd = 1.5707964f;  // a quarter turn per second of age
  hgeParticleSystem ps(&info);
  ps.MoveTo(200.0f, 100.0f);
  ps.Fire();
  ps.Update(1.0f);
  ps.Stop(false);
  ps.Update(1.0f);  // age 1: turned a quarter
  ASSERT_EQ(ps.GetAliveCount(), 1);
  const hgeVector2 at = ps.GetParticle(0).vecLocation;
  ps.Render();
  ASSERT_EQ(engine.quads.size(), 1u);
  const hgeQuad& q = engine.quads[0];
  // Corner 0 (-8, -8) turned by +90 degrees lands at (+8, -8).
  EXPECT_NEAR(q.v[0].x, at.x + 8.0f, 1e-3f);
  EXPECT_NEAR(q.v[0].y, at.y - 8.0f, 1e-3f);
  EXPECT_NEAR(q.v[2].x, at.x - 8.0f, 1e-3f);
  EXPECT_NEAR(q.v[2].y, at.y + 8.0f, 1e-3f);
}

}  // namespace
