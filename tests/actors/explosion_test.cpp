#include "actors/explosion.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "actors/actor_list.h"
#include "config/settings.h"
#include "helpers/particle_system.h"
#include "platform/hge_headless.h"
#include "tests/support/headless_game.h"

namespace {

using testing_support::HeadlessGame;
using vtr::ActorList;

constexpr float kFrame = 1.0f / 60.0f;

// An explosion whose burst emits nothing, so only its age decides its end.
std::shared_ptr<vtr::Explosion> Silent(vtr::Game* game) {
  vtr::Settings& settings = vtr::Settings::Instance();
  const hgeEmitterInfo saved = settings.ExplosionParticles;
  settings.ExplosionParticles.nEmission = 0;
  auto explosion = std::make_shared<vtr::Explosion>(game, 0u, 100.0f, 300.0f, 200.0f);
  settings.ExplosionParticles = saved;
  return explosion;
}

TEST(Explosion, RadiusGrowsInSteadyStepsAndEndsOneStepPastTheMaximum) {
  HeadlessGame session;
  vtr::Explosion explosion(session.game, 0u, 100.0f, 300.0f, 200.0f);
  EXPECT_EQ(explosion.radius, 0.0f);
  for (int i = 1; i <= 29; ++i) {
    explosion.Update(kFrame);
    EXPECT_NEAR(explosion.radius, 3.5f * static_cast<float>(i), 1e-3f) << "update " << i;
  }
  // The update that started at 98 still grew; from 101.5 on it stays.
  for (int i = 0; i < 20; ++i) explosion.Update(kFrame);
  EXPECT_NEAR(explosion.radius, 101.5f, 1e-3f);
}

TEST(Explosion, RingFadesWithTheRadiusAtTheStartOfEachUpdate) {
  HeadlessGame session;
  vtr::Explosion explosion(session.game, 0u, 100.0f, 300.0f, 200.0f);
  explosion.growthRate = 10.0f;  // 10 px a second: whole steps at dt 1
  explosion.Update(1.0f);
  EXPECT_EQ(explosion.ringAlpha, 1.0f);
  for (int i = 0; i < 4; ++i) explosion.Update(1.0f);
  ASSERT_EQ(explosion.radius, 50.0f);
  explosion.Update(1.0f);
  EXPECT_EQ(explosion.ringAlpha, 0.5f);
  for (int i = 0; i < 4; ++i) explosion.Update(1.0f);  // starts at 90, grows to 100
  EXPECT_NEAR(explosion.ringAlpha, 0.1f, 1e-6f);
  ASSERT_EQ(explosion.radius, 100.0f);
  explosion.Update(1.0f);
  EXPECT_EQ(explosion.ringAlpha, 0.0f);
  EXPECT_EQ(explosion.radius, 100.0f);
}

TEST(Explosion, EmptyBurstLeavesWithTheFirstUpdatePastATenthOfASecond) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto explosion = Silent(session.game);
  list.Add(explosion);
  list.Update(0.05f);
  list.Update(0.05f);  // age exactly 0.1: kept
  EXPECT_TRUE(explosion->alive);
  EXPECT_EQ(list.size(), 1u);
  list.Update(0.05f);
  EXPECT_FALSE(explosion->alive);
  EXPECT_TRUE(list.empty());
}

TEST(Explosion, LivesUntilItsBurstHasFaded) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto explosion = std::make_shared<vtr::Explosion>(session.game, 2u, 100.0f, 300.0f, 200.0f);
  list.Add(explosion);
  int frames = 0;
  while (explosion->alive && frames < 600) {
    list.Update(kFrame);
    ++frames;
    if (explosion->alive) {
      EXPECT_GT(explosion->burst->GetAliveCount(), 0);
    }
  }
  EXPECT_EQ(explosion->burst->GetAliveCount(), 0);
  EXPECT_TRUE(list.empty());
  EXPECT_GT(frames, 29);   // outlives its growth
  EXPECT_LE(frames, 75);   // about 1.2 s at most
  EXPECT_NEAR(explosion->radius, 101.5f, 1e-3f);
}

// The ring is the last quad an explosion draws.
hgeQuad RingQuad(HGE* hge, vtr::Explosion& explosion) {
  std::vector<hgeQuad> quads;
  headless::SetQuadTap(hge, [&](const hgeQuad& q) { quads.push_back(q); });
  explosion.Render();
  headless::SetQuadTap(hge, {});
  EXPECT_FALSE(quads.empty());
  return quads.empty() ? hgeQuad{} : quads.back();
}

TEST(Explosion, RingIsDrawnCentredAtItsOwnSizeAtRadiusTwentyTwo) {
  HeadlessGame session;
  auto explosion = Silent(session.game);
  explosion->Update(kFrame);
  explosion->radius = 22.0f;
  const hgeQuad ring = RingQuad(session.hge, *explosion);
  EXPECT_EQ(ring.tex, session.game->FindTexture("particles"));
  EXPECT_EQ(ring.v[0].x, 284.0f);
  EXPECT_EQ(ring.v[0].y, 184.0f);
  EXPECT_EQ(ring.v[2].x, 316.0f);
  EXPECT_EQ(ring.v[2].y, 216.0f);
  for (const hgeVertex& v : ring.v) EXPECT_EQ(v.col, 0xFFFFFFFFu);

  explosion->radius = 100.0f;
  explosion->ringAlpha = 0.5f;
  const hgeQuad wide = RingQuad(session.hge, *explosion);
  EXPECT_NEAR(wide.v[2].x - wide.v[0].x, 32.0f * 100.0f / 22.0f, 1e-3f);
  EXPECT_NEAR(wide.v[2].y - wide.v[0].y, 32.0f * 100.0f / 22.0f, 1e-3f);
  EXPECT_NEAR((wide.v[0].x + wide.v[2].x) / 2.0f, 300.0f, 1e-3f);
  for (const hgeVertex& v : wide.v) EXPECT_EQ(v.col, 0x7FFFFFFFu);  // 127: truncated
}

TEST(Explosion, SpawnedExplosionWaitsForTheNextListUpdate) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  vtr::SpawnExplosion(session.game, 7u, 100.0f, 10.0f, 20.0f);
  EXPECT_TRUE(list.empty());
  list.Update(kFrame);
  ASSERT_EQ(list.size(), 1u);
  auto explosion = std::dynamic_pointer_cast<vtr::Explosion>(list.Actors()[0]);
  ASSERT_TRUE(explosion);
  EXPECT_EQ(explosion->chain, 7u);
  EXPECT_EQ(explosion->kind, vtr::kExplosion);
  EXPECT_FALSE(explosion->dying);
  EXPECT_NEAR(explosion->radius, 3.5f, 1e-5f);  // updated once on joining
}

}  // namespace
