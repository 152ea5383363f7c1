#include "game/rocket_spawner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "actors/actor_list.h"
#include "actors/rocket.h"
#include "config/settings.h"
#include "tests/support/headless_game.h"

namespace {

using testing_support::HeadlessGame;
using vtr::ActorList;

constexpr float kFrame = 1.0f / 60.0f;

// Seeds the generator so that its next state is `next`, and so its next draw
// is (next >> 16) & 0x7FFF: inverts state * 214013 + 2531011 modulo 2^32.
void SeedSoNextStateIs(std::uint32_t next) {
  std::uint32_t inverse = 214013u;  // Newton's iteration for the inverse of an odd number
  for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
  vtr::SeedLaunchGenerator((next - 2531011u) * inverse);
}

// Launches of one spawner update, in order (they wait in the list's queue).
std::vector<std::shared_ptr<vtr::Rocket>> Launched(vtr::RocketSpawner& spawner, float dt) {
  HeadlessGame::ClearActors();
  spawner.Update(dt);
  ActorList::Instance().Update(0.0f);
  std::vector<std::shared_ptr<vtr::Rocket>> found;
  for (const auto& actor : ActorList::Instance()) {
    found.push_back(std::dynamic_pointer_cast<vtr::Rocket>(actor));
  }
  return found;
}

TEST(LaunchGenerator, FollowsTheLinearCongruentialSequence) {
  vtr::SeedLaunchGenerator(1);
  const std::uint32_t fromOne[] = {41, 18467, 6334, 26500, 19169, 15724};
  for (std::uint32_t expected : fromOne) EXPECT_EQ(vtr::DrawLaunchNumber(), expected);

  vtr::SeedLaunchGenerator(0);
  const std::uint32_t fromZero[] = {38, 7719, 21238, 2437};
  for (std::uint32_t expected : fromZero) EXPECT_EQ(vtr::DrawLaunchNumber(), expected);

  // 0xFFFFFFFF x 214013 + 2531011 wraps to 2316998 (state 0x00235AC6).
  vtr::SeedLaunchGenerator(0xFFFFFFFFu);
  EXPECT_EQ(vtr::DrawLaunchNumber(), 35u);
}

TEST(LaunchGenerator, StartsOnTheBottomEdgeBetweenOneAndTenTwentyFive) {
  SeedSoNextStateIs(0x7FFF0000u);  // first draw 32767
  EXPECT_EQ(vtr::RandomLaunch().start.x, 1025.0f);
  SeedSoNextStateIs(0x00001234u);  // first draw 0
  EXPECT_EQ(vtr::RandomLaunch().start.x, 1.0f);
  SeedSoNextStateIs(0x7FFEFFFFu);  // first draw 32766
  EXPECT_EQ(vtr::RandomLaunch().start.x, 1024.0f);

  vtr::SeedLaunchGenerator(20240601u);
  for (int i = 0; i < 5000; ++i) {
    const vtr::Launch launch = vtr::RandomLaunch();
    ASSERT_EQ(launch.start.y, 768.0f);
    ASSERT_GE(launch.start.x, 1.0f);
    ASSERT_LE(launch.start.x, 1025.0f);
    ASSERT_EQ(launch.start.x, std::floor(launch.start.x));
    ASSERT_LT(launch.direction.y, 0.0f);  // always up the screen
    ASSERT_NEAR(std::hypot(launch.direction.x, launch.direction.y), 1.0f, 0.002f);
    // Aimed at a whole-numbered point of the top edge, 1..1025.
    const float topX = launch.start.x - launch.direction.x / launch.direction.y * 768.0f;
    ASSERT_NEAR(topX, std::round(topX), 0.01f);
    ASSERT_GE(std::round(topX), 1.0f);
    ASSERT_LE(std::round(topX), 1025.0f);
  }
}

TEST(RocketSpawner, OrdinaryRocketsComeEverySixtyFirstFrameAtSixtyFramesASecond) {
  HeadlessGame session;
  vtr::RocketSpawner spawner(session.game, 1.0f, 1000.0f, 1000.0f);
  std::vector<int> launchFrames;
  for (int frame = 1; frame <= 200; ++frame) {
    const auto launched = Launched(spawner, kFrame);
    ASSERT_LE(launched.size(), 1u);
    if (!launched.empty()) launchFrames.push_back(frame);
  }
  EXPECT_EQ(launchFrames, (std::vector<int>{61, 122, 183}));
}

TEST(RocketSpawner, ZeroDelayLaunchesOneOfEachKindEveryFrameInKindOrder) {
  HeadlessGame session;
  const vtr::Settings& settings = vtr::Settings::Instance();
  vtr::RocketSpawner spawner(session.game, 0.0f, 0.0f, 0.0f);
  for (int frame = 0; frame < 5; ++frame) {
    const auto launched = Launched(spawner, kFrame);
    ASSERT_EQ(launched.size(), 3u);
    EXPECT_EQ(launched[0]->scoreValue, settings.RocketScore);
    EXPECT_EQ(launched[1]->scoreValue, settings.BonusRocketScore);
    EXPECT_EQ(launched[2]->scoreValue, settings.DualRocketScore);
    EXPECT_FALSE(std::dynamic_pointer_cast<vtr::SpecialRocket>(launched[1]));
    EXPECT_TRUE(std::dynamic_pointer_cast<vtr::SpecialRocket>(launched[2]));
    EXPECT_NEAR(std::hypot(launched[0]->vx, launched[0]->vy), settings.RocketVelocity, 0.1f);
    EXPECT_NEAR(std::hypot(launched[1]->vx, launched[1]->vy), settings.BonusRocketVelocity, 0.2f);
    EXPECT_NEAR(std::hypot(launched[2]->vx, launched[2]->vy), settings.DualRocketVelocity, 0.3f);
  }
}

TEST(RocketSpawner, LaunchesAtTheBottomEdgeWhateverTheScreenSize) {
  HeadlessGame session;
  vtr::Settings::Instance().SystemScreenWidth = 640;
  vtr::Settings::Instance().SystemScreenHeight = 480;
  vtr::SeedLaunchGenerator(7u);
  vtr::RocketSpawner spawner(session.game, 0.0f, 1000.0f, 1000.0f);
  for (int frame = 0; frame < 50; ++frame) {
    const auto launched = Launched(spawner, kFrame);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0]->y, 768.0f);
    EXPECT_GE(launched[0]->x, 1.0f);
    EXPECT_LE(launched[0]->x, 1025.0f);
  }
}

TEST(RocketSpawner, EqualColumnsFlyStraightUpAtTheirKindsSpeed) {
  HeadlessGame session;
  // Find a seed whose two draws give the same column.
  std::uint32_t seed = 0;
  for (;; ++seed) {
    vtr::SeedLaunchGenerator(seed);
    const vtr::Launch launch = vtr::RandomLaunch();
    if (launch.direction.x == 0.0f) break;
  }
  vtr::SeedLaunchGenerator(seed);
  vtr::RocketSpawner spawner(session.game, 0.0f, 1000.0f, 1000.0f);
  const auto launched = Launched(spawner, kFrame);
  ASSERT_EQ(launched.size(), 1u);
  EXPECT_EQ(launched[0]->vx, 0.0f);
  EXPECT_NEAR(launched[0]->vy, -vtr::Settings::Instance().RocketVelocity, 0.1f);
}

}  // namespace
