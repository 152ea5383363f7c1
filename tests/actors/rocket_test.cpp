#include "actors/rocket.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "actors/actor_list.h"
#include "actors/explosion.h"
#include "config/settings.h"
#include "helpers/particle_system.h"
#include "tests/support/headless_game.h"

namespace {

using testing_support::HeadlessGame;
using vtr::ActorList;

constexpr float kFrame = 1.0f / 60.0f;

std::shared_ptr<vtr::Rocket> MakeRocket(vtr::Game* game, float x, float y, float vx = 0.0f,
                                        float vy = 0.0f) {
  return std::make_shared<vtr::Rocket>(game, hgeVector2(x, y), hgeVector2(vx, vy), 100,
                                       vtr::Settings::Instance().RocketParticles);
}

// The actors of the list that are of class T, in list order.
template <class T>
std::vector<std::shared_ptr<T>> AllOf() {
  std::vector<std::shared_ptr<T>> found;
  for (const auto& actor : ActorList::Instance()) {
    if (auto t = std::dynamic_pointer_cast<T>(actor)) found.push_back(t);
  }
  return found;
}

TEST(Rocket, StaysOnScreenUpToFiftyPixelsBeyondEachEdge) {
  HeadlessGame session;
  const float right = 1024.0f + 50.0f, bottom = 768.0f + 50.0f;
  const float onEdge[][2] = {{right, 100.0f}, {-50.0f, 100.0f}, {100.0f, bottom},
                             {100.0f, -50.0f}, {512.0f, 768.0f}};
  for (const auto& p : onEdge) {
    auto rocket = MakeRocket(session.game, p[0], p[1]);
    rocket->Update(kFrame);
    EXPECT_FALSE(rocket->dying) << p[0] << ", " << p[1];
  }
  const float beyond[][2] = {{std::nextafter(right, 2000.0f), 100.0f},
                             {std::nextafter(-50.0f, -100.0f), 100.0f},
                             {100.0f, std::nextafter(bottom, 2000.0f)},
                             {100.0f, std::nextafter(-50.0f, -100.0f)}};
  for (const auto& p : beyond) {
    auto rocket = MakeRocket(session.game, p[0], p[1]);
    rocket->Update(kFrame);
    EXPECT_TRUE(rocket->dying) << p[0] << ", " << p[1];
    EXPECT_TRUE(rocket->alive);
  }
}

TEST(Rocket, MovesOnInTheFrameItLeavesTheScreenThenStops) {
  HeadlessGame session;
  auto rocket = MakeRocket(session.game, 1073.0f, 100.0f, 60.0f, 0.0f);  // 1 px a frame
  rocket->Update(kFrame);
  rocket->Update(kFrame);
  EXPECT_FALSE(rocket->dying);
  EXPECT_NEAR(rocket->x, 1075.0f, 1e-3f);
  rocket->Update(kFrame);  // starts beyond 1074
  EXPECT_TRUE(rocket->dying);
  EXPECT_NEAR(rocket->x, 1076.0f, 1e-3f);
  rocket->Update(kFrame);
  EXPECT_NEAR(rocket->x, 1076.0f, 1e-3f);
}

TEST(Rocket, DyingRocketStaysUntilItsTrailIsEmptyThenLeaves) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto rocket = MakeRocket(session.game, 500.0f, 700.0f, 0.0f, -50.0f);
  list.Add(rocket);
  for (int i = 0; i < 30; ++i) list.Update(kFrame);
  ASSERT_GT(rocket->trail->GetAliveCount(), 0);

  rocket->Kill();
  EXPECT_TRUE(rocket->dying);
  const float x = rocket->x, y = rocket->y;
  int frames = 0;
  while (list.size() == 1 && frames < 600) {
    const int before = rocket->trail->GetAliveCount();
    list.Update(kFrame);
    ++frames;
    // Cleared by the first update that starts with an empty trail, and only then.
    EXPECT_EQ(rocket->alive, before > 0);
    EXPECT_EQ(rocket->x, x);
    EXPECT_EQ(rocket->y, y);
  }
  EXPECT_TRUE(list.empty());
  EXPECT_GT(frames, 30);   // the trail's particles live 1 to 2 s
  EXPECT_LE(frames, 130);
}

// Runs a rocket through the list until it starts dying; returns the position
// it had at the start of that update.
hgeVector2 FlyUntilDying(vtr::Rocket& rocket, float dt, int maxFrames) {
  hgeVector2 start(rocket.x, rocket.y);
  for (int i = 0; i < maxFrames && !rocket.dying; ++i) {
    start = hgeVector2(rocket.x, rocket.y);
    ActorList::Instance().Update(dt);
  }
  return start;
}

TEST(TargetRocket, BurstsOneFramePastItsTargetNeverAtIt) {
  HeadlessGame session;
  const auto& info = vtr::Settings::Instance().TargetRocketParticles;
  // 4 px a step lands exactly on the target after 25 steps.
  auto exact = std::make_shared<vtr::TargetRocket>(session.game, hgeVector2(512.0f, 768.0f),
                                                   hgeVector2(0.0f, -16.0f), 10, info,
                                                   hgeVector2(512.0f, 668.0f));
  EXPECT_FALSE(exact->collidable);
  ActorList::Instance().Add(exact);
  ActorList::Instance().Update(0.0f);
  const hgeVector2 burst = FlyUntilDying(*exact, 0.25f, 100);
  ASSERT_TRUE(exact->dying);
  EXPECT_EQ(burst.y, 664.0f);
  EXPECT_EQ(exact->y, 664.0f);  // it does not move in the frame it bursts

  ActorList::Instance().Update(0.0f);  // the explosion joins
  auto explosions = AllOf<vtr::Explosion>();
  ASSERT_EQ(explosions.size(), 1u);
  EXPECT_EQ(explosions[0]->chain, 0u);
  EXPECT_EQ(explosions[0]->maxRadius, 100.0f);
  EXPECT_EQ(explosions[0]->x, 512.0f);
  EXPECT_EQ(explosions[0]->y, 664.0f);
}

TEST(TargetRocket, PlayerShotAtFrameRateBurstsJustPastTheTarget) {
  HeadlessGame session;
  auto shot = std::make_shared<vtr::TargetRocket>(
      session.game, hgeVector2(512.0f, 768.0f), hgeVector2(0.0f, -200.0f), 10,
      vtr::Settings::Instance().TargetRocketParticles, hgeVector2(512.0f, 500.0f));
  ActorList::Instance().Add(shot);
  const hgeVector2 burst = FlyUntilDying(*shot, kFrame, 200);
  ASSERT_TRUE(shot->dying);
  // The samples a step apart straddle the target; the first one farther
  // than the one before lies half a step to a step and a half beyond it.
  const float step = 200.0f * kFrame;
  EXPECT_LE(burst.y, 500.0f - 0.5f * step + 1e-3f);
  EXPECT_GE(burst.y, 500.0f - 1.5f * step - 1e-3f);
}

TEST(SpecialRocket, CaughtRocketLaunchesTowardsThePointOppositeTheCentre) {
  HeadlessGame session;
  auto dual = std::make_shared<vtr::SpecialRocket>(session.game, hgeVector2(300.0f, 200.0f),
                                                   hgeVector2(0.0f, -150.0f), 1000,
                                                   vtr::Settings::Instance().DualRocketParticles);
  dual->Kill();
  ActorList::Instance().Update(0.0f);
  auto seconds = AllOf<vtr::TargetRocket>();
  ASSERT_EQ(seconds.size(), 1u);
  vtr::TargetRocket& second = *seconds[0];
  EXPECT_EQ(second.x, 300.0f);
  EXPECT_EQ(second.y, 200.0f);
  EXPECT_EQ(second.targetX, 724.0f);
  EXPECT_EQ(second.targetY, 568.0f);
  EXPECT_EQ(second.scoreValue, 1000);
  EXPECT_FALSE(second.collidable);
  const float speed = std::hypot(second.vx, second.vy);
  EXPECT_NEAR(speed, 150.0f, 150.0f * 0.002f);
  EXPECT_NEAR(second.vx / speed, 424.0f / std::hypot(424.0f, 368.0f), 1e-5f);
  EXPECT_NEAR(second.vy / speed, 368.0f / std::hypot(424.0f, 368.0f), 1e-5f);

  const hgeVector2 burst = FlyUntilDying(second, kFrame, 600);
  ASSERT_TRUE(second.dying);
  const float step = speed * kFrame;
  const float past = std::hypot(burst.x - 724.0f, burst.y - 568.0f);
  EXPECT_GT(burst.x, 724.0f);
  EXPECT_GE(past, 0.5f * step - 1e-2f);
  EXPECT_LE(past, 1.5f * step + 1e-2f);
  ActorList::Instance().Update(0.0f);
  auto explosions = AllOf<vtr::Explosion>();
  ASSERT_EQ(explosions.size(), 1u);
  EXPECT_EQ(explosions[0]->chain, 0u);
}

TEST(SpecialRocket, CaughtAtTheCentreItsSecondRocketStandsStillAndNeverBursts) {
  HeadlessGame session;
  auto dual = std::make_shared<vtr::SpecialRocket>(session.game, hgeVector2(512.0f, 384.0f),
                                                   hgeVector2(0.0f, -150.0f), 1000,
                                                   vtr::Settings::Instance().DualRocketParticles);
  dual->Kill();
  ActorList::Instance().Update(0.0f);
  auto seconds = AllOf<vtr::TargetRocket>();
  ASSERT_EQ(seconds.size(), 1u);
  EXPECT_EQ(seconds[0]->vx, 0.0f);
  EXPECT_EQ(seconds[0]->vy, 0.0f);
  for (int i = 0; i < 600; ++i) ActorList::Instance().Update(kFrame);
  EXPECT_FALSE(seconds[0]->dying);
  EXPECT_TRUE(seconds[0]->alive);
  EXPECT_TRUE(AllOf<vtr::Explosion>().empty());
}

TEST(SpecialRocket, LeavingTheScreenItsSecondRocketDiesOutsideWithoutABurst) {
  HeadlessGame session;
  ActorList& list = ActorList::Instance();
  auto dual = std::make_shared<vtr::SpecialRocket>(session.game, hgeVector2(300.0f, -50.5f),
                                                   hgeVector2(0.0f, -150.0f), 1000,
                                                   vtr::Settings::Instance().DualRocketParticles);
  list.Add(dual);
  list.Update(kFrame);  // leaves the screen, launches from (300, -50.5)
  EXPECT_TRUE(dual->dying);
  list.Update(kFrame);  // the second rocket joins and fails the screen test at once
  auto seconds = AllOf<vtr::TargetRocket>();
  ASSERT_EQ(seconds.size(), 1u);
  EXPECT_TRUE(seconds[0]->dying);
  for (int i = 0; i < 200; ++i) list.Update(kFrame);
  EXPECT_TRUE(AllOf<vtr::Explosion>().empty());
}

}  // namespace
